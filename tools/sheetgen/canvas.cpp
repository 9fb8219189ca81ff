// The sheet canvas: paper reflectance at a fine scale, drawn with analytic
// anti-aliasing (exact box coverage for rectangles, a one-pixel ramp on the
// distance for strokes), and inks that multiply the paper's reflectance the
// way real ink absorbs light. Also the PRNG, the stroke font and the
// homography arithmetic.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "tools/sheetgen/internal.h"

namespace sheetgen::detail {

namespace {

std::uint64_t splitmix(std::uint64_t& x) {
  std::uint64_t z = (x += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

float clamp01(double v) { return static_cast<float>(v < 0 ? 0 : (v > 1 ? 1 : v)); }

// Coverage of the pixel [p, p+1) by the interval [a, b].
double overlap(double p, double a, double b) {
  double lo = std::max(p, a);
  double hi = std::min(p + 1.0, b);
  return hi > lo ? hi - lo : 0.0;
}

// A smooth wobble in about [-1, 1]: two incommensurate sines.
struct wobble {
  double f1 = 1, f2 = 1, p1 = 0, p2 = 0;
  void randomize(prng& rng, double base_frequency) {
    f1 = base_frequency * rng.range(0.7, 1.3);
    f2 = base_frequency * rng.range(2.1, 3.4);
    p1 = rng.range(0, 6.2831853);
    p2 = rng.range(0, 6.2831853);
  }
  double at(double t) const { return 0.7 * std::sin(f1 * t + p1) + 0.3 * std::sin(f2 * t + p2); }
};

}  // namespace

prng::prng(std::uint64_t seed) {
  std::uint64_t x = seed;
  for (auto& v : s_) v = splitmix(x);
}

std::uint64_t prng::next() {
  const std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
  const std::uint64_t t = s_[1] << 17;
  s_[2] ^= s_[0];
  s_[3] ^= s_[1];
  s_[1] ^= s_[2];
  s_[0] ^= s_[3];
  s_[2] ^= t;
  s_[3] = rotl(s_[3], 45);
  return result;
}

double prng::uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
double prng::range(double lo, double hi) { return lo + (hi - lo) * uniform(); }
int prng::below(int n) { return n <= 1 ? 0 : static_cast<int>(uniform() * n); }

double prng::gaussian() {
  // Four 16-bit uniforms of one draw: mean 2, variance 4/12.
  const std::uint64_t v = next();
  double sum = 0;
  for (int i = 0; i < 4; ++i) sum += static_cast<double>((v >> (16 * i)) & 0xFFFF) / 65536.0;
  return (sum - 2.0) * 1.7320508075688772;
}

std::uint64_t mix64(std::uint64_t x) {
  x ^= x >> 33;
  x *= 0xFF51AFD7ED558CCDull;
  x ^= x >> 33;
  x *= 0xC4CEB9FE1A85EC53ull;
  x ^= x >> 33;
  return x;
}

double hash01(std::int64_t x, std::int64_t y, std::uint64_t salt) {
  const std::uint64_t h = mix64(static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ull ^
                                mix64(static_cast<std::uint64_t>(y) + salt * 0xD6E8FEB86659FD93ull));
  return static_cast<double>(h >> 11) * (1.0 / 9007199254740992.0);
}

// ---------------------------------------------------------------- canvas

bool sheet_canvas::create(double width_mm, double height_mm, double scale, std::uint64_t seed) {
  if (!(scale > 0) || width_mm <= 0 || height_mm <= 0) return false;
  const double w = std::ceil(width_mm * scale);
  const double h = std::ceil(height_mm * scale);
  if (w > 20000 || h > 20000) return false;
  width_ = static_cast<int>(w);
  height_ = static_cast<int>(h);
  scale_ = scale;
  seed_ = seed;
  pixels_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 3, 0);
  // Paper: a faintly warm white with fibre speckle of a level or two.
  prng rng(seed ^ 0x5A5A);
  for (int y = 0; y < height_; ++y) {
    std::uint8_t* p = pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) * 3;
    for (int x = 0; x < width_; ++x) {
      const std::uint64_t r = rng.next();
      const int speckle = static_cast<int>(r & 3) + static_cast<int>((r >> 2) & 3) - 3;  // -3 .. 3
      p[3 * x + 0] = static_cast<std::uint8_t>(241 + speckle);
      p[3 * x + 1] = static_cast<std::uint8_t>(245 + speckle);
      p[3 * x + 2] = static_cast<std::uint8_t>(247 + speckle);
    }
  }
  return true;
}

int sheet_canvas::clamp_x(double px) const { return std::clamp(static_cast<int>(std::floor(px)), 0, width_); }
int sheet_canvas::clamp_y(double py) const { return std::clamp(static_cast<int>(std::floor(py)), 0, height_); }

coverage_mask sheet_canvas::mask_for(double x0, double y0, double x1, double y1) const {
  coverage_mask m;
  m.left = clamp_x(x0 * scale_ - 2);
  m.top = clamp_y(y0 * scale_ - 2);
  const int right = clamp_x(x1 * scale_ + 3);
  const int bottom = clamp_y(y1 * scale_ + 3);
  m.width = std::max(0, right - m.left);
  m.height = std::max(0, bottom - m.top);
  m.value.assign(static_cast<std::size_t>(m.width) * static_cast<std::size_t>(m.height), 0.0f);
  return m;
}

void sheet_canvas::add_rect(coverage_mask& m, double x0, double y0, double x1, double y1) const {
  const double a = x0 * scale_, b = x1 * scale_, c = y0 * scale_, d = y1 * scale_;
  const int xs = std::max(m.left, clamp_x(a)), xe = std::min(m.left + m.width, clamp_x(b) + 1);
  const int ys = std::max(m.top, clamp_y(c)), ye = std::min(m.top + m.height, clamp_y(d) + 1);
  for (int y = ys; y < ye; ++y) {
    const double cy = overlap(y, c, d);
    if (cy <= 0) continue;
    for (int x = xs; x < xe; ++x) {
      const float v = static_cast<float>(cy * overlap(x, a, b));
      float& t = m.at(x, y);
      t = std::max(t, v);
    }
  }
}

void sheet_canvas::cut_rect(coverage_mask& m, double x0, double y0, double x1, double y1) const {
  const double a = x0 * scale_, b = x1 * scale_, c = y0 * scale_, d = y1 * scale_;
  const int xs = std::max(m.left, clamp_x(a)), xe = std::min(m.left + m.width, clamp_x(b) + 1);
  const int ys = std::max(m.top, clamp_y(c)), ye = std::min(m.top + m.height, clamp_y(d) + 1);
  for (int y = ys; y < ye; ++y) {
    const double cy = overlap(y, c, d);
    for (int x = xs; x < xe; ++x) {
      float& t = m.at(x, y);
      t = std::min(t, static_cast<float>(1.0 - cy * overlap(x, a, b)));
    }
  }
}

void sheet_canvas::add_segment(coverage_mask& m, double ax, double ay, double bx, double by, double width_mm) const {
  const double s = scale_;
  ax *= s, ay *= s, bx *= s, by *= s;
  const double hw = std::max(0.5, width_mm * s * 0.5);
  // Thin strokes keep their ink amount: a 0.6-pixel line is drawn at 1 pixel, 60 % strength.
  const double gain = std::min(1.0, width_mm * s);
  const int xs = std::max(m.left, clamp_x(std::min(ax, bx) - hw - 1));
  const int xe = std::min(m.left + m.width, clamp_x(std::max(ax, bx) + hw + 2));
  const int ys = std::max(m.top, clamp_y(std::min(ay, by) - hw - 1));
  const int ye = std::min(m.top + m.height, clamp_y(std::max(ay, by) + hw + 2));
  const double dx = bx - ax, dy = by - ay;
  const double len2 = dx * dx + dy * dy;
  for (int y = ys; y < ye; ++y) {
    const double py = y + 0.5;
    for (int x = xs; x < xe; ++x) {
      const double px = x + 0.5;
      double t = len2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0.0;
      t = std::clamp(t, 0.0, 1.0);
      const double ex = ax + t * dx - px, ey = ay + t * dy - py;
      const double dist = std::sqrt(ex * ex + ey * ey);
      const float v = static_cast<float>(clamp01(hw - dist + 0.5) * gain);
      if (v > 0) {
        float& c = m.at(x, y);
        c = std::max(c, v);
      }
    }
  }
}

void sheet_canvas::add_outline(coverage_mask& m, double x0, double y0, double x1, double y1, double line_mm) const {
  add_rect(m, x0, y0, x1, y0 + line_mm);
  add_rect(m, x0, y1 - line_mm, x1, y1);
  add_rect(m, x0, y0, x0 + line_mm, y1);
  add_rect(m, x1 - line_mm, y0, x1, y1);
}

void sheet_canvas::apply(const coverage_mask& m, const ink& colour, float strength) {
  const float kb = strength * (1 - colour.blue), kg = strength * (1 - colour.green), kr = strength * (1 - colour.red);
  for (int y = 0; y < m.height; ++y) {
    std::uint8_t* p = pixels_.data() + (static_cast<std::size_t>(y + m.top) * static_cast<std::size_t>(width_) +
                                        static_cast<std::size_t>(m.left)) * 3;
    const float* c = m.value.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(m.width);
    for (int x = 0; x < m.width; ++x, p += 3) {
      const float v = c[x];
      if (v <= 0) continue;
      p[0] = static_cast<std::uint8_t>(p[0] * (1 - v * kb) + 0.5f);
      p[1] = static_cast<std::uint8_t>(p[1] * (1 - v * kg) + 0.5f);
      p[2] = static_cast<std::uint8_t>(p[2] * (1 - v * kr) + 0.5f);
    }
  }
}

void sheet_canvas::pen_fill(const layout_box& box, double spill_x, double spill_y, prng& rng, const ink& colour) {
  const double x0 = box.center_x - box.half_width, x1 = box.center_x + box.half_width;
  const double y0 = box.center_y - box.half_height, y1 = box.center_y + box.half_height;
  // Each edge wobbles between a little short of the outline and the spill.
  wobble edge[4];
  double reach[4];
  for (int i = 0; i < 4; ++i) {
    edge[i].randomize(rng, 1.6);
    reach[i] = (i < 2 ? spill_x : spill_y) * rng.range(0.3, 1.0);
  }
  wobble streak;
  streak.randomize(rng, 9.0);
  const double streak_pitch = rng.range(0.35, 0.55);
  const float base = static_cast<float>(rng.range(0.93, 1.0));
  coverage_mask m = mask_for(x0 - spill_x - 0.5, y0 - spill_y - 0.5, x1 + spill_x + 0.5, y1 + spill_y + 0.5);
  const float kb = 1 - colour.blue, kg = 1 - colour.green, kr = 1 - colour.red;
  for (int y = m.top; y < m.top + m.height; ++y) {
    const double v = (y + 0.5) / scale_;
    const double left = x0 - reach[0] * (0.35 + 0.65 * edge[0].at(v));
    const double right = x1 + reach[1] * (0.35 + 0.65 * edge[1].at(v));
    std::uint8_t* p = pixels_.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                                        static_cast<std::size_t>(m.left)) * 3;
    for (int x = m.left; x < m.left + m.width; ++x, p += 3) {
      const double u = (x + 0.5) / scale_;
      const double top = y0 - reach[2] * (0.35 + 0.65 * edge[2].at(u));
      const double bottom = y1 + reach[3] * (0.35 + 0.65 * edge[3].at(u));
      const double inside = std::min(std::min(u - left, right - u), std::min(v - top, bottom - v)) * scale_;
      const float cov = clamp01(inside + 0.5);
      if (cov <= 0) continue;
      // Scribble streaks: the pen's back-and-forth leaves slightly lighter lines.
      const double phase = v / streak_pitch + 0.25 * streak.at(u);
      const double s = 0.5 + 0.5 * std::cos(6.2831853 * phase);
      const float k = cov * base * static_cast<float>(0.9 + 0.1 * s);
      p[0] = static_cast<std::uint8_t>(p[0] * (1 - k * kb) + 0.5f);
      p[1] = static_cast<std::uint8_t>(p[1] * (1 - k * kg) + 0.5f);
      p[2] = static_cast<std::uint8_t>(p[2] * (1 - k * kr) + 0.5f);
    }
  }
}

