#include "commands/match_step.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A 24-bit image in a buffer with guard bytes around it: a view of width x
// height inside a larger block whose margin must stay untouched.
class test_image {
 public:
  static constexpr int guard = 16;  // pixels of margin on every side
  static constexpr std::uint8_t guard_byte = 0x5A;

  test_image(int width, int height, std::uint8_t grey = 255)
      : width_(width), height_(height), stride_((width + 2 * guard) * 3), bytes_(stride_ * (height + 2 * guard), guard_byte) {
    for (int y = 0; y < height; ++y) std::memset(at(0, y), grey, static_cast<std::size_t>(width) * 3);
    build_offset_tables(view, at(0, 0), width, height, stride_);
  }
  ~test_image() { view.release(); }

  std::uint8_t* at(int x, int y) { return bytes_.data() + (y + guard) * stride_ + (x + guard) * 3; }
  void fill(int left, int top, int right, int bottom, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    for (int y = top; y <= bottom; ++y)
      for (int x = left; x <= right; ++x) {
        std::uint8_t* p = at(x, y);
        p[0] = b;
        p[1] = g;
        p[2] = r;
      }
  }
  void fill(int left, int top, int right, int bottom, std::uint8_t grey) { fill(left, top, right, bottom, grey, grey, grey); }
  // Outline of a box, one pixel wide.
  void outline(int left, int top, int right, int bottom) {
    fill(left, top, right, top, 0);
    fill(left, bottom, right, bottom, 0);
    fill(left, top, left, bottom, 0);
    fill(right, top, right, bottom, 0);
  }
  bool guards_intact() const {
    for (int y = 0; y < height_ + 2 * guard; ++y)
      for (int x = 0; x < (width_ + 2 * guard) * 3; ++x) {
        const bool inside = y >= guard && y < guard + height_ && x >= guard * 3 && x < (guard + width_) * 3;
        if (!inside && bytes_[y * stride_ + x] != guard_byte) return false;
      }
    return true;
  }

  raster_view view;

 private:
  int width_, height_, stride_;
  std::vector<std::uint8_t> bytes_;
};

template_box make_box(const std::string& name, int cx, int cy, int hw, int hh) {
  template_box b;
  b.name = name;
  b.center_x = cx;
  b.center_y = cy;
  b.half_width = hw;
  b.half_height = hh;
  split_box_name(b);
  return b;
}

TEST(measure_paper_level, takes_the_most_frequent_level_within_limits) {
  struct row {
    const char* what;
    std::uint8_t grey;
    std::int32_t level;
  };
  const row rows[] = {{"ordinary paper", 200, 200}, {"dim paper", 120, 130},  {"glaring paper", 240, 232},
                      {"no level in range", 50, 130}, {"lowest limit itself", 130, 130}, {"top limit itself", 232, 232}};
  for (const row& r : rows) {
    test_image img(20, 10, r.grey);
    EXPECT_EQ(measure_paper_level(img.view, {0, 0, 19, 9}), r.level) << r.what;
  }
}

TEST(measure_paper_level, breaks_ties_to_the_lower_level_and_averages_the_channels) {
  test_image img(10, 10, 180);
  img.fill(0, 0, 9, 4, 200);
  EXPECT_EQ(measure_paper_level(img.view, {0, 0, 9, 9}), 180);
  // (150 + 160 + 171) / 3 = 160
  test_image tinted(10, 10);
  tinted.fill(0, 0, 9, 9, 150, 160, 171);
  EXPECT_EQ(measure_paper_level(tinted.view, {0, 0, 9, 9}), 160);
}

TEST(measure_paper_level, counts_only_pixels_inside_the_image) {
  test_image img(10, 10, 200);
  EXPECT_EQ(measure_paper_level(img.view, {-50, -50, 500, 500}), 200);
  EXPECT_EQ(measure_paper_level(img.view, {20, 20, 30, 30}), 130);  // nothing inside
  EXPECT_EQ(measure_paper_level(img.view, {5, 5, 2, 2}), 130);      // inverted
  EXPECT_TRUE(img.guards_intact());
}

TEST(mark_box, marks_strictly_above_forty_percent) {
  struct row {
    int dark;
    int marked;
  };
  // rect (0,0)-(19,19): interior (5,5)-(14,14), 100 pixels.
  for (const row r : {row{40, 0}, row{41, 1}, row{0, 0}, row{100, 1}}) {
    test_image img(20, 20, 200);
    for (int i = 0; i < r.dark; ++i) img.fill(5 + i % 10, 5 + i / 10, 5 + i % 10, 5 + i / 10, 0);
    float ratio = mark_threshold;
    EXPECT_EQ(mark_box(img.view, 200, {0, 0, 19, 19}, ratio), r.marked) << r.dark << " dark pixels";
    EXPECT_FLOAT_EQ(ratio, r.dark / 100.0f) << r.dark << " dark pixels";
  }
}

