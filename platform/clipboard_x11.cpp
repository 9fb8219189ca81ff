// The X11 CLIPBOARD selection through libxcb.
//
// An unmapped window of our own asks the owner for TARGETS, then for the
// first image type on offer (image/png, image/bmp, image/jpeg, image/tiff),
// into a property of that window. Large data arrives as an INCR transfer: the
// owner writes chunks into the property and we delete it after each, until an
// empty chunk ends it. Every wait is bounded by the time-out (restarted by each
// chunk), and the whole transfer by max_clipboard_bytes.
#include <poll.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/clipboard.h"
#include "platform/image_codec.h"

namespace platform {

namespace {

using clock_type = std::chrono::steady_clock;

struct connection_closer {
  void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};
using connection_ptr = std::unique_ptr<xcb_connection_t, connection_closer>;

struct free_deleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using xcb_ptr = std::unique_ptr<T, free_deleter>;

constexpr const char* image_targets[] = {"image/png", "image/bmp", "image/jpeg", "image/tiff"};
constexpr int image_target_count = 4;

struct session {
  xcb_connection_t* c = nullptr;
  xcb_window_t window = 0;
  xcb_atom_t clipboard = XCB_ATOM_NONE, targets = XCB_ATOM_NONE, incr = XCB_ATOM_NONE, property = XCB_ATOM_NONE;
  xcb_atom_t images[image_target_count] = {};
  int timeout_ms = 0;
};

// The next event, waiting at most until the deadline; null on time-out or a broken connection.
xcb_ptr<xcb_generic_event_t> next_event(const session& s, clock_type::time_point deadline) {
  const int fd = xcb_get_file_descriptor(s.c);
  for (;;) {
    if (xcb_generic_event_t* e = xcb_poll_for_event(s.c)) return xcb_ptr<xcb_generic_event_t>(e);
    if (xcb_connection_has_error(s.c)) return nullptr;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock_type::now()).count();
    if (left <= 0) return nullptr;
    pollfd p{fd, POLLIN, 0};
    ::poll(&p, 1, static_cast<int>(left));
  }
}

// Asks the owner to convert the selection to `target`; the property it wrote, or NONE.
xcb_atom_t convert(const session& s, xcb_atom_t target) {
  xcb_convert_selection(s.c, s.window, s.clipboard, target, s.property, XCB_CURRENT_TIME);
  xcb_flush(s.c);
  const auto deadline = clock_type::now() + std::chrono::milliseconds(s.timeout_ms);
  while (auto e = next_event(s, deadline)) {
    if ((e->response_type & 0x7F) != XCB_SELECTION_NOTIFY) continue;
    auto* n = reinterpret_cast<xcb_selection_notify_event_t*>(e.get());
    if (n->requestor != s.window || n->selection != s.clipboard) continue;
    return n->property;
  }
  return XCB_ATOM_NONE;
}

// Reads the whole property (in pieces if need be) and deletes it. False on a
// broken connection or data beyond the limit.
bool take_property(const session& s, xcb_atom_t& type, std::vector<std::uint8_t>& out, std::size_t limit) {
  constexpr std::uint32_t piece_longs = 1 << 18;  // 1 MB per request
  std::uint32_t offset = 0;
  type = XCB_ATOM_NONE;
  for (;;) {
    auto cookie = xcb_get_property(s.c, 0, s.window, s.property, XCB_GET_PROPERTY_TYPE_ANY, offset, piece_longs);
    xcb_ptr<xcb_get_property_reply_t> reply(xcb_get_property_reply(s.c, cookie, nullptr));
    if (!reply) return false;
    type = reply->type;
    const int length = xcb_get_property_value_length(reply.get());
    if (length > 0) {
      if (out.size() + static_cast<std::size_t>(length) > limit) return false;
      const auto* value = static_cast<const std::uint8_t*>(xcb_get_property_value(reply.get()));
      out.insert(out.end(), value, value + length);
    }
    if (reply->bytes_after == 0) break;
    offset += static_cast<std::uint32_t>(length) / 4;
  }
  xcb_delete_property(s.c, s.window, s.property);
  xcb_flush(s.c);
  return true;
}

// An INCR transfer: each new value of the property is a chunk; an empty one ends it.
bool take_incremental(const session& s, std::vector<std::uint8_t>& out) {
  out.clear();
  auto deadline = clock_type::now() + std::chrono::milliseconds(s.timeout_ms);
  while (auto e = next_event(s, deadline)) {
    if ((e->response_type & 0x7F) != XCB_PROPERTY_NOTIFY) continue;
    auto* n = reinterpret_cast<xcb_property_notify_event_t*>(e.get());
    if (n->window != s.window || n->atom != s.property || n->state != XCB_PROPERTY_NEW_VALUE) continue;
    const std::size_t before = out.size();
    xcb_atom_t type = XCB_ATOM_NONE;
    if (!take_property(s, type, out, max_clipboard_bytes)) return false;
    if (out.size() == before) return true;  // the empty chunk: done
    deadline = clock_type::now() + std::chrono::milliseconds(s.timeout_ms);
  }
  return false;
}

std::vector<xcb_atom_t> intern(xcb_connection_t* c, const std::vector<const char*>& names) {
  std::vector<xcb_intern_atom_cookie_t> cookies;
  for (const char* name : names)
    cookies.push_back(xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name));
  std::vector<xcb_atom_t> atoms;
  for (auto cookie : cookies) {
    xcb_ptr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookie, nullptr));
    atoms.push_back(reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE));
  }
  return atoms;
}

}  // namespace

