#include "analysis/skew.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "analysis/binarize.h"
#include "tests/analysis/test_image.h"

using namespace analysis_test;

namespace {

TEST(trig_table, fixed_point_entries) {
  const trig_table& full = trig_table_of(table_form::full);
  ASSERT_EQ(full.cosines.size(), 8001u);
  EXPECT_EQ(full.cosines[4000], 32768);
  EXPECT_EQ(full.sines[4000], 0);
  // cos 40 = 0.76604444 -> 25101.82 + 0.5; sin 40 = 0.64278761 -> 21062.87 + 0.5.
  EXPECT_EQ(full.cosines[8000], 25102);
  EXPECT_EQ(full.sines[8000], 21063);
  // Negative sines: -21062.87 + 0.5 truncated toward zero.
  EXPECT_EQ(full.sines[0], -21062);
  EXPECT_EQ(full.cosines[0], 25102);
  EXPECT_EQ(full.shift, 15);
  EXPECT_EQ(full.round_constant, 16384);

  const trig_table& early = trig_table_of(table_form::early);
  ASSERT_EQ(early.cosines.size(), 8001u);
  EXPECT_EQ(early.cosines[4000], 1024);
  EXPECT_EQ(early.sines[8000], 658);  // 658.21 truncated
  EXPECT_EQ(early.sines[0], -658);
  EXPECT_EQ(early.round_constant, 0);

  const trig_table& candidate = trig_table_of(table_form::candidate);
  ASSERT_EQ(candidate.cosines.size(), 9001u);
  EXPECT_EQ(candidate.zero_index, 4500);
  EXPECT_EQ(candidate.cosines[4500], 32768);
  EXPECT_EQ(candidate.sines[9000], 23170);  // sin 45 * 32768 = 23170.48 + 0.5
}

TEST(trig_table, angle_index_truncates_and_stays_inside) {
  const trig_table& t = trig_table_of(table_form::full);
  const struct {
    float angle;
    std::int32_t index;
  } cases[] = {{0.0f, 4000}, {1.5f, 4150}, {-0.01f, 3999}, {40.0f, 8000}, {-40.0f, 0},
               {55.0f, 8000}, {-90.0f, 0}, {std::nanf(""), 4000}, {0.004f, 4000}, {-0.004f, 3999}};
  for (const auto& c : cases) EXPECT_EQ(angle_index(c.angle, t), c.index) << c.angle;
  EXPECT_EQ(angle_index(-45.0f, trig_table_of(table_form::candidate)), 0);
  EXPECT_EQ(angle_index(1.0f, trig_table_of(table_form::candidate)), 4600);
}

TEST(bilinear_table, rounded_shares) {
  const auto& t = bilinear_table();
  auto at = [&](int v, int a, int b) { return t[static_cast<std::size_t>(v * 289 + a * 17 + b)]; };
  EXPECT_EQ(at(255, 16, 16), 255);
  EXPECT_EQ(at(255, 8, 8), 64);  // 63.75 + 0.5
  EXPECT_EQ(at(1, 8, 16), 1);    // 0.5 + 0.5
  EXPECT_EQ(at(1, 7, 16), 0);    // 0.4375 + 0.5
  EXPECT_EQ(at(200, 0, 16), 0);
  EXPECT_EQ(at(100, 4, 12), 19);  // 18.75 + 0.5
}

TEST(projection, wraps_rows_and_counts_crowded_rows) {
  const trig_table& t = trig_table_of(table_form::full);
  std::vector<std::int32_t> histogram;
  // At 0 degrees rho = y; y 12 of 10 rows wraps to row 2.
  const std::int32_t below[] = {pack_point(3, 12)};
  projection_score(below, 1, 10, 4000, t, 7, histogram);
  EXPECT_EQ(histogram[2], 1);
  // At +40 degrees, (100, 0): rho = (-100 * 21063 + 16384) >> 15 = -64 -> row 6 of 10.
  const std::int32_t above[] = {pack_point(100, 0)};
  projection_score(above, 1, 10, 8000, t, 7, histogram);
  EXPECT_EQ(histogram[6], 1);

  std::vector<std::int32_t> row;
  for (int x = 1; x <= 7; ++x) row.push_back(pack_point(x, 3));
  EXPECT_EQ(projection_score(row.data(), 7, 10, 4000, t, 7, histogram), 1);
  EXPECT_EQ(projection_score(row.data(), 6, 10, 4000, t, 7, histogram), 0);
  EXPECT_EQ(projection_score(row.data(), 7, 10, 4000, t, 3, histogram), 1);
  // No rows at all: nothing to count into.
  EXPECT_EQ(projection_score(row.data(), 7, 0, 4000, t, 7, histogram), 0);
}

TEST(scan_angles, ties_keep_the_earlier_index_and_the_range_is_clamped) {
  const trig_table& t = trig_table_of(table_form::full);
  const struct {
    std::int32_t first, last, step, expected;
  } cases[] = {{0, 8000, 100, 0}, {-100, 100, 10, 0}, {7900, 8100, 10, 7900}, {7950, 8100, 1, 7950}};
  for (const auto& c : cases) {
    const scan_result r = scan_angles(nullptr, 0, 20, c.first, c.last, c.step, t, 7);
    EXPECT_EQ(r.index, c.expected) << c.first;
    EXPECT_EQ(r.score, 0);
  }
  // An empty range keeps the start values.
  const scan_result none = scan_angles(nullptr, 0, 20, 9000, 9100, 10, t, 7);
  EXPECT_EQ(none.index, 4000);
  EXPECT_EQ(none.score, 9999);
}

// Parallel 2-pixel lines through the image at `degrees` (positive: descending
// to the right).
void draw_lines(test_image& img, double degrees) {
  const double slope = std::tan(degrees * M_PI / 180.0);
  const int cx = img.width() / 2;
  for (int y0 = 60; y0 < img.height() - 60; y0 += 22)
    for (int x = 30; x < img.width() - 30; ++x) {
      const int y = y0 + static_cast<int>(std::lround(slope * (x - cx)));
      img.set(x, y, black_px);
      img.set(x, y + 1, black_px);
    }
}

TEST(estimate_skew, finds_the_slope_of_printed_lines) {
  const double angles[] = {0.0, 2.0, -2.0, 3.37, -5.5, 0.73, 12.0};
  for (double a : angles) {
    test_image img(600, 420);
    draw_lines(img, a);
    const float found = estimate_skew(img.view);
    EXPECT_NEAR(found, a, 0.15) << a;
    // A whole number of hundredths.
    EXPECT_NEAR(found * 100.0f, std::round(found * 100.0f), 1e-3) << a;
    // The image is now black and white.
    EXPECT_GT(img.view.dark_points.count, 0);
  }
}

TEST(estimate_skew, without_dark_points_the_first_angle_wins) {
  test_image white(50, 40);
  EXPECT_FLOAT_EQ(estimate_skew(white.view), -40.0f);
  test_image thin(2, 40, black_px);
  EXPECT_FLOAT_EQ(estimate_skew(thin.view), -40.0f);
  raster_view empty;
  EXPECT_FLOAT_EQ(estimate_skew(empty), -40.0f);
}

TEST(estimate_skew, stays_inside_the_range) {
  // Steeper than the range allows, and an all-black page.
  test_image steep(300, 300);
  draw_lines(steep, 44.0);
  const float a = estimate_skew(steep.view);
  EXPECT_GE(a, -40.0f);
  EXPECT_LE(a, 40.0f);
  test_image black(64, 48, black_px);
  const float b = estimate_skew(black.view);
  EXPECT_GE(b, -40.0f);
  EXPECT_LE(b, 40.0f);
}

void fill_random(test_image& img, unsigned seed) {
  std::mt19937 rng(seed);
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      img.set(x, y, {static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng())});
}

