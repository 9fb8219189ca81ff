#include "tests/support/x_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace test_support {

namespace {

using clock_type = std::chrono::steady_clock;

// fork + exec with standard output and error sent to /dev/null (or to
// `out_fd` for standard output); `keep_fd` stays open across exec.
pid_t spawn(const std::vector<std::string>& args, const std::string& display, int keep_fd = -1, int out_fd = -1) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid != 0) return pid;
  // Child.
  setpgid(0, 0);  // a terminal's Ctrl-C goes to the test, which stops us itself
  const int null_fd = open("/dev/null", O_RDWR);
  dup2(null_fd, 0);
  dup2(out_fd >= 0 ? out_fd : null_fd, 1);
  dup2(null_fd, 2);
  if (keep_fd >= 0) fcntl(keep_fd, F_SETFD, 0);
  if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
  execvp(argv[0], argv.data());
  _exit(127);
}

void stop_process(pid_t& pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  const auto deadline = clock_type::now() + std::chrono::seconds(3);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (clock_type::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid = -1;
}

// Runs a program to its end (at most timeout_ms) and gives its standard output.
bool run_capture(const std::vector<std::string>& args, const std::string& display, int timeout_ms,
                 std::string& out) {
  int p[2];
  if (pipe2(p, O_CLOEXEC) != 0) return false;
  pid_t pid = spawn(args, display, -1, p[1]);
  close(p[1]);
  out.clear();
  const auto deadline = clock_type::now() + std::chrono::milliseconds(timeout_ms);
  char buffer[4096];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock_type::now()).count();
    if (left <= 0) break;
    pollfd fd{p[0], POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(left)) <= 0) break;
    const ssize_t n = read(p[0], buffer, sizeof buffer);
    if (n <= 0) break;
    out.append(buffer, static_cast<std::size_t>(n));
  }
  close(p[0]);
  int status = 0;
  if (waitpid(pid, &status, WNOHANG) == 0) {
    stop_process(pid);
    return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool on_path(const char* name) {
  const char* path = std::getenv("PATH");
  std::string all = path ? path : "/usr/bin:/bin";
  std::size_t at = 0;
  while (at <= all.size()) {
    const std::size_t end = all.find(':', at);
    const std::string dir = all.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0) return true;
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return false;
}

}  // namespace

bool x_tools_available() { return on_path("Xvfb") && on_path("xclip"); }

x_server::~x_server() { stop(); }

bool x_server::start(int timeout_ms) {
  stop();
  error_.clear();
  int p[2];
  if (pipe2(p, O_CLOEXEC) != 0) {
    error_ = "pipe failed";
    return false;
  }
  server_pid_ = spawn({"Xvfb", "-displayfd", std::to_string(p[1]), "-nolisten", "tcp", "-screen", "0", "640x480x24"},
                      "", p[1]);
  close(p[1]);
  std::string number;
  const auto deadline = clock_type::now() + std::chrono::milliseconds(timeout_ms);
  while (number.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock_type::now()).count();
    pollfd fd{p[0], POLLIN, 0};
    if (left <= 0 || poll(&fd, 1, static_cast<int>(left)) <= 0) break;
    char c[16];
    const ssize_t n = read(p[0], c, sizeof c);
    if (n <= 0) break;
    number.append(c, static_cast<std::size_t>(n));
  }
  close(p[0]);
  if (number.find('\n') == std::string::npos) {
    error_ = "Xvfb did not report a display";
    stop();
    return false;
  }
  std::string value(1, ':');  // built up, not assigned from ":" (GCC 12 -Wrestrict false alarm)
  value.append(number, 0, number.find('\n'));
  display_ = std::move(value);
  return true;
}

bool x_server::owner_answers(const std::string& mime, int timeout_ms) {
  const auto deadline = clock_type::now() + std::chrono::milliseconds(timeout_ms);
  std::string targets;
  while (clock_type::now() < deadline) {
    if (run_capture({"xclip", "-selection", "clipboard", "-o", "-t", "TARGETS"}, display_, 2000, targets) &&
        targets.find(mime) != std::string::npos)
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

bool x_server::set_clipboard_file(const std::string& path, const std::string& mime) {
  if (!running()) {
    error_ = "no X server";
    return false;
  }
  // -quiet keeps xclip in the foreground, so its process id is ours to stop.
  // Now and then a fresh owner's claim is lost to the previous owner's
  // departure; a second start settles it.
  for (int attempt = 0; attempt < 4; ++attempt) {
    clear_clipboard();
    owner_pid_ = spawn({"xclip", "-quiet", "-selection", "clipboard", "-t", mime, "-i", path}, display_);
    if (owner_answers(mime, 1500)) return true;
  }
  clear_clipboard();
  error_ = "xclip did not take the clipboard";
  return false;
}

bool x_server::set_clipboard_text(const std::string& text) {
  if (text_file_.empty()) {
    char name[] = "/tmp/x_server_text_XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return false;
    close(fd);
    text_file_ = name;
  }
  FILE* f = std::fopen(text_file_.c_str(), "wb");
  if (!f) return false;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
  return set_clipboard_file(text_file_, "UTF8_STRING");
}

void x_server::clear_clipboard() {
  // The selection loses its owner when the owner's connection closes; wait
  // until the server has noticed.
  if (owner_pid_ <= 0) return;
  stop_process(owner_pid_);
  const auto deadline = clock_type::now() + std::chrono::seconds(2);
  std::string targets;
  while (clock_type::now() < deadline &&
         run_capture({"xclip", "-selection", "clipboard", "-o", "-t", "TARGETS"}, display_, 1000, targets))
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

void x_server::stop() {
  stop_process(owner_pid_);
  stop_process(server_pid_);
  display_.clear();
  if (!text_file_.empty()) {
    unlink(text_file_.c_str());
    text_file_.clear();
  }
}

}  // namespace test_support
