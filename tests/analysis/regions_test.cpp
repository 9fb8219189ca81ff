#include "analysis/regions.h"

#include <gtest/gtest.h>

#include "analysis/binarize.h"
#include "tests/analysis/test_image.h"

using namespace analysis_test;
using obj_recognize::flood_extractor;

namespace {

std::vector<flood_region> regions_of(test_image& img, region_finish finish = region_finish::full) {
  binarize_dark(img.view);
  flood_extractor extractor(finish);
  extractor.extract_regions(img.view);
  return extractor.regions;
}

TEST(flood_extractor, construction_values) {
  EXPECT_EQ(flood_extractor::step_x[0], 0);
  EXPECT_EQ(flood_extractor::step_y[0], 1);
  EXPECT_EQ(flood_extractor::step_x[3], 0);
  EXPECT_EQ(flood_extractor::step_y[3], -1);
  flood_extractor e;
  EXPECT_TRUE(e.regions.empty());
}

TEST(flood_extractor, single_pixel) {
  test_image img(10, 8);
  img.set(4, 3, black_px);
  const auto regions = regions_of(img);
  ASSERT_EQ(regions.size(), 1u);
  const flood_region& r = regions[0];
  EXPECT_EQ(r.pixel_count, 1u);
  EXPECT_EQ(r.label, 1);
  EXPECT_EQ(r.left, 4);
  EXPECT_EQ(r.right, 5);
  EXPECT_EQ(r.top, 3);
  EXPECT_EQ(r.bottom, 3);
  EXPECT_EQ(r.box_width, 2);
  EXPECT_EQ(r.box_height, 1);
  EXPECT_EQ(r.box_area, 2);
  EXPECT_FLOAT_EQ(r.fill_ratio, 0.5f);
  EXPECT_FLOAT_EQ(r.elongation, 2.0f);
  EXPECT_EQ(r.center_x, 5);
  EXPECT_EQ(r.center_y, 3);
  EXPECT_EQ(img.view.mark_map[3 * 10 + 4], 1);
}

TEST(flood_extractor, candidate_finish_keeps_the_largest_x) {
  test_image img(10, 8);
  img.fill_rect(2, 2, 4, 3, black_px);  // x 2..5, y 2..4
  const auto regions = regions_of(img, region_finish::candidate);
  ASSERT_EQ(regions.size(), 1u);
  EXPECT_EQ(regions[0].right, 5);
  EXPECT_EQ(regions[0].box_width, 4);
  EXPECT_EQ(regions[0].box_height, 3);
  EXPECT_EQ(regions[0].center_x, 4);  // (2 + 5) * 0.5 + 0.5 = 4
  EXPECT_EQ(regions[0].center_y, 3);
  EXPECT_FLOAT_EQ(regions[0].fill_ratio, 1.0f);
}

TEST(flood_extractor, four_connectivity_and_label_order) {
  test_image img(12, 10);
  img.draw({
      "#.....##",
      ".#....#.",
      "......##",
      "..#.....",
      ".###....",
  }, 2, 2);
  const auto regions = regions_of(img);
  // Raster order of first pixels: (2,2), (8,2) the C shape, (3,3) diagonal
  // neighbour of the first, then the plus-like shape at (4,5).
  ASSERT_EQ(regions.size(), 4u);
  EXPECT_EQ(regions[0].pixel_count, 1u);
  EXPECT_EQ(regions[0].left, 2);
  EXPECT_EQ(regions[1].pixel_count, 5u);
  EXPECT_EQ(regions[1].left, 8);
  EXPECT_EQ(regions[1].right, 10);
  EXPECT_EQ(regions[1].bottom, 4);
  EXPECT_EQ(regions[2].pixel_count, 1u);
  EXPECT_EQ(regions[2].top, 3);
  EXPECT_EQ(regions[3].pixel_count, 4u);
  EXPECT_EQ(regions[3].left, 3);
  EXPECT_EQ(regions[3].right, 6);
  for (std::size_t i = 0; i < regions.size(); ++i) EXPECT_EQ(regions[i].label, static_cast<int>(i) + 1);
  // Labels are painted into the mark map; background keeps its mark.
  EXPECT_EQ(img.view.mark_map[4 * 12 + 9], 2);
  EXPECT_EQ(img.view.mark_map[6 * 12 + 5], 4);
  EXPECT_EQ(img.view.mark_map[0], mark_background);
}

struct square_case {
  int side;
  bool candidate;
};

TEST(select_anchor_candidates, square_sizes) {
  const square_case cases[] = {{24, false}, {25, true}, {30, true}, {44, true}, {45, false}};
  for (const auto& c : cases) {
    test_image img(c.side + 10, c.side + 10);
    img.fill_rect(5, 5, c.side, c.side, black_px);
    const auto regions = regions_of(img);
    ASSERT_EQ(regions.size(), 1u);
    EXPECT_EQ(regions[0].pixel_count, static_cast<std::uint32_t>(c.side * c.side));
    EXPECT_EQ(regions[0].box_width, c.side + 1);
    EXPECT_EQ(regions[0].box_height, c.side);
    EXPECT_EQ(select_anchor_candidates(regions).size(), c.candidate ? 1u : 0u) << c.side;
  }
  // The 30 x 30 figures in full.
  test_image img(40, 40);
  img.fill_rect(5, 5, 30, 30, black_px);
  const auto r = regions_of(img)[0];
  EXPECT_FLOAT_EQ(r.fill_ratio, 900.0f / 930.0f);
  EXPECT_FLOAT_EQ(r.elongation, 31.0f / 30.0f);
}

TEST(select_anchor_candidates, ring_fails_the_fill_ratio) {
  test_image img(50, 50);
  img.fill_rect(5, 5, 36, 36, black_px);
  img.fill_rect(10, 10, 26, 26, white_px);  // 620 pixels in a 37 x 36 box
  const auto regions = regions_of(img);
  ASSERT_EQ(regions.size(), 1u);
  EXPECT_GT(regions[0].pixel_count, 600u);
  EXPECT_LT(regions[0].fill_ratio, 0.8f);
  EXPECT_TRUE(select_anchor_candidates(regions).empty());
}

flood_region record(std::uint32_t pixels, float fill, float elongation) {
  flood_region r;
  r.pixel_count = pixels;
  r.fill_ratio = fill;
  r.elongation = elongation;
  return r;
}

TEST(select_anchor_candidates, threshold_edges) {
  const struct {
    flood_region r;
    bool full, early;
  } cases[] = {
      {record(600, 0.9f, 1.0f), false, false},
      {record(601, 0.9f, 1.0f), true, true},
      {record(1999, 0.9f, 1.0f), true, true},
      {record(2000, 0.9f, 1.0f), false, true},
      {record(5000, 0.9f, 1.0f), false, true},
      {record(900, 13.0f / 20.0f, 1.0f), true, false},  // exactly 0.65 in single precision
      {record(900, 0.6499f, 1.0f), false, false},
      {record(900, 0.70f, 1.0f), true, true},
      {record(900, 0.9f, 1.1f), true, true},
      {record(900, 0.9f, 1.1001f), false, false},
      {record(900, 0.9f, 0.99f), true, true},  // 0.99f lies just above the double 0.99
      {record(900, 0.9f, 0.9899f), false, false},
  };
  const anchor_thresholds early = early_build_analysis().anchors;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::vector<flood_region> one{cases[i].r};
    EXPECT_EQ(select_anchor_candidates(one).size(), cases[i].full ? 1u : 0u) << "case " << i;
    EXPECT_EQ(select_anchor_candidates(one, early).size(), cases[i].early ? 1u : 0u) << "case " << i;
  }
}

