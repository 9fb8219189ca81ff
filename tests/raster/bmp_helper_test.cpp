// The bitmap bridge: lock rules, views and their copies, ownership, and the
// bitmap operations (crop, clone, copy, rotate-flip, scaled and rotated copies).
#include "raster/bmp_helper.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/step_trace.h"
#include "tests/support/temp_dir.h"

namespace {

using gdi_plus_kv::bmp_helper;
using platform::bitmap;

// Pixel (x, y) holds blue = x, green = y, red = x + y (mod 256).
std::unique_ptr<bitmap> make_coordinates(int w, int h) {
  auto b = gdi_plus_kv::new_bitmap24(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = b->row(y) + x * 3;
      p[platform::channel_blue] = static_cast<std::uint8_t>(x);
      p[platform::channel_green] = static_cast<std::uint8_t>(y);
      p[platform::channel_red] = static_cast<std::uint8_t>(x + y);
    }
  return b;
}

const std::uint8_t* at(const bitmap& b, int x, int y) { return b.row(y) + x * 3; }

TEST(bmp_helper, failed_lock_gives_the_empty_image) {
  bitmap no_image;  // a file that did not decode
  for (bmp_helper* h : {new bmp_helper(static_cast<bitmap*>(nullptr)), new bmp_helper(&no_image)}) {
    EXPECT_FALSE(h->lock());
    raster_view image = h->get_image();
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
    EXPECT_EQ(image.stride, 0);
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.row_offsets.data, nullptr);
    EXPECT_EQ(image.column_offsets.capacity, 0);
    EXPECT_EQ(image.mark_row_offsets.capacity, 0);
    EXPECT_EQ(image.mark_map.capacity, 0);
    EXPECT_EQ(image.dark_points.capacity, 0);
    EXPECT_FALSE(h->locked());
    delete h;
  }
  EXPECT_EQ(no_image.last_status(), platform::image_status::wrong_state);
}

TEST(bmp_helper, image_tables_address_the_locked_pixels) {
  auto b = make_coordinates(7, 5);
  bmp_helper helper(b.get());
  raster_view image = helper.get_image();
  ASSERT_EQ(image.width, 7);
  ASSERT_EQ(image.height, 5);
  EXPECT_EQ(image.stride, 24);
  EXPECT_EQ(image.pixels, b->pixels());
  for (int x = 0; x < 7; ++x) EXPECT_EQ(image.column_offsets[x], 3 * x);
  for (int y = 0; y < 5; ++y) {
    EXPECT_EQ(image.row_offsets[y], 24 * y);
    EXPECT_EQ(image.mark_row_offsets[y], 7 * y);
  }
  EXPECT_EQ(image.pixel(6, 4)[platform::channel_red], 10);
  EXPECT_EQ(image.mark_map.capacity, 0);
  EXPECT_EQ(image.dark_points.capacity, 0);
  const gdi_plus_kv::lock_data& lock = helper.lock_record();
  EXPECT_EQ(lock.pixel_format, gdi_plus_kv::pixel_format_24bpp_rgb);
  // A second view over the same lock addresses the same memory.
  raster_view again = helper.get_image();
  EXPECT_EQ(again.pixels, image.pixels);
  image.release();
  again.release();
}

TEST(bmp_helper, a_copied_view_shares_pixels_not_tables) {
  auto b = make_coordinates(4, 3);
  bmp_helper helper(b.get());
  raster_view image = helper.get_image();
  ASSERT_TRUE(image.mark_map.reset(12));
  raster_view copy = image;
  EXPECT_EQ(copy.pixels, image.pixels);
  EXPECT_NE(copy.row_offsets.data, image.row_offsets.data);
  EXPECT_NE(copy.mark_map.data, image.mark_map.data);
  copy.pixel(1, 1)[0] = 200;
  EXPECT_EQ(image.pixel(1, 1)[0], 200);
  copy.mark_map[5] = 42;
  EXPECT_EQ(image.mark_map[5], 0);
  copy.release();
  EXPECT_EQ(image.row_offsets[2], 24);  // the original's tables survive the copy's release
  image.release();
}

