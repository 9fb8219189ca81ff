#include "commands/file_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

bool write_all(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// A plain in-place write, for links (replacing the link by a file would
// break whatever the link's owner relies on).
bool write_in_place(const std::string& path, const std::string& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  const bool ok = write_all(fd, bytes);
  return (::close(fd) == 0) && ok;
}

mode_t process_umask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

}  // namespace

bool write_whole_file(const std::string& path, const std::string& bytes) {
  if (path.empty() || path.back() == '/') return false;

  struct stat existing {};
  const bool exists = ::lstat(path.c_str(), &existing) == 0;
  if (exists) {
    if (S_ISLNK(existing.st_mode)) return write_in_place(path, bytes);
    if (S_ISDIR(existing.st_mode)) return false;
    // Opening a read-only file for writing fails; moving a new one over it
    // would not, so ask first.
    if (::access(path.c_str(), W_OK) != 0) return false;
  }

  const auto slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  // A short fixed stem: a scratch name built from a long file name could
  // exceed the name limit that the file name itself meets.
  std::string scratch = folder + ".markd-XXXXXX";
  const int fd = ::mkstemp(scratch.data());
  // A folder that takes no new file may still hold a writable file of that
  // name: write it in place then, as a plain open for writing would.
  if (fd < 0) return exists && write_in_place(path, bytes);

  bool ok = ::fchmod(fd, 0666 & ~process_umask()) == 0;
  ok = ok && write_all(fd, bytes);
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(scratch.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(scratch.c_str());
  return ok;
}
