#include <gtest/gtest.h>

#include <cstring>

#include "commands/recognize.h"
#include "raster/bmp_helper.h"

namespace {

std::unique_ptr<platform::bitmap> random_bitmap(int w, int h, std::uint32_t seed) {
  auto b = gdi_plus_kv::new_bitmap24(w, h);
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = b->row(y);
    for (int i = 0; i < w * 3; ++i) {
      seed = seed * 1664525u + 1013904223u;
      row[i] = static_cast<std::uint8_t>(seed >> 24);
    }
  }
  return b;
}

bool same_pixels(const platform::bitmap& a, const platform::bitmap& b) {
  if (a.width() != b.width() || a.height() != b.height()) return false;
  for (int y = 0; y < a.height(); ++y)
    if (std::memcmp(a.row(y), b.row(y), static_cast<std::size_t>(a.width()) * 3) != 0) return false;
  return true;
}

TEST(cut_upright, equals_turning_the_whole_image_then_cutting) {
  const rect areas[] = {{3, 5, 20, 11}, {0, 0, 17, 23}, {1, 2, 2, 3}, {10, 4, 16, 22}};
  for (int code = 0; code < 4; ++code) {
    for (const rect& area : areas) {
      auto original = random_bitmap(23, 17, 7u + static_cast<std::uint32_t>(code));
      auto turned = std::make_unique<platform::bitmap>(original->clone());
      gdi_plus_kv::rotate_flip(turned.get(), code);
      auto expected = gdi_plus_kv::crop_bitmap(turned.get(), area.left, area.top, area.right - area.left,
                                               area.bottom - area.top);
      auto untouched = original->clone();
      auto got = cut_upright(original.get(), code, area);
      const std::string what = "code " + std::to_string(code) + " area " + std::to_string(area.left) + "," +
                               std::to_string(area.top) + "," + std::to_string(area.right) + "," +
                               std::to_string(area.bottom);
      ASSERT_EQ(expected == nullptr, got == nullptr) << what;
      if (expected) {
        EXPECT_TRUE(same_pixels(*expected, *got)) << what;
      }
      EXPECT_TRUE(same_pixels(*original, untouched)) << what;
    }
  }
}

TEST(cut_upright, empty_or_outside_areas_cut_nothing) {
  auto image = random_bitmap(30, 20, 3);
  for (int code = 0; code < 4; ++code) {
    EXPECT_EQ(cut_upright(image.get(), code, {5, 5, 5, 10}), nullptr) << code;
    EXPECT_EQ(cut_upright(image.get(), code, {5, 9, 8, 4}), nullptr) << code;
    EXPECT_EQ(cut_upright(image.get(), code, {-3, 0, 4, 4}), nullptr) << code;
    EXPECT_EQ(cut_upright(image.get(), code, {0, 0, 31, 31}), nullptr) << code;
    EXPECT_EQ(cut_upright(image.get(), code, {-2147483647, 0, 2147483647, 4}), nullptr) << code;
  }
  EXPECT_EQ(cut_upright(nullptr, 0, {0, 0, 4, 4}), nullptr);
}

}  // namespace
