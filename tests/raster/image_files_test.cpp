// Saving JPEG files with the process-wide output resolution.
#include "raster/image_files.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/image_codec.h"
#include "raster/bmp_helper.h"
#include "tests/support/temp_dir.h"

namespace {

struct density {
  int unit, x, y;
};

density jfif_density(const std::string& bytes) {
  if (bytes.size() < 18 || bytes.compare(6, 5, std::string("JFIF\0", 5)) != 0) return {-1, -1, -1};
  auto u8 = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  return {u8(13), u8(14) << 8 | u8(15), u8(16) << 8 | u8(17)};
}

class save_jpeg : public ::testing::Test {
 protected:
  void TearDown() override { set_output_dpi(96, 96); }
  test_support::temp_dir dir_;
};

TEST_F(save_jpeg, records_the_output_resolution) {
  EXPECT_EQ(output_dpi_x(), 96);
  EXPECT_EQ(output_dpi_y(), 96);
  struct dpi_case {
    int set_x, set_y, want_x, want_y;
  };
  // Values not above 0 (or beyond what the file can record) are refused:
  // the bitmap keeps, and the file records, its previous resolution (200 x 100).
  const dpi_case cases[] = {{96, 96, 96, 96},  {300, 300, 300, 300}, {150, 600, 150, 600},
                            {0, 300, 200, 100}, {-5, -5, 200, 100},  {70000, 96, 200, 100}};
  for (const dpi_case& c : cases) {
    auto b = gdi_plus_kv::new_bitmap24(16, 16);
    b->set_resolution(200, 100);
    set_output_dpi(c.set_x, c.set_y);
    const std::string path = dir_.file("out.jpg");
    ASSERT_TRUE(save_bitmap_jpeg(b.get(), path, 85)) << c.set_x;
    const density d = jfif_density(test_support::read_file(path));
    EXPECT_EQ(d.unit, 1) << c.set_x << " x " << c.set_y;
    EXPECT_EQ(d.x, c.want_x) << c.set_x << " x " << c.set_y;
    EXPECT_EQ(d.y, c.want_y) << c.set_x << " x " << c.set_y;
    const bool refused = c.want_x != c.set_x;
    EXPECT_EQ(b->last_status() == platform::image_status::invalid_parameter, refused) << c.set_x;
  }
}

TEST_F(save_jpeg, failures) {
  EXPECT_FALSE(save_bitmap_jpeg(nullptr, dir_.file("a.jpg"), 85));
  platform::bitmap no_image;
  EXPECT_FALSE(save_bitmap_jpeg(&no_image, dir_.file("a.jpg"), 85));
  auto b = gdi_plus_kv::new_bitmap24(4, 4);
  EXPECT_FALSE(save_bitmap_jpeg(b.get(), dir_.file("no/such/dir/a.jpg"), 85));
  {
    gdi_plus_kv::bmp_helper helper(b.get());
    ASSERT_TRUE(helper.lock());
    EXPECT_FALSE(helper.save_jpeg(dir_.file("locked.jpg"), 85));  // unlock first
    helper.unlock();
    EXPECT_TRUE(helper.save_jpeg(dir_.file("unlocked.jpg"), 85));
  }
  EXPECT_FALSE(test_support::file_present(dir_.file("locked.jpg")));
  auto back = load_bitmap_file(dir_.file("unlocked.jpg"));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->width(), 4);
}

TEST_F(save_jpeg, keep_resolution_variant_leaves_the_bitmap_alone) {
  auto b = gdi_plus_kv::new_bitmap24(8, 8);
  b->set_resolution(72, 72);
  set_output_dpi(300, 300);
  ASSERT_TRUE(save_bitmap_jpeg_keep_resolution(b.get(), dir_.file("k.jpg"), 85));
  const density d = jfif_density(test_support::read_file(dir_.file("k.jpg")));
  EXPECT_EQ(d.x, 72);
}

}  // namespace
