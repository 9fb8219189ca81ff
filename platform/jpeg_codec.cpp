// JPEG through libjpeg-turbo. libjpeg reports fatal errors by calling
// error_exit, which must not return; we longjmp back into the one function
// that called setjmp. No object with a destructor lives in those functions,
// so the jump skips nothing. Memory handed to libjpeg (the encoder's output
// block) is plain malloc memory, freed on both paths.
//
// Strictness: a warning (a truncated file, corrupt entropy data) fails the
// decode, so a damaged photograph gives "no image" instead of a grey-filled
// half picture, and a damaged file cannot keep the decoder busy. Progressive
// files may have at most max_scans scans, and libjpeg's own working memory is
// capped, so a small file cannot make it allocate without bound.
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

#include "platform/codec_internal.h"

namespace platform::codec {

namespace {

constexpr int max_scans = 500;
// libjpeg's own working memory (coefficient buffers of progressive files);
// a 100-megapixel progressive 4:4:4 file needs about 600 MB.
constexpr long max_libjpeg_memory = 1024L * 1024L * 1024L;

struct jpeg_error_state {
  jpeg_error_mgr manager;  // first member: libjpeg hands back a pointer to it
  std::jmp_buf jump;
};

[[noreturn]] void on_error_exit(j_common_ptr cinfo) {
  auto* state = reinterpret_cast<jpeg_error_state*>(cinfo->err);
  std::longjmp(state->jump, 1);
}

void on_emit_message(j_common_ptr cinfo, int level) {
  // level -1 is a warning: the data is damaged. Trace messages (>= 0) are ignored.
  if (level < 0) on_error_exit(cinfo);
}

void on_output_message(j_common_ptr) {}

void on_progress(j_common_ptr cinfo) {
  if (cinfo->is_decompressor) {
    auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (dinfo->input_scan_number > max_scans) on_error_exit(cinfo);
  }
}

void install_errors(jpeg_error_state& state) {
  jpeg_std_error(&state.manager);
  state.manager.error_exit = on_error_exit;
  state.manager.emit_message = on_emit_message;
  state.manager.output_message = on_output_message;
}

void cmyk_to_bgr(const JSAMPLE* cmyk, std::uint8_t* bgr, int width, bool adobe_inverted) {
  for (int x = 0; x < width; ++x, cmyk += 4, bgr += bytes_per_pixel) {
    int c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!adobe_inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    bgr[channel_red] = static_cast<std::uint8_t>((c * k + 127) / 255);
    bgr[channel_green] = static_cast<std::uint8_t>((m * k + 127) / 255);
    bgr[channel_blue] = static_cast<std::uint8_t>((y * k + 127) / 255);
  }
}

}  // namespace

void decode_jpeg(const std::uint8_t* bytes, std::size_t size, bitmap& out) {
  jpeg_decompress_struct cinfo;
  jpeg_error_state errors;
  jpeg_progress_mgr progress;
  install_errors(errors);
  cinfo.err = &errors.manager;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&cinfo);
    out.reset_image();
    out.set_status(image_status::unknown_image_format);
    return;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.mem->max_memory_to_use = max_libjpeg_memory;
  progress.progress_monitor = on_progress;
  cinfo.progress = &progress;
  jpeg_mem_src(&cinfo, bytes, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);

  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
  if (!valid_image_size(cinfo.image_width, cinfo.image_height)) {
    jpeg_destroy_decompress(&cinfo);
    out.set_status(image_status::invalid_parameter);
    return;
  }
  if (!out.create_uninitialized(static_cast<int>(cinfo.image_width), static_cast<int>(cinfo.image_height))) {
    jpeg_destroy_decompress(&cinfo);
    return;
  }
  if (cinfo.saw_JFIF_marker && cinfo.X_density > 0 && cinfo.Y_density > 0) {
    if (cinfo.density_unit == 1)
      out.set_resolution(cinfo.X_density, cinfo.Y_density);
    else if (cinfo.density_unit == 2)
      out.set_resolution(dpi_from_per_cm(cinfo.X_density), dpi_from_per_cm(cinfo.Y_density));
  }