void sheet_canvas::pencil_hatch(const layout_box& box, double share, prng& rng) {
  const double w = 2 * box.half_width, h = 2 * box.half_height;
  // Split the uncovered share between the four sides: people miss the
  // corners and edges, rarely the middle.
  double kx = std::min(1.0, std::sqrt(share) * rng.range(0.97, 1.04));
  double ky = share / kx;
  if (ky > 1) {
    ky = 1;
    kx = share;
  }
  const double fl = (1 - kx) * rng.range(0.2, 0.8), fr = (1 - kx) - fl;
  const double ft = (1 - ky) * rng.range(0.2, 0.8), fb = (1 - ky) - ft;
  const double x0 = box.center_x - box.half_width + fl * w, x1 = box.center_x + box.half_width - fr * w;
  const double y0 = box.center_y - box.half_height + ft * h, y1 = box.center_y + box.half_height - fb * h;
  wobble edge[4];
  for (auto& e : edge) e.randomize(rng, 2.0);
  const double ragged = 0.18;  // mm the stroke ends stray around the region's edge

  const double angle = rng.range(0.5, 1.05) * (rng.chance(0.5) ? 1 : -1);  // radians, 29..60 degrees
  const double nx = -std::sin(angle), ny = std::cos(angle);                  // normal to the strokes
  const double tx = std::cos(angle), ty = std::sin(angle);
  const double stroke = rng.range(0.38, 0.5);                                // mm
  const double pitch = stroke * rng.range(0.72, 0.95);
  const std::uint64_t salt = rng.next();
  const float graphite_b = 0.46f, graphite_g = 0.43f, graphite_r = 0.41f;

  coverage_mask m = mask_for(x0 - 0.5, y0 - 0.5, x1 + 0.5, y1 + 0.5);
  for (int y = m.top; y < m.top + m.height; ++y) {
    const double v = (y + 0.5) / scale_;
    const double left = x0 - ragged * edge[0].at(v), right = x1 + ragged * edge[1].at(v);
    std::uint8_t* p = pixels_.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                                        static_cast<std::size_t>(m.left)) * 3;
    for (int x = m.left; x < m.left + m.width; ++x, p += 3) {
      const double u = (x + 0.5) / scale_;
      const double top = y0 - ragged * edge[2].at(u), bottom = y1 + ragged * edge[3].at(u);
      const double inside = std::min(std::min(u - left, right - u), std::min(v - top, bottom - v)) * scale_;
      const double region = clamp01(inside + 0.5);
      if (region <= 0) continue;
      const double n = u * nx + v * ny, t = u * tx + v * ty;
      const long k0 = static_cast<long>(std::floor(n / pitch));
      // Graphite grain: the paper's tooth takes the lead unevenly.
      const double grain = 0.62 + 0.38 * hash01(x, y, salt);
      float tb = 1, tg = 1, tr = 1;
      for (long k = k0 - 1; k <= k0 + 1; ++k) {
        const double jitter = (hash01(k, 1, salt) - 0.5) * 0.25 * pitch;
        const double wave = 0.04 * std::sin(t * 3.1 + 6.2831853 * hash01(k, 2, salt));
        const double d = std::fabs(n - (k + 0.5) * pitch - jitter - wave) * scale_;
        const double cov = clamp01(stroke * 0.5 * scale_ - d + 0.5) * region;
        if (cov <= 0) continue;
        const double pressure = 0.72 + 0.28 * hash01(k, 3, salt);
        const float a = static_cast<float>(cov * pressure * grain);
        tb *= 1 - a * (1 - graphite_b);
        tg *= 1 - a * (1 - graphite_g);
        tr *= 1 - a * (1 - graphite_r);
      }
      p[0] = static_cast<std::uint8_t>(p[0] * tb + 0.5f);
      p[1] = static_cast<std::uint8_t>(p[1] * tg + 0.5f);
      p[2] = static_cast<std::uint8_t>(p[2] * tr + 0.5f);
    }
  }
}

