// Built when libxcb is not available: there is never a bitmap on the clipboard.
#include "platform/clipboard.h"

namespace platform {

std::optional<bitmap> read_clipboard_image(int) { return std::nullopt; }

}  // namespace platform
