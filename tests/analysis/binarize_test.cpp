#include "analysis/binarize.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/analysis/test_image.h"

using namespace analysis_test;

namespace {

struct dark_case {
  bgr pixel;
  bool dark;
};

TEST(binarize_dark, dark_pixel_rule) {
  const dark_case cases[] = {
      {{100, 100, 100}, true},   // sum 300
      {{100, 101, 100}, false},  // sum 301
      {{0, 60, 0}, false},       // green 60 above the mean of blue and red
      {{0, 50, 0}, true},        // green excess exactly 50
      {{10, 61, 10}, false},     // excess 51
      {{0, 0, 0}, true},
      {{255, 45, 0}, true},      // sum 300, excess 45 - 127 < 0
      {{1, 51, 0}, false},       // (1 + 0) / 2 = 0: excess 51
      {{2, 51, 1}, true},        // (2 + 1) / 2 = 1 (integer halving): excess exactly 50
  };
  for (const auto& c : cases) {
    const bool expected = c.dark;
    EXPECT_EQ(is_dark_pixel(c.pixel.b, c.pixel.g, c.pixel.r), expected)
        << int(c.pixel.b) << "," << int(c.pixel.g) << "," << int(c.pixel.r);
    // The same decision through the whole binarization, on the centre of a 3 x 3 image.
    test_image img(3, 3);
    img.set(1, 1, c.pixel);
    EXPECT_EQ(binarize_dark(img.view), 1);
    EXPECT_EQ(img.is_black(1, 1), expected);
    ASSERT_EQ(img.view.dark_points.count, expected ? 1 : 0);
    if (expected) {
      EXPECT_EQ(img.view.dark_points[0], 1 | (1 << 16));
    }
    EXPECT_EQ(img.view.mark_map[4], expected ? 0 : mark_background);
  }
}

TEST(binarize_dark, frame_is_white_and_points_in_raster_order) {
  test_image img(6, 5, black_px);
  img.set(2, 2, {200, 200, 200});
  binarize_dark(img.view);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) {
      const bool frame = x == 0 || y == 0 || x == 5 || y == 4;
      const bool dark = !frame && !(x == 2 && y == 2);
      EXPECT_EQ(img.is_black(x, y), dark) << x << "," << y;
      const bgr c = img.get(x, y);
      if (!dark) {
        EXPECT_TRUE(c.b == 255 && c.g == 255 && c.r == 255) << x << "," << y;
      }
      EXPECT_EQ(img.view.mark_map[y * 6 + x], dark ? 0 : mark_background) << x << "," << y;
    }
  // Rows 1..3, columns 1..4, without (2, 2).
  std::vector<std::int32_t> expected;
  for (int y = 1; y <= 3; ++y)
    for (int x = 1; x <= 4; ++x)
      if (!(x == 2 && y == 2)) expected.push_back(x | (y << 16));
  ASSERT_EQ(img.view.dark_points.count, static_cast<std::int32_t>(expected.size()));
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(img.view.dark_points[static_cast<int>(i)], expected[i]);
  EXPECT_EQ(img.view.dark_points.capacity, 30);
  EXPECT_EQ(img.view.mark_map.capacity, 30);
  EXPECT_EQ(img.guard(), 0xAB);
}

TEST(binarize_dark, reuses_buffers_and_rebuilds_them) {
  test_image img(7, 7, black_px);
  binarize_dark(img.view);
  const std::int32_t* marks = img.view.mark_map.data;
  const std::int32_t* points = img.view.dark_points.data;
  EXPECT_EQ(img.view.dark_points.count, 25);
  // Second run on the now black-and-white image: same result, same blocks.
  img.fill_rect(1, 1, 5, 5, white_px);
  img.set(3, 3, black_px);
  binarize_dark(img.view);
  EXPECT_EQ(img.view.mark_map.data, marks);
  EXPECT_EQ(img.view.dark_points.data, points);
  EXPECT_EQ(img.view.dark_points.count, 1);
  EXPECT_EQ(img.view.mark_map[2 * 7 + 2], mark_background);
  EXPECT_EQ(img.view.mark_map[3 * 7 + 3], 0);
}

