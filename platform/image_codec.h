// Image files in and out: decoding picks the format from the first bytes
// (JPEG, PNG, TIFF, BMP), never from the name; JPEG encoding records the
// bitmap's resolution as JFIF density in dots per inch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/bitmap.h"

namespace platform {

// A bitmap for the bytes. One that cannot be decoded, or whose size is refused
// (0, above 65535 on a side, above max_image_pixels), comes back without image
// and with its status set. Never throws, never allocates beyond the limits.
bitmap decode_image(const std::uint8_t* bytes, std::size_t size);
// The same for a file; a file that cannot be read gives file_not_found/access_denied.
bitmap load_image_file(const std::string& path);

// JPEG with the given quality (0..100) and the bitmap's resolution as density.
// False for a bitmap without image.
bool encode_jpeg(const bitmap& image, int quality, std::vector<std::uint8_t>& out);
bool save_jpeg_file(const bitmap& image, const std::string& path, int quality);

// Lossless PNG (tests, the sheet generator, the clipboard tests).
bool encode_png(const bitmap& image, std::vector<std::uint8_t>& out);
bool save_png_file(const bitmap& image, const std::string& path);

// Uncompressed 24-bit BMP with the resolution in pixels per metre (tests, the
// clipboard tests).
bool encode_bmp(const bitmap& image, std::vector<std::uint8_t>& out);
bool save_bmp_file(const bitmap& image, const std::string& path);

}  // namespace platform
