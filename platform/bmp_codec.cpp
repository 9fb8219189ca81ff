// BMP files: the Windows device-independent bitmap with a file header.
// Read: core (12-byte) and info (40 to 124-byte) headers; 1, 4 and 8 bits
// with a palette, 16 and 32 bits with or without bit fields, 24 bits; rows
// bottom-up or top-down. Alpha is ignored, as the clipboard's bitmap format
// did. Run-length compressed files are refused. Every offset is checked
// against the file's size before it is read.
// Write: 24 bits, bottom-up, resolution in pixels per metre.
#include <cstring>

#include "platform/codec_internal.h"

namespace platform::codec {

namespace {

constexpr std::size_t file_header_size = 14;
constexpr std::uint32_t bi_rgb = 0, bi_bitfields = 3, bi_alphabitfields = 6;

std::uint32_t le16(const std::uint8_t* p) { return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8); }
std::uint32_t le32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}
void put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::uint8_t* p, std::uint32_t v) {
  put16(p, v);
  put16(p + 2, v >> 16);
}

// One channel of a bit-field pixel, scaled to 0..255.
struct channel_mask {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint32_t max = 0;
  explicit channel_mask(std::uint32_t m) : mask(m) {
    if (!m) return;
    while (!((m >> shift) & 1u)) ++shift;
    max = m >> shift;
  }
  std::uint8_t get(std::uint32_t pixel) const {
    if (!max) return 0;
    return static_cast<std::uint8_t>((((pixel & mask) >> shift) * 255u + max / 2) / max);
  }
};

bool fail(bitmap& out, image_status status) {
  out.reset_image();
  out.set_status(status);
  return false;
}

