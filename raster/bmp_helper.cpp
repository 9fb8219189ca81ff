#include "raster/bmp_helper.h"

#include <cmath>
#include <cstring>

#include "platform/drawing.h"
#include "platform/step_trace.h"
#include "raster/image_files.h"

namespace gdi_plus_kv {

bmp_helper::bmp_helper(platform::bitmap* bitmap, bool take_over)
    : bitmap_(bitmap), owns_bitmap_(take_over ? 1 : 0) {}

bmp_helper::bmp_helper(std::unique_ptr<platform::bitmap> bitmap) : bitmap_(bitmap.release()), owns_bitmap_(1) {}

bmp_helper::bmp_helper(std::int32_t width, std::int32_t height)
    : bitmap_(new_bitmap24(width, height).release()), owns_bitmap_(1) {}

bmp_helper::~bmp_helper() {
  unlock();
  if (owns_bitmap_ && bitmap_) delete bitmap_;
  bitmap_ = nullptr;
}

bool bmp_helper::lock() {
  if (!bitmap_) return false;
  if (locked_) return true;
  const std::int32_t height = image_height(bitmap_);
  const std::int32_t width = image_width(bitmap_);
  if (width <= 0 || height <= 0 || !bitmap_->lock_bits()) {
    bitmap_->set_status(platform::image_status::wrong_state);
    locked_ = 0;
    return false;
  }
  lock_data_ = lock_data{width, height, bitmap_->stride(), pixel_format_24bpp_rgb, bitmap_->pixels(), 0};
  locked_ = 1;
  return true;
}

raster_view bmp_helper::get_image() {
  raster_view image;
  if (!lock()) return image;
  build_offset_tables(image, lock_data_.scan0, lock_data_.width, lock_data_.height, lock_data_.stride);
  return image;
}

void bmp_helper::unlock() {
  if (locked_ && bitmap_) bitmap_->unlock_bits();
  locked_ = 0;
}

bool bmp_helper::save_jpeg(const std::string& path, std::int32_t quality) {
  return save_bitmap_jpeg(bitmap_, path, quality);
}

std::unique_ptr<platform::bitmap> new_bitmap24(std::int32_t width, std::int32_t height) {
  auto b = std::make_unique<platform::bitmap>();
  if (!b->create(width, height)) return nullptr;
  return b;
}

std::unique_ptr<platform::bitmap> crop_bitmap(platform::bitmap* source, std::int32_t x, std::int32_t y,
                                              std::int32_t width, std::int32_t height) {
  if (!source) return nullptr;
  if (!source->has_image()) {
    source->set_status(platform::image_status::wrong_state);
    return nullptr;
  }
  // 64-bit sums: a rectangle near INT32_MAX must not wrap into the image.
  if (x < 0 || y < 0 || width <= 0 || height <= 0 || std::int64_t{x} + width > source->width() ||
      std::int64_t{y} + height > source->height()) {
    source->set_status(platform::image_status::invalid_parameter);
    return nullptr;
  }
  auto out = std::make_unique<platform::bitmap>();
  if (!out->create_uninitialized(width, height)) {
    source->set_status(out->last_status());
    return nullptr;
  }
  const std::size_t span = static_cast<std::size_t>(width) * platform::bytes_per_pixel;
  for (std::int32_t row = 0; row < height; ++row)
    std::memcpy(out->row(row), source->row(y + row) + static_cast<std::size_t>(x) * platform::bytes_per_pixel, span);
  out->set_resolution(source->dpi_x(), source->dpi_y());
  return out;
}

std::unique_ptr<platform::bitmap> clone_bitmap24(platform::bitmap* source) {
  if (!source) return nullptr;
  return crop_bitmap(source, 0, 0, image_width(source), image_height(source));
}

std::unique_ptr<platform::bitmap> copy_to_bitmap24(platform::bitmap* source) {
  if (!source) return nullptr;
  const std::int32_t w = image_width(source), h = image_height(source);
  auto target = new_bitmap24(w, h);
  if (!target) {
    source->set_status(source->has_image() ? platform::image_status::out_of_memory
                                           : platform::image_status::wrong_state);
    return nullptr;
  }
  platform::draw_image(*target, *source, 0, 0, w, h, 0, 0, w, h, platform::world_transform{},
                       platform::interpolation::bilinear);
  target->set_resolution(source->dpi_x(), source->dpi_y());
  return target;
}

platform::bitmap* rotate_flip(platform::bitmap* bitmap, std::int32_t type) {
  if (bitmap) platform::rotate_flip_image(*bitmap, type);
  return bitmap;
}

std::int32_t image_width(const platform::bitmap* bitmap) {
  return bitmap && bitmap->has_image() ? bitmap->width() : 0;
}

std::int32_t image_height(const platform::bitmap* bitmap) {
  return bitmap && bitmap->has_image() ? bitmap->height() : 0;
}

namespace {

platform::interpolation interpolation_for(std::int32_t mode) {
  switch (mode) {
    case interpolation_nearest_neighbor:
      return platform::interpolation::nearest;
    case interpolation_high_quality:
    case interpolation_high_quality_bilinear:
    case interpolation_high_quality_bicubic:
      return platform::interpolation::high_quality_bilinear;
    default:  // default, low quality, bilinear, bicubic, and refused values
      return platform::interpolation::bilinear;
  }
}

constexpr platform::bgr_colour white{255, 255, 255};

}  // namespace

std::unique_ptr<platform::bitmap> scaled_copy(platform::bitmap* source, std::int32_t new_width,
                                              std::int32_t new_height, float src_x, float src_y, float src_width,
                                              float src_height, std::int32_t interpolation_mode,
                                              std::int32_t /*smoothing_mode*/) {
  auto target = new_bitmap24(new_width, new_height);
  if (!target) return nullptr;
  platform::fill_rect(*target, 0, 0, new_width, new_height, white);
  if (source) {
    const bool drawn = platform::draw_image(*target, *source, src_x, src_y, src_width, src_height, 0, 0, new_width,
                                            new_height, platform::world_transform{},
                                            interpolation_for(interpolation_mode));
    if (drawn) target->set_resolution(source->dpi_x(), source->dpi_y());
  }
  return target;
}

std::unique_ptr<platform::bitmap> rotated_copy(platform::bitmap* source, float angle,
                                               std::int32_t rotate_flip_type) {
  if (!source) return nullptr;
  const std::int32_t w = image_width(source), h = image_height(source);
  auto target = new_bitmap24(w, h);
  if (!target) return nullptr;
  const std::uint32_t start = tick_count();
  // Every pixel is either drawn or left white, so the fill could be skipped
  // for the covered part; it is cheap next to the sampling.
  platform::fill_rect(*target, 0, 0, w, h, white);
  platform::world_transform world;
  if (angle != 0.0f) {
    const std::int32_t hw = w / 2, hh = h / 2;
    world.prepend_translate(hw, hh);
    world.prepend_rotate(-static_cast<double>(angle));
    world.prepend_translate(-hw, -hh);
  }
  platform::draw_image(*target, *source, 0, 0, w, h, 0, 0, w, h, world, platform::interpolation::bilinear);
  target->set_resolution(source->dpi_x(), source->dpi_y());
  trace_step("_________rotate_gdiplus:", elapsed_ms(start));
  rotate_flip(target.get(), rotate_flip_type);
  return target;
}

}  // namespace gdi_plus_kv
