#include "sheetdesk/desk_template.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "sheetdesk/line_votes.h"

namespace sheetdesk {

namespace {

// "%d" of the formatted scanner: white space skipped, optional sign, at least
// one digit. A number past the int range is clamped instead of wrapping.
bool scan_int(const char*& p, const char* end, int& out) {
  const char* q = p;
  while (q < end && std::isspace(static_cast<unsigned char>(*q))) ++q;
  bool negative = false;
  if (q < end && (*q == '+' || *q == '-')) negative = *q++ == '-';
  if (q == end || !std::isdigit(static_cast<unsigned char>(*q))) return false;
  long long v = 0;
  for (; q < end && std::isdigit(static_cast<unsigned char>(*q)); ++q) {
    if (v <= static_cast<long long>(INT_MAX) + 1) v = v * 10 + (*q - '0');
  }
  if (negative) v = -v;
  out = static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
  p = q;
  return true;
}

bool expect(const char*& p, const char* end, char c) {
  if (p == end || *p != c) return false;
  ++p;
  return true;
}

// Cut to at most max_name_bytes without splitting a UTF-8 character.
std::string clip_name(std::string_view name) {
  if (name.size() <= max_name_bytes) return std::string(name);
  std::size_t cut = max_name_bytes;
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
  return std::string(name.substr(0, cut));
}

// One piece as the text-mode line reader gives it: CR LF read as LF, at most
// template_piece_chars characters, ending after a line feed. False at the end of the file.
bool read_piece(std::FILE* file, std::string& piece) {
  piece.clear();
  while (piece.size() < template_piece_chars) {
    int c = std::getc(file);
    if (c == EOF) break;
    if (c == '\r') {
      const int next = std::getc(file);
      if (next == '\n')
        c = '\n';
      else if (next != EOF)
        std::ungetc(next, file);
    }
    piece.push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  return !piece.empty();
}

struct file_closer {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using file_handle = std::unique_ptr<std::FILE, file_closer>;

}  // namespace

desk_box parse_desk_line(std::string_view piece) {
  desk_box box;
  // The scanner sees a C string: it ends at a NUL byte and at the line end.
  piece = piece.substr(0, piece.find('\0'));
  if (!piece.empty() && piece.back() == '\n') piece.remove_suffix(1);

  const std::size_t equals = piece.find('=');
  if (equals == 0) return box;  // "%[^=]" needs one character
  box.name = clip_name(piece.substr(0, equals));
  if (equals == std::string_view::npos) return box;

  const char* p = piece.data() + equals;
  const char* end = piece.data() + piece.size();
  // Each field is stored as soon as it scans; the first mismatch ends the scan.
  if (!expect(p, end, '=') || !scan_int(p, end, box.value)) return box;
  if (!expect(p, end, '[') || !scan_int(p, end, box.left)) return box;
  if (!expect(p, end, ',') || !scan_int(p, end, box.top)) return box;
  if (!expect(p, end, ',') || !scan_int(p, end, box.width)) return box;
  if (!expect(p, end, ',') || !scan_int(p, end, box.height)) return box;
  return box;
}

std::vector<desk_box> read_desk_template(const std::string& path) {
  std::vector<desk_box> boxes;
  file_handle file(std::fopen(path.c_str(), "rb"));
  if (!file) return boxes;
  std::string piece;
  while (static_cast<int>(boxes.size()) < max_desk_boxes && read_piece(file.get(), piece))
    boxes.push_back(parse_desk_line(piece));
  return boxes;
}

int box_mark(const platform::bitmap& aligned, const desk_box& box) {
  if (box.width <= 0 || box.height <= 0) return 0;
  const std::int64_t area = static_cast<std::int64_t>(box.width) * box.height;
  std::int64_t dark = 0;
  if (aligned.has_image()) {
    const std::int64_t x0 = std::max<std::int64_t>(box.left, 0);
    const std::int64_t y0 = std::max<std::int64_t>(box.top, 0);
    const std::int64_t x1 = std::min<std::int64_t>(static_cast<std::int64_t>(box.left) + box.width, aligned.width());
    const std::int64_t y1 = std::min<std::int64_t>(static_cast<std::int64_t>(box.top) + box.height, aligned.height());
    for (std::int64_t y = y0; y < y1; ++y) {
      const std::uint8_t* row = aligned.row(static_cast<int>(y));
      for (std::int64_t x = x0; x < x1; ++x)
        if (is_dark_pixel(row + x * platform::bytes_per_pixel)) ++dark;
    }
  }
  // Single precision on purpose: float 0.4 lies just above double 0.4, so a
  // box exactly 40 % dark is marked.
  const float share = static_cast<float>(static_cast<double>(dark) / static_cast<double>(area));
  return share > 0.4 ? 1 : 0;
}

std::string result_line(const desk_box& box, int mark) {
  std::string line = box.name;
  line += '=';
  line += std::to_string(mark);
  line += '[';
  line += std::to_string(box.left);
  line += ',';
  line += std::to_string(box.top);
  line += ',';
  line += std::to_string(box.width);
  line += ',';
  line += std::to_string(box.height);
  line += "]\n";
  return line;
}

std::string result_path_for(const std::string& image_path) {
  if (image_path.empty() || image_path.back() == '/') return {};
  std::string out;
  out.reserve(image_path.size() + 4);
  bool replaced = false;
  for (std::size_t i = 0; i < image_path.size();) {
    if (image_path.compare(i, 3, "jpg") == 0) {
      out += "txt";
      i += 3;
      replaced = true;
    } else {
      out += image_path[i++];
    }
  }
  // Without "jpg" the result would land on the JPEG itself.
  if (!replaced) out += ".txt";
  return out;
}

bool write_desk_result(const platform::bitmap& aligned, const std::string& template_path,
                       const std::string& result_path) {
  if (result_path.empty()) return false;
  const std::vector<desk_box> boxes = read_desk_template(template_path);
  file_handle file(std::fopen(result_path.c_str(), "wb"));
  if (!file) return false;
  bool ok = true;
  for (const desk_box& box : boxes) {
    const std::string line = result_line(box, box_mark(aligned, box));
    ok = std::fwrite(line.data(), 1, line.size(), file.get()) == line.size() && ok;
  }
  const bool closed = std::fclose(file.release()) == 0;
  return ok && closed;
}

}  // namespace sheetdesk