  jpeg_start_decompress(&cinfo);
  if (cmyk) {
    JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                cinfo.output_width * 4, 1);
    while (cinfo.output_scanline < cinfo.output_height) {
      const int y = static_cast<int>(cinfo.output_scanline);
      jpeg_read_scanlines(&cinfo, row, 1);
      cmyk_to_bgr(row[0], out.row(y), out.width(), cinfo.saw_Adobe_marker);
    }
  } else {
    // Straight into the bitmap's rows, a few at a time.
    constexpr int batch = 16;
    JSAMPROW rows[batch];
    while (cinfo.output_scanline < cinfo.output_height) {
      const int first = static_cast<int>(cinfo.output_scanline);
      int count = static_cast<int>(cinfo.output_height) - first;
      if (count > batch) count = batch;
      for (int i = 0; i < count; ++i) rows[i] = out.row(first + i);
      jpeg_read_scanlines(&cinfo, rows, static_cast<JDIMENSION>(count));
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
}

namespace {

// The part of the encoder that may longjmp; the output block is malloc memory
// that the caller frees in every case.
bool compress_rows(const bitmap& image, int quality, unsigned char** block, unsigned long* block_size) {
  jpeg_compress_struct cinfo;
  jpeg_error_state errors;
  install_errors(errors);
  cinfo.err = &errors.manager;
  if (setjmp(errors.jump)) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, block, block_size);
  cinfo.image_width = static_cast<JDIMENSION>(image.width());
  cinfo.image_height = static_cast<JDIMENSION>(image.height());
  cinfo.input_components = bytes_per_pixel;
  cinfo.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality < 0 ? 0 : (quality > 100 ? 100 : quality), TRUE);
  cinfo.write_JFIF_header = TRUE;
  cinfo.density_unit = 1;  // dots per inch
  auto density = [](float dpi) -> UINT16 {
    const float rounded = dpi + 0.5f;
    if (!(rounded >= 1.0f)) return 1;
    if (rounded >= 65535.0f) return 65535;
    return static_cast<UINT16>(rounded);
  };
  cinfo.X_density = density(image.dpi_x());
  cinfo.Y_density = density(image.dpi_y());
  jpeg_start_compress(&cinfo, TRUE);
  constexpr int batch = 16;
  JSAMPROW rows[batch];
  while (cinfo.next_scanline < cinfo.image_height) {
    const int first = static_cast<int>(cinfo.next_scanline);
    int count = static_cast<int>(cinfo.image_height) - first;
    if (count > batch) count = batch;
    for (int i = 0; i < count; ++i) rows[i] = const_cast<JSAMPROW>(image.row(first + i));
    jpeg_write_scanlines(&cinfo, rows, static_cast<JDIMENSION>(count));
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

}  // namespace

bool encode_jpeg(const bitmap& image, int quality, std::vector<std::uint8_t>& out) {
  out.clear();
  if (!image.has_image()) return false;
  // Start with a block big enough for most photographs at usual qualities, so
  // libjpeg does not grow (and copy) its output block from 4 KB upwards. If it
  // must grow anyway, it leaves our first block to us and hands back its own.
  unsigned long block_size =
      static_cast<unsigned long>(image.width()) * static_cast<unsigned long>(image.height()) * 3 / 8 + 4096;
  unsigned char* const first_block = static_cast<unsigned char*>(std::malloc(block_size));
  if (!first_block) return false;
  unsigned char* block = first_block;
  const bool ok = compress_rows(image, quality, &block, &block_size);
  if (ok && block) out.assign(block, block + block_size);
  if (block != first_block) std::free(block);
  std::free(first_block);
  return ok && !out.empty();
}

}  // namespace platform::codec
