// Drawing into 24-bit bitmaps.
//
// draw_image maps every target pixel centre back through the world transform
// and the destination-to-source rectangle scaling into source space, and
// samples there; pixel (i, j) has its centre at (i + 0.5, j + 0.5) in both
// spaces. A target pixel is drawn when its centre falls inside the destination
// rectangle; the source is sampled clamped to the part of the source rectangle
// that lies inside the source image, so edges repeat rather than fade.
// For each target row the drawn span is solved from the affine map once, so
// the inner loop has no per-pixel tests. Bilinear weights are 8-bit fixed
// point. high_quality_bilinear averages the source footprint (a box filter)
// when shrinking an unrotated image, which is what keeps a half-size copy of
// a sheet free of aliasing; otherwise it is bilinear.
#include "platform/drawing.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace platform {

void world_transform::prepend_translate(double tx, double ty) {
  dx += m11 * tx + m21 * ty;
  dy += m12 * tx + m22 * ty;
}

void world_transform::prepend_rotate(double degrees) {
  const double r = degrees * std::numbers::pi / 180.0;
  const double c = std::cos(r), s = std::sin(r);
  // Rotation matrix in the library's row-vector form: [c s; -s c].
  const double n11 = c * m11 + s * m21, n12 = c * m12 + s * m22;
  const double n21 = -s * m11 + c * m21, n22 = -s * m12 + c * m22;
  m11 = n11;
  m12 = n12;
  m21 = n21;
  m22 = n22;
}

bool fill_rect(bitmap& target, int x, int y, int width, int height, bgr_colour colour) {
  if (!target.has_image()) {
    target.set_status(image_status::wrong_state);
    return false;
  }
  if (width < 0 || height < 0) {
    target.set_status(image_status::invalid_parameter);
    return false;
  }
  const int x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int x1 = static_cast<int>(std::min<long long>(static_cast<long long>(x) + width, target.width()));
  const int y1 = static_cast<int>(std::min<long long>(static_cast<long long>(y) + height, target.height()));
  if (x0 >= x1 || y0 >= y1) return true;
  const std::size_t span = static_cast<std::size_t>(x1 - x0) * bytes_per_pixel;
  const bool grey = colour.blue == colour.green && colour.green == colour.red;
  std::uint8_t* first = target.row(y0) + x0 * bytes_per_pixel;
  if (grey) {
    std::memset(first, colour.blue, span);
  } else {
    for (int i = 0; i < x1 - x0; ++i) {
      first[i * 3 + channel_blue] = colour.blue;
      first[i * 3 + channel_green] = colour.green;
      first[i * 3 + channel_red] = colour.red;
    }
  }
  for (int row = y0 + 1; row < y1; ++row) std::memcpy(target.row(row) + x0 * bytes_per_pixel, first, span);
  return true;
}

