#include "platform/bitmap.h"

#include <cmath>
#include <cstring>
#include <new>
#include <utility>

namespace platform {

bool valid_image_size(std::int64_t width, std::int64_t height) {
  if (width <= 0 || height <= 0) return false;
  if (width > max_image_side || height > max_image_side) return false;
  return width * height <= max_image_pixels;
}

bitmap::bitmap(bitmap&& other) noexcept
    : width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)),
      stride_(std::exchange(other.stride_, 0)),
      dpi_x_(other.dpi_x_),
      dpi_y_(other.dpi_y_),
      status_(other.status_),
      locked_(std::exchange(other.locked_, false)),
      pixels_(std::move(other.pixels_)) {}

bitmap& bitmap::operator=(bitmap&& other) noexcept {
  if (this != &other) {
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
    stride_ = std::exchange(other.stride_, 0);
    dpi_x_ = other.dpi_x_;
    dpi_y_ = other.dpi_y_;
    status_ = other.status_;
    locked_ = std::exchange(other.locked_, false);
    pixels_ = std::move(other.pixels_);
  }
  return *this;
}

void bitmap::reset_image() {
  pixels_.reset();
  locked_ = false;
  width_ = height_ = stride_ = 0;
}

bool bitmap::create_uninitialized(int width, int height) {
  reset_image();
  dpi_x_ = dpi_y_ = 96.0f;
  if (!valid_image_size(width, height)) {
    status_ = image_status::invalid_parameter;
    return false;
  }
  const int stride = stride_for_width(width);
  const std::size_t bytes = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
  pixels_.reset(new (std::nothrow) std::uint8_t[bytes]);
  if (!pixels_) {
    status_ = image_status::out_of_memory;
    return false;
  }
  width_ = width;
  height_ = height;
  stride_ = stride;
  const int padding = stride - width * bytes_per_pixel;
  if (padding > 0) {
    for (int y = 0; y < height; ++y) std::memset(row(y) + width * bytes_per_pixel, 0, static_cast<std::size_t>(padding));
  }
  return true;
}

bool bitmap::create(int width, int height) {
  if (!create_uninitialized(width, height)) return false;
  std::memset(pixels_.get(), 0, byte_size());
  return true;
}

bool bitmap::lock_bits() {
  if (!has_image() || locked_) {
    status_ = image_status::wrong_state;
    return false;
  }
  locked_ = true;
  return true;
}

bool bitmap::unlock_bits() {
  if (!locked_) {
    status_ = image_status::wrong_state;
    return false;
  }
  locked_ = false;
  return true;
}

bool bitmap::set_resolution(float dpi_x, float dpi_y) {
  if (!std::isfinite(dpi_x) || !std::isfinite(dpi_y) || dpi_x <= 0.0f || dpi_y <= 0.0f) {
    status_ = image_status::invalid_parameter;
    return false;
  }
  dpi_x_ = dpi_x;
  dpi_y_ = dpi_y;
  return true;
}

bitmap bitmap::clone() const {
  bitmap copy;
  copy.status_ = status_;
  if (has_image()) {
    if (copy.create_uninitialized(width_, height_)) {
      std::memcpy(copy.pixels_.get(), pixels_.get(), byte_size());
      copy.status_ = status_;
    }
  }
  copy.dpi_x_ = dpi_x_;
  copy.dpi_y_ = dpi_y_;
  return copy;
}

}  // namespace platform
