// Small images drawn in the tests: a plain BGR buffer with a raster_view over it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "raster/raster_view.h"

namespace analysis_test {

struct bgr {
  std::uint8_t b, g, r;
};
constexpr bgr white_px{255, 255, 255};
constexpr bgr black_px{0, 0, 0};

class test_image {
 public:
  test_image(int width, int height, bgr fill = white_px)
      : width_(width), height_(height), stride_((width * 3 + 3) & ~3),
        bytes_(static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height) + 1, 0xAB) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) set(x, y, fill);
    build_offset_tables(view, bytes_.data(), width, height, stride_);
  }
  test_image(const test_image&) = delete;
  test_image& operator=(const test_image&) = delete;

  int width() const { return width_; }
  int height() const { return height_; }
  int stride() const { return stride_; }

  // Pixels outside the image are ignored.
  void set(int x, int y, bgr c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    std::uint8_t* p = at(x, y);
    p[0] = c.b;
    p[1] = c.g;
    p[2] = c.r;
  }
  bgr get(int x, int y) const {
    const std::uint8_t* p = bytes_.data() + static_cast<std::size_t>(y) * stride_ + static_cast<std::size_t>(x) * 3;
    return bgr{p[0], p[1], p[2]};
  }
  void fill_rect(int left, int top, int width, int height, bgr c) {
    for (int y = top; y < top + height; ++y)
      for (int x = left; x < left + width; ++x)
        set(x, y, c);
  }
  // Rows of a grid: '#' black, anything else white; drawn at (left, top).
  void draw(const std::vector<std::string>& grid, int left = 0, int top = 0) {
    for (std::size_t y = 0; y < grid.size(); ++y)
      for (std::size_t x = 0; x < grid[y].size(); ++x)
        set(left + static_cast<int>(x), top + static_cast<int>(y), grid[y][x] == '#' ? black_px : white_px);
  }
  bool is_black(int x, int y) const {
    const bgr c = get(x, y);
    return c.b == 0 && c.g == 0 && c.r == 0;
  }
  // Guard byte past the last row: a write past the image changes it.
  std::uint8_t guard() const { return bytes_.back(); }
  std::uint8_t* data() { return bytes_.data(); }

  raster_view view;

 private:
  std::uint8_t* at(int x, int y) {
    return bytes_.data() + static_cast<std::size_t>(y) * stride_ + static_cast<std::size_t>(x) * 3;
  }
  int width_, height_, stride_;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace analysis_test
