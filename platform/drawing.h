// Drawing into 24-bit bitmaps: what the imaging library's drawing surface did
// for the suite. One general primitive (a source rectangle drawn through a
// world transform into the destination, bilinear or nearest sampling) serves
// the 1:1 copy, the scaled copy, the rotated copy and sheetdesk's drawings.
#pragma once

#include <cstdint>

#include "platform/bitmap.h"

namespace platform {

// World transform as the imaging library kept it: a device point (x', y') of
// a world point (x, y) is  x' = m11*x + m21*y + dx,  y' = m12*x + m22*y + dy.
struct world_transform {
  double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;
  // Composition in the library's "prepend" order: the new operation acts on
  // world points before the existing transform.
  void prepend_translate(double tx, double ty);
  void prepend_rotate(double degrees);  // positive is clockwise on screen (y down)
};

enum class interpolation { nearest, bilinear, high_quality_bilinear };

struct bgr_colour {
  std::uint8_t blue = 255, green = 255, red = 255;
};

// Fills the rectangle (clipped to the bitmap).
bool fill_rect(bitmap& target, int x, int y, int width, int height, bgr_colour colour);

// Draws the source rectangle (sx, sy, sw, sh) of `source` onto the destination
// rectangle (dx, dy, dw, dh) of world space, mapped to `target` through
// `world`. Target pixels that no source pixel covers keep their value.
bool draw_image(bitmap& target, const bitmap& source, double sx, double sy, double sw, double sh, double dx,
                double dy, double dw, double dh, const world_transform& world, interpolation mode);

// The imaging library's eight rotate-flip codes (0 none, 1 90 clockwise,
// 2 180, 3 270, 4 flip x, 5 90 + flip x, 6 180 + flip x (= flip y), 7 270 + flip x),
// in place. False (status stored) for another code or no image.
bool rotate_flip_image(bitmap& image, int code);

}  // namespace platform
