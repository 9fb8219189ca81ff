// Built when libxcb is not available: there is never a bitmap on the clipboard.
#include "platform/clipboard.h"

namespace platform {

std::optional<bitmap> read_clipboard_image(int, clipboard_transfer& info) {
  info = clipboard_transfer{};
  return std::nullopt;
}

std::optional<bitmap> read_clipboard_image(int timeout_ms) {
  clipboard_transfer info;
  return read_clipboard_image(timeout_ms, info);
}

}  // namespace platform
