#include "devprobe/bounded_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::optional<std::string> read_regular_file_prefix(const std::string& path, std::size_t max_bytes) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return std::nullopt;
  }
  std::string text(max_bytes, '\0');
  std::size_t got = 0;
  while (got < text.size()) {
    const ssize_t n = read(fd, text.data() + got, text.size() - got);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  close(fd);
  text.resize(got);
  return text;
}
