#include "analysis/normalize.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "analysis/skew.h"
#include "raster/bmp_helper.h"
#include "tools/sheetgen/sheetgen.h"

namespace {

constexpr int photo_w = 1600;
constexpr int photo_h = 1200;

sheetgen::rendered_sheet render(double skew, int turn, std::uint64_t seed = 3, bool clean = false) {
  sheetgen::sheet_options o;
  o.seed = seed;
  o.photo_width = photo_w;
  o.photo_height = photo_h;
  o.skew_degrees = skew;
  o.turn_degrees = turn;
  if (!clean) {
    o.light = 0.5;
    o.noise = 2.0;
    o.blur = 0.7;
  }
  sheetgen::rendered_sheet sheet;
  std::string error;
  EXPECT_TRUE(sheetgen::render_sheet(o, sheet, error)) << error;
  return sheet;
}

struct photo_case {
  double skew;
  int turn;
};

TEST(normalize_sheet, generated_photographs_give_the_corners_back) {
  const photo_case cases[] = {{0.0, 0}, {2.37, 0}, {-3.15, 0}, {1.2, 90}, {-0.8, 180}, {3.6, 270}, {-2.5, 90}};
  for (const auto& c : cases) {
    auto sheet = render(c.skew, c.turn);
    gdi_plus_kv::bmp_helper output(photo_w, photo_h);
    float angle = 99.0f;
    sheet_frame frame;
    ASSERT_EQ(normalize_sheet(&sheet.photo, output, angle, frame), 1) << c.skew << " turn " << c.turn;
    EXPECT_NEAR(angle, c.skew, 0.2) << c.skew << " turn " << c.turn;
    EXPECT_EQ(frame.orientation, sheet.truth.orientation) << c.skew << " turn " << c.turn;
    ASSERT_EQ(frame.corner_points.size(), 4u);
    ASSERT_EQ(frame.anchor_boxes.size(), 4u);
    for (int i = 0; i < 4; ++i) {
      const auto& truth = sheet.truth.corners[static_cast<std::size_t>(i)];
      const point& found = frame.corner_points[static_cast<std::size_t>(i)];
      EXPECT_NEAR(found.x, truth.x, 2.0) << "corner " << i << " skew " << c.skew << " turn " << c.turn;
      EXPECT_NEAR(found.y, truth.y, 2.0) << "corner " << i << " skew " << c.skew << " turn " << c.turn;
    }
    EXPECT_FALSE(output.locked());
  }
}

// A drawn sheet, perfectly straight: ruled lines and four anchors (the top
// two solid, the bottom two with a hole).
void draw_straight_sheet(platform::bitmap& photo, int w, int h) {
  ASSERT_TRUE(photo.create(w, h));
  std::memset(photo.pixels(), 235, static_cast<std::size_t>(photo.stride()) * static_cast<std::size_t>(h));
  auto box = [&](int left, int top, int side, std::uint8_t v) {
    for (int y = top; y < top + side; ++y) std::memset(photo.row(y) + left * 3, v, static_cast<std::size_t>(side) * 3);
  };
  for (int y0 = 120; y0 < h - 120; y0 += 18) {
    std::memset(photo.row(y0) + 150 * 3, 30, static_cast<std::size_t>(w - 300) * 3);
    std::memset(photo.row(y0 + 1) + 150 * 3, 30, static_cast<std::size_t>(w - 300) * 3);
  }
  const int corners[4][2] = {{60, 50}, {w - 100, 50}, {60, h - 90}, {w - 100, h - 90}};
  for (int i = 0; i < 4; ++i) {
    box(corners[i][0], corners[i][1], 36, 10);
    if (i >= 2) box(corners[i][0] + 14, corners[i][1] + 14, 8, 235);
  }
}

TEST(normalize_sheet, straight_photo_is_copied_but_its_last_row_and_column) {
  // Wide enough that 0.01 degree moves the far end of a line by half a row
  // (the projection rounds to the nearest row): only then does 0.00 beat the
  // slightly negative angles that the search would otherwise prefer on a tie.
  constexpr int w = 5200;
  constexpr int h = 700;
  platform::bitmap photo;
  draw_straight_sheet(photo, w, h);
  gdi_plus_kv::bmp_helper output(w, h);
  float angle = 1.0f;
  sheet_frame frame;
  ASSERT_EQ(normalize_sheet(&photo, output, angle, frame), 1);
  ASSERT_EQ(angle, 0.0f);
  const platform::bitmap& out = *output.bitmap();
  int differences = 0;
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* a = out.row(y);
    const std::uint8_t* b = photo.row(y);
    for (int x = 0; x < w; ++x)
      for (int ch = 0; ch < 3; ++ch) {
        const bool edge = x == w - 1 || y == h - 1;
        const std::uint8_t expected = edge ? 255 : b[x * 3 + ch];
        differences += a[x * 3 + ch] != expected;
      }
  }
  EXPECT_EQ(differences, 0);
  EXPECT_EQ(frame.orientation, 0);
  // Anchors 36 wide: mid_x = (left + left + 36 + 1) / 2 = left + 18; mid_y = top + 18.
  EXPECT_EQ(frame.anchor_rect, (rect{78, 68, w - 82, 628}));
  const rect& r = frame.anchor_rect;
  EXPECT_EQ(frame.corner_points, (std::vector<point>{{r.left, r.top}, {r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom}}));
}

