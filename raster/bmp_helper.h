// The bridge between bitmaps and the analysis: bmp_helper holds a bitmap's
// pixel lock and hands out raster_views over the locked memory, and a few
// bitmap operations (create, crop, clone, copy, rotate-flip, scaled and
// rotated copies) complete it.
//
// "A bitmap object or none" is std::unique_ptr<platform::bitmap> (null is
// none); a bitmap object that failed to decode is a platform::bitmap whose
// has_image() is false, and every operation on it fails as on the imaging
// library: an empty view, no crop, size 0.
//
// Order of use everywhere: construct the helper, get_image, work, release the
// view, unlock (or destroy the helper), then save, clone or draw the bitmap.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/bitmap.h"
#include "raster/raster_view.h"

namespace gdi_plus_kv {

// The lock record the library filled at lock and took back at unlock.
struct lock_data {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t stride = 0;
  std::int32_t pixel_format = 0;
  std::uint8_t* scan0 = nullptr;
  std::uintptr_t reserved = 0;
};

// The imaging library's code for 24-bit RGB (blue, green, red in memory).
constexpr std::int32_t pixel_format_24bpp_rgb = 0x21808;

class bmp_helper {
 public:
  // Around an existing bitmap (may be null). With take_over the helper
  // deletes it at its destruction; without, the caller keeps it alive longer
  // than the helper.
  explicit bmp_helper(platform::bitmap* bitmap, bool take_over = false);
  // Takes the bitmap over (crop_bitmap and clone_bitmap24 results).
  explicit bmp_helper(std::unique_ptr<platform::bitmap> bitmap);
  // A new 24-bit bitmap of that size, owned; null when it cannot be made.
  bmp_helper(std::int32_t width, std::int32_t height);
  virtual ~bmp_helper();
  bmp_helper(const bmp_helper&) = delete;
  bmp_helper& operator=(const bmp_helper&) = delete;

  // Locks the whole bitmap once; true at once when already locked.
  bool lock();
  // A fresh view over the locked pixels with its offset tables, or the empty
  // view (0 x 0, no pixels, empty buffers) when the lock fails. The caller releases it.
  raster_view get_image();
  // Ends the lock and keeps the bitmap.
  void unlock();
  // save_bitmap_jpeg on the helper's bitmap; it must not be locked then.
  bool save_jpeg(const std::string& path, std::int32_t quality);

  platform::bitmap* bitmap() const { return bitmap_; }
  bool locked() const { return locked_ != 0; }
  bool owns_bitmap() const { return owns_bitmap_ != 0; }
  const gdi_plus_kv::lock_data& lock_record() const { return lock_data_; }

 private:
  std::int32_t locked_ = 0;
  platform::bitmap* bitmap_ = nullptr;
  gdi_plus_kv::lock_data lock_data_;
  std::int32_t owns_bitmap_ = 0;
};

// A new 24-bit bitmap of that size, all bytes 0, 96 x 96 dpi; null when the
// size is refused or memory cannot be had.
std::unique_ptr<platform::bitmap> new_bitmap24(std::int32_t width, std::int32_t height);
// That rectangle of the source as a new 24-bit bitmap with the source's
// resolution; null (status stored in the source) for a rectangle that is
// empty or reaches outside the image, or a source without image.
std::unique_ptr<platform::bitmap> crop_bitmap(platform::bitmap* source, std::int32_t x, std::int32_t y,
                                              std::int32_t width, std::int32_t height);
// The whole image as a new 24-bit bitmap; null for no bitmap or no image.
std::unique_ptr<platform::bitmap> clone_bitmap24(platform::bitmap* source);
// A new 24-bit bitmap of the same size with the source drawn 1:1; null when
// the source has no image or the bitmap cannot be made.
std::unique_ptr<platform::bitmap> copy_to_bitmap24(platform::bitmap* source);
// Turns and/or mirrors the bitmap in place with the library's code 0..7
// (0 none, 1 90 clockwise, 2 180, 3 270, 4 mirror x, 5 90 + mirror x,
// 6 180 + mirror x, 7 270 + mirror x); returns the same bitmap. A refused
// code or a bitmap without image leaves it unchanged (status stored).
platform::bitmap* rotate_flip(platform::bitmap* bitmap, std::int32_t type);
// Size in pixels; 0 for no bitmap or no image.
std::int32_t image_width(const platform::bitmap* bitmap);
std::int32_t image_height(const platform::bitmap* bitmap);

// The library's interpolation modes (GDI+ InterpolationMode) as passed to scaled_copy.
enum interpolation_mode : std::int32_t {
  interpolation_default = 0,
  interpolation_low_quality = 1,
  interpolation_high_quality = 2,
  interpolation_bilinear = 3,
  interpolation_bicubic = 4,
  interpolation_nearest_neighbor = 5,
  interpolation_high_quality_bilinear = 6,
  interpolation_high_quality_bicubic = 7,
};
// The library's smoothing modes; they shape vector drawing only, never an image.
enum smoothing_mode : std::int32_t {
  smoothing_default = 0,
  smoothing_high_speed = 1,
  smoothing_high_quality = 2,
  smoothing_none = 3,
  smoothing_anti_alias = 4,
};

// Candidate build: a new_width x new_height bitmap, filled white, with the
// source rectangle drawn into it scaled. An interpolation mode the library
// would refuse leaves its default (bilinear) in force; bicubic modes are
// served by the bilinear ones. Null when the bitmap cannot be made.
std::unique_ptr<platform::bitmap> scaled_copy(platform::bitmap* source, std::int32_t new_width,
                                              std::int32_t new_height, float src_x, float src_y, float src_width,
                                              float src_height, std::int32_t interpolation_mode,
                                              std::int32_t smoothing_mode);
// Candidate build: a copy of the same size turned about the integer centre by
// -angle degrees in the library's sense (angle > 0 turns counter-clockwise on
// screen), bilinear, uncovered corners white; then rotate_flip(type). Writes
// the step line "_________rotate_gdiplus:" with the milliseconds taken.
std::unique_ptr<platform::bitmap> rotated_copy(platform::bitmap* source, float angle, std::int32_t rotate_flip_type);

}  // namespace gdi_plus_kv
