// The X11 CLIPBOARD selection as an image source. Asks for TARGETS, takes the
// first of image/png, image/bmp, image/jpeg, image/tiff on offer, follows INCR
// transfers, gives up after a bounded wait. No DISPLAY, no owner or no image
// target all mean "no bitmap on the clipboard".
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "platform/bitmap.h"

namespace platform {

// The decoded clipboard image, or none.
std::optional<bitmap> read_clipboard_image(int timeout_ms = 3000);

// What a read did, for tests and diagnostics.
struct clipboard_transfer {
  std::string target;       // the MIME type taken, empty when none
  bool incremental = false;  // the owner sent the data in INCR chunks
  std::size_t bytes = 0;     // bytes received
};
std::optional<bitmap> read_clipboard_image(int timeout_ms, clipboard_transfer& info);

// Largest clipboard transfer accepted; an owner that sends more is cut off.
constexpr std::size_t max_clipboard_bytes = std::size_t{512} * 1024 * 1024;

}  // namespace platform
