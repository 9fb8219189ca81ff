// The request loop of sheetdesk: one output path per line on standard input,
// the photograph from the clipboard, "recognize_complete" per request that
// found one.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "platform/bitmap.h"
#include "sheetdesk/desk_template.h"

namespace sheetdesk {

constexpr const char* reply_complete = "recognize_complete";
// A request line holds at most this many bytes before its line end.
constexpr std::size_t max_request_bytes = 511;

// Where photographs come from: the clipboard in the program, a stand-in in tests.
class i_photo_source {
 public:
  virtual ~i_photo_source() = default;
  // The photograph, or none when no bitmap can be had (the request is then dropped silently).
  virtual std::optional<platform::bitmap> take_photo() = 0;
};

// The X11 clipboard, waiting at most timeout_ms for its owner.
class clipboard_photo_source : public i_photo_source {
 public:
  explicit clipboard_photo_source(int timeout_ms = 3000) : timeout_ms_(timeout_ms) {}
  std::optional<platform::bitmap> take_photo() override;

 private:
  int timeout_ms_;
};

// One request on a photograph in hand: the aligned image saved as a JPEG at
// quality 100 at image_path, the template's boxes marked into the result file
// (see result_path_for). Failures to write either file are not reported: the
// request still counts as done.
void work_request(const platform::bitmap& photo, const std::string& image_path,
                  const std::string& template_path = template_file_name);

// The next request line without its line end (LF or CR LF), or none at the end
// of input. A line longer than max_request_bytes is read to its end and
// comes back with `too_long` set.
struct request_line {
  std::string text;
  bool too_long = false;
};
std::optional<request_line> read_request_line(std::FILE* in);

// Runs requests until a line starting with "exit" or the end of input; returns the exit status (0).
int run_request_loop(std::FILE* in, std::FILE* out, i_photo_source& source,
                     const std::string& template_path = template_file_name);

}  // namespace sheetdesk
