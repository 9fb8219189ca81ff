// The clipboard against a real X server: Xvfb, with images put on the
// CLIPBOARD by xclip, read back pixel-exact.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "platform/clipboard.h"
#include "platform/image_codec.h"
#include "raster/image_files.h"
#include "tests/support/temp_dir.h"
#include "tests/support/x_server.h"

namespace {

using platform::bitmap;

bitmap make_noise(int w, int h, unsigned seed) {
  bitmap b;
  EXPECT_TRUE(b.create(w, h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w * 3; ++x) {
      seed = seed * 1103515245u + 12345u;
      b.row(y)[x] = static_cast<std::uint8_t>(seed >> 16);
    }
  return b;
}

bool same_pixels(const bitmap& a, const bitmap& b) {
  if (a.width() != b.width() || a.height() != b.height()) return false;
  for (int y = 0; y < a.height(); ++y)
    if (std::memcmp(a.row(y), b.row(y), static_cast<std::size_t>(a.width()) * 3) != 0) return false;
  return true;
}

class clipboard : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!test_support::x_tools_available()) return;
    server_ = new test_support::x_server;
    if (!server_->start()) {
      delete server_;
      server_ = nullptr;
    }
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    if (!server_) GTEST_SKIP() << "Xvfb or xclip not available";
    const char* old = std::getenv("DISPLAY");
    saved_display_ = old ? old : "";
    had_display_ = old != nullptr;
    setenv("DISPLAY", server_->display().c_str(), 1);
    server_->clear_clipboard();
  }
  void TearDown() override {
    if (had_display_)
      setenv("DISPLAY", saved_display_.c_str(), 1);
    else
      unsetenv("DISPLAY");
  }

  static test_support::x_server* server_;
  test_support::temp_dir dir_;
  std::string saved_display_;
  bool had_display_ = false;
};

test_support::x_server* clipboard::server_ = nullptr;

TEST_F(clipboard, images_come_back_pixel_exact) {
  struct image_case {
    const char* mime;
    int w, h;
    bool expect_incremental;
  };
  // 1200 x 900 as BMP is 3.2 MB: far beyond one request, so xclip sends it in INCR chunks.
  const image_case cases[] = {{"image/png", 37, 23, false}, {"image/bmp", 37, 23, false},
                              {"image/bmp", 1200, 900, true}, {"image/png", 1200, 900, true}};
  for (const image_case& c : cases) {
    const bitmap source = make_noise(c.w, c.h, static_cast<unsigned>(c.w * 7 + c.h));
    const std::string path = dir_.file("clip.img");
    ASSERT_TRUE(std::string(c.mime) == "image/png" ? platform::save_png_file(source, path)
                                                     : platform::save_bmp_file(source, path));
    ASSERT_TRUE(server_->set_clipboard_file(path, c.mime)) << server_->error();
    platform::clipboard_transfer info;
    std::optional<bitmap> image = platform::read_clipboard_image(5000, info);
    ASSERT_TRUE(image.has_value()) << c.mime << " " << c.w << " x " << c.h;
    EXPECT_EQ(info.target, c.mime);
    EXPECT_EQ(info.incremental, c.expect_incremental) << c.mime << " " << c.w << " x " << c.h;
    EXPECT_TRUE(same_pixels(source, *image)) << c.mime << " " << c.w << " x " << c.h;

    auto bitmap24 = read_clipboard_bitmap();
    ASSERT_NE(bitmap24, nullptr);
    EXPECT_EQ(bitmap24->stride(), platform::stride_for_width(c.w));
    EXPECT_TRUE(same_pixels(source, *bitmap24));
  }
}

TEST_F(clipboard, jpeg_on_the_clipboard_is_read) {
  const bitmap source = make_noise(64, 48, 3);
  ASSERT_TRUE(platform::save_jpeg_file(source, dir_.file("clip.jpg"), 90));
  ASSERT_TRUE(server_->set_clipboard_file(dir_.file("clip.jpg"), "image/jpeg")) << server_->error();
  auto image = read_clipboard_bitmap();
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width(), 64);
  EXPECT_EQ(image->height(), 48);
}

TEST_F(clipboard, text_only_no_owner_and_no_display_give_none) {
  ASSERT_TRUE(server_->set_clipboard_text("just some words")) << server_->error();
  EXPECT_EQ(read_clipboard_bitmap(), nullptr);
  server_->clear_clipboard();
  EXPECT_EQ(read_clipboard_bitmap(), nullptr);

  ASSERT_TRUE(platform::save_png_file(make_noise(8, 8, 1), dir_.file("a.png")));
  ASSERT_TRUE(server_->set_clipboard_file(dir_.file("a.png"), "image/png"));
  unsetenv("DISPLAY");
  EXPECT_EQ(read_clipboard_bitmap(), nullptr);
  setenv("DISPLAY", "", 1);
  EXPECT_EQ(read_clipboard_bitmap(), nullptr);
  setenv("DISPLAY", ":9999", 1);  // nobody there
  EXPECT_EQ(read_clipboard_bitmap(), nullptr);
}

TEST_F(clipboard, an_image_type_with_undecodable_bytes_gives_none) {
  ASSERT_TRUE(test_support::write_file(dir_.file("fake.png"), "this is not a png"));
  ASSERT_TRUE(server_->set_clipboard_file(dir_.file("fake.png"), "image/png"));
  EXPECT_EQ(read_clipboard_bitmap(), nullptr);
}

}  // namespace