// ---------------------------------------------------------------- stroke font

namespace {

// Glyphs on a 4 x 6 grid, y down, baseline at 6: polylines separated by ';'.
const std::map<char, const char*>& glyph_table() {
  static const std::map<char, const char*> table = {
      {'A', "0,6 2,0 4,6; 0.7,4 3.3,4"},
      {'B', "0,6 0,0 3,0 4,0.8 4,2.2 3,3 0,3; 3,3 4,3.8 4,5.2 3,6 0,6"},
      {'C', "4,0.8 3,0 1,0 0,1 0,5 1,6 3,6 4,5.2"},
      {'D', "0,0 0,6 2.5,6 4,4.5 4,1.5 2.5,0 0,0"},
      {'E', "4,0 0,0 0,6 4,6; 0,3 3,3"},
      {'F', "4,0 0,0 0,6; 0,3 3,3"},
      {'G', "4,0.8 3,0 1,0 0,1 0,5 1,6 3,6 4,5 4,3.3 2.3,3.3"},
      {'H', "0,0 0,6; 4,0 4,6; 0,3 4,3"},
      {'I', "1,0 3,0; 2,0 2,6; 1,6 3,6"},
      {'J', "4,0 4,5 3,6 1,6 0,5"},
      {'K', "0,0 0,6; 4,0 0,3.5; 1.3,2.7 4,6"},
      {'L', "0,0 0,6 4,6"},
      {'M', "0,6 0,0 2,3.5 4,0 4,6"},
      {'N', "0,6 0,0 4,6 4,0"},
      {'O', "1,0 3,0 4,1 4,5 3,6 1,6 0,5 0,1 1,0"},
      {'P', "0,6 0,0 3,0 4,0.8 4,2.4 3,3.2 0,3.2"},
      {'Q', "1,0 3,0 4,1 4,5 3,6 1,6 0,5 0,1 1,0; 2.5,4.5 4,6.3"},
      {'R', "0,6 0,0 3,0 4,0.8 4,2.4 3,3.2 0,3.2; 2,3.2 4,6"},
      {'S', "4,0.8 3,0 1,0 0,0.8 0,2.2 1,3 3,3 4,3.8 4,5.2 3,6 1,6 0,5.2"},
      {'T', "0,0 4,0; 2,0 2,6"},
      {'U', "0,0 0,5 1,6 3,6 4,5 4,0"},
      {'V', "0,0 2,6 4,0"},
      {'W', "0,0 1,6 2,2.5 3,6 4,0"},
      {'X', "0,0 4,6; 4,0 0,6"},
      {'Y', "0,0 2,3 4,0; 2,3 2,6"},
      {'Z', "0,0 4,0 0,6 4,6"},
      {'0', "1.2,0 2.8,0 3.7,1 3.7,5 2.8,6 1.2,6 0.3,5 0.3,1 1.2,0"},
      {'1', "0.8,1.2 2,0 2,6; 0.8,6 3.2,6"},
      {'2', "0,1 1,0 3,0 4,1 4,2.3 0,6 4,6"},
      {'3', "0,0.8 1,0 3,0 4,0.8 4,2.2 3,3 1.5,3; 3,3 4,3.8 4,5.2 3,6 1,6 0,5.2"},
      {'4', "3,6 3,0 0,4.2 4,4.2"},
      {'5', "4,0 0.3,0 0,2.8 3,2.6 4,3.6 4,5.2 3,6 1,6 0,5.2"},
      {'6', "3.8,0.6 3,0 1,0 0,1 0,5 1,6 3,6 4,5 4,3.8 3,3 1,3 0,3.8"},
      {'7', "0,0 4,0 1.5,6"},
      {'8', "1,0 3,0 4,0.8 4,2.2 3,3 1,3 0,3.8 0,5.2 1,6 3,6 4,5.2 4,3.8 3,3; 1,3 0,2.2 0,0.8 1,0"},
      {'9', "0.2,5.4 1,6 3,6 4,5 4,1 3,0 1,0 0,1 0,2.2 1,3 3,3 4,2.2"},
      {'.', "1.7,5.5 2.3,5.5 2.3,6 1.7,6 1.7,5.5"},
      {',', "2.2,5.4 2.2,6 1.6,7"},
      {':', "1.7,1.7 2.3,1.7 2.3,2.3 1.7,2.3 1.7,1.7; 1.7,5.5 2.3,5.5 2.3,6 1.7,6 1.7,5.5"},
      {'-', "0.8,3 3.2,3"},
      {'/', "0.5,6 3.5,0"},
      {'(', "2.8,-0.3 1.5,1.5 1.5,4.5 2.8,6.3"},
      {')', "1.2,-0.3 2.5,1.5 2.5,4.5 1.2,6.3"},
  };
  return table;
}

using polyline = std::vector<point_d>;

std::vector<polyline> parse_glyph(const char* s) {
  std::vector<polyline> lines(1);
  while (*s) {
    if (*s == ';') {
      lines.emplace_back();
      ++s;
      continue;
    }
    if (*s == ' ') {
      ++s;
      continue;
    }
    char* end = nullptr;
    const double x = std::strtod(s, &end);
    s = end + 1;  // past ','
    const double y = std::strtod(s, &end);
    s = end;
    lines.back().push_back({x, y});
  }
  return lines;
}

// Parsed once (a function-local static: safe when renders run on several threads).
const std::vector<polyline>& glyph(char c) {
  static const std::map<char, std::vector<polyline>> parsed = [] {
    std::map<char, std::vector<polyline>> m;
    for (const auto& [ch, text] : glyph_table()) m.emplace(ch, parse_glyph(text));
    return m;
  }();
  static const std::vector<polyline> none;
  auto it = parsed.find(c);
  return it == parsed.end() ? none : it->second;
}

constexpr double glyph_advance = 5.6;  // grid units per character

}  // namespace

