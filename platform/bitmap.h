// The bitmap object of the imaging stand-in: what the raster layer builds on.
//
// A bitmap is 24-bit: three bytes per pixel in blue, green, red order, rows
// top-down, each row `stride` bytes long (width * 3 rounded up to a multiple
// of 4). It carries its resolution in dots per inch and the status of its last
// failed operation. A bitmap object may hold no native image at all (a file
// that could not be decoded): every operation on it then fails and stores
// `image_status::wrong_state`.
//
// Copies are explicit (`clone()`); moves are cheap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Byte index of each channel inside one pixel.
constexpr int channel_blue = 0;
constexpr int channel_green = 1;
constexpr int channel_red = 2;
constexpr int bytes_per_pixel = 3;

// Largest side a bitmap may have: positions are packed into 16 bits downstream.
constexpr int max_image_side = 65535;
// Largest pixel count a decoder or allocation accepts (about 300 MB of pixels),
// so a tiny file that claims 60000 x 60000 pixels never allocates gigabytes.
constexpr std::int64_t max_image_pixels = 100'000'000;

// Status of the last failed operation, named after the imaging library's codes.
enum class image_status {
  ok = 0,
  generic_error,
  invalid_parameter,
  out_of_memory,
  wrong_state,  // no native image, or locked
  file_not_found,
  access_denied,
  unknown_image_format,
};

constexpr int stride_for_width(int width) { return (width * bytes_per_pixel + 3) & ~3; }

// True when width x height is a size a bitmap may have.
bool valid_image_size(std::int64_t width, std::int64_t height);

class bitmap {
 public:
  bitmap() = default;  // no native image
  bitmap(const bitmap&) = delete;
  bitmap& operator=(const bitmap&) = delete;
  // A moved-from bitmap has no image and size 0 x 0.
  bitmap(bitmap&& other) noexcept;
  bitmap& operator=(bitmap&& other) noexcept;
  virtual ~bitmap() = default;

  // Gives the bitmap a native image of that size, every byte 0, 96 x 96 dpi.
  // False (and no image, status stored) for a size valid_image_size refuses
  // or memory that cannot be had.
  bool create(int width, int height);
  // The same without clearing the pixels: for decoders and drawing that
  // write every byte of every row (the padding bytes are still cleared).
  bool create_uninitialized(int width, int height);
  // Drops the native image (has_image() becomes false); status and resolution stay.
  void reset_image();

  bool has_image() const { return pixels_ != nullptr; }
  int width() const { return width_; }
  int height() const { return height_; }
  int stride() const { return stride_; }
  std::uint8_t* pixels() { return pixels_.get(); }
  const std::uint8_t* pixels() const { return pixels_.get(); }
  // Bytes of the whole pixel block (stride * height).
  std::size_t byte_size() const { return static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height_); }
  std::uint8_t* row(int y) { return pixels_.get() + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride_); }
  const std::uint8_t* row(int y) const {
    return pixels_.get() + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride_);
  }

  float dpi_x() const { return dpi_x_; }
  float dpi_y() const { return dpi_y_; }
  // Refuses values that are not finite and above 0 (invalid_parameter stored,
  // resolution unchanged).
  bool set_resolution(float dpi_x, float dpi_y);

  // The library's pixel lock: one holder at a time. lock_bits fails
  // (wrong_state) without image or when already locked; unlock_bits fails
  // when not locked. The memory is the bitmap's own either way.
  bool lock_bits();
  bool unlock_bits();
  bool is_locked() const { return locked_; }

  image_status last_status() const { return status_; }
  void set_status(image_status s) { status_ = s; }

  // A deep copy: pixels, resolution and status. A bitmap without image clones to one without.
  bitmap clone() const;

 private:
  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  float dpi_x_ = 96.0f;
  float dpi_y_ = 96.0f;
  image_status status_ = image_status::ok;
  bool locked_ = false;
  // Not a std::vector: a decoder fills every row, so the block is never
  // zero-filled first (that would touch a 24 MB photo twice).
  std::unique_ptr<std::uint8_t[]> pixels_;
};

}  // namespace platform