namespace {

// Source coordinates u = ux * px + uy * py + u0 (likewise v) of a target point.
struct affine_map {
  double ux, uy, u0, vx, vy, v0;
};

// The px interval where lo <= a * px + b < hi, intersected with [from, to).
void restrict_span(double a, double b, double lo, double hi, double& from, double& to) {
  if (a == 0.0) {
    if (!(b >= lo && b < hi)) to = from;  // empty
    return;
  }
  double p0 = (lo - b) / a, p1 = (hi - b) / a;
  if (p0 > p1) std::swap(p0, p1);
  from = std::max(from, p0);
  to = std::min(to, p1);
}

// floor() for values well inside the int range, without the library call
// that the baseline x86-64 instruction set makes of std::floor.
inline int floor_to_int(double x) {
  const int i = static_cast<int>(x);
  return i - (x < static_cast<double>(i));
}

struct sample_area {
  int x0, y0, x1, y1;  // inclusive source pixel range that may be read
};

void draw_rows_bilinear(bitmap& target, const bitmap& source, const affine_map& m, const sample_area& area,
                        const double bounds[4], int tx0, int tx1, int ty0, int ty1, bool nearest) {
  for (int py = ty0; py < ty1; ++py) {
    const double cy = py + 0.5;
    double from = tx0 + 0.5, to = tx1 + 0.5;
    restrict_span(m.ux, m.uy * cy + m.u0, bounds[0], bounds[2], from, to);
    restrict_span(m.vx, m.vy * cy + m.v0, bounds[1], bounds[3], from, to);
    // Pixel centres px + 0.5 within [from, to).
    const int first = std::max(tx0, static_cast<int>(std::ceil(from - 0.5)));
    const int last = std::min(tx1, static_cast<int>(std::ceil(to - 0.5)));
    std::uint8_t* out = target.row(py);
    for (int px = first; px < last; ++px) {
      const double cx = px + 0.5;
      const double u = m.ux * cx + m.uy * cy + m.u0;
      const double v = m.vx * cx + m.vy * cy + m.v0;
      std::uint8_t* d = out + px * bytes_per_pixel;
      if (nearest) {
        const int sx = std::clamp(floor_to_int(u), area.x0, area.x1);
        const int sy = std::clamp(floor_to_int(v), area.y0, area.y1);
        std::memcpy(d, source.row(sy) + sx * bytes_per_pixel, bytes_per_pixel);
        continue;
      }
      const double fu = u - 0.5, fv = v - 0.5;
      const int ilu = floor_to_int(fu), ilv = floor_to_int(fv);
      const int wx = static_cast<int>((fu - ilu) * 256.0 + 0.5);
      const int wy = static_cast<int>((fv - ilv) * 256.0 + 0.5);
      const int x0 = std::clamp(ilu, area.x0, area.x1);
      const int x1 = std::clamp(ilu + 1, area.x0, area.x1);
      const int y0 = std::clamp(ilv, area.y0, area.y1);
      const int y1 = std::clamp(ilv + 1, area.y0, area.y1);
      const std::uint8_t* a = source.row(y0) + x0 * bytes_per_pixel;
      const std::uint8_t* b = source.row(y0) + x1 * bytes_per_pixel;
      const std::uint8_t* c = source.row(y1) + x0 * bytes_per_pixel;
      const std::uint8_t* e = source.row(y1) + x1 * bytes_per_pixel;
      for (int ch = 0; ch < bytes_per_pixel; ++ch) {
        const int top = a[ch] * (256 - wx) + b[ch] * wx;
        const int bottom = c[ch] * (256 - wx) + e[ch] * wx;
        d[ch] = static_cast<std::uint8_t>((top * (256 - wy) + bottom * wy + (1 << 15)) >> 16);
      }
    }
  }
}

// Box-filter shrink of an unrotated, unmirrored mapping: each target pixel is
// the coverage-weighted mean of its source footprint.
struct box_weights {
  int first;
  std::vector<float> weights;
};

std::vector<box_weights> footprints(int t0, int t1, double scale, double offset, int lo, int hi) {
  std::vector<box_weights> out;
  out.reserve(static_cast<std::size_t>(t1 - t0));
  for (int t = t0; t < t1; ++t) {
    double a = std::clamp(scale * t + offset, static_cast<double>(lo), static_cast<double>(hi + 1));
    double b = std::clamp(scale * (t + 1) + offset, static_cast<double>(lo), static_cast<double>(hi + 1));
    box_weights w;
    w.first = std::min(static_cast<int>(std::floor(a)), hi);
    if (b <= a) {  // footprint outside the area: the nearest edge pixel
      w.weights.push_back(1.0f);
      out.push_back(std::move(w));
      continue;
    }
    const int last = std::min(static_cast<int>(std::ceil(b)) - 1, hi);
    float total = 0;
    for (int s = w.first; s <= last; ++s) {
      const double cover = std::min<double>(s + 1, b) - std::max<double>(s, a);
      w.weights.push_back(static_cast<float>(std::max(cover, 0.0)));
      total += w.weights.back();
    }
    for (float& x : w.weights) x /= total;
    out.push_back(std::move(w));
  }
  return out;
}

void draw_rows_box(bitmap& target, const bitmap& source, const affine_map& m, const sample_area& area, int tx0,
                   int tx1, int ty0, int ty1) {
  // u = ux * (px) + u0 with pixel edges at integers: the footprint of target
  // pixel px is [ux * px + u0, ux * (px + 1) + u0).
  const auto columns = footprints(tx0, tx1, m.ux, m.u0, area.x0, area.x1);
  const auto rows = footprints(ty0, ty1, m.vy, m.v0, area.y0, area.y1);
  std::vector<float> line(static_cast<std::size_t>(tx1 - tx0) * bytes_per_pixel);
  for (int py = ty0; py < ty1; ++py) {
    std::fill(line.begin(), line.end(), 0.0f);
    const box_weights& rw = rows[static_cast<std::size_t>(py - ty0)];
    for (std::size_t k = 0; k < rw.weights.size(); ++k) {
      const std::uint8_t* src = source.row(rw.first + static_cast<int>(k));
      const float wy = rw.weights[k];
      for (int px = tx0; px < tx1; ++px) {
        const box_weights& cw = columns[static_cast<std::size_t>(px - tx0)];
        float acc[3] = {0, 0, 0};
        const std::uint8_t* s = src + cw.first * bytes_per_pixel;
        for (std::size_t j = 0; j < cw.weights.size(); ++j, s += bytes_per_pixel) {
          acc[0] += cw.weights[j] * s[0];
          acc[1] += cw.weights[j] * s[1];
          acc[2] += cw.weights[j] * s[2];
        }
        float* l = line.data() + static_cast<std::size_t>(px - tx0) * bytes_per_pixel;
        l[0] += wy * acc[0];
        l[1] += wy * acc[1];
        l[2] += wy * acc[2];
      }
    }
    std::uint8_t* out = target.row(py) + tx0 * bytes_per_pixel;
    for (std::size_t i = 0; i < line.size(); ++i)
      out[i] = static_cast<std::uint8_t>(std::clamp(line[i] + 0.5f, 0.0f, 255.0f));
  }
}

}  // namespace

