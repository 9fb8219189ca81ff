#include "analysis/normalize.h"

#include <utility>

#include "analysis/skew.h"
#include "raster/bmp_helper.h"

int normalize_sheet(platform::bitmap* source, gdi_plus_kv::bmp_helper& output, float& angle, sheet_frame& frame,
                    const analysis_options& options) {
  if (!source) return 0;
  const std::int32_t w = gdi_plus_kv::image_width(source);
  const std::int32_t h = gdi_plus_kv::image_height(source);
  angle = 0.0f;
  if (w == 0 || h == 0) return 0;

  // Skew on the central part only: the margins keep the anchors, the sheet's
  // edges and the desk around it out of the measurement.
  {
    auto crop = gdi_plus_kv::crop_bitmap(source, w / 6, h / 8, w - 2 * (w / 6), h - 2 * (h / 8));
    if (!crop) return 0;
    gdi_plus_kv::bmp_helper crop_helper(std::move(crop));
    raster_view centre = crop_helper.get_image();
    angle = estimate_skew(centre, options.skew);
    centre.release();
  }

  // Straightening into the caller's bitmap, which must match the source.
  if (gdi_plus_kv::image_width(output.bitmap()) != w || gdi_plus_kv::image_height(output.bitmap()) != h) return 0;
  {
    gdi_plus_kv::bmp_helper source_helper(source, false);
    raster_view straight = output.get_image();
    raster_view photo = source_helper.get_image();
    rotate_self(photo, straight, angle, options.rotate);
    straight.release();
    photo.release();
    output.unlock();
  }

  // Anchors on a binarized copy; the straightened bitmap keeps its colours.
  anchor_result result;
  {
    auto copy = gdi_plus_kv::clone_bitmap24(output.bitmap());
    if (!copy) return 0;
    gdi_plus_kv::bmp_helper copy_helper(std::move(copy));
    locate_anchors(result, copy_helper.get_image(), 1, options.anchors);
  }
  if (result.frame.anchor_boxes.size() != 4) return 0;

  frame = result.frame;
  const rect& r = frame.anchor_rect;
  const point corners[4] = {{r.left, r.top}, {r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom}};
  frame.corner_points.clear();
  for (const point& c : corners) frame.corner_points.push_back(map_point(w, h, -angle, c.x, c.y, options.skew.tables));
  return 1;
}
