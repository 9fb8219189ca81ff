#include "platform/image_codec.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/codec_internal.h"

namespace platform {

namespace {

// Files above this size are not images this suite reads (a 100-megapixel
// uncompressed BMP is 300 MB); refusing them keeps memory bounded.
constexpr std::int64_t max_file_bytes = std::int64_t{1} << 30;

enum class file_format { unknown, jpeg, png, tiff, bmp };

file_format sniff(const std::uint8_t* b, std::size_t n) {
  if (n >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return file_format::jpeg;
  if (n >= 8 && std::memcmp(b, "\x89PNG\r\n\x1a\n", 8) == 0) return file_format::png;
  if (n >= 4 && (std::memcmp(b, "II*\0", 4) == 0 || std::memcmp(b, "MM\0*", 4) == 0)) return file_format::tiff;
  if (n >= 4 && (std::memcmp(b, "II+\0", 4) == 0 || std::memcmp(b, "MM\0+", 4) == 0)) return file_format::tiff;
  if (n >= 2 && b[0] == 'B' && b[1] == 'M') return file_format::bmp;
  return file_format::unknown;
}

bool write_whole_file(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool closed = std::fclose(f) == 0;
  if (!(written && closed)) std::remove(path.c_str());
  return written && closed;
}

}  // namespace

bitmap decode_image(const std::uint8_t* bytes, std::size_t size) {
  bitmap out;
  if (!bytes || size == 0) {
    out.set_status(image_status::unknown_image_format);
    return out;
  }
  switch (sniff(bytes, size)) {
    case file_format::jpeg:
      codec::decode_jpeg(bytes, size, out);
      break;
    case file_format::png:
      codec::decode_png(bytes, size, out);
      break;
    case file_format::tiff:
      codec::decode_tiff(bytes, size, out);
      break;
    case file_format::bmp:
      codec::decode_bmp(bytes, size, out);
      break;
    case file_format::unknown:
      out.set_status(image_status::unknown_image_format);
      break;
  }
  return out;
}

bitmap load_image_file(const std::string& path) {
  bitmap out;
  const int fd = path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    out.set_status(errno == EACCES ? image_status::access_denied : image_status::file_not_found);
    return out;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    out.set_status(image_status::file_not_found);
    return out;
  }
  if (info.st_size <= 0 || info.st_size > max_file_bytes) {
    ::close(fd);
    out.set_status(info.st_size <= 0 ? image_status::unknown_image_format : image_status::out_of_memory);
    return out;
  }
  const auto size = static_cast<std::size_t>(info.st_size);
  // Mapped, not read: the decoder reads the file's pages once, with no copy.
  void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  ::close(fd);
  if (mapped == MAP_FAILED) {
    out.set_status(image_status::access_denied);
    return out;
  }
  out = decode_image(static_cast<const std::uint8_t*>(mapped), size);
  ::munmap(mapped, size);
  return out;
}

bool encode_jpeg(const bitmap& image, int quality, std::vector<std::uint8_t>& out) {
  return codec::encode_jpeg(image, quality, out);
}

bool save_jpeg_file(const bitmap& image, const std::string& path, int quality) {
  std::vector<std::uint8_t> bytes;
  return encode_jpeg(image, quality, bytes) && write_whole_file(path, bytes);
}

bool encode_png(const bitmap& image, std::vector<std::uint8_t>& out) { return codec::encode_png(image, out); }

bool save_png_file(const bitmap& image, const std::string& path) {
  std::vector<std::uint8_t> bytes;
  return encode_png(image, bytes) && write_whole_file(path, bytes);
}

bool encode_bmp(const bitmap& image, std::vector<std::uint8_t>& out) { return codec::encode_bmp(image, out); }

bool save_bmp_file(const bitmap& image, const std::string& path) {
  std::vector<std::uint8_t> bytes;
  return encode_bmp(image, bytes) && write_whole_file(path, bytes);
}

}  // namespace platform