// A solid-square region record with its box at (left, top), side x side pixels.
flood_region square(int left, int top, int side, std::uint32_t pixels = 0) {
  flood_region r;
  r.left = left;
  r.top = top;
  r.right = left + side;  // one past the largest x
  r.bottom = top + side - 1;
  r.box_width = side + 1;
  r.box_height = side;
  r.box_area = r.box_width * r.box_height;
  r.pixel_count = pixels ? pixels : static_cast<std::uint32_t>(side * side);
  r.fill_ratio = static_cast<float>(r.pixel_count) / static_cast<float>(r.box_area);
  r.elongation = static_cast<float>(r.box_width) / static_cast<float>(r.box_height);
  return r;
}

TEST(cluster_anchors, four_corners_form_one_group) {
  std::vector<flood_region> regions{square(50, 50, 30), square(400, 52, 30), square(48, 500, 30),
                                    square(402, 498, 30)};
  EXPECT_EQ(cluster_anchors(regions), (std::vector<std::int32_t>{0, 1, 2, 3}));
  // Three alone are dropped.
  regions.pop_back();
  EXPECT_TRUE(cluster_anchors(regions).empty());
}

TEST(cluster_anchors, members_join_in_merge_order) {
  // 0 and 2 share a row, 1 and 3 share a row, 0 and 1 share a column: the
  // pair (0,1) merges first, then the restart merges 2, then 3.
  std::vector<flood_region> regions{square(50, 50, 30), square(55, 400, 30), square(300, 45, 30),
                                    square(302, 402, 30), square(700, 700, 10)};
  EXPECT_EQ(cluster_anchors(regions), (std::vector<std::int32_t>{0, 1, 2, 3}));
}