TEST(rotate_self, zero_degrees_copies_all_but_the_last_row_and_column) {
  test_image src(37, 29);
  fill_random(src, 7);
  test_image dst(37, 29, black_px);
  rotate_self(src.view, dst.view, 0.0f);
  for (int y = 0; y < 29; ++y)
    for (int x = 0; x < 37; ++x) {
      const bgr d = dst.get(x, y);
      if (x == 36 || y == 28) {
        EXPECT_TRUE(d.b == 255 && d.g == 255 && d.r == 255) << x << "," << y;
      } else {
        const bgr s = src.get(x, y);
        EXPECT_TRUE(d.b == s.b && d.g == s.g && d.r == s.r) << x << "," << y;
      }
    }
  EXPECT_EQ(dst.guard(), 0xAB);
}

TEST(rotate_self, moves_a_spot_where_map_point_says) {
  const float angles[] = {10.0f, -7.5f, 0.37f, 40.0f};
  for (float a : angles) {
    test_image src(201, 150);
    src.fill_rect(59, 39, 3, 3, black_px);  // centre (60, 40)
    test_image dst(201, 150);
    rotate_self(src.view, dst.view, a);
    int best = 765, bx = -1, by = -1;
    for (int y = 0; y < 150; ++y)
      for (int x = 0; x < 201; ++x) {
        const bgr c = dst.get(x, y);
        if (c.b + c.g + c.r < best) {
          best = c.b + c.g + c.r;
          bx = x;
          by = y;
        }
      }
    const point expected = map_point(201, 150, a, 60, 40);
    EXPECT_LE(std::abs(bx - expected.x), 1) << a;
    EXPECT_LE(std::abs(by - expected.y), 1) << a;
    EXPECT_LT(best, 200) << a;
    // And back: the spot's position maps to the source centre.
    const point back = map_point(201, 150, -a, expected.x, expected.y);
    EXPECT_LE(std::abs(back.x - 60), 1) << a;
    EXPECT_LE(std::abs(back.y - 40), 1) << a;
  }
}