TEST(mark_box, ink_must_be_25_levels_darker_than_the_paper) {
  // Paper 200: ink below a sum of 525, grey 175 exactly is not ink, 174 is.
  for (const auto& [grey, marked] : {std::pair{175, 0}, std::pair{174, 1}}) {
    test_image img(20, 20, 200);
    img.fill(5, 5, 14, 14, static_cast<std::uint8_t>(grey));
    float ratio = mark_threshold;
    EXPECT_EQ(mark_box(img.view, 200, {0, 0, 19, 19}, ratio), marked) << "grey " << grey;
  }
}

TEST(mark_box, small_boxes_have_a_thin_or_empty_interior) {
  // Half size 4: interior empty, never marked even when all black.
  test_image black(40, 40, 0);
  float ratio = mark_threshold;
  EXPECT_EQ(mark_box(black.view, 200, {20 - 4, 20 - 4, 20 + 4, 20 + 4}, ratio), 0);
  // Half size 5 wide: interior is the single centre column.
  test_image img(40, 40, 200);
  img.fill(20, 0, 20, 39, 0);
  ratio = mark_threshold;
  EXPECT_EQ(mark_box(img.view, 200, {15, 10, 25, 30}, ratio), 1);
  EXPECT_FLOAT_EQ(ratio, 1.0f);
}

TEST(mark_box, tints_the_interior_blue_and_the_ink_of_a_marked_box_red) {
  test_image img(20, 20, 255);
  img.fill(5, 5, 14, 9, 0);  // 50 % ink
  float ratio = mark_threshold;
  ASSERT_EQ(mark_box(img.view, 232, {0, 0, 19, 19}, ratio), 1);
  const std::uint8_t* paper = img.at(10, 12);
  EXPECT_EQ(paper[0], 255);
  EXPECT_EQ(paper[1], 127);
  EXPECT_EQ(paper[2], 127);
  const std::uint8_t* ink = img.at(10, 6);
  EXPECT_EQ(ink[0], 63);  // (0 + 255) / 2 / 2
  EXPECT_EQ(ink[1], 0);
  EXPECT_EQ(ink[2], 127);  // (0 / 2 + 255) / 2
  const std::uint8_t* edge = img.at(4, 4);  // outside the interior: untouched
  EXPECT_EQ(edge[0], 255);
  EXPECT_EQ(edge[1], 255);

  test_image empty(20, 20, 255);
  empty.fill(5, 5, 14, 6, 0);  // 20 %: not marked, ink only tinted blue
  ratio = mark_threshold;
  ASSERT_EQ(mark_box(empty.view, 232, {0, 0, 19, 19}, ratio), 0);
  EXPECT_EQ(empty.at(10, 5)[0], 127);
  EXPECT_EQ(empty.at(10, 5)[2], 0);
}

TEST(mark_box, a_box_beyond_the_border_touches_nothing_outside_and_divides_by_its_own_size) {
  test_image img(20, 20, 0);
  float ratio = mark_threshold;
  // Interior (10,10)-(29,29): 400 pixels, of which 100 lie in the image.
  EXPECT_EQ(mark_box(img.view, 200, {5, 5, 34, 34}, ratio), 0);
  EXPECT_FLOAT_EQ(ratio, 0.25f);
  ratio = mark_threshold;
  EXPECT_EQ(mark_box(img.view, 200, {-1000000, -5, 1000000, 40}, ratio), 0);
  EXPECT_TRUE(img.guards_intact());
}

TEST(best_row, finds_the_first_band_with_the_most_dark_pixels) {
  test_image img(50, 100);
  img.fill(10, 37, 30, 39, 0);  // a three-row print band
  box_group g;
  EXPECT_EQ(best_row(g, img.view, {0, 20, 49, 79}, 3), 37);
  ASSERT_EQ(g.row_profile.size(), 60u);
  EXPECT_EQ(g.row_profile_top, 20);
  EXPECT_EQ(g.row_profile[17], 21);
  // A wider band keeps the first position that holds the band entirely.
  EXPECT_EQ(best_row(g, img.view, {0, 20, 49, 79}, 5), 35);
  // Nothing dark: the rectangle's top. Band taller than the rectangle: top.
  EXPECT_EQ(best_row(g, img.view, {0, 50, 49, 99}, 3), 50);
  EXPECT_EQ(best_row(g, img.view, {0, 30, 49, 40}, 20), 30);
  // Sums of exactly 300 are not dark.
  test_image grey(20, 20, 100);
  EXPECT_EQ(best_row(g, grey.view, {0, 5, 19, 19}, 2), 5);
}

