// Pieces the generator's source files share: the PRNG, the sheet canvas with
// its anti-aliased primitives, the stroke font and the homography.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/sheetgen/sheetgen.h"

namespace sheetgen::detail {

// xoshiro256** seeded through splitmix64: small, fast and identical on every
// platform, unlike the standard distributions.
class prng {
 public:
  explicit prng(std::uint64_t seed);
  std::uint64_t next();
  double uniform();                       // [0, 1)
  double range(double lo, double hi);     // [lo, hi)
  int below(int n);                       // 0 .. n-1
  double gaussian();                      // about N(0, 1): Irwin-Hall of four
  bool chance(double p) { return uniform() < p; }

 private:
  std::array<std::uint64_t, 4> s_{};
};

std::uint64_t mix64(std::uint64_t x);
// A fixed pseudo-random value in [0, 1) for an integer position and a salt.
double hash01(std::int64_t x, std::int64_t y, std::uint64_t salt);

// Ink as transmittance per channel, blue, green, red (1 = no ink).
struct ink {
  float blue = 1, green = 1, red = 1;
};

// Anti-aliased coverage over a rectangle of canvas pixels, combined by
// maximum, so overlapping parts of one printed shape do not darken twice.
struct coverage_mask {
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<float> value;
  float& at(int x, int y) { return value[static_cast<std::size_t>(y - top) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x - left)]; }
};

// The printed sheet as the paper reflects it: 8-bit BGR reflectance at
// `scale` canvas pixels per millimetre. Canvas pixel i covers [i, i+1).
class sheet_canvas {
 public:
  bool create(double width_mm, double height_mm, double scale, std::uint64_t seed);
  int width() const { return width_; }
  int height() const { return height_; }
  double scale() const { return scale_; }
  const std::uint8_t* row(int y) const { return pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) * 3; }

  // Mask builders (millimetre coordinates).
  coverage_mask mask_for(double x0, double y0, double x1, double y1) const;
  void add_rect(coverage_mask& m, double x0, double y0, double x1, double y1) const;
  void cut_rect(coverage_mask& m, double x0, double y0, double x1, double y1) const;
  void add_segment(coverage_mask& m, double ax, double ay, double bx, double by, double width_mm) const;
  void add_outline(coverage_mask& m, double x0, double y0, double x1, double y1, double line_mm) const;
  // Applies the mask with the ink; `strength` scales how much light it takes.
  void apply(const coverage_mask& m, const ink& colour, float strength = 1.0f);

  // A pen fill of the box: a solid rectangle whose edges wobble outward by
  // up to the given spills, with faint scribble streaks.
  void pen_fill(const layout_box& box, double spill_x, double spill_y, prng& rng, const ink& colour);
  // Pencil hatching covering about `share` of the box, strokes at an angle.
  void pencil_hatch(const layout_box& box, double share, prng& rng);

  // Text in the stroke font; x, y = left end of the baseline; returns the advance.
  double text(const std::string& s, double x, double y, double height_mm, const ink& colour);
  static double text_width(const std::string& s, double height_mm);

 private:
  int clamp_x(double px) const;
  int clamp_y(double py) const;
  int width_ = 0;
  int height_ = 0;
  double scale_ = 1;
  std::uint64_t seed_ = 0;
  std::vector<std::uint8_t> pixels_;
};

// 3x3 homography helpers (row-major).
std::array<double, 9> homography_from_quads(const std::array<point_d, 4>& from, const std::array<point_d, 4>& to,
                                            bool& ok);
std::array<double, 9> invert3(const std::array<double, 9>& m, bool& ok);
point_d apply_h(const std::array<double, 9>& m, double x, double y);

// The printed sheet's fixed dimensions and anchor centres, in millimetres.
constexpr double sheet_width_mm = 210.0;
constexpr double sheet_height_mm = 297.0;
constexpr double anchor_left_mm = 13.0;
constexpr double anchor_right_mm = 197.0;
constexpr double anchor_top_mm = 13.0;
constexpr double anchor_bottom_mm = 284.0;

// Draws the whole printed sheet (everything but the marks).
// `line_mm` is the width of box outlines and rules: thick enough to stay
// dark after the photograph's blur at its scale.
void print_sheet(sheet_canvas& canvas, const std::vector<layout_box>& layout, bool student_number, double anchor_mm,
                 double line_mm);

// Black printing ink and the pens people use.
constexpr ink print_ink{0.10f, 0.10f, 0.11f};
constexpr ink blue_pen{0.50f, 0.24f, 0.19f};
constexpr ink black_pen{0.15f, 0.14f, 0.14f};

}  // namespace sheetgen::detail