TEST(rotate_self, uncovered_corners_stay_white_and_shapes_must_match) {
  test_image src(80, 60, black_px);
  test_image dst(80, 60, black_px);
  rotate_self(src.view, dst.view, 20.0f);
  EXPECT_FALSE(dst.is_black(0, 0));
  EXPECT_TRUE(dst.is_black(40, 30));
  // Exactly white wherever the turned source does not reach, however the
  // destination started out, for both samplings.
  rotate_options nearest;
  nearest.sampling = rotation_sampling::nearest;
  for (const rotate_options& options : {rotate_options{}, nearest}) {
    test_image turned(80, 60, black_px);
    rotate_self(src.view, turned.view, 20.0f, options);
    for (const auto& [x, y] : {std::pair{0, 0}, {79, 0}, {0, 59}, {79, 59}, {7, 0}, {0, 7}}) {
      const bgr c = turned.get(x, y);
      EXPECT_TRUE(c.b == 255 && c.g == 255 && c.r == 255) << x << "," << y;
    }
    EXPECT_TRUE(turned.is_black(40, 30));
  }
  // A destination of another size is left alone.
  test_image other(81, 60, black_px);
  rotate_self(src.view, other.view, 5.0f);
  EXPECT_TRUE(other.is_black(0, 0));
  raster_view empty;
  rotate_self(empty, empty, 3.0f);
}

TEST(rotate_self, early_nearest_sampling) {
  test_image src(37, 29);
  fill_random(src, 3);
  test_image dst(37, 29);
  rotate_options early;
  early.tables = table_form::early;
  early.sampling = rotation_sampling::nearest;
  early.label = "_________rotate:";
  rotate_self(src.view, dst.view, 0.0f, early);
  // Nearest sampling at 0 degrees copies every pixel, edges included.
  for (int y = 0; y < 29; ++y)
    for (int x = 0; x < 37; ++x) {
      const bgr s = src.get(x, y);
      const bgr d = dst.get(x, y);
      EXPECT_TRUE(d.b == s.b && d.g == s.g && d.r == s.r) << x << "," << y;
    }
}

TEST(map_point, zero_angle_is_identity) {
  for (int x : {0, 5, 99, 1000})
    for (int y : {0, 7, 50}) {
      EXPECT_EQ(map_point(101, 60, 0.0f, x, y), (point{x, y}));
      EXPECT_EQ(map_point(101, 60, 0.0f, x, y, table_form::early), (point{x, y}));
    }
  // A quarter-pixel rounding case: (dx * C + dy * S + 16384) >> 15.
  const point p = map_point(200, 100, 1.0f, 200, 100);
  // dx 100, dy 50, C 32763, S 572: (3276300 + 28600 + 16384) >> 15 = 101; (1638150 - 57200 + 16384) >> 15 = 48.
  EXPECT_EQ(p, (point{201, 98}));
}

TEST(orient_rect, table_and_round_trips) {
  const rect r{10, 5, 30, 20};
  const struct {
    std::int32_t code;
    rect expected;
  } cases[] = {{0, {10, 5, 30, 20}},  {1, {29, 10, 44, 30}}, {2, {69, 29, 89, 44}},
               {3, {5, 69, 20, 89}},  {7, {10, 5, 30, 20}},  {-1, {10, 5, 30, 20}}};
  for (const auto& c : cases) EXPECT_EQ(orient_rect(r, 100, 50, c.code), c.expected) << c.code;
  EXPECT_EQ(orient_rect(orient_rect(r, 100, 50, 2), 100, 50, 2), r);
  EXPECT_EQ(orient_rect(orient_rect(r, 100, 50, 1), 50, 100, 3), r);
  EXPECT_EQ(orient_rect(orient_rect(r, 100, 50, 3), 50, 100, 1), r);
}

}  // namespace

