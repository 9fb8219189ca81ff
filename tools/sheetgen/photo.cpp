// The photograph: the printed and marked sheet placed on a desk through a
// homography (scale, quarter turn, skew, mild keystone), lit unevenly, seen
// through a slightly soft lens and a noisy sensor.
//
// Pipeline per render:
//   marks on the canvas -> geometry -> per photo pixel: sheet (4 bilinear
//   samples of the canvas, which is twice as fine as the photo) or desk
//   (procedural texture, the sheet's soft shadow) -> light -> blur -> noise.
// A 3264 x 2448 photo takes about a second on one core.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

#include "platform/image_codec.h"
#include "tools/sheetgen/internal.h"

namespace sheetgen {

using namespace detail;

namespace {

constexpr double pi = 3.14159265358979323846;

// Smooth value noise: white noise on a coarse grid, box-blurred, sampled bilinearly.
struct noise_field {
  int width = 0, height = 0;
  double cell = 1;
  std::vector<float> v;

  void make(int photo_w, int photo_h, double cell_px, int smooth, prng& rng) {
    cell = cell_px;
    width = static_cast<int>(photo_w / cell_px) + 3;
    height = static_cast<int>(photo_h / cell_px) + 3;
    v.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (float& f : v) f = static_cast<float>(rng.uniform() * 2 - 1);
    std::vector<float> t(v.size());
    for (int pass = 0; pass < smooth; ++pass) {
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          float s = 0;
          int n = 0;
          for (int k = -1; k <= 1; ++k) {
            const int xx = x + k;
            if (xx < 0 || xx >= width) continue;
            s += v[static_cast<std::size_t>(y) * width + xx];
            ++n;
          }
          t[static_cast<std::size_t>(y) * width + x] = s / n;
        }
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          float s = 0;
          int n = 0;
          for (int k = -1; k <= 1; ++k) {
            const int yy = y + k;
            if (yy < 0 || yy >= height) continue;
            s += t[static_cast<std::size_t>(yy) * width + x];
            ++n;
          }
          v[static_cast<std::size_t>(y) * width + x] = s / n;
        }
    }
    // Rescale to about [-1, 1].
    float peak = 1e-6f;
    for (float f : v) peak = std::max(peak, std::fabs(f));
    for (float& f : v) f /= peak;
  }

  // Mirrored beyond the field, so any coordinate gives a continuous value.
  float at_mirrored(double x, double y) const {
    const double fw = (width - 2) * cell, fh = (height - 2) * cell;
    double tx = std::fmod(std::fabs(x), 2 * fw), ty = std::fmod(std::fabs(y), 2 * fh);
    if (tx > fw) tx = 2 * fw - tx;
    if (ty > fh) ty = 2 * fh - ty;
    return at(tx, ty);
  }

  float at(double x, double y) const {
    const double gx = std::clamp(x / cell, 0.0, width - 1.001), gy = std::clamp(y / cell, 0.0, height - 1.001);
    const int ix = static_cast<int>(gx), iy = static_cast<int>(gy);
    const float fx = static_cast<float>(gx - ix), fy = static_cast<float>(gy - iy);
    const float* r0 = v.data() + static_cast<std::size_t>(iy) * width + ix;
    const float* r1 = r0 + width;
    return (r0[0] * (1 - fx) + r0[1] * fx) * (1 - fy) + (r1[0] * (1 - fx) + r1[1] * fx) * fy;
  }
};

struct desk_painter {
  desk_kind kind = desk_kind::grey;
  noise_field coarse, medium;
  float base[3] = {150, 150, 150};  // blue, green, red
  double grain_cos = 1, grain_sin = 0, grain_period = 20, px_per_mm = 6;
  double grid_cos = 1, grid_sin = 0, grid_x = 0, grid_y = 0;
  std::uint64_t salt = 0;