TEST(bmp_helper, lock_and_unlock_happen_once) {
  auto b = make_coordinates(3, 3);
  {
    bmp_helper helper(b.get());
    EXPECT_TRUE(helper.lock());
    EXPECT_TRUE(b->is_locked());
    EXPECT_TRUE(helper.lock());  // no second platform lock: it would have failed
    helper.unlock();
    EXPECT_FALSE(b->is_locked());
    // Someone else locks the bitmap now; this helper must not undo it.
    ASSERT_TRUE(b->lock_bits());
    helper.unlock();
  }
  EXPECT_TRUE(b->is_locked());
  ASSERT_TRUE(b->unlock_bits());
  {
    bmp_helper helper(b.get());
    EXPECT_TRUE(helper.lock());
    bmp_helper second(b.get());
    EXPECT_FALSE(second.lock());  // the platform allows one lock at a time
  }
  EXPECT_FALSE(b->is_locked());  // the destructor unlocked
  bmp_helper again(b.get());
  EXPECT_TRUE(again.lock());  // and it can be locked again
}

TEST(bmp_helper, ownership) {
  auto kept = make_coordinates(2, 2);
  { bmp_helper helper(kept.get()); }
  EXPECT_TRUE(kept->has_image());  // still alive: sanitizers would catch a delete
  { bmp_helper helper(kept.release(), true); }  // deleted by the helper (leak check in sanitizer builds)
  {
    bmp_helper sized(6, 4);
    ASSERT_NE(sized.bitmap(), nullptr);
    EXPECT_TRUE(sized.owns_bitmap());
    EXPECT_EQ(gdi_plus_kv::image_width(sized.bitmap()), 6);
  }
  {
    bmp_helper refused(0, 4);
    EXPECT_EQ(refused.bitmap(), nullptr);
    EXPECT_FALSE(refused.lock());
  }
  bmp_helper taken(gdi_plus_kv::clone_bitmap24(make_coordinates(3, 2).get()));
  EXPECT_TRUE(taken.owns_bitmap());
}

TEST(bitmap_operations, crop_keeps_the_rectangle_and_refuses_what_lies_outside) {
  auto b = make_coordinates(10, 8);
  b->set_resolution(300, 300);
  auto crop = gdi_plus_kv::crop_bitmap(b.get(), 3, 2, 4, 5);
  ASSERT_NE(crop, nullptr);
  EXPECT_EQ(crop->width(), 4);
  EXPECT_EQ(crop->height(), 5);
  EXPECT_EQ(crop->dpi_x(), 300.0f);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(std::memcmp(at(*crop, x, y), at(*b, x + 3, y + 2), 3), 0);
  struct rect_case {
    int x, y, w, h;
  };
  for (const rect_case r : {rect_case{-1, 0, 2, 2}, rect_case{0, -1, 2, 2}, rect_case{9, 0, 2, 1},
                            rect_case{0, 7, 1, 2}, rect_case{0, 0, 0, 1}, rect_case{0, 0, 1, 0},
                            rect_case{1, 1, 2147483647, 1}}) {
    b->set_status(platform::image_status::ok);
    EXPECT_EQ(gdi_plus_kv::crop_bitmap(b.get(), r.x, r.y, r.w, r.h), nullptr) << r.x << "," << r.y << " " << r.w;
    EXPECT_EQ(b->last_status(), platform::image_status::invalid_parameter);
  }
  EXPECT_EQ(gdi_plus_kv::crop_bitmap(nullptr, 0, 0, 1, 1), nullptr);
}