bool decode(const std::uint8_t* bytes, std::size_t size, bitmap& out) {
  if (size < file_header_size + 12) return fail(out, image_status::unknown_image_format);
  const std::uint32_t data_offset = le32(bytes + 10);
  const std::uint8_t* info = bytes + file_header_size;
  const std::uint32_t info_size = le32(info);
  std::int64_t width = 0, height = 0;
  std::uint32_t bits = 0, compression = bi_rgb, colours_used = 0;
  double ppm_x = 0, ppm_y = 0;
  std::size_t palette_entry = 4;
  std::size_t after_header = file_header_size + info_size;
  std::uint32_t masks[3] = {0, 0, 0};
  if (info_size == 12) {
    width = le16(info + 4);
    height = static_cast<std::int16_t>(le16(info + 6));
    bits = le16(info + 10);
    palette_entry = 3;
  } else if (info_size >= 40 && info_size <= 124 && size >= file_header_size + info_size) {
    width = static_cast<std::int32_t>(le32(info + 4));
    height = static_cast<std::int32_t>(le32(info + 8));
    bits = le16(info + 14);
    compression = le32(info + 16);
    ppm_x = static_cast<std::int32_t>(le32(info + 24));
    ppm_y = static_cast<std::int32_t>(le32(info + 28));
    colours_used = le32(info + 32);
    if (compression == bi_bitfields || compression == bi_alphabitfields) {
      const std::uint8_t* m = info + 40;
      if (info_size < 52) {  // the masks follow a 40-byte header
        const std::size_t extra = compression == bi_alphabitfields ? 16 : 12;
        if (size < after_header + extra) return fail(out, image_status::unknown_image_format);
        after_header += extra;
      }
      masks[0] = le32(m);
      masks[1] = le32(m + 4);
      masks[2] = le32(m + 8);
    }
  } else {
    return fail(out, image_status::unknown_image_format);
  }

  const bool top_down = height < 0;
  if (top_down) height = -height;
  if (!valid_image_size(width, height)) return fail(out, image_status::invalid_parameter);
  if (compression != bi_rgb && compression != bi_bitfields && compression != bi_alphabitfields)
    return fail(out, image_status::unknown_image_format);
  if (compression != bi_rgb && bits != 16 && bits != 32) return fail(out, image_status::unknown_image_format);
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    return fail(out, image_status::unknown_image_format);

  // Palette.
  std::uint8_t palette[256][3] = {};
  if (bits <= 8) {
    const std::uint32_t max_colours = 1u << bits;
    std::uint32_t count = colours_used ? colours_used : max_colours;
    if (count > max_colours) count = max_colours;
    if (after_header + count * palette_entry > size) return fail(out, image_status::unknown_image_format);
    for (std::uint32_t i = 0; i < count; ++i) std::memcpy(palette[i], bytes + after_header + i * palette_entry, 3);
  }
  if (compression == bi_rgb && bits == 16) {
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
  }
  const bool use_masks = bits == 16 || (bits == 32 && compression != bi_rgb);
  const channel_mask red(masks[0]), green(masks[1]), blue(masks[2]);

  const std::uint64_t row_bytes = ((static_cast<std::uint64_t>(width) * bits + 31) / 32) * 4;
  if (data_offset > size || row_bytes * static_cast<std::uint64_t>(height) > size - data_offset)
    return fail(out, image_status::unknown_image_format);
  if (!out.create_uninitialized(static_cast<int>(width), static_cast<int>(height))) return false;
  if (ppm_x > 0 && ppm_y > 0) out.set_resolution(dpi_from_per_metre(ppm_x), dpi_from_per_metre(ppm_y));

  const int w = static_cast<int>(width);
  for (int y = 0; y < static_cast<int>(height); ++y) {
    const int file_row = top_down ? y : static_cast<int>(height) - 1 - y;
    const std::uint8_t* src = bytes + data_offset + static_cast<std::uint64_t>(file_row) * row_bytes;
    std::uint8_t* dst = out.row(y);
    if (bits == 24) {
      std::memcpy(dst, src, static_cast<std::size_t>(w) * 3);
    } else if (bits <= 8) {
      const int per_byte = 8 / static_cast<int>(bits);
      const unsigned mask = (1u << bits) - 1;
      for (int x = 0; x < w; ++x) {
        const int shift = 8 - static_cast<int>(bits) * (x % per_byte + 1);
        const unsigned index = (src[x / per_byte] >> shift) & mask;
        std::memcpy(dst + x * 3, palette[index], 3);
      }
    } else {
      const int step = static_cast<int>(bits) / 8;
      for (int x = 0; x < w; ++x) {
        const std::uint8_t* p = src + x * step;
        if (use_masks) {
          const std::uint32_t v = step == 2 ? le16(p) : le32(p);
          dst[x * 3 + channel_blue] = blue.get(v);
          dst[x * 3 + channel_green] = green.get(v);
          dst[x * 3 + channel_red] = red.get(v);
        } else {
          std::memcpy(dst + x * 3, p, 3);  // blue, green, red, unused
        }
      }
    }
  }
  return true;
}

}  // namespace

void decode_bmp(const std::uint8_t* bytes, std::size_t size, bitmap& out) { decode(bytes, size, out); }

bool encode_bmp(const bitmap& image, std::vector<std::uint8_t>& out) {
  out.clear();
  if (!image.has_image()) return false;
  const std::size_t row_bytes = static_cast<std::size_t>(image.stride());
  const std::size_t data_size = row_bytes * static_cast<std::size_t>(image.height());
  const std::size_t header = file_header_size + 40;
  if (header + data_size > 0xFFFFFFFFu) return false;
  out.assign(header + data_size, 0);
  std::uint8_t* h = out.data();
  h[0] = 'B';
  h[1] = 'M';
  put32(h + 2, static_cast<std::uint32_t>(out.size()));
  put32(h + 10, static_cast<std::uint32_t>(header));
  put32(h + 14, 40);
  put32(h + 18, static_cast<std::uint32_t>(image.width()));
  put32(h + 22, static_cast<std::uint32_t>(image.height()));
  put16(h + 26, 1);
  put16(h + 28, 24);
  put32(h + 34, static_cast<std::uint32_t>(data_size));
  put32(h + 38, static_cast<std::uint32_t>(image.dpi_x() / 0.0254 + 0.5));
  put32(h + 42, static_cast<std::uint32_t>(image.dpi_y() / 0.0254 + 0.5));
  for (int y = 0; y < image.height(); ++y)
    std::memcpy(h + header + static_cast<std::size_t>(image.height() - 1 - y) * row_bytes, image.row(y), row_bytes);
  return true;
}

}  // namespace platform::codec