bool draw_image(bitmap& target, const bitmap& source, double sx, double sy, double sw, double sh, double dx,
                double dy, double dw, double dh, const world_transform& world, interpolation mode) {
  if (!target.has_image() || !source.has_image()) {
    (target.has_image() ? const_cast<bitmap&>(source) : target).set_status(image_status::wrong_state);
    return false;
  }
  const double det = world.m11 * world.m22 - world.m12 * world.m21;
  if (!(sw > 0) || !(sh > 0) || dw == 0 || dh == 0 || !std::isfinite(det) || det == 0 ||
      !std::isfinite(sx + sy + sw + sh + dx + dy + dw + dh)) {
    target.set_status(image_status::invalid_parameter);
    return false;
  }
  // The part of the source rectangle inside the source image.
  sample_area area{std::max(0, static_cast<int>(std::floor(sx))), std::max(0, static_cast<int>(std::floor(sy))),
                   std::min(source.width(), static_cast<int>(std::ceil(sx + sw))) - 1,
                   std::min(source.height(), static_cast<int>(std::ceil(sy + sh))) - 1};
  if (area.x0 > area.x1 || area.y0 > area.y1) return true;  // nothing of the source to draw

  // Device -> world (inverse of the world transform), then world -> source.
  const double i11 = world.m22 / det, i12 = -world.m12 / det, i21 = -world.m21 / det, i22 = world.m11 / det;
  const double ix = -(world.dx * i11 + world.dy * i21), iy = -(world.dx * i12 + world.dy * i22);
  // world x = i11 * px + i21 * py + ix; world y = i12 * px + i22 * py + iy
  const double kx = sw / dw, ky = sh / dh;
  const affine_map m{kx * i11, kx * i21, sx + kx * (ix - dx), ky * i12, ky * i22, sy + ky * (iy - dy)};
  const double bounds[4] = {sx, sy, sx + sw, sy + sh};

  // Target pixels the destination rectangle may cover.
  double min_x = 1e300, min_y = 1e300, max_x = -1e300, max_y = -1e300;
  for (const auto& [wx, wy] : {std::pair{dx, dy}, std::pair{dx + dw, dy}, std::pair{dx, dy + dh},
                               std::pair{dx + dw, dy + dh}}) {
    const double px = world.m11 * wx + world.m21 * wy + world.dx;
    const double py = world.m12 * wx + world.m22 * wy + world.dy;
    min_x = std::min(min_x, px);
    max_x = std::max(max_x, px);
    min_y = std::min(min_y, py);
    max_y = std::max(max_y, py);
  }
  const int tx0 = static_cast<int>(std::clamp(std::floor(min_x), 0.0, static_cast<double>(target.width())));
  const int tx1 = static_cast<int>(std::clamp(std::ceil(max_x), 0.0, static_cast<double>(target.width())));
  const int ty0 = static_cast<int>(std::clamp(std::floor(min_y), 0.0, static_cast<double>(target.height())));
  const int ty1 = static_cast<int>(std::clamp(std::ceil(max_y), 0.0, static_cast<double>(target.height())));
  if (tx0 >= tx1 || ty0 >= ty1) return true;

  const bool axis_aligned = m.uy == 0 && m.vx == 0 && m.ux > 0 && m.vy > 0;
  // A 1:1 copy at whole-pixel offsets: rows are copied as they are.
  if (axis_aligned && m.ux == 1 && m.vy == 1 && m.u0 == std::floor(m.u0) && m.v0 == std::floor(m.v0)) {
    const int ox = static_cast<int>(m.u0), oy = static_cast<int>(m.v0);
    const int x0 = std::max({tx0, area.x0 - ox, static_cast<int>(std::ceil(min_x))});
    const int x1 = std::min({tx1, area.x1 + 1 - ox, static_cast<int>(std::floor(max_x))});
    const int y0 = std::max({ty0, area.y0 - oy, static_cast<int>(std::ceil(min_y))});
    const int y1 = std::min({ty1, area.y1 + 1 - oy, static_cast<int>(std::floor(max_y))});
    for (int y = y0; y < y1 && x0 < x1; ++y)
      std::memcpy(target.row(y) + x0 * bytes_per_pixel, source.row(y + oy) + (x0 + ox) * bytes_per_pixel,
                  static_cast<std::size_t>(x1 - x0) * bytes_per_pixel);
    return true;
  }
  if (mode == interpolation::high_quality_bilinear && axis_aligned && (m.ux > 1 || m.vy > 1)) {
    // Only pixels whose centre lies in the destination rectangle, as below.
    double fx = tx0 + 0.5, tx = tx1 + 0.5, fy = ty0 + 0.5, ty = ty1 + 0.5;
    restrict_span(m.ux, m.u0, bounds[0], bounds[2], fx, tx);
    restrict_span(m.vy, m.v0, bounds[1], bounds[3], fy, ty);
    const int x0 = std::max(tx0, static_cast<int>(std::ceil(fx - 0.5)));
    const int x1 = std::min(tx1, static_cast<int>(std::ceil(tx - 0.5)));
    const int y0 = std::max(ty0, static_cast<int>(std::ceil(fy - 0.5)));
    const int y1 = std::min(ty1, static_cast<int>(std::ceil(ty - 0.5)));
    if (x0 < x1 && y0 < y1) draw_rows_box(target, source, m, area, x0, x1, y0, y1);
    return true;
  }
  draw_rows_bilinear(target, source, m, area, bounds, tx0, tx1, ty0, ty1, mode == interpolation::nearest);
  return true;
}