TEST(cluster_anchors, a_much_larger_square_does_not_join) {
  // 34 x 34 has box area 1190 against 930: 260 is not below 930 / 4.
  std::vector<flood_region> regions{square(50, 50, 30), square(400, 50, 34), square(50, 500, 30),
                                    square(400, 500, 30)};
  EXPECT_TRUE(cluster_anchors(regions).empty());
  // 32 x 32 (1056 against 930, difference 126) does.
  regions[1] = square(400, 50, 32);
  EXPECT_EQ(cluster_anchors(regions).size(), 4u);
}

TEST(cluster_anchors, largest_mean_wins_and_ties_go_to_the_first_group) {
  // Two sheets far apart: corners 30 x 30 and corners 40 x 40.
  std::vector<flood_region> regions{square(50, 50, 30),     square(300, 50, 30),     square(50, 300, 30),
                                    square(300, 300, 30),   square(1050, 1050, 40),  square(1400, 1050, 40),
                                    square(1050, 1400, 40), square(1400, 1400, 40)};
  EXPECT_EQ(cluster_anchors(regions), (std::vector<std::int32_t>{4, 5, 6, 7}));
  // Equal sizes: the group of the first member found is returned.
  for (int i = 4; i < 8; ++i) regions[static_cast<std::size_t>(i)] = square(regions[static_cast<std::size_t>(i)].left, regions[static_cast<std::size_t>(i)].top, 30);
  EXPECT_EQ(cluster_anchors(regions), (std::vector<std::int32_t>{0, 1, 2, 3}));
}

TEST(flood_extractor, refuses_images_it_cannot_follow) {
  // Not binarized: no marks to follow.
  test_image img(10, 10, black_px);
  flood_extractor e;
  e.extract_regions(img.view);
  EXPECT_TRUE(e.regions.empty());
  raster_view empty;
  e.extract_regions(empty);
  EXPECT_TRUE(e.regions.empty());

  // Marks of 0 on the frame (not from binarize_dark): the fill stays inside.
  test_image edge(6, 5);
  binarize_dark(edge.view);
  for (int i = 0; i < 30; ++i) edge.view.mark_map[i] = 0;
  edge.view.dark_points.count = 1;
  edge.view.dark_points[0] = pack_point(0, 0);
  e.extract_regions(edge.view);
  ASSERT_EQ(e.regions.size(), 1u);
  EXPECT_EQ(e.regions[0].pixel_count, 30u);
  EXPECT_EQ(e.regions[0].right, 6);
  EXPECT_EQ(e.regions[0].bottom, 4);
}

}  // namespace
