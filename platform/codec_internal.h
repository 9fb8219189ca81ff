// Per-format decoders and encoders behind image_codec.h. Each one sits in its
// own .cpp so that the setjmp/longjmp error paths of libjpeg and libpng stay
// inside a few small functions with no destructors across them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/bitmap.h"

namespace platform::codec {

// Each decoder fills `out` (which has no image on entry) or leaves it without
// image and sets its status. Sizes are checked against valid_image_size
// before any pixel memory exists.
void decode_jpeg(const std::uint8_t* bytes, std::size_t size, bitmap& out);
void decode_png(const std::uint8_t* bytes, std::size_t size, bitmap& out);
void decode_tiff(const std::uint8_t* bytes, std::size_t size, bitmap& out);
void decode_bmp(const std::uint8_t* bytes, std::size_t size, bitmap& out);

bool encode_jpeg(const bitmap& image, int quality, std::vector<std::uint8_t>& out);
bool encode_png(const bitmap& image, std::vector<std::uint8_t>& out);
bool encode_bmp(const bitmap& image, std::vector<std::uint8_t>& out);

// Resolution in dots per inch from a count per metre / per centimetre.
inline float dpi_from_per_metre(double per_metre) { return static_cast<float>(per_metre * 0.0254); }
inline float dpi_from_per_cm(double per_cm) { return static_cast<float>(per_cm * 2.54); }

}  // namespace platform::codec
