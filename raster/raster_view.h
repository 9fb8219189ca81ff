// The working raster of one image: a view of a locked bitmap's pixel memory
// with offset tables, plus the two per-image result buffers that binarization
// fills and region extraction consumes.
//
// Byte c (0 blue, 1 green, 2 red) of pixel (x, y) is
//   pixels[row_offsets[y] + column_offsets[x] + c]
// and its mark is mark_map[mark_row_offsets[y] + x].
#pragma once

#include <cstdint>

// The program's growable array of 32-bit integers. What `count` counts is up
// to each user.
struct int_buffer {
  std::int32_t* data = nullptr;
  std::int32_t capacity = 0;
  std::int32_t count = 0;

  int_buffer() = default;
  int_buffer(const int_buffer& other) { copy_from(other); }
  int_buffer& operator=(const int_buffer& other) {
    if (this != &other) copy_from(other);
    return *this;
  }
  int_buffer(int_buffer&& other) noexcept : data(other.data), capacity(other.capacity), count(other.count) {
    other.data = nullptr;
    other.capacity = 0;
    other.count = 0;
  }
  int_buffer& operator=(int_buffer&& other) noexcept;
  ~int_buffer() { release(); }

  // A block of another capacity is released; a block of capacity n is kept.
  // count becomes 0 and all n entries 0. False when n entries cannot be had
  // (the buffer is then empty).
  bool reset(std::int32_t n);
  // The reset rule with the other's capacity, then all capacity entries and count.
  bool copy_from(const int_buffer& other);
  // The reallocation rule of reset without its zero fill: for users that write
  // every entry before they read it (the binarization's mark map and point
  // list, 32 MB each on a photograph). count becomes 0.
  bool reallocate(std::int32_t n);
  void release();

  std::int32_t& operator[](std::int32_t i) { return data[i]; }
  const std::int32_t& operator[](std::int32_t i) const { return data[i]; }
};

// Mark of a background pixel after binarization (every byte 0xEF); dark pixels get 0.
constexpr std::int32_t mark_background = static_cast<std::int32_t>(0xEFEFEFEFu);

// A packed dark point: x in the low 16 bits, y in the high 16 bits.
constexpr std::int32_t pack_point(std::int32_t x, std::int32_t y) {
  return static_cast<std::int32_t>((static_cast<std::uint32_t>(y) << 16) | (static_cast<std::uint32_t>(x) & 0xFFFFu));
}
constexpr std::int32_t point_x(std::int32_t p) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(p) & 0xFFFFu); }
constexpr std::int32_t point_y(std::int32_t p) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(p) >> 16); }

struct raster_view {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t stride = 0;
  std::uint8_t* pixels = nullptr;  // not owned: valid while the bmp_helper keeps its lock
  int_buffer column_offsets;       // width entries, 3 * x
  int_buffer row_offsets;          // height entries, y * stride
  int_buffer mark_row_offsets;     // height entries, y * width
  int_buffer mark_map;             // width * height marks, filled by binarization
  int_buffer dark_points;          // capacity width * height, count = dark pixels

  // Copies share the pixels and own copies of the five buffers (the default
  // member-wise copy does exactly that through int_buffer's copy rule).
  // Releases the five buffers and nothing else.
  void release();

  std::uint8_t* pixel(std::int32_t x, std::int32_t y) { return pixels + row_offsets[y] + column_offsets[x]; }
  const std::uint8_t* pixel(std::int32_t x, std::int32_t y) const { return pixels + row_offsets[y] + column_offsets[x]; }
};

// Fills the three offset tables for width x height with the given stride and
// points the view at `pixels`; mark_map and dark_points stay as they are.
// False when the tables cannot be had (the view is then left empty).
bool build_offset_tables(raster_view& image, std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                         std::int32_t stride);
