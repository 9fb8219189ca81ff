#include "analysis/anchors.h"

#include <gtest/gtest.h>

#include "analysis/skew.h"
#include "tests/analysis/test_image.h"

using namespace analysis_test;

namespace {

constexpr int sheet_w = 400;
constexpr int sheet_h = 300;

// Corner positions (left, top) of the 30 x 30 anchors: TL, TR, BL, BR.
constexpr int corners[4][2] = {{40, 40}, {330, 40}, {40, 230}, {330, 230}};

// Draws the four anchors; those flagged `full` are solid, the others carry a
// small hole and so a lower fill ratio.
void draw_anchors(test_image& img, const bool full[4]) {
  for (int i = 0; i < 4; ++i) {
    img.fill_rect(corners[i][0], corners[i][1], 30, 30, black_px);
    if (!full[i]) img.fill_rect(corners[i][0] + 12, corners[i][1] + 12, 5, 5, white_px);
  }
}

anchor_result locate(test_image& img) {
  anchor_result result;
  locate_anchors(result, img.view, 1);
  return result;
}

TEST(locate_anchors, orientation_from_the_fullest_pair) {
  const struct {
    const char* name;
    bool full[4];
    std::int32_t orientation;
  } cases[] = {
      {"top pair fullest", {true, true, false, false}, 0},
      {"left pair fullest", {true, false, true, false}, 1},
      {"bottom pair fullest", {false, false, true, true}, 2},
      {"right pair fullest", {false, true, false, true}, 3},
      {"diagonal: undecided", {true, false, false, true}, 0},
      {"other diagonal: undecided", {false, true, true, false}, 0},
  };
  const rect anchor_rect{55, 55, 345, 245};
  for (const auto& c : cases) {
    test_image img(sheet_w, sheet_h);
    draw_anchors(img, c.full);
    const anchor_result r = locate(img);
    ASSERT_EQ(r.frame.anchor_boxes.size(), 4u) << c.name;
    EXPECT_EQ(r.frame.orientation, c.orientation) << c.name;
    EXPECT_EQ(r.frame.anchor_rect, anchor_rect) << c.name;
    EXPECT_EQ(r.frame.upright_rect, orient_rect(anchor_rect, sheet_w, sheet_h, c.orientation)) << c.name;
    EXPECT_TRUE(r.frame.corner_points.empty());
    for (int i = 0; i < 4; ++i) {
      const rect box{corners[i][0], corners[i][1], corners[i][0] + 30, corners[i][1] + 29};
      EXPECT_EQ(r.frame.anchor_boxes[static_cast<std::size_t>(i)], orient_rect(box, sheet_w, sheet_h, c.orientation))
          << c.name << " anchor " << i;
    }
    EXPECT_EQ(r.anchor_indices.size(), 4u);
  }
}

TEST(locate_anchors, five_anchors_give_five_boxes) {
  test_image img(sheet_w, sheet_h);
  const bool full[4] = {true, true, false, false};
  draw_anchors(img, full);
  img.fill_rect(185, 40, 30, 30, black_px);  // a fifth in the top row
  const anchor_result r = locate(img);
  EXPECT_EQ(r.frame.anchor_boxes.size(), 5u);
  // The rectangle comes from the first four members (TL, middle, TR, BL).
  EXPECT_NE(r.frame.anchor_rect, (rect{}));
}

TEST(locate_anchors, too_few_anchors) {
  test_image img(sheet_w, sheet_h);
  img.fill_rect(40, 40, 30, 30, black_px);
  img.fill_rect(330, 40, 30, 30, black_px);
  img.fill_rect(40, 230, 30, 30, black_px);
  const anchor_result r = locate(img);
  EXPECT_TRUE(r.anchor_indices.empty());
  EXPECT_TRUE(r.frame.anchor_boxes.empty());
  EXPECT_EQ(r.frame.anchor_rect, (rect{}));
  EXPECT_EQ(r.frame.orientation, 0);
  EXPECT_EQ(r.regions.size(), 3u);
}

TEST(locate_anchors, bad_images) {
  raster_view empty;
  anchor_result r;
  locate_anchors(r, empty, 1);
  EXPECT_TRUE(r.frame.anchor_boxes.empty());
  test_image black(120, 90, black_px);
  locate_anchors(r, black.view, 1);
  EXPECT_TRUE(r.frame.anchor_boxes.empty());
  EXPECT_EQ(r.regions.size(), 1u);
  // Not binarized and flag 0: nothing to follow.
  test_image sheet(sheet_w, sheet_h);
  const bool full[4] = {true, true, true, true};
  draw_anchors(sheet, full);
  locate_anchors(r, sheet.view, 0);
  EXPECT_TRUE(r.frame.anchor_boxes.empty());
}

TEST(order_corners, sorts_by_centres) {
  std::vector<flood_region> regions(4);
  const int boxes[4][4] = {{300, 200, 331, 229}, {10, 12, 41, 41}, {305, 8, 336, 37}, {12, 205, 43, 234}};
  const float fills[4] = {0.8f, 0.95f, 0.9f, 0.85f};
  for (int i = 0; i < 4; ++i) {
    regions[static_cast<std::size_t>(i)].left = boxes[i][0];
    regions[static_cast<std::size_t>(i)].top = boxes[i][1];
    regions[static_cast<std::size_t>(i)].right = boxes[i][2];
    regions[static_cast<std::size_t>(i)].bottom = boxes[i][3];
    regions[static_cast<std::size_t>(i)].fill_ratio = fills[i];
  }
  const corner_order o = order_corners(regions, {0, 1, 2, 3});
  // mid_x: 316, 26, 321, 28 -> left (26 + 28) / 2 = 27, right (316 + 321) / 2 = 318.5 -> 319.
  // mid_y: 215, 27, 23, 220 -> top (23 + 27) / 2 = 25, bottom (215 + 220) / 2 = 217.5 -> 218.
  EXPECT_EQ(o.anchor_rect, (rect{27, 25, 319, 218}));
  ASSERT_TRUE(o.orientation.has_value());
  EXPECT_EQ(*o.orientation, 0);  // fullest: 1 and 2, the upper pair

  EXPECT_FALSE(order_corners(regions, {0, 1, 2}).orientation.has_value());
  EXPECT_EQ(order_corners(regions, {0, 1, 2}).anchor_rect, (rect{}));
}

}  // namespace