  void make(desk_kind k, int w, int h, double p, prng& rng) {
    kind = k;
    px_per_mm = p;
    coarse.make(w, h, std::max(w, h) / 12.0, 2, rng);
    medium.make(w, h, 24.0, 1, rng);
    salt = rng.next();
    switch (k) {
      case desk_kind::grey: {
        const double g = rng.range(128, 165);
        base[0] = static_cast<float>(g * rng.range(1.0, 1.06));
        base[1] = static_cast<float>(g);
        base[2] = static_cast<float>(g * rng.range(0.96, 1.01));
        break;
      }
      case desk_kind::wood: {
        // Light birch or oak: bright enough that grain never reads as ink.
        base[0] = static_cast<float>(rng.range(128, 142));
        base[1] = static_cast<float>(rng.range(176, 188));
        base[2] = static_cast<float>(rng.range(212, 224));
        const double a = rng.range(-0.35, 0.35) + (rng.chance(0.5) ? 0 : pi / 2);
        grain_cos = std::cos(a);
        grain_sin = std::sin(a);
        grain_period = rng.range(20, 34) * p / 6.0;
        break;
      }
      case desk_kind::mat: {
        // A cutting mat: saturated green, so the reader's rule sees it as background.
        base[0] = static_cast<float>(rng.range(78, 92));
        base[1] = static_cast<float>(rng.range(148, 160));
        base[2] = static_cast<float>(rng.range(26, 38));
        const double a = rng.range(-0.06, 0.06);
        grid_cos = std::cos(a);
        grid_sin = std::sin(a);
        grid_x = rng.range(0, 10);
        grid_y = rng.range(0, 10);
        break;
      }
    }
  }

  void colour(int x, int y, float out[3]) const {
    const float c = coarse.at(x, y), m = medium.at(x, y);
    const float fine = static_cast<float>(hash01(x, y, salt) - 0.5);
    switch (kind) {
      case desk_kind::grey: {
        const float k = 1 + 0.05f * c + 0.02f * m + 0.03f * fine;
        for (int i = 0; i < 3; ++i) out[i] = base[i] * k;
        return;
      }
      case desk_kind::wood: {
        const double across = -x * grain_sin + y * grain_cos;
        const double along = x * grain_cos + y * grain_sin;
        // Growth rings: thin darker lines whose spacing drifts, bent by
        // noise that is stretched along the grain.
        const double bend = 2.2 * c + 0.9 * medium.at_mirrored(along * 0.12, across * 0.8);
        const double s = 0.5 + 0.5 * std::sin(2 * pi * (across / grain_period + bend));
        const double ring = s * s * s * s;
        // Fine fibres: short streaks along the grain.
        const double streak = hash01(static_cast<std::int64_t>(std::floor(across / 1.3)),
                                     static_cast<std::int64_t>(std::floor(along / 60.0)), salt);
        const float k = static_cast<float>(1 - 0.10 * ring - 0.045 * streak + 0.02 * fine + 0.035 * c);
        out[0] = base[0] * k * static_cast<float>(1 - 0.04 * ring);
        out[1] = base[1] * k;
        out[2] = base[2] * k;
        return;
      }
      case desk_kind::mat: {
        const double mm_x = (x * grid_cos + y * grid_sin) / px_per_mm + grid_x;
        const double mm_y = (-x * grid_sin + y * grid_cos) / px_per_mm + grid_y;
        auto line_cov = [&](double mm, double pitch, double width) {
          const double d = std::fabs(mm - pitch * std::round(mm / pitch)) * px_per_mm;
          return std::clamp(width * px_per_mm / 2 - d + 0.5, 0.0, 1.0);
        };
        double g = std::max(line_cov(mm_x, 10, 0.25), line_cov(mm_y, 10, 0.25));
        g = std::max(g, std::max(line_cov(mm_x, 50, 0.5), line_cov(mm_y, 50, 0.5)));
        const float k = 1 + 0.04f * c + 0.02f * fine;
        const float line[3] = {150, 205, 125};
        for (int i = 0; i < 3; ++i)
          out[i] = (base[i] * (1 - static_cast<float>(g)) + line[i] * static_cast<float>(g) * 0.9f) * k;
        return;
      }
    }
  }
};

