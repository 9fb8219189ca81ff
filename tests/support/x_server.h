// A private X server for tests: Xvfb on a display number it picks itself
// (-displayfd), plus the CLIPBOARD selection filled from files with xclip.
// Everything started here is stopped by stop() or the destructor.
//
//   test_support::x_server x;
//   if (!x.start()) GTEST_SKIP() << x.error();
//   x.set_clipboard_file(png_path, "image/png");
//   setenv("DISPLAY", x.display().c_str(), 1);   // or pass it to a child program
#pragma once

#include <sys/types.h>

#include <string>

namespace test_support {

class x_server {
 public:
  x_server() = default;
  ~x_server();
  x_server(const x_server&) = delete;
  x_server& operator=(const x_server&) = delete;

  // Starts Xvfb and waits (up to timeout_ms) until it accepts clients.
  bool start(int timeout_ms = 10000);
  bool running() const { return server_pid_ > 0; }
  // ":N", the DISPLAY value of this server.
  const std::string& display() const { return display_; }
  // Why start or a clipboard call failed.
  const std::string& error() const { return error_; }

  // Makes the file the CLIPBOARD's content, offered as the given MIME type
  // (an earlier owner started here is stopped first). Returns once the owner
  // answers requests.
  bool set_clipboard_file(const std::string& path, const std::string& mime);
  // Text only (UTF8_STRING and friends).
  bool set_clipboard_text(const std::string& text);
  // No owner at all afterwards.
  void clear_clipboard();

  void stop();

 private:
  bool owner_answers(const std::string& mime, int timeout_ms);

  pid_t server_pid_ = -1;
  pid_t owner_pid_ = -1;
  std::string display_;
  std::string error_;
  std::string text_file_;
};

// True when Xvfb and xclip can be found on PATH.
bool x_tools_available();

}  // namespace test_support