double sheet_canvas::text_width(const std::string& s, double height_mm) {
  if (s.empty()) return 0;
  const double unit = height_mm / 6.0;
  return (static_cast<double>(s.size()) - 1) * glyph_advance * unit + 4 * unit;
}

double sheet_canvas::text(const std::string& s, double x, double y, double height_mm, const ink& colour) {
  const double unit = height_mm / 6.0;
  const double line = std::max(height_mm * 0.1, 1.0 / scale_);
  const double top = y - height_mm;
  coverage_mask m = mask_for(x - line, top - line - unit, x + text_width(s, height_mm) + line, y + line + unit);
  double pen_x = x;
  for (char c : s) {
    const char u = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    for (const polyline& pl : glyph(u)) {
      for (std::size_t i = 0; i + 1 < pl.size(); ++i) {
        add_segment(m, pen_x + pl[i].x * unit, top + pl[i].y * unit, pen_x + pl[i + 1].x * unit,
                    top + pl[i + 1].y * unit, line);
      }
      if (pl.size() == 1) add_segment(m, pen_x + pl[0].x * unit, top + pl[0].y * unit, pen_x + pl[0].x * unit,
                                      top + pl[0].y * unit, line);
    }
    pen_x += glyph_advance * unit;
  }
  apply(m, colour);
  return pen_x - x;
}