TEST(normalize_sheet, output_holds_the_straightened_photo) {
  auto sheet = render(-1.75, 0, 9);
  gdi_plus_kv::bmp_helper output(photo_w, photo_h);
  float angle = 0;
  sheet_frame frame;
  ASSERT_EQ(normalize_sheet(&sheet.photo, output, angle, frame), 1);
  // The same turn done here by hand.
  gdi_plus_kv::bmp_helper expected(photo_w, photo_h);
  {
    gdi_plus_kv::bmp_helper source(&sheet.photo, false);
    raster_view out = expected.get_image();
    raster_view in = source.get_image();
    rotate_self(in, out, angle);
    out.release();
    in.release();
    expected.unlock();
  }
  EXPECT_EQ(std::memcmp(output.bitmap()->pixels(), expected.bitmap()->pixels(),
                        static_cast<std::size_t>(output.bitmap()->stride()) * photo_h),
            0);
  const rect& r = frame.anchor_rect;
  const point corners[4] = {{r.left, r.top}, {r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom}};
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(frame.corner_points[static_cast<std::size_t>(i)],
              map_point(photo_w, photo_h, -angle, corners[i].x, corners[i].y));
}

TEST(normalize_sheet, photo_without_anchors) {
  // A page of ruled lines at 2 degrees and no anchors.
  platform::bitmap page;
  ASSERT_TRUE(page.create(800, 600));
  std::memset(page.pixels(), 230, static_cast<std::size_t>(page.stride()) * 600);
  const double slope = std::tan(2.0 * M_PI / 180.0);
  for (int y0 = 40; y0 < 560; y0 += 22)
    for (int x = 30; x < 770; ++x) {
      const int y = y0 + static_cast<int>(std::lround(slope * (x - 400)));
      std::memset(page.row(y) + x * 3, 20, 3);
      std::memset(page.row(y + 1) + x * 3, 20, 3);
    }
  gdi_plus_kv::bmp_helper output(800, 600);
  float angle = 0;
  sheet_frame frame;
  frame.orientation = 77;
  EXPECT_EQ(normalize_sheet(&page, output, angle, frame), 0);
  EXPECT_NEAR(angle, 2.0, 0.1);
  EXPECT_EQ(frame.orientation, 77);  // not written
  EXPECT_TRUE(frame.corner_points.empty());
  EXPECT_FALSE(output.locked());
}

TEST(normalize_sheet, five_anchor_like_squares_are_refused) {
  auto sheet = render(0.0, 0, 7);
  // A fifth solid square in the row of the top anchors, between them, on a
  // patch cleared of whatever the sheet prints there.
  const auto& c0 = sheet.truth.corners[0];
  const auto& c1 = sheet.truth.corners[1];
  const int side = static_cast<int>(sheet.truth.anchor_side_pixels);
  const int cx = static_cast<int>((c0.x + c1.x) / 2), cy = static_cast<int>(c0.y);
  auto paint = [&](int half, std::uint8_t v) {
    for (int y = cy - half; y < cy + half; ++y)
      std::memset(sheet.photo.row(y) + (cx - half) * 3, v, static_cast<std::size_t>(2 * half) * 3);
  };
  paint(side, 255);
  paint(side / 2, 0);
  gdi_plus_kv::bmp_helper output(photo_w, photo_h);
  float angle = 0;
  sheet_frame frame;
  EXPECT_EQ(normalize_sheet(&sheet.photo, output, angle, frame), 0);
  EXPECT_TRUE(frame.anchor_boxes.empty());
}

TEST(normalize_sheet, bad_sources) {
  gdi_plus_kv::bmp_helper output(64, 48);
  sheet_frame frame;
  float angle = 5.0f;
  EXPECT_EQ(normalize_sheet(nullptr, output, angle, frame), 0);

  platform::bitmap undecoded;  // no image: as a file that could not be decoded
  angle = 5.0f;
  EXPECT_EQ(normalize_sheet(&undecoded, output, angle, frame), 0);
  EXPECT_EQ(angle, 0.0f);

  // Tiny, all black and all white photographs, and an output of another size.
  const struct {
    int w, h;
    std::uint8_t fill;
  } cases[] = {{1, 1, 0}, {2, 2, 0}, {1, 50, 0}, {50, 2, 0}, {3, 3, 0}, {64, 48, 0}, {64, 48, 255}, {13, 7, 128}};
  for (const auto& c : cases) {
    platform::bitmap photo;
    ASSERT_TRUE(photo.create(c.w, c.h));
    std::memset(photo.pixels(), c.fill, static_cast<std::size_t>(photo.stride()) * static_cast<std::size_t>(c.h));
    gdi_plus_kv::bmp_helper out(c.w, c.h);
    EXPECT_EQ(normalize_sheet(&photo, out, angle, frame), 0) << c.w << "x" << c.h;
    EXPECT_GE(angle, -40.0f);
    EXPECT_LE(angle, 40.0f);
    gdi_plus_kv::bmp_helper wrong(c.w + 1, c.h);
    EXPECT_EQ(normalize_sheet(&photo, wrong, angle, frame), 0) << c.w << "x" << c.h;
  }
  EXPECT_TRUE(frame.corner_points.empty());
}

}  // namespace