TEST(bitmap_operations, clone_and_copy_give_24_bit_bitmaps_of_the_same_size) {
  auto b = make_coordinates(13, 7);
  std::unique_ptr<bitmap> copies[] = {gdi_plus_kv::clone_bitmap24(b.get()), gdi_plus_kv::copy_to_bitmap24(b.get())};
  for (const auto& copy : copies) {
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy.get(), b.get());
    EXPECT_EQ(copy->width(), 13);
    EXPECT_EQ(copy->height(), 7);
    EXPECT_EQ(copy->stride(), platform::stride_for_width(13));
    for (int y = 0; y < 7; ++y) EXPECT_EQ(std::memcmp(copy->row(y), b->row(y), 13 * 3), 0) << "row " << y;
  }
  bitmap no_image;
  EXPECT_EQ(gdi_plus_kv::clone_bitmap24(nullptr), nullptr);
  EXPECT_EQ(gdi_plus_kv::clone_bitmap24(&no_image), nullptr);
  EXPECT_EQ(gdi_plus_kv::copy_to_bitmap24(&no_image), nullptr);
  EXPECT_EQ(gdi_plus_kv::image_width(&no_image), 0);
  EXPECT_EQ(gdi_plus_kv::image_height(nullptr), 0);
}

TEST(bitmap_operations, rotate_flip_codes) {
  // Where source pixel (0, 0) of a 5 x 3 image lands, and the new size, per code.
  struct flip_case {
    int code, w, h, x, y;
  };
  const flip_case cases[] = {{0, 5, 3, 0, 0}, {1, 3, 5, 2, 0}, {2, 5, 3, 4, 2}, {3, 3, 5, 0, 4},
                             {4, 5, 3, 4, 0}, {5, 3, 5, 0, 0}, {6, 5, 3, 0, 2}, {7, 3, 5, 2, 4}};
  for (const flip_case& c : cases) {
    auto b = make_coordinates(5, 3);
    b->row(0)[0] = 0;
    b->row(0)[1] = 0;
    b->row(0)[2] = 250;  // marker: red 250 only at (0, 0)
    ASSERT_EQ(gdi_plus_kv::rotate_flip(b.get(), c.code), b.get());
    ASSERT_EQ(b->width(), c.w) << "code " << c.code;
    ASSERT_EQ(b->height(), c.h) << "code " << c.code;
    EXPECT_EQ(at(*b, c.x, c.y)[2], 250) << "code " << c.code;
  }
  // Each code applied with its inverse gives the identity.
  const int inverse[] = {0, 3, 2, 1, 4, 5, 6, 7};
  for (int code = 0; code < 8; ++code) {
    auto b = make_coordinates(6, 4);
    auto original = gdi_plus_kv::clone_bitmap24(b.get());
    gdi_plus_kv::rotate_flip(gdi_plus_kv::rotate_flip(b.get(), code), inverse[code]);
    ASSERT_EQ(b->width(), 6);
    for (int y = 0; y < 4; ++y) EXPECT_EQ(std::memcmp(b->row(y), original->row(y), 18), 0) << "code " << code;
  }
  // Every pixel of an image larger than the copy's bands lands where a
  // clockwise turn followed by a mirror puts it.
  for (int code = 0; code < 8; ++code) {
    const int w = 37, h = 21;
    auto turned = make_coordinates(w, h);
    auto original = gdi_plus_kv::clone_bitmap24(turned.get());
    gdi_plus_kv::rotate_flip(turned.get(), code);
    const int nw = (code & 1) ? h : w;
    ASSERT_EQ(turned->width(), nw) << "code " << code;
    for (int sy = 0; sy < h; ++sy)
      for (int sx = 0; sx < w; ++sx) {
        int x = sx, y = sy, cw = w, ch = h;
        for (int t = 0; t < (code & 3); ++t) {
          const int nx = ch - 1 - y;
          y = x;
          x = nx;
          std::swap(cw, ch);
        }
        if (code & 4) x = nw - 1 - x;
        ASSERT_EQ(std::memcmp(at(*turned, x, y), at(*original, sx, sy), 3), 0)
            << "code " << code << " source (" << sx << ", " << sy << ")";
      }
  }
  auto b = make_coordinates(2, 2);
  gdi_plus_kv::rotate_flip(b.get(), 8);
  EXPECT_EQ(b->last_status(), platform::image_status::invalid_parameter);
  EXPECT_EQ(gdi_plus_kv::rotate_flip(nullptr, 1), nullptr);
}

