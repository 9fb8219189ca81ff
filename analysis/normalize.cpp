#include "analysis/normalize.h"

#include <utility>

#include "analysis/skew.h"
#include "analysis/view_check.h"
#include "raster/bmp_helper.h"

// The skew crop and the binarized copy for the anchors are only ever read for
// their dark points and marks, and are thrown away at once. Both are done
// here on views of the original pixels with a binarization that leaves the
// pixels alone: the marks, points, angle and anchors are exactly those of the
// copies, without copying 36 MB per photograph of 3264 x 2448.
int normalize_sheet(platform::bitmap* source, gdi_plus_kv::bmp_helper& output, float& angle, sheet_frame& frame,
                    const analysis_options& options) {
  if (!source) return 0;
  const std::int32_t w = gdi_plus_kv::image_width(source);
  const std::int32_t h = gdi_plus_kv::image_height(source);
  angle = 0.0f;
  if (w == 0 || h == 0) return 0;

  {
    gdi_plus_kv::bmp_helper source_helper(source, false);
    raster_view photo = source_helper.get_image();
    if (!analysis_detail::has_pixels(photo) || photo.width != w || photo.height != h) return 0;

    // Skew on the central part only: the margins keep the anchors, the
    // sheet's edges and the desk around it out of the measurement.
    {
      const std::int32_t x0 = w / 6;
      const std::int32_t y0 = h / 8;
      raster_view centre;
      if (!build_offset_tables(centre, photo.pixels + photo.row_offsets[y0] + photo.column_offsets[x0],
                               w - 2 * x0, h - 2 * y0, photo.stride))
        return 0;
      skew_options skew = options.skew;
      skew.binarize.write_pixels = false;
      skew.binarize.write_marks = false;
      angle = estimate_skew(centre, skew);
    }

    // Straightening into the caller's bitmap, which must match the source.
    if (gdi_plus_kv::image_width(output.bitmap()) != w || gdi_plus_kv::image_height(output.bitmap()) != h) return 0;
    raster_view straight = output.get_image();
    rotate_self(photo, straight, angle, options.rotate);
    straight.release();
    photo.release();
    output.unlock();
  }

  // Anchors on the straightened image, which keeps its colours.
  anchor_result result;
  binarize_options marks_only;
  marks_only.write_pixels = false;
  locate_anchors(result, output.get_image(), 1, options.anchors, marks_only);
  output.unlock();
  if (result.frame.anchor_boxes.size() != 4) return 0;

  frame = result.frame;
  const rect& r = frame.anchor_rect;
  const point corners[4] = {{r.left, r.top}, {r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom}};
  frame.corner_points.clear();
  for (const point& c : corners) frame.corner_points.push_back(map_point(w, h, -angle, c.x, c.y, options.skew.tables));
  return 1;
}
