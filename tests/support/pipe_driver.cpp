#include "tests/support/pipe_driver.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace test_support {

namespace {

using clock_type = std::chrono::steady_clock;

int ms_left(clock_type::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock_type::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

std::string program_path(const std::string& name) {
  const char* dir = std::getenv("MARKD_BIN_DIR");
  return std::string(dir && *dir ? dir : MARKD_BIN_DIR_DEFAULT) + "/" + name;
}

child_process::~child_process() {
  if (in_fd_ >= 0) close(in_fd_);
  if (pid_ > 0 && !status_) {
    kill(pid_, SIGKILL);
    int st = 0;
    waitpid(pid_, &st, 0);
  }
  if (out_fd_ >= 0) close(out_fd_);
  if (err_fd_ >= 0) close(err_fd_);
}

bool child_process::start(const std::string& program, const child_options& options) {
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe2(in_pipe, O_CLOEXEC) != 0) return false;
  if (pipe2(out_pipe, O_CLOEXEC) != 0) return false;
  if (pipe2(err_pipe, O_CLOEXEC) != 0) return false;

  std::vector<std::string> argv_text{program};
  argv_text.insert(argv_text.end(), options.args.begin(), options.args.end());

  pid_ = fork();
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    dup2(in_pipe[0], 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    for (const auto& [key, value] : options.env) {
      if (value.empty())
        unsetenv(key.c_str());
      else
        setenv(key.c_str(), value.c_str(), 1);
    }
    if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(127);
    std::vector<char*> argv;
    for (auto& a : argv_text) argv.push_back(a.data());
    argv.push_back(nullptr);
    signal(SIGPIPE, SIG_DFL);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  in_fd_ = in_pipe[1];
  out_fd_ = out_pipe[0];
  err_fd_ = err_pipe[0];
  // A child that died must not kill the test with SIGPIPE on the next write.
  signal(SIGPIPE, SIG_IGN);
  return true;
}

bool child_process::write(std::string_view bytes) {
  if (in_fd_ < 0) return false;
  while (!bytes.empty()) {
    const ssize_t n = ::write(in_fd_, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

void child_process::close_stdin() {
  if (in_fd_ >= 0) close(in_fd_);
  in_fd_ = -1;
}

void child_process::pump(int timeout_ms) {
  pollfd fds[2];
  int n = 0;
  if (out_fd_ >= 0 && !out_eof_) fds[n++] = {out_fd_, POLLIN, 0};
  if (err_fd_ >= 0) fds[n++] = {err_fd_, POLLIN, 0};
  if (n == 0) return;
  if (poll(fds, static_cast<nfds_t>(n), timeout_ms) <= 0) return;
  char buf[65536];
  for (int i = 0; i < n; ++i) {
    if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    const ssize_t got = read(fds[i].fd, buf, sizeof buf);
    const bool is_out = fds[i].fd == out_fd_;
    if (got > 0) {
      (is_out ? out_buf_ : err_buf_).append(buf, static_cast<size_t>(got));
    } else if (got == 0) {
      if (is_out) {
        out_eof_ = true;
      } else {
        close(err_fd_);
        err_fd_ = -1;
      }
    }
  }
}

std::optional<std::string> child_process::read_line(int timeout_ms) {
  const auto deadline = clock_type::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    const auto nl = out_buf_.find('\n');
    if (nl != std::string::npos) {
      std::string line = out_buf_.substr(0, nl);
      out_buf_.erase(0, nl + 1);
      return line;
    }
    if (out_eof_) return std::nullopt;
    const int left = ms_left(deadline);
    if (left == 0) return std::nullopt;
    pump(left);
  }
}

std::string child_process::read_quiet(int quiet_ms) {
  for (;;) {
    const size_t before = out_buf_.size();
    if (out_eof_) break;
    pump(quiet_ms);
    if (out_buf_.size() == before && !out_eof_) break;
  }
  std::string all;
  all.swap(out_buf_);
  return all;
}

std::optional<int> child_process::wait_exit(int timeout_ms) {
  if (status_) return status_;
  if (pid_ <= 0) return std::nullopt;
  const auto deadline = clock_type::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    int st = 0;
    const pid_t r = waitpid(pid_, &st, WNOHANG);
    if (r == pid_) {
      status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 1000 + WTERMSIG(st);
      return status_;
    }
    if (ms_left(deadline) == 0) return std::nullopt;
    pump(10);  // keep the pipes drained so the child can finish writing
    if (out_eof_ && err_fd_ < 0) usleep(2000);
  }
}

std::string child_process::stderr_text() {
  pump(0);
  return err_buf_;
}

}  // namespace test_support