namespace {

TEST(rotate_self, vector_paths_equal_the_table_form) {
  // Odd sizes so that the last pixel of the last row is sampled at the edge,
  // widths below and above one vector run, and angles across the range.
  const struct {
    int w, h;
    float angle;
  } cases[] = {{131, 97, 3.37f}, {64, 64, -12.5f}, {33, 41, 40.0f},  {200, 3, 0.5f},    {5, 120, -0.01f},
               {97, 89, 0.0f},   {9, 9, 7.0f},     {517, 301, -2.9f}, {400, 399, 25.25f}, {17, 250, -39.99f}};
  using analysis_detail::rotation_kernel;
  unsigned seed = 11;
  for (const auto& c : cases) {
    test_image src(c.w, c.h);
    fill_random(src, seed++);
    test_image reference(c.w, c.h, black_px);
    ASSERT_TRUE(analysis_detail::rotate_self_with(src.view, reference.view, c.angle, rotation_kernel::table));
    for (rotation_kernel kernel : {rotation_kernel::sse, rotation_kernel::avx2}) {
      test_image fast(c.w, c.h, black_px);
      if (!analysis_detail::rotate_self_with(src.view, fast.view, c.angle, kernel)) continue;  // not on this machine
      int differences = 0;
      for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
          const bgr a = fast.get(x, y);
          const bgr b = reference.get(x, y);
          differences += (a.b != b.b) + (a.g != b.g) + (a.r != b.r);
        }
      EXPECT_EQ(differences, 0) << c.w << "x" << c.h << " at " << c.angle << " kernel " << static_cast<int>(kernel);
      EXPECT_EQ(fast.guard(), 0xAB);
    }
    // And rotate_self itself, whichever path it takes here.
    test_image chosen(c.w, c.h, black_px);
    rotate_self(src.view, chosen.view, c.angle);
    EXPECT_EQ(std::memcmp(chosen.data(), reference.data(), static_cast<std::size_t>(chosen.stride()) * c.h), 0);
  }
}

}  // namespace

namespace {

TEST(projection, equals_the_plain_formula_for_every_table_form) {
  std::mt19937 rng(5);
  std::vector<std::int32_t> points;
  for (int i = 0; i < 5003; ++i) {
    // Mostly image-sized coordinates, some at the 16-bit ends.
    const std::uint32_t x = i % 97 == 0 ? 65535u - rng() % 3 : rng() % 3000;
    const std::uint32_t y = i % 89 == 0 ? 65535u - rng() % 3 : rng() % 2000;
    points.push_back(pack_point(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)));
  }
  for (table_form form : {table_form::full, table_form::early, table_form::candidate}) {
    const trig_table& t = trig_table_of(form);
    for (std::int32_t k : {0, 1234, t.zero_index, t.zero_index + 7, t.last_index})
      for (std::int32_t bins : {1, 7, 1999}) {
        std::vector<std::int32_t> expected(static_cast<std::size_t>(bins), 0);
        for (std::int32_t p : points) {
          const std::int64_t v = static_cast<std::int64_t>(point_y(p)) * t.cosines[static_cast<std::size_t>(k)] -
                                 static_cast<std::int64_t>(point_x(p)) * t.sines[static_cast<std::size_t>(k)] +
                                 t.round_constant;
          const std::int32_t rho = static_cast<std::int32_t>(static_cast<std::uint32_t>(v)) >> t.shift;
          ++expected[static_cast<std::size_t>(((rho % bins) + bins) % bins)];
        }
        std::vector<std::int32_t> histogram;
        std::int32_t crowded = 0;
        for (std::int32_t v : expected) crowded += v >= 7;
        EXPECT_EQ(projection_score(points.data(), static_cast<std::int32_t>(points.size()), bins, k, t, 7, histogram),
                  crowded);
        EXPECT_EQ(histogram, expected) << "k " << k << " bins " << bins;
      }
  }
}

}  // namespace

namespace {

TEST(estimate_skew, early_and_candidate_forms) {
  for (double a : {2.0, -3.4}) {
    test_image img(600, 420);
    draw_lines(img, a);
    skew_options early;
    early.tables = table_form::early;
    EXPECT_NEAR(estimate_skew(img.view, early), a, 0.15) << a;

    // The candidate form searches a list it is given, over -45..+45 degrees,
    // counting rows of 3 points or more.
    const trig_table& t = trig_table_of(table_form::candidate);
    skew_options candidate;
    candidate.tables = table_form::candidate;
    candidate.crowded_row = 3;
    candidate.trace_total = false;
    const std::int32_t k = search_skew(img.view.dark_points.data, img.view.dark_points.count,
                                       img.view.dark_points.data, img.view.dark_points.count, img.height(), candidate);
    EXPECT_NEAR((k - t.zero_index) / 100.0, a, 0.15) << a;
  }
  // Nothing to search: the candidate form ends at its first index, -45.00.
  skew_options candidate;
  candidate.tables = table_form::candidate;
  EXPECT_EQ(search_skew(nullptr, 0, nullptr, 0, 100, candidate), 0);
}

}  // namespace
