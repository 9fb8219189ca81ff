// Connected dark regions of a binarized image, and the grouping of the corner
// anchors among them.
//
// Regions are 4-connected. Each is measured as a flood_region whose
// horizontal measures count one column more than the region covers (right is
// one past the largest x), the vertical ones not; every threshold below is
// stated for these values. Labels go into the image's mark_map.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "analysis/options.h"
#include "raster/raster_view.h"

struct flood_region {
  std::uint32_t pixel_count = 0;
  std::int32_t label = 0;
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;   // largest x + 1 (candidate finish: largest x)
  std::int32_t bottom = 0;  // largest y
  float fill_ratio = 0.0f;  // pixel_count / box_area
  std::int32_t box_area = 0;
  std::int32_t box_width = 0;   // right - left + 1
  std::int32_t box_height = 0;  // bottom - top + 1
  std::int32_t center_x = 0;
  std::int32_t center_y = 0;
  float elongation = 0.0f;  // longer box side / shorter, >= 1
};

namespace obj_recognize {

class flood_extractor {
 public:
  flood_extractor() = default;
  explicit flood_extractor(region_finish finish) : finish_(finish) {}
  flood_extractor(const flood_extractor&) = delete;
  flood_extractor& operator=(const flood_extractor&) = delete;
  virtual ~flood_extractor() = default;

  // Labels every region of a binarized image (binarize_dark's mark_map and
  // dark_points) in the raster order of its first pixel: regions[i] has label
  // i + 1. An image whose buffers do not match its size gives no regions.
  void extract_regions(raster_view& image);

  // Fills the region of the dark seed (its mark 0) with `label` and measures it.
  flood_region fill_region(std::int32_t x, std::int32_t y, std::int32_t label, raster_view& image);

  std::vector<flood_region> regions;

  // Neighbour steps: below, right, left, above, then the four diagonals
  // (the fill uses only the first four).
  static constexpr std::int32_t step_x[8] = {0, 1, -1, 0, -1, 1, 1, -1};
  static constexpr std::int32_t step_y[8] = {1, 0, 0, -1, -1, 1, -1, 1};

 private:
  region_finish finish_ = region_finish::full;
  // Ring buffer of packed positions, sized once per image size. Left
  // uninitialised: a fill restarts at entry 0, so only as many entries as the
  // largest region are ever touched.
  std::unique_ptr<std::uint32_t[]> queue_;
  std::uint32_t capacity_ = 0;
  std::uint32_t head_ = 0;
  std::uint32_t tail_ = 0;
};

}  // namespace obj_recognize

// Indices (ascending) of the regions that look like solid squares of anchor size.
std::vector<std::int32_t> select_anchor_candidates(const std::vector<flood_region>& regions,
                                                   const anchor_thresholds& limits = {});

struct anchor_group {
  std::vector<std::int32_t> members;  // region indices, in joining order
  std::int32_t total = 0;             // sum of the members' pixel_count
};

// Groups the candidates that share a row or a column (centres closer than 20
// pixels one way) and have box areas within a quarter of the smaller one;
// returns the members of the group of four or more with the largest mean
// pixel count (the earliest on a tie), or nothing.
std::vector<std::int32_t> cluster_anchors(const std::vector<flood_region>& regions,
                                          const anchor_thresholds& limits = {});