TEST(best_row, reaches_beyond_the_image_safely) {
  test_image img(30, 30);
  img.fill(0, 2, 29, 3, 0);
  box_group g;
  EXPECT_EQ(best_row(g, img.view, {-10, -20, 40, 25}, 2), 2);
  EXPECT_EQ(g.row_profile.size(), 26u);
  EXPECT_EQ(best_row(g, img.view, {0, -2000000000, 29, 2000000000}, 4), 0);
  EXPECT_EQ(best_row(g, img.view, {0, 25, 29, 5}, 2), 25);  // inverted: no rows
  EXPECT_TRUE(img.guards_intact());
}

TEST(best_column, slides_the_comb_to_the_printed_outlines) {
  test_image img(200, 40);
  // Three boxes 21 wide, 40 apart, printed 6 pixels right of the template.
  for (int k = 0; k < 3; ++k) img.outline(26 + 40 * k, 10, 46 + 40 * k, 30);
  const std::vector<box_extent> extents{{20, 40}, {60, 80}, {100, 120}};
  box_group g;
  // Search rectangle widened by half a box (10) on each side.
  EXPECT_EQ(best_column(g, img.view, {10, 5, 130, 35}, extents), 26);
  EXPECT_EQ(g.column_profile.size(), 121u);
  // Nothing dark: the rectangle's left.
  test_image blank(200, 40);
  EXPECT_EQ(best_column(g, blank.view, {10, 5, 130, 35}, extents), 10);
}

TEST(best_column, reaches_beyond_the_image_and_survives_disordered_extents) {
  test_image img(60, 20);
  img.outline(2, 2, 12, 12);
  box_group g;
  const std::vector<box_extent> near_edge{{-3, 7}, {12, 22}};
  const std::int32_t left = best_column(g, img.view, {-8, 0, 27, 19}, near_edge);
  EXPECT_GE(left, -8);
  EXPECT_LE(left, 27);
  // Last box before the first: the shift count grows, nothing breaks.
  const std::vector<box_extent> reversed{{40, 50}, {0, 10}};
  best_column(g, img.view, {35, 0, 15, 19}, reversed);
  const std::vector<box_extent> absurd{{-262144, 262144}, {262000, 262144}};
  best_column(g, img.view, {-300000, 0, 300000, 19}, absurd);
  EXPECT_TRUE(img.guards_intact());
}

// A sheet with two rows of four boxes; ink in some.
struct drawn_sheet {
  test_image img{400, 300};
  sheet_template tpl;
  drawn_sheet(int shift_x, int shift_y, const std::vector<int>& marked) {
    tpl.width = 200;  // half the image: every number scales by 2
    tpl.height = 150;
    const char* names[] = {"1.A", "1.B", "1.C", "1.D", "2.A", "2.B", "2.C", "2.D"};
    for (int i = 0; i < 8; ++i) {
      const int cx = 50 + 30 * (i % 4), cy = 40 + 40 * (i / 4);
      tpl.boxes.push_back(make_box(names[i], cx, cy, 10, 8));
      const int x = 2 * cx + shift_x, y = 2 * cy + shift_y;
      img.outline(x - 20, y - 16, x + 20, y + 16);
      if (std::find(marked.begin(), marked.end(), i) != marked.end()) img.fill(x - 14, y - 10, x + 14, y + 10, 20);
    }
  }
};

TEST(match_groups, groups_by_name_parts_and_reads_the_marks) {
  drawn_sheet s(0, 0, {1, 6});
  match_groups(s.img.view, s.tpl);
  EXPECT_EQ(s.tpl.width, 400);
  EXPECT_EQ(s.tpl.height, 300);
  ASSERT_EQ(s.tpl.groups.size(), 2u);
  std::vector<int> values;
  for (const auto& g : s.tpl.groups) {
    ASSERT_EQ(g.results.size(), 4u);
    for (const auto& b : g.results) values.push_back(b.value);
  }
  EXPECT_EQ(values, (std::vector<int>{0, 1, 0, 0, 0, 0, 1, 0}));
  const template_box& b = s.tpl.groups[0].results[1];
  EXPECT_EQ(b.name, "1.B");
  EXPECT_EQ(b.center_x, 160);
  EXPECT_EQ(b.center_y, 80);
  EXPECT_EQ(b.half_width, 20);
  EXPECT_EQ(b.half_height, 16);
  EXPECT_GT(b.fill_ratio, mark_threshold);
  EXPECT_EQ(s.tpl.boxes.size(), 8u);  // the box list itself stays as read
  EXPECT_EQ(s.tpl.boxes[1].center_x, 80);
}

