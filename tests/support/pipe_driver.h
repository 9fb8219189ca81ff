// Starts one of the suite's programs as a child process and talks to it over
// pipes the way the capture application does: write lines, read reply lines
// with a time-out, close standard input, wait for the exit status.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace test_support {

// Full path of a built program: $MARKD_BIN_DIR/name, else the build's bin folder.
std::string program_path(const std::string& name);

struct child_options {
  std::vector<std::string> args;
  // Variables set for the child; an empty value removes the variable instead.
  std::vector<std::pair<std::string, std::string>> env;
  std::string cwd;  // empty: the test's own
};

class child_process {
 public:
  child_process() = default;
  ~child_process();  // kills the child if it still runs
  child_process(const child_process&) = delete;
  child_process& operator=(const child_process&) = delete;

  bool start(const std::string& program, const child_options& options = {});

  // Writes bytes as they are; write_line adds the line feed.
  bool write(std::string_view bytes);
  bool write_line(std::string_view line) { return write(std::string(line) + "\n"); }
  void close_stdin();

  // One line of standard output without its line feed; none on time-out or end of output.
  std::optional<std::string> read_line(int timeout_ms = 5000);
  // Everything standard output delivers until it has been quiet for quiet_ms.
  std::string read_quiet(int quiet_ms);
  // True when standard output reached its end (the child closed it).
  bool stdout_closed() const { return out_eof_; }

  // Exit status as the child's exit() argument reads back (0..255), or
  // 1000 + signal number when killed; none on time-out.
  std::optional<int> wait_exit(int timeout_ms = 5000);
  // Standard error collected so far (read alongside standard output).
  std::string stderr_text();

  pid_t pid() const { return pid_; }

 private:
  void pump(int timeout_ms);  // waits up to timeout_ms for any output and collects it

  pid_t pid_ = -1;
  int in_fd_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  bool out_eof_ = false;
  std::string out_buf_;
  std::string err_buf_;
  std::optional<int> status_;
};

}  // namespace test_support