// ---------------------------------------------------------------- homography

std::array<double, 9> homography_from_quads(const std::array<point_d, 4>& from, const std::array<point_d, 4>& to,
                                            bool& ok) {
  // Solve the 8 unknowns of H (h33 = 1) by Gaussian elimination with pivoting.
  double a[8][9] = {};
  for (int i = 0; i < 4; ++i) {
    const double x = from[i].x, y = from[i].y, u = to[i].x, v = to[i].y;
    double* r0 = a[2 * i];
    double* r1 = a[2 * i + 1];
    r0[0] = x, r0[1] = y, r0[2] = 1, r0[6] = -u * x, r0[7] = -u * y, r0[8] = u;
    r1[3] = x, r1[4] = y, r1[5] = 1, r1[6] = -v * x, r1[7] = -v * y, r1[8] = v;
  }
  ok = true;
  for (int c = 0; c < 8; ++c) {
    int pivot = c;
    for (int r = c + 1; r < 8; ++r)
      if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
    if (std::fabs(a[pivot][c]) < 1e-12) {
      ok = false;
      return {};
    }
    if (pivot != c)
      for (int k = 0; k < 9; ++k) std::swap(a[c][k], a[pivot][k]);
    for (int r = 0; r < 8; ++r) {
      if (r == c) continue;
      const double f = a[r][c] / a[c][c];
      for (int k = c; k < 9; ++k) a[r][k] -= f * a[c][k];
    }
  }
  std::array<double, 9> h{};
  for (int i = 0; i < 8; ++i) h[i] = a[i][8] / a[i][i];
  h[8] = 1;
  return h;
}

std::array<double, 9> invert3(const std::array<double, 9>& m, bool& ok) {
  const double det = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                     m[2] * (m[3] * m[7] - m[4] * m[6]);
  ok = std::fabs(det) > 1e-15;
  if (!ok) return {};
  const double k = 1.0 / det;
  return {(m[4] * m[8] - m[5] * m[7]) * k, (m[2] * m[7] - m[1] * m[8]) * k, (m[1] * m[5] - m[2] * m[4]) * k,
          (m[5] * m[6] - m[3] * m[8]) * k, (m[0] * m[8] - m[2] * m[6]) * k, (m[2] * m[3] - m[0] * m[5]) * k,
          (m[3] * m[7] - m[4] * m[6]) * k, (m[1] * m[6] - m[0] * m[7]) * k, (m[0] * m[4] - m[1] * m[3]) * k};
}

point_d apply_h(const std::array<double, 9>& m, double x, double y) {
  const double w = m[6] * x + m[7] * y + m[8];
  return {(m[0] * x + m[1] * y + m[2]) / w, (m[3] * x + m[4] * y + m[5]) / w};
}

}  // namespace sheetgen::detail
