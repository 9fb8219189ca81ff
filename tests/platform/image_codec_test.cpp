// Codec round trips, resolution read back, and bad input of every kind: each
// gives a bitmap without image (or "no file"), never a crash and never an
// allocation beyond the limits.
#include "platform/image_codec.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

using platform::bitmap;
using platform::image_status;

// A smooth pattern with a few sharp edges, at an odd size so row padding matters.
bitmap make_pattern(int width, int height) {
  bitmap b;
  EXPECT_TRUE(b.create(width, height));
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = b.row(y);
    for (int x = 0; x < width; ++x) {
      row[x * 3 + platform::channel_blue] = static_cast<std::uint8_t>(x * 255 / (width > 1 ? width - 1 : 1));
      row[x * 3 + platform::channel_green] = static_cast<std::uint8_t>(y * 255 / (height > 1 ? height - 1 : 1));
      row[x * 3 + platform::channel_red] = static_cast<std::uint8_t>((x / 8 + y / 8) % 2 ? 200 : 40);
    }
  }
  return b;
}

bool same_pixels(const bitmap& a, const bitmap& b) {
  if (a.width() != b.width() || a.height() != b.height()) return false;
  for (int y = 0; y < a.height(); ++y)
    if (std::memcmp(a.row(y), b.row(y), static_cast<std::size_t>(a.width()) * 3) != 0) return false;
  return true;
}

int max_difference(const bitmap& a, const bitmap& b) {
  int worst = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width() * 3; ++x) worst = std::max(worst, std::abs(a.row(y)[x] - b.row(y)[x]));
  return worst;
}

std::vector<std::uint8_t> bytes_of(const std::string& s) { return {s.begin(), s.end()}; }

TEST(bitmap, create_sets_stride_size_and_default_resolution) {
  bitmap b;
  EXPECT_FALSE(b.has_image());
  ASSERT_TRUE(b.create(5, 3));
  EXPECT_TRUE(b.has_image());
  EXPECT_EQ(b.stride(), 16);
  EXPECT_EQ(b.dpi_x(), 96.0f);
  EXPECT_EQ(b.dpi_y(), 96.0f);
  for (int y = 0; y < 3; ++y)
    for (int i = 0; i < 16; ++i) EXPECT_EQ(b.row(y)[i], 0);
}

TEST(bitmap, refuses_sizes_beyond_the_limits) {
  struct size_case {
    int w, h;
  };
  for (const size_case c : {size_case{0, 10}, size_case{10, 0}, size_case{-1, 5}, size_case{70000, 10},
                            size_case{10, 65536}, size_case{60000, 60000}}) {
    bitmap b;
    EXPECT_FALSE(b.create(c.w, c.h)) << c.w << " x " << c.h;
    EXPECT_FALSE(b.has_image());
    EXPECT_EQ(b.last_status(), image_status::invalid_parameter);
  }
  EXPECT_TRUE(platform::valid_image_size(65535, 1));
}