TEST(bitmap_operations, scaled_copy_fills_white_and_scales) {
  auto b = gdi_plus_kv::new_bitmap24(8, 8);  // black
  // Whole source into 4 x 4: black everywhere; half the source region into a bigger target.
  auto half = gdi_plus_kv::scaled_copy(b.get(), 4, 4, 0, 0, 8, 8, gdi_plus_kv::interpolation_high_quality_bilinear,
                                       gdi_plus_kv::smoothing_none);
  ASSERT_NE(half, nullptr);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(at(*half, x, y)[0], 0);
  // A source rectangle that reaches past the source: the target is still white where nothing is drawn.
  auto none = gdi_plus_kv::scaled_copy(nullptr, 3, 3, 0, 0, 1, 1, 0, 0);
  ASSERT_NE(none, nullptr);
  EXPECT_EQ(at(*none, 1, 1)[1], 255);
  // A 2 x 1 black/white source doubled: the edge is a ramp under bilinear, a step under nearest.
  auto two = gdi_plus_kv::new_bitmap24(2, 1);
  std::memset(two->row(0) + 3, 255, 3);
  auto smooth = gdi_plus_kv::scaled_copy(two.get(), 8, 1, 0, 0, 2, 1, gdi_plus_kv::interpolation_bilinear, 0);
  auto sharp = gdi_plus_kv::scaled_copy(two.get(), 8, 1, 0, 0, 2, 1, gdi_plus_kv::interpolation_nearest_neighbor, 0);
  EXPECT_EQ(at(*sharp, 3, 0)[0], 0);
  EXPECT_EQ(at(*sharp, 4, 0)[0], 255);
  EXPECT_GT(at(*smooth, 3, 0)[0], 0);
  EXPECT_LT(at(*smooth, 3, 0)[0], 255);
  EXPECT_EQ(gdi_plus_kv::scaled_copy(b.get(), 0, 5, 0, 0, 8, 8, 0, 0), nullptr);
}

TEST(bitmap_operations, rotated_copy_turns_about_the_centre_and_traces) {
  test_support::temp_dir dir;
  trace_set_sink(dir.file("trace.txt"));
  auto b = gdi_plus_kv::new_bitmap24(41, 41);  // black
  b->row(20)[39 * 3 + 2] = 255;                  // a red dot near the right edge, middle row
  // Angle 0 skips the transform: an exact copy.
  auto same = gdi_plus_kv::rotated_copy(b.get(), 0.0f, 0);
  ASSERT_NE(same, nullptr);
  for (int y = 0; y < 41; ++y) EXPECT_EQ(std::memcmp(same->row(y), b->row(y), 41 * 3), 0);
  // 90 degrees in the library's sense is counter-clockwise here: the dot goes
  // to the top middle. The centre is (20, 20), not 20.5: the turn about it
  // moves the picture by a pixel, so the dot lands in row 0 and the bottom row stays white.
  auto turned = gdi_plus_kv::rotated_copy(b.get(), 90.0f, 0);
  EXPECT_GT(at(*turned, 20, 0)[2], 100);
  EXPECT_EQ(at(*turned, 20, 20)[2], 0);
  EXPECT_EQ(at(*turned, 20, 40)[0], 255);
  // 45 degrees leaves the corners uncovered: white.
  auto slanted = gdi_plus_kv::rotated_copy(b.get(), 45.0f, 0);
  EXPECT_EQ(at(*slanted, 0, 0)[0], 255);
  EXPECT_EQ(at(*slanted, 40, 40)[1], 255);
  EXPECT_EQ(at(*slanted, 20, 20)[0], 0);
  // The rotate-flip is applied in every case, angle 0 included.
  auto wide = gdi_plus_kv::new_bitmap24(6, 2);
  auto flipped = gdi_plus_kv::rotated_copy(wide.get(), 0.0f, 1);
  EXPECT_EQ(flipped->width(), 2);
  EXPECT_EQ(flipped->height(), 6);
  EXPECT_EQ(gdi_plus_kv::rotated_copy(nullptr, 1.0f, 0), nullptr);
  trace_set_sink("");
  const std::string trace = test_support::read_file(dir.file("trace.txt"));
  EXPECT_NE(trace.find("_________rotate_gdiplus:"), std::string::npos) << trace;
}

}  // namespace