TEST(binarize_dark, degenerate_images) {
  // No pixels at all (a failed lock): buffers emptied, nothing touched.
  raster_view empty;
  empty.mark_map.reset(4);
  EXPECT_EQ(binarize_dark(empty), 1);
  EXPECT_EQ(empty.mark_map.capacity, 0);
  EXPECT_EQ(empty.dark_points.count, 0);

  // One and two pixels wide or high, all black: everything is frame.
  const int sizes[][2] = {{1, 1}, {1, 5}, {5, 1}, {2, 2}, {2, 6}, {6, 2}};
  for (const auto& s : sizes) {
    test_image img(s[0], s[1], black_px);
    binarize_dark(img.view);
    EXPECT_EQ(img.view.dark_points.count, 0) << s[0] << "x" << s[1];
    for (int y = 0; y < s[1]; ++y)
      for (int x = 0; x < s[0]; ++x) EXPECT_FALSE(img.is_black(x, y)) << s[0] << "x" << s[1];
    EXPECT_EQ(img.guard(), 0xAB);
  }

  // All white: no points, every mark background.
  test_image white(9, 8);
  binarize_dark(white.view);
  EXPECT_EQ(white.view.dark_points.count, 0);
  for (int i = 0; i < 72; ++i) EXPECT_EQ(white.view.mark_map[i], mark_background);
}

// Interior of a width x height channel with the given values, frame 0.
std::vector<std::uint8_t> channel(int width, int height, const std::vector<std::uint8_t>& interior) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width * height), 0);
  std::size_t k = 0;
  for (int y = 1; y < height - 1; ++y)
    for (int x = 1; x < width - 1; ++x) bytes[static_cast<std::size_t>(y * width + x)] = interior[k++ % interior.size()];
  return bytes;
}

struct otsu_case {
  const char* name;
  std::vector<std::uint8_t> interior;
  std::int32_t expected;
};

TEST(otsu_threshold, cases) {
  const otsu_case cases[] = {
      {"two values in equal numbers: lowest of the tied maxima", {10, 200}, 10},
      {"one value: loop stops before any candidate", {77}, 1},
      {"only 255: never a candidate", {255}, 1},
      {"254 and 255: 255 itself is never chosen", {254, 255}, 254},
      {"three levels with tied between-class values", {0, 100, 200}, 0},
      {"dark minority", {20, 220, 220, 220}, 20},
  };
  for (const auto& c : cases) {
    // 5 x 5 interior of a 7 x 7 channel, frame 0 (never counted).
    const auto bytes = channel(7, 7, c.interior);
    std::int32_t histogram[256];
    EXPECT_EQ(otsu_threshold(bytes.data(), 7, 7, 7, histogram), c.expected) << c.name;
    int total = 0;
    for (int v = 0; v < 256; ++v) total += histogram[v];
    EXPECT_EQ(total, 25) << c.name;
    EXPECT_EQ(otsu_threshold(bytes.data(), 7, 7, 7, nullptr), c.expected) << c.name;
  }
}

TEST(otsu_threshold, row_length_beyond_width) {
  // Rows of 10 bytes of which 4 are the channel; the padding must not count.
  std::vector<std::uint8_t> bytes(40, 250);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) bytes[static_cast<std::size_t>(y * 10 + x)] = (x + y) % 2 ? 10 : 200;
  std::int32_t histogram[256];
  otsu_threshold(bytes.data(), 10, 4, 4, histogram);
  EXPECT_EQ(histogram[250], 0);
  EXPECT_EQ(histogram[10] + histogram[200], 4);
}

TEST(otsu_threshold, nothing_to_count_falls_back_to_160) {
  const int sizes[][2] = {{2, 2}, {2, 9}, {9, 2}, {0, 0}};
  for (const auto& s : sizes) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(s[0] * s[1]) + 1, 5);
    testing::internal::CaptureStderr();
    EXPECT_EQ(otsu_threshold(bytes.data(), s[0], s[0], s[1], nullptr), 160);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "NOT NORMAL thresholdValue = 160\n");
  }
}

