// Build-dependent choices of the sheet analysis, gathered in one place.
//
// The full build, the early build and the candidate build run the same
// analysis functions; where they differ (fixed-point scale and rounding of the
// angle tables, the angle range, rotation sampling, the crowded-row count of
// the skew score, anchor thresholds, region finishing, trace lines) the
// difference is a field here, and each function takes the record it needs.
// Every default is the full build's value.
#pragma once

#include <cstdint>
#include <string_view>

// Which fixed-point form the angle tables take.
//   full       scale 32768, entries rounded (+0.5), products rounded (+16384),
//              angle_index 0..8000 for -40.00..+40.00 degrees
//   early      scale 1024, entries truncated, products truncated,
//              angle_index 0..8000
//   candidate  scale 32768 rounded like full, angle_index 0..9000 for
//              -45.00..+45.00 degrees
enum class table_form { full, early, candidate };

// How rotate_self samples the source.
enum class rotation_sampling { bilinear, nearest };

// How fill_region finishes a region's measures.
//   full       right is one past the largest x; centres by integer halving
//   candidate  right is the largest x itself; centres rounded (x 0.5 + 0.5)
enum class region_finish { full, candidate };

struct binarize_options {
  bool trace = true;  // the candidate build's binarization writes no step line
  // False: only mark_map and dark_points are produced and the pixels are left
  // as they are. The marks and points are the same either way; callers that
  // would binarize a throw-away copy just to get them read the original instead.
  bool write_pixels = true;
  // False: mark_map is left as it is (the skew search needs the points only).
  bool write_marks = true;
  // False: the one-pixel loop only (tests compare it with the vector loop).
  bool vector = true;
};

struct skew_options {
  binarize_options binarize{};
  table_form tables = table_form::full;
  std::int32_t crowded_row = 7;  // a projection row holding this many points or more counts in the score
  bool trace_total = true;       // the closing "_________angle:" line
};

struct rotate_options {
  table_form tables = table_form::full;
  rotation_sampling sampling = rotation_sampling::bilinear;
  std::string_view label = "_________rotate_self:";
};

// Size and shape a region must have to be taken as a corner anchor.
struct anchor_thresholds {
  std::uint32_t min_pixels = 600;   // exclusive
  std::uint32_t max_pixels = 2000;  // exclusive; 0 means no upper limit
  float min_fill = 0.65f;           // inclusive, single precision
  float max_elongation = 1.1f;      // inclusive, single precision
  double min_elongation = 0.99;     // inclusive, double precision
};

// The contrast stretch of "enhance".
struct stretch_options {
  bool fixed_factors = false;    // early build: the factors below instead of the percentages
  float low_factor = 0.2f;
  float high_factor = 0.65f;
  bool replace_color_line = false;  // early build: one more step line after the mapping pass
};

// Everything normalize_sheet and the steps below it need to know about the build.
struct analysis_options {
  skew_options skew{};
  rotate_options rotate{};
  anchor_thresholds anchors{};
};

constexpr analysis_options full_build_analysis() { return analysis_options{}; }

constexpr analysis_options early_build_analysis() {
  analysis_options o{};
  o.skew.tables = table_form::early;
  o.rotate.tables = table_form::early;
  o.rotate.sampling = rotation_sampling::nearest;
  o.rotate.label = "_________rotate:";
  o.anchors.max_pixels = 0;
  o.anchors.min_fill = 0.70f;
  return o;
}