bool rotate_flip_image(bitmap& image, int code) {
  if (!image.has_image()) {
    image.set_status(image_status::wrong_state);
    return false;
  }
  if (code < 0 || code > 7) {
    image.set_status(image_status::invalid_parameter);
    return false;
  }
  if (code == 0) return true;
  const int turns = code & 3;
  const bool flip_x = (code & 4) != 0;
  const int w = image.width(), h = image.height();
  const int nw = (turns & 1) ? h : w, nh = (turns & 1) ? w : h;
  bitmap out;
  if (!out.create_uninitialized(nw, nh)) {
    image.set_status(out.last_status());
    return false;
  }
  // Target pixel (x, y) comes from source pixel (sx, sy): first undo the
  // mirror (rx), then the clockwise turn. Both are linear in x and y, so the
  // source byte is base + x * step_x + y * step_y.
  const std::ptrdiff_t stride = image.stride();
  const std::ptrdiff_t px = bytes_per_pixel;
  const std::ptrdiff_t rx0 = flip_x ? nw - 1 : 0;
  const std::ptrdiff_t dr = flip_x ? -1 : 1;
  std::ptrdiff_t base = 0, step_x = 0, step_y = 0;
  switch (turns) {
    case 0: base = rx0 * px; step_x = dr * px; step_y = stride; break;                        // (rx, y)
    case 1: base = (h - 1 - rx0) * stride; step_x = -dr * stride; step_y = px; break;           // (y, h-1-rx)
    case 2: base = (h - 1) * stride + (w - 1 - rx0) * px; step_x = -dr * px; step_y = -stride; break;  // (w-1-rx, h-1-y)
    default: base = rx0 * stride + (w - 1) * px; step_x = dr * stride; step_y = -px; break;    // (w-1-y, rx)
  }
  const std::uint8_t* src = image.pixels() + base;
  if (turns & 1) {
    // Quarter turns walk source columns: take bands of target rows so that
    // each source row is read in short contiguous runs while it is cached.
    constexpr int band = 16;
    for (int y0 = 0; y0 < nh; y0 += band) {
      const int y1 = std::min(nh, y0 + band);
      for (int x = 0; x < nw; ++x) {
        const std::uint8_t* s = src + x * step_x + y0 * step_y;
        for (int y = y0; y < y1; ++y, s += step_y) std::memcpy(out.row(y) + x * px, s, bytes_per_pixel);
      }
    }
  } else {
    for (int y = 0; y < nh; ++y) {
      const std::uint8_t* s = src + y * step_y;
      std::uint8_t* d = out.row(y);
      for (int x = 0; x < nw; ++x, d += px, s += step_x) std::memcpy(d, s, bytes_per_pixel);
    }
  }
  if (turns & 1)
    out.set_resolution(image.dpi_y(), image.dpi_x());
  else
    out.set_resolution(image.dpi_x(), image.dpi_y());
  out.set_status(image.last_status());
  image = std::move(out);
  return true;
}

}  // namespace platform
