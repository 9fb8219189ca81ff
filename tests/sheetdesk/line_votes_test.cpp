#include "sheetdesk/line_votes.h"

#include <gtest/gtest.h>

#include <numeric>

#include "tests/sheetdesk/sheet_images.h"

namespace {

using namespace sheetdesk;
using sheetdesk_test::black;
using sheetdesk_test::filled_image;
using sheetdesk_test::grid_image;
using sheetdesk_test::paint;
using sheetdesk_test::paint_rect;

TEST(sheetdesk_is_dark, weighs_green_red_blue_and_counts_neutral_128_as_dark) {
  struct row {
    std::uint8_t blue, green, red;
    bool dark;
  };
  const row rows[] = {
      {128, 128, 128, true},  // 0.587*128 + 0.299*128 + 0.114*128 falls just below 128
      {129, 129, 129, false}, {0, 0, 0, true},      {255, 255, 255, false},
      {0, 255, 0, false},     // green alone: 149.7
      {255, 0, 255, true},    // red and blue: 105.3
      {255, 255, 0, false},   // green and blue: 178.8
      {0, 120, 255, false},   // 70.4 + 76.2
      {0, 80, 255, true},     // 47.0 + 76.2
  };
  for (const row& r : rows)
    EXPECT_EQ(is_dark(r.blue, r.green, r.red), r.dark) << int(r.blue) << "," << int(r.green) << "," << int(r.red);
}

TEST(sheetdesk_is_dark_pixel, reads_bytes_in_blue_green_red_order) {
  const std::uint8_t only_green[3] = {0, 255, 0};
  const std::uint8_t only_blue[3] = {255, 0, 0};
  EXPECT_FALSE(is_dark_pixel(only_green));
  EXPECT_TRUE(is_dark_pixel(only_blue));
}

std::uint64_t total_votes(const vote_table& t) { return std::accumulate(t.counts.begin(), t.counts.end(), std::uint64_t{0}); }

TEST(sheetdesk_vote_lines, sizes_the_table_by_the_photograph) {
  const platform::bitmap photo = filled_image(7, 5);
  const vote_table t = vote_lines(photo);
  EXPECT_EQ(t.width, 7);
  EXPECT_EQ(t.height, 5);
  EXPECT_EQ(t.rows, 24);
  EXPECT_EQ(t.counts.size(), 24u * 90u + 1u);
  EXPECT_EQ(total_votes(t), 0u);
}

TEST(sheetdesk_vote_lines, one_point_votes_once_per_angle_at_its_distance) {
  // Only (3, 4) is dark above a light pixel; width 10.
  platform::bitmap photo = filled_image(10, 8);
  paint(photo, 3, 4);
  const vote_table t = vote_lines(photo);
  EXPECT_EQ(total_votes(t), 90u);
  for (int a = 0; a < angle_columns; ++a) {
    int votes_in_column = 0;
    for (int r = 0; r < t.rows; ++r) votes_in_column += t.counts[r * angle_columns + a];
    EXPECT_EQ(votes_in_column, 1) << "angle index " << a;
  }
  // -45 degrees: 0.7071 * (4 + 3) + 10 = 14.95; 0 degrees: 4 + 10; +44 degrees: 10.79.
  EXPECT_EQ(t.counts[14 * 90 + 0], 1u);
  EXPECT_EQ(t.counts[14 * 90 + 45], 1u);
  EXPECT_EQ(t.counts[10 * 90 + 89], 1u);
}

TEST(sheetdesk_vote_lines, only_a_dark_pixel_above_a_light_one_votes) {
  struct row {
    const char* what;
    platform::bitmap photo;
    std::uint64_t voters;
  };
  row rows[] = {
      {"a dark bar votes once per column, along its lower edge",
       grid_image({"......", ".####.", ".####.", "......"}), 4},
      {"a bar touching the bottom edge never votes", grid_image({"......", ".####.", ".####."}), 0},
      {"a vertical stroke down to the bottom never votes", grid_image({"..#...", "..#...", "..#...", "..#..."}), 0},
      {"a vertical stroke ending above the bottom votes once", grid_image({"..#...", "..#...", "......"}), 1},
      {"a wholly dark photograph never votes", grid_image({"###", "###", "###"}), 0},
      {"a single row cannot vote", grid_image({"#.#.#"}), 0},
  };
  for (row& r : rows) EXPECT_EQ(total_votes(vote_lines(r.photo)), r.voters * 90) << r.what;
}

TEST(sheetdesk_vote_lines, a_photograph_without_image_gives_an_empty_table) {
  const platform::bitmap none;
  const vote_table t = vote_lines(none);
  EXPECT_EQ(t.rows, 0);
  EXPECT_TRUE(t.counts.empty());
  const peak_list peaks = find_peaks(t);
  EXPECT_EQ(peaks[0].count, 0u);
}

vote_table hand_table(int rows) {
  vote_table t;
  t.width = 1;
  t.height = rows / 2 - 1;
  t.rows = rows;
  t.counts.assign(static_cast<std::size_t>(rows) * angle_columns + 1, 0);
  return t;
}

TEST(sheetdesk_find_peaks, orders_by_count_and_keeps_the_earlier_cell_ahead_on_ties) {
  vote_table t = hand_table(4);
  t.counts[5] = 3;
  t.counts[7] = 3;
  t.counts[100] = 9;
  t.counts[2] = 1;
  t.counts[200] = 3;
  const peak_list p = find_peaks(t);
  EXPECT_EQ(p[0].count, 9u);
  EXPECT_EQ(p[0].cell, 100);
  EXPECT_EQ(p[1].cell, 5);
  EXPECT_EQ(p[2].cell, 7);
  EXPECT_EQ(p[3].cell, 200);
  EXPECT_EQ(p[4].cell, 2);
  for (int i = 5; i < peak_count; ++i) {
    EXPECT_EQ(p[i].count, 0u) << i;
    EXPECT_EQ(p[i].cell, 0) << i;
  }
}

TEST(sheetdesk_find_peaks, keeps_the_first_fifty_of_many_equal_cells) {
  vote_table t = hand_table(4);
  for (int cell = 300; cell > 230; --cell) t.counts[cell] = 2;
  const peak_list p = find_peaks(t);
  for (int i = 0; i < peak_count; ++i) EXPECT_EQ(p[i].cell, 231 + i) << i;
}

TEST(sheetdesk_find_peaks, a_stronger_late_cell_moves_to_the_front) {
  vote_table t = hand_table(4);
  for (int cell = 0; cell < 60; ++cell) t.counts[cell] = 5;
  t.counts[359] = 6;  // the last visited cell
  const peak_list p = find_peaks(t);
  EXPECT_EQ(p[0].cell, 359);
  EXPECT_EQ(p[1].cell, 0);
  EXPECT_EQ(p[49].cell, 48);
}

TEST(sheetdesk_find_peaks, never_visits_the_spare_cell) {
  vote_table t = hand_table(4);
  t.counts[4 * angle_columns] = 1000;  // the spare cell
  t.counts[10] = 1;
  const peak_list p = find_peaks(t);
  EXPECT_EQ(p[0].cell, 10);
  EXPECT_EQ(p[1].count, 0u);
}

TEST(sheetdesk_average_skew, averages_whole_degrees_and_counts_unfilled_entries_as_minus_45) {
  peak_list p{};
  EXPECT_DOUBLE_EQ(average_skew(p), -45.0);
  for (peak& e : p) e = peak{4, 7 * 90 + 48};  // +3 degrees
  EXPECT_DOUBLE_EQ(average_skew(p), 3.0);
  p[49] = peak{};  // one unfilled entry: (49 * 3 - 45) / 50
  EXPECT_DOUBLE_EQ(average_skew(p), 102.0 / 50.0);
  EXPECT_EQ(peak_angle(peak{1, 7 * 90 + 48}), 3);
  EXPECT_EQ(peak_distance(peak{1, 7 * 90 + 48}, 5), 2);
  EXPECT_EQ(peak_distance(peak{}, 5), -5);
}

TEST(sheetdesk_skew, of_a_blank_or_voteless_photograph_is_minus_45) {
  platform::bitmap blank = filled_image(40, 30);
  EXPECT_DOUBLE_EQ(average_skew(find_peaks(vote_lines(blank))), -45.0);
  platform::bitmap stroke = filled_image(40, 30);
  paint_rect(stroke, 18, 5, 3, 25);  // reaches the bottom edge: no pixel votes
  EXPECT_DOUBLE_EQ(average_skew(find_peaks(vote_lines(stroke))), -45.0);
}

TEST(sheetdesk_skew, of_a_ruled_sheet_is_its_turn_in_whole_degrees) {
  const sheetdesk_test::ruled_sheet_layout layout;
  for (const int degrees : {0, 3, -2, 6, -7}) {
    const platform::bitmap photo = sheetdesk_test::ruled_sheet(layout, degrees);
    const peak_list peaks = find_peaks(vote_lines(photo));
    EXPECT_DOUBLE_EQ(average_skew(peaks), degrees) << degrees << " degrees";
    EXPECT_EQ(peak_angle(peaks[0]), degrees) << degrees << " degrees";
  }
}

TEST(sheetdesk_skew, of_a_straight_sheet_finds_its_rules_as_peaks) {
  const sheetdesk_test::ruled_sheet_layout layout;
  const platform::bitmap photo = sheetdesk_test::ruled_sheet(layout, 0);
  const peak_list peaks = find_peaks(vote_lines(photo));
  // Every peak is the lower edge of a rule or of the frame: its distance is that row.
  for (const peak& p : peaks) {
    const int row = peak_distance(p, layout.width);
    EXPECT_TRUE(sheetdesk_test::ruled_sheet_dark(layout, 300, row)) << row;
    EXPECT_FALSE(sheetdesk_test::ruled_sheet_dark(layout, 300, row + 1)) << row;
  }
}

TEST(sheetdesk_find_border_lines, takes_the_first_strongest_column_and_row_of_the_quarters) {
  platform::bitmap image = filled_image(40, 40);
  paint_rect(image, 3, 0, 1, 40);   // column 3: 40 dark
  paint_rect(image, 5, 0, 1, 40);   // column 5: as many, found later
  paint_rect(image, 1, 10, 1, 20);  // column 1: fewer
  paint_rect(image, 20, 0, 1, 40);  // outside the left quarter, however strong
  paint_rect(image, 21, 0, 1, 40);
  paint_rect(image, 0, 7, 40, 1);   // row 7: the whole width (x beyond the quarter counts)
  paint_rect(image, 0, 30, 40, 2);  // outside the top quarter
  const border_lines lines = find_border_lines(image, -99);
  EXPECT_EQ(lines.left, 3);
  EXPECT_EQ(lines.top, 7);
}

TEST(sheetdesk_find_border_lines, falls_back_when_the_quarters_hold_no_dark_pixel) {
  platform::bitmap image = filled_image(40, 40);
  paint_rect(image, 20, 20, 10, 10);
  const border_lines lines = find_border_lines(image, -40);
  EXPECT_EQ(lines.left, 0);
  EXPECT_EQ(lines.top, -40);
}

TEST(sheetdesk_find_border_lines, tiny_images_have_no_quarters) {
  const platform::bitmap image = grid_image({"###", "###", "###"});
  const border_lines lines = find_border_lines(image, 12);
  EXPECT_EQ(lines.left, 0);
  EXPECT_EQ(lines.top, 12);
}

}  // namespace
