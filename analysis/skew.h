// Skew estimation, rotation and the geometry between photograph, straightened
// image and the upright image.
//
// Angles are degrees, held as angle_index in hundredths (tables.h). A positive
// angle means the sheet's lines descend from left to right (y grows
// downwards); rotate_self by that angle makes them horizontal.
//
// The search projects the dark points along each candidate angle into one
// counter per image row, rho = (y*C - x*S + round) >> shift, wrapped into the
// rows; the score of an angle is the number of rows holding crowded_row (7)
// points or more, and the lowest score wins (the earlier index on a tie).
// Three stages: 1 degree steps over the whole range on the points of every
// fourth column, then 0.1 degree steps over +-1 degree, then 0.01 degree
// steps over +-0.1 degree: 123 projections in all.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/geometry.h"
#include "analysis/options.h"
#include "analysis/tables.h"
#include "raster/raster_view.h"

// The side of the sheet on which its two fullest anchors lie, and the quarter
// turn that brings that side to the top (the rotate-flip code without flip).
enum orientation_code : std::int32_t {
  orientation_top = 0,     // none
  orientation_left = 1,    // 90 degrees clockwise
  orientation_bottom = 2,  // 180 degrees
  orientation_right = 3,   // 270 degrees clockwise
};

struct scan_result {
  std::int32_t index = 0;
  std::int32_t score = 9999;
  std::vector<std::int32_t> histogram;  // of the best index
};

// Projection of `points` along angle_index k into `bins` counters (filled,
// resized to bins); returns the number of counters holding crowded_row or more.
std::int32_t projection_score(const std::int32_t* points, std::int32_t count, std::int32_t bins, std::int32_t k,
                              const trig_table& table, std::int32_t crowded_row, std::vector<std::int32_t>& histogram);

// One stage: k = first, first + step, ... <= last (first clamped to >= 0,
// last to <= the table's end); strictly lower scores replace the best, which
// starts at zero_index with the score 9999.
scan_result scan_angles(const std::int32_t* points, std::int32_t count, std::int32_t bins, std::int32_t first,
                        std::int32_t last, std::int32_t step, const trig_table& table, std::int32_t crowded_row);

// The three stages on ready point lists (coarse: the stage-1 list), writing
// the three stage lines; returns the final angle_index.
std::int32_t search_skew(const std::int32_t* coarse, std::int32_t coarse_count, const std::int32_t* points,
                         std::int32_t count, std::int32_t bins, const skew_options& options = {});

// Binarizes the image (binarize_dark), searches its dark points and returns
// the skew in degrees, a multiple of 0.01 in -40.00..+40.00. No dark points:
// -40.00. Writes the stage lines and "_________angle:".
float estimate_skew(raster_view& image, const skew_options& options = {});

// Writes into destination (same width, height and stride as source; the
// destination's offset tables address both) the source turned by `angle`
// about (width / 2, height / 2), bilinear in sixteenths of a pixel; pixels
// without four source neighbours stay white. Does nothing when the two
// images' shapes differ. Writes "_________rotate_self:".
void rotate_self(const raster_view& source, raster_view& destination, float angle,
                 const rotate_options& options = {});

namespace analysis_detail {
// rotate_self of the full build through one chosen inner loop: the table form
// computed term by term from bilinear_table (the reference), or one of the
// vector forms that must equal it byte for byte. False when the shapes
// differ or this machine lacks that vector unit.
enum class rotation_kernel { table, sse, avx2 };
bool rotate_self_with(const raster_view& source, raster_view& destination, float angle, rotation_kernel kernel);
}  // namespace analysis_detail

// Where (x, y) of a width x height image lands when the image is turned by
// `angle` as rotate_self does; with the negated angle, where a point of the
// turned image came from.
point map_point(std::int32_t width, std::int32_t height, float angle, std::int32_t x, std::int32_t y,
                table_form tables = table_form::full);

// Maps a rectangle of a width x height image into the image turned upright by
// `code` (1: 90 degrees clockwise, 2: 180, 3: 270; anything else: unchanged).
rect orient_rect(const rect& r, std::int32_t width, std::int32_t height, std::int32_t code);