TEST(match_groups, moves_a_group_with_its_printed_row) {
  drawn_sheet s(5, 7, {0});
  match_groups(s.img.view, s.tpl);
  ASSERT_EQ(s.tpl.groups.size(), 2u);
  for (const auto& g : s.tpl.groups) {
    for (std::size_t i = 0; i < g.results.size(); ++i) {
      const template_box& b = g.results[i];
      const int row = &g == &s.tpl.groups[0] ? 0 : 1;
      EXPECT_EQ(b.center_x, 2 * (50 + 30 * static_cast<int>(i)) + 5) << b.name;
      EXPECT_EQ(b.center_y, 2 * (40 + 40 * row) + 7) << b.name;
    }
  }
  EXPECT_EQ(s.tpl.groups[0].results[0].value, 1);
}

TEST(match_groups, grouping_cases) {
  struct row {
    const char* what;
    std::vector<std::string> names;
    std::vector<std::size_t> sizes;
  };
  const std::vector<row> rows = {
      {"two questions", {"1.A", "1.B", "1.C", "1.D", "2.A", "2.B", "2.C", "2.D"}, {4, 4}},
      {"one option letter down a column", {"1.A", "2.A", "3.A"}, {3}},
      {"single box", {"1.A"}, {}},
      {"names without a dot share the empty head", {"a", "b", "c"}, {3}},
      {"head and tail both change", {"1.A", "2.B", "3.C"}, {1, 1, 1}},
      {"chain through alternating parts", {"1.A", "1.B", "2.B", "3.C"}, {3, 1}},
  };
  for (const row& r : rows) {
    test_image img(100, 100);
    sheet_template t;
    t.width = 100;
    t.height = 100;
    int i = 0;
    for (const auto& n : r.names) t.boxes.push_back(make_box(n, 20 + 10 * (i++ % 5), 50, 4, 4));
    match_groups(img.view, t);
    std::vector<std::size_t> sizes;
    for (const auto& g : t.groups) sizes.push_back(g.results.size());
    EXPECT_EQ(sizes, r.sizes) << r.what;
  }
}

TEST(match_groups, a_header_without_positive_size_matches_nothing) {
  for (const auto& [w, h] : {std::pair{0, 100}, std::pair{100, 0}, std::pair{-5, 100}}) {
    test_image img(100, 80);
    sheet_template t;
    t.width = w;
    t.height = h;
    t.boxes = {make_box("1.A", 10, 10, 5, 5), make_box("1.B", 30, 10, 5, 5)};
    match_groups(img.view, t);
    EXPECT_TRUE(t.groups.empty()) << w << "x" << h;
    EXPECT_EQ(t.width, 100);
    EXPECT_EQ(t.height, 80);
    EXPECT_TRUE(img.guards_intact());
  }
}

TEST(match_groups, absurd_box_numbers_stay_inside_the_image_and_finish) {
  test_image img(120, 90);
  sheet_template t;
  t.width = 1;
  t.height = 1;
  t.boxes = {make_box("1.A", 2147483647, -2147483647, 2147483647, 5), make_box("1.B", -2000000000, 3, -7, 2147483647),
             make_box("1.C", 0, 0, 0, 0)};
  match_groups(img.view, t);
  ASSERT_EQ(t.groups.size(), 1u);
  EXPECT_EQ(t.groups[0].results.size(), 3u);
  EXPECT_TRUE(img.guards_intact());
}

TEST(match_groups, blocks_of_four_change_the_boxes_in_place) {
  drawn_sheet s(0, 6, {2, 5});
  s.tpl.boxes.push_back(make_box("extra", 10, 10, 3, 3));
  match_groups(s.img.view, s.tpl, box_grouping::blocks_of_four);
  EXPECT_TRUE(s.tpl.groups.empty());
  ASSERT_EQ(s.tpl.boxes.size(), 9u);
  std::vector<int> values;
  for (const auto& b : s.tpl.boxes) values.push_back(b.value);
  EXPECT_EQ(values, (std::vector<int>{0, 0, 1, 0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(s.tpl.boxes[0].center_y, 86);
  EXPECT_EQ(s.tpl.boxes[8].center_x, 10);  // the remainder keeps the file's numbers
}

}  // namespace