TEST(bitmap, resolution_refuses_values_not_above_zero) {
  bitmap b;
  ASSERT_TRUE(b.create(2, 2));
  EXPECT_TRUE(b.set_resolution(300, 150));
  for (float bad : {0.0f, -5.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
    EXPECT_FALSE(b.set_resolution(bad, 72));
    EXPECT_EQ(b.last_status(), image_status::invalid_parameter);
  }
  EXPECT_EQ(b.dpi_x(), 300.0f);
  EXPECT_EQ(b.dpi_y(), 150.0f);
}

TEST(bitmap, clone_is_deep_and_move_leaves_no_image) {
  bitmap a = make_pattern(7, 5);
  a.set_resolution(200, 100);
  bitmap c = a.clone();
  EXPECT_TRUE(same_pixels(a, c));
  EXPECT_EQ(c.dpi_x(), 200.0f);
  c.row(0)[0] ^= 0xFF;
  EXPECT_FALSE(same_pixels(a, c));
  bitmap moved = std::move(a);
  EXPECT_TRUE(moved.has_image());
  EXPECT_FALSE(a.has_image());  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(a.width(), 0);
  EXPECT_FALSE(bitmap().clone().has_image());
}

TEST(codec, png_and_bmp_round_trips_are_exact) {
  for (const auto& [w, h] : std::vector<std::pair<int, int>>{{1, 1}, {35, 39}, {41, 35}, {64, 3}}) {
    bitmap src = make_pattern(w, h);
    src.set_resolution(300, 200);
    std::vector<std::uint8_t> png, bmp;
    ASSERT_TRUE(platform::encode_png(src, png));
    ASSERT_TRUE(platform::encode_bmp(src, bmp));
    for (const auto* bytes : {&png, &bmp}) {
      bitmap back = platform::decode_image(bytes->data(), bytes->size());
      ASSERT_TRUE(back.has_image()) << w << " x " << h;
      EXPECT_TRUE(same_pixels(src, back)) << w << " x " << h;
      EXPECT_NEAR(back.dpi_x(), 300.0f, 0.1f);
      EXPECT_NEAR(back.dpi_y(), 200.0f, 0.1f);
    }
  }
}

TEST(codec, jpeg_round_trip_is_close_and_quality_matters) {
  bitmap src = make_pattern(41, 35);
  std::vector<std::uint8_t> high, low;
  ASSERT_TRUE(platform::encode_jpeg(src, 95, high));
  ASSERT_TRUE(platform::encode_jpeg(src, 10, low));
  EXPECT_LT(low.size(), high.size());
  bitmap back = platform::decode_image(high.data(), high.size());
  ASSERT_TRUE(back.has_image());
  EXPECT_EQ(back.width(), 41);
  EXPECT_EQ(back.height(), 35);
  EXPECT_LT(max_difference(src, back), 60);
}

TEST(codec, jpeg_records_resolution_as_jfif_density) {
  struct dpi_case {
    float x, y;
  };
  for (const dpi_case c : {dpi_case{96, 96}, dpi_case{300, 300}, dpi_case{200, 150}, dpi_case{72.4f, 600}}) {
    bitmap src = make_pattern(8, 8);
    ASSERT_TRUE(src.set_resolution(c.x, c.y));
    std::vector<std::uint8_t> jpeg;
    ASSERT_TRUE(platform::encode_jpeg(src, 85, jpeg));
    // JFIF APP0: units at byte 13 (1 = dots per inch), densities big-endian after it.
    ASSERT_GT(jpeg.size(), 18u);
    EXPECT_EQ(std::memcmp(jpeg.data() + 6, "JFIF", 5), 0);
    EXPECT_EQ(jpeg[13], 1);
    EXPECT_EQ(jpeg[14] << 8 | jpeg[15], static_cast<int>(c.x + 0.5f));
    EXPECT_EQ(jpeg[16] << 8 | jpeg[17], static_cast<int>(c.y + 0.5f));
    bitmap back = platform::decode_image(jpeg.data(), jpeg.size());
    EXPECT_EQ(back.dpi_x(), static_cast<float>(static_cast<int>(c.x + 0.5f)));
    EXPECT_EQ(back.dpi_y(), static_cast<float>(static_cast<int>(c.y + 0.5f)));
  }
}

TEST(codec, a_bitmap_without_image_encodes_to_nothing) {
  std::vector<std::uint8_t> out{1, 2, 3};
  EXPECT_FALSE(platform::encode_jpeg(bitmap(), 85, out));
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(platform::encode_png(bitmap(), out));
  EXPECT_FALSE(platform::encode_bmp(bitmap(), out));
}

// A PNG header (signature + IHDR) claiming the given size; no image data.
std::vector<std::uint8_t> png_header_claiming(std::uint32_t w, std::uint32_t h) {
  bitmap one = make_pattern(1, 1);
  std::vector<std::uint8_t> png;
  EXPECT_TRUE(platform::encode_png(one, png));
  auto put = [&](std::size_t at, std::uint32_t v) {
    png[at] = static_cast<std::uint8_t>(v >> 24);
    png[at + 1] = static_cast<std::uint8_t>(v >> 16);
    png[at + 2] = static_cast<std::uint8_t>(v >> 8);
    png[at + 3] = static_cast<std::uint8_t>(v);
  };
  put(16, w);
  put(20, h);
  return png;
}

// A baseline JPEG whose frame header claims the given size: the encoded
// 8 x 8 image with its SOF0 dimensions patched.
std::vector<std::uint8_t> jpeg_claiming(std::uint16_t w, std::uint16_t h) {
  std::vector<std::uint8_t> jpeg;
  EXPECT_TRUE(platform::encode_jpeg(make_pattern(8, 8), 85, jpeg));
  for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
      jpeg[i + 5] = static_cast<std::uint8_t>(h >> 8);
      jpeg[i + 6] = static_cast<std::uint8_t>(h);
      jpeg[i + 7] = static_cast<std::uint8_t>(w >> 8);
      jpeg[i + 8] = static_cast<std::uint8_t>(w);
      break;
    }
  }
  return jpeg;
}

