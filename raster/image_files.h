// Image files in and out, the clipboard, and the resolution every saved JPEG
// records.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/bitmap.h"

// True for a non-empty path naming something that opens for reading and is not a folder.
bool file_exists(const std::string& path);
// A bitmap object for the file; null when file_exists is false. A file that
// cannot be decoded still gives an object, one without image.
std::unique_ptr<platform::bitmap> load_bitmap_file(const std::string& path);
// The clipboard's image as a new 24-bit bitmap of the same size, or null
// (no display, no owner, no image on offer, no answer in time).
std::unique_ptr<platform::bitmap> read_clipboard_bitmap();

// Sets the bitmap's resolution to (output_dpi_x, output_dpi_y) and writes it
// as a JPEG of that quality. A resolution the file cannot record is refused
// and the bitmap's previous one is written (status stored). False for no
// bitmap, no image, a locked bitmap or a file that cannot be written.
bool save_bitmap_jpeg(platform::bitmap* bitmap, const std::string& path, std::int32_t quality);
// The same without touching the resolution (the early build saves what the bitmap has).
bool save_bitmap_jpeg_keep_resolution(platform::bitmap* bitmap, const std::string& path, std::int32_t quality);

// The process-wide output resolution, 96 x 96 at start, changed only by "setdpi".
std::int32_t output_dpi_x();
std::int32_t output_dpi_y();
void set_output_dpi(std::int32_t dpi_x, std::int32_t dpi_y);