TEST(stretch_colors, zero_percentages_ramp_from_minimum_to_threshold) {
  // Gray 9 x 9: frame 0 except one 255 pixel, interior 40 and 200 alternating.
  test_image img(9, 9, {0, 0, 0});
  img.set(0, 0, white_px);
  for (int y = 1; y < 8; ++y)
    for (int x = 1; x < 8; ++x) {
      const std::uint8_t v = (x + y) % 2 ? 40 : 200;
      img.set(x, y, {v, v, v});
    }
  img.set(4, 4, {20, 20, 20});
  img.set(4, 5, {30, 30, 30});
  stretch_colors(img.view, 0, 0);
  // T = 40, min 0, max 255: L = 0, H = 40, M = 40, so below 40 the map is the
  // identity ramp and from 40 up everything is white.
  EXPECT_EQ(img.get(4, 4).r, 20);
  EXPECT_EQ(img.get(4, 5).g, 30);
  EXPECT_EQ(img.get(1, 2).b, 255);  // 40
  EXPECT_EQ(img.get(1, 1).b, 255);  // 200
  EXPECT_EQ(img.get(0, 1).b, 0);
  EXPECT_EQ(img.get(0, 0).b, 255);
}

TEST(stretch_colors, cut_points_and_ramps) {
  channel_stretch c;
  reset_channel_stretch(c);
  c.min_level = 0;
  c.max_level = 255;
  c.threshold = 40;
  c.histogram[40] = 10;
  c.histogram[200] = 10;
  build_tone_map(c, 1.0f, 1.0f);
  // L at the dark mean 40, H at the light mean 200, M = 40.
  EXPECT_EQ(c.low_cut, 40);
  EXPECT_EQ(c.high_cut, 200);
  EXPECT_EQ(c.tone_map[39], 0);
  EXPECT_EQ(c.tone_map[40], 40);
  EXPECT_EQ(c.tone_map[120], 147);  // 80 * 215/160 + 40 = 147.5
  EXPECT_EQ(c.tone_map[199], 253);  // 159 * 1.34375 + 40 = 253.66
  EXPECT_EQ(c.tone_map[200], 255);

  // Percentages far outside 0..100 keep the cut points inside the map.
  reset_channel_stretch(c);
  c.min_level = 0;
  c.max_level = 255;
  c.threshold = 40;
  c.histogram[40] = 10;
  c.histogram[200] = 10;
  build_tone_map(c, 3.0f, 3.0f);
  EXPECT_EQ(c.high_cut, 255);
  EXPECT_EQ(c.low_cut, 120);
}

TEST(stretch_colors, flat_channel_keeps_its_values) {
  test_image img(6, 6, {10, 20, 30});
  img.set(2, 2, {10, 90, 30});  // only green varies
  img.set(3, 3, {10, 200, 30});
  stretch_colors(img.view, 20, 65);
  EXPECT_EQ(img.get(1, 1).b, 10);
  EXPECT_EQ(img.get(1, 1).r, 30);
  EXPECT_EQ(img.get(4, 4).b, 10);
  EXPECT_EQ(img.get(4, 4).r, 30);
}

TEST(stretch_colors, empty_image_falls_back_three_times) {
  raster_view empty;
  testing::internal::CaptureStderr();
  stretch_colors(empty, 20, 65);
  const std::string line = "NOT NORMAL thresholdValue = 160\n";
  EXPECT_EQ(testing::internal::GetCapturedStderr(), line + line + line);
}

TEST(stretch_colors, tiny_image_without_interior) {
  test_image img(2, 2, {10, 10, 10});
  img.set(1, 1, {200, 200, 200});
  testing::internal::CaptureStderr();
  stretch_colors(img.view, 20, 65);
  testing::internal::GetCapturedStderr();
  // Nothing measured: the map stays the identity.
  EXPECT_EQ(img.get(0, 0).b, 10);
  EXPECT_EQ(img.get(1, 1).r, 200);
  EXPECT_EQ(img.guard(), 0xAB);
}

}  // namespace