TEST(codec, bad_bytes_give_no_image) {
  bitmap big = make_pattern(300, 200);
  std::vector<std::uint8_t> jpeg, png, bmp;
  ASSERT_TRUE(platform::encode_jpeg(big, 85, jpeg));
  ASSERT_TRUE(platform::encode_png(big, png));
  ASSERT_TRUE(platform::encode_bmp(big, bmp));
  struct bad_case {
    const char* name;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<bad_case> cases = {
      {"empty", {}},
      {"text", bytes_of("hello, this is not an image\n")},
      {"jpeg signature only", {0xFF, 0xD8, 0xFF}},
      {"truncated jpeg", {jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(jpeg.size() / 2)}},
      {"truncated png", {png.begin(), png.begin() + static_cast<std::ptrdiff_t>(png.size() / 2)}},
      {"truncated bmp", {bmp.begin(), bmp.begin() + static_cast<std::ptrdiff_t>(bmp.size() / 2)}},
      {"png claiming 70000 x 10", png_header_claiming(70000, 10)},
      {"png claiming 60000 x 60000", png_header_claiming(60000, 60000)},
      {"jpeg claiming 60000 x 60000", jpeg_claiming(60000, 60000)},
      {"tiff header only", bytes_of(std::string("II*\0\x08\0\0\0", 8))},
      {"bmp header only", bytes_of("BM")},
  };
  for (const bad_case& c : cases) {
    bitmap b = platform::decode_image(c.bytes.data(), c.bytes.size());
    EXPECT_FALSE(b.has_image()) << c.name;
    EXPECT_NE(b.last_status(), image_status::ok) << c.name;
  }
}

TEST(codec, files_that_are_not_images) {
  test_support::temp_dir dir;
  ASSERT_TRUE(test_support::write_file(dir.file("empty.jpg"), ""));
  ASSERT_TRUE(test_support::write_file(dir.file("text.jpg"), "not a jpeg at all"));
  ASSERT_EQ(mkdir(dir.file("folder.jpg").c_str(), 0755), 0);
  EXPECT_EQ(platform::load_image_file(dir.file("missing.jpg")).last_status(), image_status::file_not_found);
  EXPECT_EQ(platform::load_image_file("").last_status(), image_status::file_not_found);
  EXPECT_FALSE(platform::load_image_file(dir.file("empty.jpg")).has_image());
  EXPECT_FALSE(platform::load_image_file(dir.file("text.jpg")).has_image());
  EXPECT_FALSE(platform::load_image_file(dir.file("folder.jpg")).has_image());
  ASSERT_TRUE(platform::save_png_file(make_pattern(4, 4), dir.file("locked.png")));
  if (geteuid() != 0) {  // root reads everything
    chmod(dir.file("locked.png").c_str(), 0);
    EXPECT_EQ(platform::load_image_file(dir.file("locked.png")).last_status(), image_status::access_denied);
  }
}

TEST(codec, files_round_trip_through_save_and_load) {
  test_support::temp_dir dir;
  bitmap src = make_pattern(33, 17);
  ASSERT_TRUE(platform::save_png_file(src, dir.file("a.png")));
  ASSERT_TRUE(platform::save_bmp_file(src, dir.file("a.jpg")));  // the name does not matter
  ASSERT_TRUE(platform::save_jpeg_file(src, dir.file("a.bin"), 85));
  EXPECT_TRUE(same_pixels(src, platform::load_image_file(dir.file("a.png"))));
  EXPECT_TRUE(same_pixels(src, platform::load_image_file(dir.file("a.jpg"))));
  EXPECT_TRUE(platform::load_image_file(dir.file("a.bin")).has_image());
  EXPECT_FALSE(platform::save_png_file(src, dir.file("no/such/folder/a.png")));
}

}  // namespace
