// TIFF through libtiff, read from memory. Decoded a band of rows at a time
// through libtiff's RGBA interface (every photometric and bit depth it
// knows), with transparency composited onto white. libtiff's messages are
// silenced: a file it cannot read simply gives no image.
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/codec_internal.h"

namespace platform::codec {

namespace {

// libtiff may not allocate more than this in one block (strip and tile buffers).
constexpr tmsize_t max_single_allocation = 256 * 1024 * 1024;
constexpr int band_rows = 64;

struct memory_file {
  const std::uint8_t* bytes;
  toff_t size;
  toff_t at;
};

tsize_t read_proc(thandle_t h, tdata_t buffer, tsize_t n) {
  auto* f = static_cast<memory_file*>(h);
  if (n < 0 || f->at >= f->size) return 0;
  const toff_t count = std::min<toff_t>(static_cast<toff_t>(n), f->size - f->at);
  std::memcpy(buffer, f->bytes + f->at, count);
  f->at += count;
  return static_cast<tsize_t>(count);
}
tsize_t write_proc(thandle_t, tdata_t, tsize_t) { return -1; }
toff_t seek_proc(thandle_t h, toff_t offset, int whence) {
  auto* f = static_cast<memory_file*>(h);
  toff_t base = 0;
  if (whence == SEEK_CUR) base = f->at;
  if (whence == SEEK_END) base = f->size;
  const auto target = static_cast<std::int64_t>(base) + static_cast<std::int64_t>(offset);
  if (target < 0) return static_cast<toff_t>(-1);
  f->at = static_cast<toff_t>(target);
  return f->at;
}
int close_proc(thandle_t) { return 0; }
toff_t size_proc(thandle_t h) { return static_cast<memory_file*>(h)->size; }
int map_proc(thandle_t, tdata_t*, toff_t*) { return 0; }
void unmap_proc(thandle_t, tdata_t, toff_t) {}

void silence_libtiff() {
  static std::once_flag once;
  std::call_once(once, [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
  });
}

std::uint8_t over_white(std::uint32_t c, std::uint32_t a, bool associated) {
  if (a == 255) return static_cast<std::uint8_t>(c);
  if (associated) return static_cast<std::uint8_t>(std::min<std::uint32_t>(255, c + (255 - a)));
  return static_cast<std::uint8_t>((c * a + 255 * (255 - a) + 127) / 255);
}

}  // namespace

void decode_tiff(const std::uint8_t* bytes, std::size_t size, bitmap& out) {
  silence_libtiff();
  memory_file file{bytes, static_cast<toff_t>(size), 0};
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (options) TIFFOpenOptionsSetMaxSingleMemAlloc(options, max_single_allocation);
  TIFF* tif = TIFFClientOpenExt("memory", "rm", &file, read_proc, write_proc, seek_proc, close_proc, size_proc,
                                map_proc, unmap_proc, options);
  if (options) TIFFOpenOptionsFree(options);
  if (!tif) {
    out.set_status(image_status::unknown_image_format);
    return;
  }
  std::uint32_t width = 0, height = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  char message[1024] = {};
  TIFFRGBAImage img;
  if (!valid_image_size(width, height)) {
    TIFFClose(tif);
    out.set_status(image_status::invalid_parameter);
    return;
  }
  if (!TIFFRGBAImageOK(tif, message) || !TIFFRGBAImageBegin(&img, tif, 0, message)) {
    TIFFClose(tif);
    out.set_status(image_status::unknown_image_format);
    return;
  }
  img.req_orientation = ORIENTATION_TOPLEFT;
  bool ok = out.create_uninitialized(static_cast<int>(width), static_cast<int>(height));
  if (ok) {
    const bool associated = img.alpha == EXTRASAMPLE_ASSOCALPHA;
    std::vector<std::uint32_t> band(static_cast<std::size_t>(width) * band_rows);
    for (std::uint32_t y0 = 0; ok && y0 < height; y0 += band_rows) {
      const std::uint32_t rows = std::min<std::uint32_t>(band_rows, height - y0);
      img.row_offset = static_cast<int>(y0);
      img.col_offset = 0;
      if (!TIFFRGBAImageGet(&img, band.data(), width, rows)) {
        ok = false;
        break;
      }
      for (std::uint32_t r = 0; r < rows; ++r) {
        const std::uint32_t* src = band.data() + static_cast<std::size_t>(r) * width;
        std::uint8_t* dst = out.row(static_cast<int>(y0 + r));
        for (std::uint32_t x = 0; x < width; ++x, dst += bytes_per_pixel) {
          const std::uint32_t p = src[x], a = TIFFGetA(p);
          dst[channel_red] = over_white(TIFFGetR(p), a, associated);
          dst[channel_green] = over_white(TIFFGetG(p), a, associated);
          dst[channel_blue] = over_white(TIFFGetB(p), a, associated);
        }
      }
    }
  }
  TIFFRGBAImageEnd(&img);
  if (ok) {
    float rx = 0, ry = 0;
    std::uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &rx) && TIFFGetField(tif, TIFFTAG_YRESOLUTION, &ry) && rx > 0 &&
        ry > 0) {
      if (unit == RESUNIT_INCH)
        out.set_resolution(rx, ry);
      else if (unit == RESUNIT_CENTIMETER)
        out.set_resolution(dpi_from_per_cm(rx), dpi_from_per_cm(ry));
    }
  } else {
    out.reset_image();
    out.set_status(image_status::unknown_image_format);
  }
  TIFFClose(tif);
}

}  // namespace platform::codec
