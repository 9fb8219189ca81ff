#include "sheetdesk/align_sheet.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/sheetdesk/sheet_images.h"

namespace {

using namespace sheetdesk;
using sheetdesk_test::filled_image;
using sheetdesk_test::paint_rect;
using sheetdesk_test::pixel_at;
using sheetdesk_test::ruled_sheet;
using sheetdesk_test::ruled_sheet_layout;

bool dark_at(const platform::bitmap& image, int x, int y) {
  return is_dark_pixel(image.row(y) + x * platform::bytes_per_pixel);
}

// First dark row at or below `from` in column x, or -1.
int first_dark_row(const platform::bitmap& image, int x, int from) {
  for (int y = from; y < image.height(); ++y)
    if (dark_at(image, x, y)) return y;
  return -1;
}

TEST(sheetdesk_levelling_transform, turns_about_the_integer_centre) {
  const platform::world_transform none = levelling_transform(101, 51, 0.0);
  EXPECT_EQ(none.m11, 1.0);
  EXPECT_EQ(none.m21, 0.0);
  EXPECT_EQ(none.dx, 0.0);
  EXPECT_EQ(none.dy, 0.0);
  // Skew +90 (a turn by -90): the centre (50, 25) stays, a point right of it goes above it.
  const platform::world_transform t = levelling_transform(101, 51, 90.0);
  auto map = [&](double x, double y) {
    return std::pair{t.m11 * x + t.m21 * y + t.dx, t.m12 * x + t.m22 * y + t.dy};
  };
  const auto [cx, cy] = map(50, 25);
  EXPECT_NEAR(cx, 50, 1e-9);
  EXPECT_NEAR(cy, 25, 1e-9);
  const auto [rx, ry] = map(60, 25);
  EXPECT_NEAR(rx, 50, 1e-9);
  EXPECT_NEAR(ry, 15, 1e-9);
}

TEST(sheetdesk_find_turned_border_lines, finds_what_the_whole_drawing_shows) {
  ruled_sheet_layout layout;
  layout.frame_width = 5;
  for (const double skew : {0.0, 3.0, -7.0, 2.34, 45.0, -45.0}) {
    const platform::bitmap photo = ruled_sheet(layout, skew);
    const platform::world_transform world = levelling_transform(photo.width(), photo.height(), skew);
    platform::bitmap whole;
    ASSERT_TRUE(whole.create(photo.width(), photo.height()));
    ASSERT_TRUE(draw_photo(whole, photo, world));
    const border_lines want = find_border_lines(whole, -123);
    const border_lines got = find_turned_border_lines(photo, world, -123);
    EXPECT_EQ(got.left, want.left) << skew;
    EXPECT_EQ(got.top, want.top) << skew;
  }
  const platform::bitmap blank = filled_image(30, 30);
  const border_lines none = find_turned_border_lines(blank, levelling_transform(30, 30, -45.0), -30);
  EXPECT_EQ(none.left, 0);
  EXPECT_EQ(none.top, -30);
}

TEST(sheetdesk_align_sheet, a_straight_photograph_is_only_shifted_past_its_border_lines) {
  const ruled_sheet_layout layout;
  const platform::bitmap photo = ruled_sheet(layout, 0);
  alignment found;
  const std::optional<platform::bitmap> aligned = align_sheet(photo, &found);
  ASSERT_TRUE(aligned);
  EXPECT_EQ(found.skew, 0.0);
  EXPECT_EQ(found.left_line, layout.frame_left);
  EXPECT_EQ(found.top_line, layout.frame_top);
  ASSERT_EQ(aligned->width(), photo.width());
  ASSERT_EQ(aligned->height(), photo.height());
  const int shift_x = layout.frame_left + 1, shift_y = layout.frame_top + 1;
  int wrong = 0;
  for (int y = 0; y < photo.height(); ++y) {
    for (int x = 0; x < photo.width(); ++x) {
      const bool covered = x + shift_x < photo.width() && y + shift_y < photo.height();
      const auto got = pixel_at(*aligned, x, y);
      const auto want = covered ? pixel_at(photo, x + shift_x, y + shift_y) : sheetdesk_test::white;
      if (got.blue != want.blue || got.green != want.green || got.red != want.red) ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0);
  // The border lines sit one pixel outside the corner: two of their three pixels show.
  const int between_rules = 304;  // photograph row 355, clear of the rules
  EXPECT_TRUE(dark_at(*aligned, 0, between_rules));
  EXPECT_TRUE(dark_at(*aligned, 1, between_rules));
  EXPECT_FALSE(dark_at(*aligned, 2, between_rules));
  EXPECT_TRUE(dark_at(*aligned, 300, 1));
  EXPECT_FALSE(dark_at(*aligned, 300, 2));
}

TEST(sheetdesk_align_sheet, a_skewed_photograph_comes_out_level) {
  // A frame heavier than the rules, as printed sheets have: levelled, its
  // staircase edges must still outweigh every rule.
  ruled_sheet_layout layout;
  layout.frame_width = 5;
  // Turns up to 5 degrees keep the whole frame inside the 600 x 800 photograph.
  for (const int degrees : {3, -2, 5, -5, 1}) {
    SCOPED_TRACE(testing::Message() << degrees << " degrees");
    const platform::bitmap photo = ruled_sheet(layout, degrees);
    alignment found;
    const std::optional<platform::bitmap> aligned = align_sheet(photo, &found);
    ASSERT_TRUE(aligned);
    EXPECT_EQ(found.skew, degrees);
    EXPECT_NEAR(found.left_line, layout.frame_left, 1);
    EXPECT_NEAR(found.top_line, layout.frame_top, 1);
    // The first rule lies below the frame, whose outer edge is now near row -1:
    // level means the same row across the sheet.
    const int first_rule = layout.frame_top + layout.frame_width + layout.rule_step - (found.top_line + 1);
    for (const int x : {60, 250, 450}) EXPECT_NEAR(first_dark_row(*aligned, x, 4), first_rule, 1) << "column " << x;
    // The left border runs down the first column.
    for (const int y : {100, 400, 650}) EXPECT_TRUE(dark_at(*aligned, 0, y)) << "row " << y;
  }
}

TEST(sheetdesk_align_sheet, a_blank_photograph_is_turned_by_45_degrees_and_stays_white) {
  const platform::bitmap photo = filled_image(64, 48);
  alignment found;
  const std::optional<platform::bitmap> aligned = align_sheet(photo, &found);
  ASSERT_TRUE(aligned);
  EXPECT_EQ(found.skew, -45.0);
  EXPECT_EQ(found.left_line, 0);
  EXPECT_EQ(found.top_line, -64);  // the distance of the unfilled first peak
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) ASSERT_FALSE(dark_at(*aligned, x, y)) << x << "," << y;
}

TEST(sheetdesk_align_sheet, a_photograph_without_votes_is_pulled_toward_minus_45_degrees) {
  // A vertical stroke down to the bottom edge casts no vote: the peak list stays
  // unfilled, the skew is -45, and the stroke is drawn turned 45 degrees clockwise.
  platform::bitmap photo = filled_image(200, 200);
  paint_rect(photo, 98, 0, 4, 200);
  alignment found;
  const std::optional<platform::bitmap> aligned = align_sheet(photo, &found);
  ASSERT_TRUE(aligned);
  EXPECT_EQ(found.skew, -45.0);
  // Turned clockwise, the stroke runs from upper right to lower left: x + y is constant.
  const int diagonal = 100 + 100 - 2 - found.left_line - found.top_line;
  int dark = 0;
  for (int y = 0; y < 200; ++y) {
    for (int x = 0; x < 200; ++x) {
      if (!dark_at(*aligned, x, y)) continue;
      ++dark;
      EXPECT_NEAR(x + y, diagonal, 4) << x << "," << y;
    }
  }
  EXPECT_GT(dark, 200);
}

TEST(sheetdesk_align_sheet, handles_the_smallest_and_no_photograph) {
  EXPECT_FALSE(align_sheet(platform::bitmap{}));
  const platform::bitmap one = sheetdesk_test::grid_image({"#"});
  alignment found;
  const std::optional<platform::bitmap> aligned = align_sheet(one, &found);
  ASSERT_TRUE(aligned);
  EXPECT_EQ(aligned->width(), 1);
  EXPECT_EQ(found.skew, -45.0);
}

}  // namespace
