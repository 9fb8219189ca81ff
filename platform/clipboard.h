// The X11 CLIPBOARD selection as an image source. Asks for TARGETS, takes the
// first of image/png, image/bmp, image/jpeg, image/tiff on offer, follows INCR
// transfers, gives up after a bounded wait. No DISPLAY, no owner or no image
// target all mean "no bitmap on the clipboard".
#pragma once

#include <optional>

#include "platform/bitmap.h"

namespace platform {

// The decoded clipboard image, or none.
std::optional<bitmap> read_clipboard_image(int timeout_ms = 3000);

}  // namespace platform