std::optional<bitmap> read_clipboard_image(int timeout_ms, clipboard_transfer& info) {
  info = clipboard_transfer{};
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) return std::nullopt;
  int screen_number = 0;
  connection_ptr connection(xcb_connect(display, &screen_number));
  if (!connection || xcb_connection_has_error(connection.get())) return std::nullopt;

  session s;
  s.c = connection.get();
  s.timeout_ms = timeout_ms > 0 ? timeout_ms : 1;
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(s.c));
  for (int i = 0; i < screen_number && screens.rem; ++i) xcb_screen_next(&screens);
  if (!screens.rem) return std::nullopt;
  const xcb_screen_t* screen = screens.data;

  s.window = xcb_generate_id(s.c);
  const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_create_window(s.c, XCB_COPY_FROM_PARENT, s.window, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    screen->root_visual, XCB_CW_EVENT_MASK, &events);

  const auto atoms = intern(s.c, {"CLIPBOARD", "TARGETS", "INCR", "MARKD_CLIPBOARD", image_targets[0],
                                  image_targets[1], image_targets[2], image_targets[3]});
  s.clipboard = atoms[0];
  s.targets = atoms[1];
  s.incr = atoms[2];
  s.property = atoms[3];
  for (int i = 0; i < image_target_count; ++i) s.images[i] = atoms[4 + static_cast<std::size_t>(i)];
  if (s.clipboard == XCB_ATOM_NONE || s.property == XCB_ATOM_NONE) return std::nullopt;

  // No owner: nothing to ask.
  xcb_ptr<xcb_get_selection_owner_reply_t> owner(
      xcb_get_selection_owner_reply(s.c, xcb_get_selection_owner(s.c, s.clipboard), nullptr));
  if (!owner || owner->owner == XCB_WINDOW_NONE) return std::nullopt;

  // What the owner offers.
  if (convert(s, s.targets) == XCB_ATOM_NONE) return std::nullopt;
  xcb_atom_t type = XCB_ATOM_NONE;
  std::vector<std::uint8_t> list;
  if (!take_property(s, type, list, 1 << 20) || type != XCB_ATOM_ATOM) return std::nullopt;
  std::vector<xcb_atom_t> offered(list.size() / sizeof(xcb_atom_t));
  if (!offered.empty()) std::memcpy(offered.data(), list.data(), offered.size() * sizeof(xcb_atom_t));
  int chosen = -1;
  for (int i = 0; i < image_target_count && chosen < 0; ++i)
    for (xcb_atom_t a : offered)
      if (a == s.images[i] && a != XCB_ATOM_NONE) {
        chosen = i;
        break;
      }
  if (chosen < 0) return std::nullopt;
  info.target = image_targets[chosen];

  if (convert(s, s.images[chosen]) == XCB_ATOM_NONE) return std::nullopt;
  std::vector<std::uint8_t> data;
  if (!take_property(s, type, data, max_clipboard_bytes)) return std::nullopt;
  if (type == s.incr) {
    // Deleting the INCR property (done above) tells the owner to start.
    info.incremental = true;
    if (!take_incremental(s, data)) return std::nullopt;
  }
  info.bytes = data.size();
  connection.reset();  // done with the display before the decoding work
  bitmap image = decode_image(data.data(), data.size());
  if (!image.has_image()) return std::nullopt;
  return image;
}

std::optional<bitmap> read_clipboard_image(int timeout_ms) {
  clipboard_transfer info;
  return read_clipboard_image(timeout_ms, info);
}

}  // namespace platform
