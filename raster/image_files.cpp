#include "raster/image_files.h"

#include <sys/stat.h>

#include <cstdio>

#include "platform/clipboard.h"
#include "platform/image_codec.h"
#include "raster/bmp_helper.h"

namespace {

// Process-wide, owned here; set only by "setdpi".
std::int32_t g_output_dpi_x = 96;
std::int32_t g_output_dpi_y = 96;

// JFIF records densities as 16-bit numbers.
constexpr std::int32_t max_recordable_dpi = 65535;

}  // namespace

std::int32_t output_dpi_x() { return g_output_dpi_x; }
std::int32_t output_dpi_y() { return g_output_dpi_y; }
void set_output_dpi(std::int32_t dpi_x, std::int32_t dpi_y) {
  g_output_dpi_x = dpi_x;
  g_output_dpi_y = dpi_y;
}

bool file_exists(const std::string& path) {
  if (path.empty()) return false;
  std::FILE* f = std::fopen(path.c_str(), "r");
  if (!f) return false;
  // fopen succeeds on a folder here; a folder is not a file.
  struct stat info {};
  const bool folder = fstat(fileno(f), &info) == 0 && S_ISDIR(info.st_mode);
  std::fclose(f);
  return !folder;
}

std::unique_ptr<platform::bitmap> load_bitmap_file(const std::string& path) {
  if (!file_exists(path)) return nullptr;
  return std::make_unique<platform::bitmap>(platform::load_image_file(path));
}

std::unique_ptr<platform::bitmap> read_clipboard_bitmap() {
  std::optional<platform::bitmap> image = platform::read_clipboard_image();
  if (!image || !image->has_image()) return nullptr;
  // Decoders already give 24-bit rows; the copy keeps the contract that the
  // caller always receives a fresh 24-bit bitmap of the clipboard's size.
  return std::make_unique<platform::bitmap>(std::move(*image));
}

bool save_bitmap_jpeg_keep_resolution(platform::bitmap* bitmap, const std::string& path, std::int32_t quality) {
  if (!bitmap) return false;
  if (!bitmap->has_image() || bitmap->is_locked()) {
    bitmap->set_status(platform::image_status::wrong_state);
    return false;
  }
  if (!platform::save_jpeg_file(*bitmap, path, quality)) {
    bitmap->set_status(platform::image_status::access_denied);
    return false;
  }
  return true;
}

bool save_bitmap_jpeg(platform::bitmap* bitmap, const std::string& path, std::int32_t quality) {
  if (!bitmap) return false;
  const std::int32_t x = output_dpi_x(), y = output_dpi_y();
  if (x > max_recordable_dpi || y > max_recordable_dpi)
    bitmap->set_status(platform::image_status::invalid_parameter);  // kept the previous resolution
  else
    bitmap->set_resolution(static_cast<float>(x), static_cast<float>(y));  // refuses <= 0 itself
  return save_bitmap_jpeg_keep_resolution(bitmap, path, quality);
}