// Separable Gaussian blur of a packed BGR buffer, 12-bit fixed-point weights.
void gaussian_blur(std::vector<std::uint8_t>& img, int w, int h, double sigma) {
  if (sigma < 0.05) return;
  const int r = std::max(1, static_cast<int>(std::ceil(sigma * 2.5)));
  std::vector<int> k(2 * r + 1);
  double sum = 0;
  std::vector<double> kd(2 * r + 1);
  for (int i = -r; i <= r; ++i) sum += kd[i + r] = std::exp(-0.5 * i * i / (sigma * sigma));
  int total = 0;
  for (int i = 0; i <= 2 * r; ++i) total += k[i] = static_cast<int>(std::lround(kd[i] / sum * 4096));
  k[r] += 4096 - total;
  std::vector<std::uint8_t> tmp(img.size());
  const std::size_t row_bytes = static_cast<std::size_t>(w) * 3;
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* s = img.data() + y * row_bytes;
    std::uint8_t* d = tmp.data() + y * row_bytes;
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) {
        int acc = 0;
        for (int i = -r; i <= r; ++i) {
          const int xx = std::clamp(x + i, 0, w - 1);
          acc += k[i + r] * s[xx * 3 + c];
        }
        d[x * 3 + c] = static_cast<std::uint8_t>((acc + 2048) >> 12);
      }
  }
  std::vector<int> acc(row_bytes);
  for (int y = 0; y < h; ++y) {
    std::fill(acc.begin(), acc.end(), 2048);
    for (int i = -r; i <= r; ++i) {
      const int yy = std::clamp(y + i, 0, h - 1);
      const std::uint8_t* s = tmp.data() + yy * row_bytes;
      const int wgt = k[i + r];
      for (std::size_t j = 0; j < row_bytes; ++j) acc[j] += wgt * s[j];
    }
    std::uint8_t* d = img.data() + y * row_bytes;
    for (std::size_t j = 0; j < row_bytes; ++j) d[j] = static_cast<std::uint8_t>(acc[j] >> 12);
  }
}

bool fail(std::string& error, const std::string& why) {
  error = why;
  return false;
}

int orientation_for_turn(int turn) {
  switch (turn) {
    case 90: return 3;   // top edge now on the right
    case 180: return 2;
    case 270: return 1;  // top edge now on the left
    default: return 0;
  }
}

}  // namespace

point_d sheet_geometry::photo_from_sheet(double x_mm, double y_mm) const { return apply_h(to_photo, x_mm, y_mm); }
point_d sheet_geometry::sheet_from_photo(double x, double y) const { return apply_h(to_sheet, x, y); }

std::vector<std::string> sheet_truth::marked_names() const {
  std::vector<std::string> names;
  for (const box_truth& b : boxes)
    if (b.marked) names.push_back(b.name);
  return names;
}

