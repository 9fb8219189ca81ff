// Anchor location: the four corner anchors on the straightened photograph,
// the rectangle through their centres and the sheet's orientation (the side
// where the two fullest anchors lie is the top).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "analysis/geometry.h"
#include "analysis/options.h"
#include "analysis/regions.h"
#include "raster/raster_view.h"

struct sheet_frame {
  std::vector<rect> anchor_boxes;  // every group member's box, turned upright
  std::int32_t orientation = 0;    // orientation_code
  rect upright_rect;               // anchor_rect turned upright
  rect anchor_rect;                // through the anchor centres, straightened image; zero when not found
  std::vector<point> corner_points;  // normalize_sheet: anchor_rect's corners in the photograph
};

struct anchor_result {
  std::vector<std::int32_t> anchor_indices;
  std::vector<flood_region> regions;
  sheet_frame frame;
};

struct corner_order {
  rect anchor_rect;
  std::optional<std::int32_t> orientation;  // none when the fullest two lie on a diagonal
};

// The rectangle through the first four anchors' centres and the side of the
// two fullest ones. Fewer than four: a zero rectangle and no code.
corner_order order_corners(const std::vector<flood_region>& regions, const std::vector<std::int32_t>& indices);

// Binarizes the image when `binarize` is non-zero, extracts its regions,
// clusters the anchors and fills `result`. The image is consumed (its buffers
// are released on return). Writes "_______________________floodfill.cluster:",
// "______________locate.floodfill:", "______________locate.cluster:" and
// "_________locate:". Located means exactly four anchor_boxes. `how` is the
// binarization's (write_pixels false leaves the image's colours alone).
void locate_anchors(anchor_result& result, raster_view image, int binarize, const anchor_thresholds& limits = {},
                    const binarize_options& how = {});
