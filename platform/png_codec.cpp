// PNG through libpng's simplified interface: it converts every colour type
// and bit depth to 8-bit blue, green, red rows, composites transparency onto
// white paper, and keeps its setjmp to itself. The resolution chunk (pHYs) is
// read and written here, since that interface does not carry it.
#include <png.h>
#include <zlib.h>

#include <cstring>

#include "platform/codec_internal.h"

namespace platform::codec {

namespace {

std::uint32_t read_be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

void put_be32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

constexpr std::size_t signature_size = 8;

// The pHYs chunk before the image data, if any, as dots per inch.
void read_physical_size(const std::uint8_t* bytes, std::size_t size, bitmap& out) {
  std::size_t at = signature_size;
  while (at + 12 <= size) {
    const std::uint32_t length = read_be32(bytes + at);
    const std::uint8_t* type = bytes + at + 4;
    if (length > size - at - 12) return;
    if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0) return;
    if (std::memcmp(type, "pHYs", 4) == 0 && length == 9) {
      const std::uint8_t* data = bytes + at + 8;
      const std::uint32_t x = read_be32(data), y = read_be32(data + 4);
      if (data[8] == 1 && x > 0 && y > 0) out.set_resolution(dpi_from_per_metre(x), dpi_from_per_metre(y));
      return;
    }
    at += 12 + static_cast<std::size_t>(length);
  }
}

}  // namespace

void decode_png(const std::uint8_t* bytes, std::size_t size, bitmap& out) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes, size)) {
    out.set_status(image_status::unknown_image_format);
    return;
  }
  if (!valid_image_size(image.width, image.height)) {
    png_image_free(&image);
    out.set_status(image_status::invalid_parameter);
    return;
  }
  if (!out.create_uninitialized(static_cast<int>(image.width), static_cast<int>(image.height))) {
    png_image_free(&image);
    return;
  }
  image.format = PNG_FORMAT_BGR;
  png_color white{255, 255, 255};
  // row_stride counts components; with 8-bit samples that is bytes.
  if (!png_image_finish_read(&image, &white, out.pixels(), out.stride(), nullptr)) {
    png_image_free(&image);
    out.reset_image();
    out.set_status(image_status::unknown_image_format);
    return;
  }
  read_physical_size(bytes, size, out);
}

bool encode_png(const bitmap& source, std::vector<std::uint8_t>& out) {
  out.clear();
  if (!source.has_image()) return false;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(source.width());
  image.height = static_cast<png_uint_32>(source.height());
  image.format = PNG_FORMAT_BGR;
  png_alloc_size_t size = 0;
  if (!png_image_write_get_memory_size(image, size, 0, source.pixels(), source.stride(), nullptr)) return false;
  out.resize(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, source.pixels(), source.stride(), nullptr)) {
    out.clear();
    return false;
  }
  out.resize(size);

  // Insert pHYs (pixels per metre) right after IHDR, which always ends at byte 33.
  constexpr std::size_t ihdr_end = signature_size + 12 + 13;
  if (out.size() < ihdr_end) return false;
  std::uint8_t chunk[12 + 9];
  put_be32(chunk, 9);
  std::memcpy(chunk + 4, "pHYs", 4);
  put_be32(chunk + 8, static_cast<std::uint32_t>(source.dpi_x() / 0.0254 + 0.5));
  put_be32(chunk + 12, static_cast<std::uint32_t>(source.dpi_y() / 0.0254 + 0.5));
  chunk[16] = 1;
  put_be32(chunk + 17, static_cast<std::uint32_t>(crc32(crc32(0, nullptr, 0), chunk + 4, 4 + 9)));
  out.insert(out.begin() + static_cast<std::ptrdiff_t>(ihdr_end), chunk, chunk + sizeof chunk);
  return true;
}

}  // namespace platform::codec