bool render_sheet(const sheet_options& o, rendered_sheet& out, std::string& error) {
  out = rendered_sheet{};
  error.clear();
  // Checks first: everything below may assume sane values.
  if (o.photo_width < 200 || o.photo_height < 200 || o.photo_width > 12000 || o.photo_height > 12000 ||
      static_cast<std::int64_t>(o.photo_width) * o.photo_height > platform::max_image_pixels)
    return fail(error, "photo size out of range (200..12000 per side)");
  if (o.turn_degrees != 0 && o.turn_degrees != 90 && o.turn_degrees != 180 && o.turn_degrees != 270)
    return fail(error, "turn must be 0, 90, 180 or 270");
  if (!(std::fabs(o.skew_degrees) <= 20)) return fail(error, "skew must be within -20..20 degrees");
  if (!(o.perspective >= 0 && o.perspective <= 2)) return fail(error, "perspective must be within 0..2");
  if (!(o.light >= 0 && o.light <= 1.5)) return fail(error, "light must be within 0..1.5");
  if (!(o.noise >= 0 && o.noise <= 40)) return fail(error, "noise must be within 0..40");
  if (!(o.blur >= 0 && o.blur <= 6)) return fail(error, "blur must be within 0..6");
  if (o.jpeg_quality < 1 || o.jpeg_quality > 100) return fail(error, "JPEG quality must be within 1..100");
  // The reader wants 600 < area < 2000 pixels, so the side stays within 25..44.
  if (!(o.anchor_pixels >= 25 && o.anchor_pixels <= 44)) return fail(error, "anchor side must be within 25..44 pixels");
  if (!(o.sheet_fraction >= 0.3 && o.sheet_fraction <= 0.97)) return fail(error, "sheet fraction must be within 0.3..0.97");

  const int W = o.photo_width, H = o.photo_height;
  const double p = o.sheet_fraction * std::min(W, H) / sheet_height_mm;  // photo pixels per mm
  const double anchor_mm = o.anchor_pixels / p;
  if (anchor_mm > 16.0) return fail(error, "photo too small: anchors would not fit the sheet's corners");

  const std::vector<layout_box> layout = sheet_layout(o.student_number);

  // Independent streams, so that changing the blur does not move the marks.
  prng marks_rng(mix64(o.seed * 4 + 1));
  prng geometry_rng(mix64(o.seed * 4 + 2));
  prng desk_rng(mix64(o.seed * 4 + 3));
  prng noise_rng(mix64(o.seed * 4 + 4));

  // ---- which boxes are marked, and how
  std::vector<int> marked(layout.size(), 0);
  if (o.choice == mark_choice::listed) {
    for (const std::string& name : o.marked) {
      bool found = false;
      for (std::size_t i = 0; i < layout.size(); ++i)
        if (layout[i].name == name) marked[i] = 1, found = true;
      if (!found) return fail(error, "no box named '" + name + "'");
    }
  } else {
    std::size_t i = 0;
    while (i < layout.size()) {
      // A run of boxes sharing the part before the '.' is one question or one digit row.
      const std::string head = layout[i].name.substr(0, layout[i].name.find('.'));
      std::size_t j = i;
      while (j < layout.size() && layout[j].name.substr(0, layout[j].name.find('.')) == head) ++j;
      const int n = static_cast<int>(j - i);
      const bool digit_row = head[0] == 'N';
      const double r = marks_rng.uniform();
      if (digit_row || r >= 0.12) {
        marked[i + marks_rng.below(n)] = 1;
      } else if (r >= 0.06) {
        const int a = marks_rng.below(n);
        marked[i + a] = 1;
        marked[i + (a + 1 + marks_rng.below(n - 1)) % n] = 1;
      }
      i = j;
    }
  }

  // ---- the printed sheet and the marks
  const double canvas_scale = 2 * p;
  sheet_canvas canvas;
  if (!canvas.create(sheet_width_mm, sheet_height_mm, canvas_scale, o.seed))
    return fail(error, "cannot create the sheet canvas");
  const double line_mm = std::max(0.3, 2.2 / p);
  print_sheet(canvas, layout, o.student_number, anchor_mm, line_mm);

  const bool black_ink = marks_rng.chance(0.3);
  const ink pen = black_ink ? black_pen : blue_pen;
  std::vector<std::string> styles(layout.size());
  for (std::size_t i = 0; i < layout.size(); ++i) {
    if (!marked[i]) {
      // Now and then a faint smudge of an erased mark: far lighter than any mark.
      if (o.style != mark_style::pen && marks_rng.chance(0.04)) {
        coverage_mask m = canvas.mask_for(layout[i].center_x - 2.5, layout[i].center_y - 1.5,
                                          layout[i].center_x + 2.5, layout[i].center_y + 1.5);
        canvas.add_segment(m, layout[i].center_x - 2, layout[i].center_y, layout[i].center_x + 2,
                           layout[i].center_y, 2.2);
        canvas.apply(m, ink{0.93f, 0.93f, 0.93f});
      }
      continue;
    }
    bool use_pen = o.style == mark_style::pen;
    if (o.style == mark_style::mixed) use_pen = marks_rng.chance(0.5);
    if (use_pen) {
      canvas.pen_fill(layout[i], marks_rng.range(0.0, 0.9), marks_rng.range(0.0, 0.3), marks_rng, pen);
      styles[i] = "pen";
    } else {
      canvas.pencil_hatch(layout[i], marks_rng.range(0.70, 0.95), marks_rng);
      styles[i] = "pencil";
    }
  }

  // ---- geometry: sheet millimetres -> photo pixels
  const double theta = (o.turn_degrees + o.skew_degrees) * pi / 180.0;
  const double ct = std::cos(theta), st = std::sin(theta);
  const double ex = 0.5 * p * (std::fabs(ct) * sheet_width_mm + std::fabs(st) * sheet_height_mm);
  const double ey = 0.5 * p * (std::fabs(st) * sheet_width_mm + std::fabs(ct) * sheet_height_mm);
  const double slack_x = W / 2.0 - ex - 0.01 * W, slack_y = H / 2.0 - ey - 0.01 * H;
  if (slack_x < 0 || slack_y < 0) return fail(error, "the sheet does not fit the photo at this size and skew");
  const double cx = W / 2.0 + geometry_rng.range(-0.6, 0.6) * slack_x;
  const double cy = H / 2.0 + geometry_rng.range(-0.6, 0.6) * slack_y;
  const std::array<point_d, 4> sheet_quad = {point_d{0, 0}, point_d{sheet_width_mm, 0},
                                             point_d{sheet_width_mm, sheet_height_mm}, point_d{0, sheet_height_mm}};
  std::array<point_d, 4> photo_quad{};
  for (int i = 0; i < 4; ++i) {
    const double dx = (sheet_quad[i].x - sheet_width_mm / 2) * p, dy = (sheet_quad[i].y - sheet_height_mm / 2) * p;
    photo_quad[i] = {cx + dx * ct - dy * st, cy + dx * st + dy * ct};
  }
  // Keystone: a camera tilted a little toward one photo side makes that
  // side of the sheet wider and the opposite side narrower.
  const double keystone = o.perspective * 6.0 * p / 6.6;
  const bool vertical_axis = geometry_rng.chance(0.5);
  const double sign = geometry_rng.chance(0.5) ? 1 : -1;
  for (auto& q : photo_quad) {
    if (vertical_axis) {
      q.x += sign * keystone * ((q.y < cy) ? -1 : 1) * ((q.x < cx) ? -1 : 1);
    } else {
      q.y += sign * keystone * ((q.x < cx) ? -1 : 1) * ((q.y < cy) ? -1 : 1);
    }
    q.x += geometry_rng.range(-0.25, 0.25) * keystone;
    q.y += geometry_rng.range(-0.25, 0.25) * keystone;
  }
  bool ok = false;
  out.geometry.to_photo = homography_from_quads(sheet_quad, photo_quad, ok);
  if (ok) out.geometry.to_sheet = invert3(out.geometry.to_photo, ok);
  if (!ok) return fail(error, "degenerate sheet geometry");
  const auto& inv = out.geometry.to_sheet;

  // ---- compose the photo
  desk_painter desk;
  desk.make(o.desk, W, H, p, desk_rng);
  // Light: a gradient across the photo plus a vignette; slightly warm.
  const double light_angle = desk_rng.range(0, 2 * pi);
  const double ldx = std::cos(light_angle), ldy = std::sin(light_angle);
  const double half_diag = 0.5 * std::sqrt(double(W) * W + double(H) * H);
  const float tint[3] = {0.965f, 0.988f, 1.0f};
  const float exposure = static_cast<float>(desk_rng.range(0.91, 0.96));
  // Shadow of the sheet on the desk, cast toward the light's far side.
  // A desk pixel lies in shadow when the point one offset toward the light is on the sheet.
  const double shadow_px = 0.9 * p;  // about 0.9 mm
  const double shadow_dx = ldx * shadow_px, shadow_dy = ldy * shadow_px;
  // Sub-pixel sample offsets in sheet millimetres (the similarity part is enough).
  const double q = 0.25 / p;
  const double off_u[4] = {q * (-ct - st), q * (ct - st), q * (-ct + st), q * (ct + st)};
  const double off_v[4] = {q * (st - ct), q * (-st - ct), q * (st + ct), q * (-st + ct)};
  const double cs = canvas.scale();
  const int cw = canvas.width(), chh = canvas.height();

  std::vector<std::uint8_t> img(static_cast<std::size_t>(W) * H * 3);
  for (int y = 0; y < H; ++y) {
    std::uint8_t* row = img.data() + static_cast<std::size_t>(y) * W * 3;
    for (int x = 0; x < W; ++x) {
      const point_d s = apply_h(inv, x, y);
      const double inside_mm = std::min(std::min(s.x, sheet_width_mm - s.x), std::min(s.y, sheet_height_mm - s.y));
      const double sheet_cov = std::clamp(inside_mm * p + 0.5, 0.0, 1.0);
      float col[3] = {0, 0, 0};
      if (sheet_cov > 0) {
        float acc[3] = {0, 0, 0};
        for (int k = 0; k < 4; ++k) {
          const double fx = std::clamp((s.x + off_u[k]) * cs - 0.5, 0.0, cw - 1.001);
          const double fy = std::clamp((s.y + off_v[k]) * cs - 0.5, 0.0, chh - 1.001);
          const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
          const float ax = static_cast<float>(fx - ix), ay = static_cast<float>(fy - iy);
          const std::uint8_t* r0 = canvas.row(iy) + ix * 3;
          const std::uint8_t* r1 = canvas.row(iy + 1) + ix * 3;
          for (int c = 0; c < 3; ++c)
            acc[c] += (r0[c] * (1 - ax) + r0[c + 3] * ax) * (1 - ay) + (r1[c] * (1 - ax) + r1[c + 3] * ax) * ay;
        }
        for (int c = 0; c < 3; ++c) col[c] = acc[c] * 0.25f * static_cast<float>(sheet_cov);
      }
      if (sheet_cov < 1) {
        float d[3];
        desk.colour(x, y, d);
        // Soft shadow: how deep inside the shifted sheet this desk pixel lies.
        const point_d sh = apply_h(inv, x + shadow_dx, y + shadow_dy);
        const double in_sh = std::min(std::min(sh.x, sheet_width_mm - sh.x), std::min(sh.y, sheet_height_mm - sh.y)) * p;
        const double shade = 0.16 * std::clamp(in_sh / (1.5 * p) + 0.5, 0.0, 1.0);
        const float k = static_cast<float>((1 - sheet_cov) * (1 - shade));
        for (int c = 0; c < 3; ++c) col[c] += d[c] * k;
      }
      const double gx = (x - W / 2.0) / half_diag, gy = (y - H / 2.0) / half_diag;
      const double ramp = 0.5 - 0.5 * (gx * ldx + gy * ldy) * 1.4;
      const double light = 1 - o.light * (0.17 * std::clamp(ramp, 0.0, 1.0) + 0.09 * (gx * gx + gy * gy));
      const float l = static_cast<float>(light) * exposure;
      for (int c = 0; c < 3; ++c) row[x * 3 + c] = static_cast<std::uint8_t>(std::clamp(col[c] * l * tint[c] + 0.5f, 0.0f, 255.0f));
    }
  }

  gaussian_blur(img, W, H, o.blur);

  if (o.noise > 0) {
    // Luminance noise shared by the channels plus weaker colour noise;
    // shadows are noisier than highlights, as on a real sensor.
    const float sigma = static_cast<float>(o.noise);
    for (std::size_t i = 0; i < img.size(); i += 3) {
      const float level = (img[i] + img[i + 1] + img[i + 2]) / 765.0f;
      const float sd = sigma * (1.25f - 0.5f * level);
      const float lum = static_cast<float>(noise_rng.gaussian()) * sd;
      for (int c = 0; c < 3; ++c) {
        const float v = img[i + c] + lum + static_cast<float>(noise_rng.gaussian()) * sd * 0.35f;
        img[i + c] = static_cast<std::uint8_t>(std::clamp(v + 0.5f, 0.0f, 255.0f));
      }
    }
  }

  if (!out.photo.create_uninitialized(W, H)) return fail(error, "cannot allocate the photo");
  for (int y = 0; y < H; ++y)
    std::memcpy(out.photo.row(y), img.data() + static_cast<std::size_t>(y) * W * 3, static_cast<std::size_t>(W) * 3);

  // ---- template and truth
  out.layout = layout;
  out.template_text = template_text(layout);
  out.anchor_side_mm = anchor_mm;
  sheet_truth& t = out.truth;
  t.seed = o.seed;
  t.photo_width = W;
  t.photo_height = H;
  t.skew_degrees = o.skew_degrees;
  t.turn_degrees = o.turn_degrees;
  t.orientation = orientation_for_turn(o.turn_degrees);
  t.anchor_side_pixels = o.anchor_pixels;
  const point_d sheet_anchor[4] = {{anchor_left_mm, anchor_top_mm},
                                   {anchor_right_mm, anchor_top_mm},
                                   {anchor_right_mm, anchor_bottom_mm},
                                   {anchor_left_mm, anchor_bottom_mm}};
  std::array<point_d, 4> pts{};
  for (int i = 0; i < 4; ++i) pts[i] = t.sheet_corners[i] = out.geometry.photo_from_sheet(sheet_anchor[i].x, sheet_anchor[i].y);
  // Photo view order: the two upper points left then right, the two lower right then left.
  std::sort(pts.begin(), pts.end(), [](const point_d& a, const point_d& b) { return a.y < b.y; });
  if (pts[0].x > pts[1].x) std::swap(pts[0], pts[1]);
  if (pts[2].x < pts[3].x) std::swap(pts[2], pts[3]);
  t.corners = pts;
  for (std::size_t i = 0; i < layout.size(); ++i) {
    box_truth b;
    b.name = layout[i].name;
    b.marked = marked[i];
    b.style = styles[i];
    b.photo_center = out.geometry.photo_from_sheet(layout[i].center_x, layout[i].center_y);
    t.boxes.push_back(b);
  }
  return true;
}

sheet_options varied_options(std::uint64_t seed, int photo_width, int photo_height) {
  prng rng(mix64(seed * 977 + 13));
  sheet_options o;
  o.seed = seed;
  o.photo_width = photo_width;
  o.photo_height = photo_height;
  // Skew: a multiple of 0.01 degree, like the reader's angles, never exactly 0.
  o.skew_degrees = std::round(rng.range(0.3, 4.0) * 100) / 100 * (rng.chance(0.5) ? 1 : -1);
  const int turns[4] = {0, 90, 180, 270};
  o.turn_degrees = rng.chance(0.55) ? 0 : turns[rng.below(4)];
  o.perspective = rng.range(0.0, 0.8);
  o.light = rng.range(0.3, 1.0);
  o.noise = rng.range(1.5, 4.0);
  o.blur = rng.range(0.5, 1.1);
  o.jpeg_quality = 70 + rng.below(26);
  o.desk = static_cast<desk_kind>(rng.below(3));
  o.style = static_cast<mark_style>(rng.below(3));
  o.student_number = rng.chance(0.7);
  o.anchor_pixels = rng.range(34, 40);
  return o;
}

}  // namespace sheetgen