namespace {

TEST(binarize_dark, marks_only_gives_the_same_marks_and_points) {
  test_image a(23, 17);
  test_image b(23, 17);
  unsigned v = 1;
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 23; ++x) {
      v = v * 1103515245u + 12345u;
      const bgr c{static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
      a.set(x, y, c);
      b.set(x, y, c);
    }
  binarize_dark(a.view);
  binarize_options marks_only;
  marks_only.write_pixels = false;
  binarize_dark(b.view, marks_only);
  ASSERT_EQ(a.view.dark_points.count, b.view.dark_points.count);
  for (int i = 0; i < a.view.dark_points.count; ++i) EXPECT_EQ(a.view.dark_points[i], b.view.dark_points[i]);
  for (int i = 0; i < 23 * 17; ++i) EXPECT_EQ(a.view.mark_map[i], b.view.mark_map[i]);
  // Points only: the mark map is left alone.
  test_image c(23, 17);
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 23; ++x) c.set(x, y, a.get(x, y).b == 0 ? black_px : white_px);
  binarize_options points_only = marks_only;
  points_only.write_marks = false;
  binarize_dark(c.view, points_only);
  EXPECT_EQ(c.view.mark_map.capacity, 0);
  ASSERT_EQ(c.view.dark_points.count, a.view.dark_points.count);
  for (int i = 0; i < a.view.dark_points.count; ++i) EXPECT_EQ(c.view.dark_points[i], a.view.dark_points[i]);
  // b's pixels are untouched: the first row still holds its colours.
  int coloured = 0;
  for (int x = 0; x < 23; ++x) coloured += !(b.get(x, 0).b == 255 && b.get(x, 0).g == 255 && b.get(x, 0).r == 255);
  EXPECT_GT(coloured, 0);
}

}  // namespace

namespace {

TEST(binarize_dark, vector_loop_equals_the_pixel_loop) {
  // Values around both limits so that every branch of the rule is taken,
  // widths below, at and above one vector run.
  const int sizes[][2] = {{3, 3}, {11, 4}, {12, 5}, {13, 6}, {19, 7}, {64, 9}, {131, 17}};
  unsigned v = 7;
  auto next = [&] {
    v = v * 1664525u + 1013904223u;
    return v >> 8;
  };
  for (const auto& sz : sizes)
    for (bool write : {true, false})
      for (bool marks : {true, false}) {
        test_image a(sz[0], sz[1]);
        test_image b(sz[0], sz[1]);
        for (int y = 0; y < sz[1]; ++y)
          for (int x = 0; x < sz[0]; ++x) {
            const int base = static_cast<int>(next() % 3) * 40 + 60;  // sums near 300, greens near the limit
            const bgr c{static_cast<std::uint8_t>(base + next() % 21 - 10),
                        static_cast<std::uint8_t>(base + next() % 121 - 20),
                        static_cast<std::uint8_t>(base + next() % 21 - 10)};
            a.set(x, y, c);
            b.set(x, y, c);
          }
        binarize_options scalar;
        scalar.vector = false;
        scalar.write_pixels = write;
        scalar.write_marks = marks;
        binarize_options vec = scalar;
        vec.vector = true;
        binarize_dark(a.view, scalar);
        binarize_dark(b.view, vec);
        ASSERT_EQ(a.view.dark_points.count, b.view.dark_points.count) << sz[0] << "x" << sz[1];
        for (int i = 0; i < a.view.dark_points.count; ++i) EXPECT_EQ(a.view.dark_points[i], b.view.dark_points[i]);
        if (marks) {
          for (int i = 0; i < sz[0] * sz[1]; ++i) EXPECT_EQ(a.view.mark_map[i], b.view.mark_map[i]);
        }
        EXPECT_EQ(std::memcmp(a.data(), b.data(), static_cast<std::size_t>(a.stride()) * sz[1]), 0)
            << sz[0] << "x" << sz[1];
        EXPECT_EQ(b.guard(), 0xAB);
      }
}

}  // namespace
