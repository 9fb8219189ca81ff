#include "raster/raster_view.h"

#include <cstdlib>
#include <cstring>

int_buffer& int_buffer::operator=(int_buffer&& other) noexcept {
  if (this != &other) {
    release();
    data = other.data;
    capacity = other.capacity;
    count = other.count;
    other.data = nullptr;
    other.capacity = 0;
    other.count = 0;
  }
  return *this;
}

bool int_buffer::reset(std::int32_t n) {
  if (n < 0) n = 0;
  if (data && capacity != n) release();
  count = 0;
  if (!data && n > 0) {
    // A fresh block comes zeroed from calloc, which for large blocks costs
    // nothing until a page is touched: the mark map of a photograph is 32 MB
    // of which a fill may touch only a part.
    data = static_cast<std::int32_t*>(std::calloc(static_cast<std::size_t>(n), sizeof(std::int32_t)));
    if (!data) {
      capacity = 0;
      return false;
    }
    capacity = n;
    return true;
  }
  if (data) std::memset(data, 0, static_cast<std::size_t>(capacity) * sizeof(std::int32_t));
  return true;
}

bool int_buffer::reallocate(std::int32_t n) {
  if (n < 0) n = 0;
  if (data && capacity != n) release();
  count = 0;
  if (!data && n > 0) {
    data = static_cast<std::int32_t*>(std::malloc(static_cast<std::size_t>(n) * sizeof(std::int32_t)));
    if (!data) {
      capacity = 0;
      return false;
    }
    capacity = n;
  }
  return true;
}

bool int_buffer::copy_from(const int_buffer& other) {
  if (!reset(other.capacity)) return false;
  if (other.capacity > 0)
    std::memcpy(data, other.data, static_cast<std::size_t>(other.capacity) * sizeof(std::int32_t));
  count = other.count;
  return true;
}

void int_buffer::release() {
  std::free(data);
  data = nullptr;
  capacity = 0;
  count = 0;
}

void raster_view::release() {
  column_offsets.release();
  row_offsets.release();
  mark_row_offsets.release();
  mark_map.release();
  dark_points.release();
}

bool build_offset_tables(raster_view& image, std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                         std::int32_t stride) {
  if (width <= 0 || height <= 0 || !image.row_offsets.reset(height) || !image.column_offsets.reset(width) ||
      !image.mark_row_offsets.reset(height)) {
    image.release();
    image.width = image.height = image.stride = 0;
    image.pixels = nullptr;
    return false;
  }
  image.width = width;
  image.height = height;
  image.stride = stride;
  image.pixels = pixels;
  for (std::int32_t x = 1; x < width; ++x) image.column_offsets[x] = image.column_offsets[x - 1] + 3;
  for (std::int32_t y = 1; y < height; ++y) {
    image.row_offsets[y] = image.row_offsets[y - 1] + stride;
    image.mark_row_offsets[y] = image.mark_row_offsets[y - 1] + width;
  }
  return true;
}
