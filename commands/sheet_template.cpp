// Template file reading and writing. The reader reproduces the C library's
// line read (fgets into 100 bytes: pieces of at most 99 bytes, each ending
// after a line feed) on a text-mode stream (CR directly before LF dropped),
// and its formatted scan (sscanf) with two sound changes: numbers that do not
// fit 32 bits saturate instead of being undefined, and names are cut to 39
// bytes instead of overflowing their field, with the scan going on after the
// whole name.
#include "commands/sheet_template.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <limits>
#include <memory>
#include <string_view>

#include "commands/file_output.h"

namespace {

constexpr std::size_t template_piece_bytes = 99;

// One fgets-sized piece at a time from any character source (a FILE or a
// string), CR LF read as LF.
template <class next_char>
class piece_reader {
 public:
  explicit piece_reader(next_char next) : next_(next) {}

  bool read(std::string& piece) {
    piece.clear();
    while (piece.size() < template_piece_bytes) {
      int c = take();
      if (c == EOF) break;
      if (c == '\r') {
        const int after = take();
        if (after == '\n') {
          c = '\n';
        } else if (after != EOF) {
          held_ = after;
        }
      }
      piece.push_back(static_cast<char>(c));
      if (c == '\n') break;
    }
    return !piece.empty();
  }

 private:
  int take() {
    if (held_ != EOF) {
      const int c = held_;
      held_ = EOF;
      return c;
    }
    return next_();
  }

  next_char next_;
  int held_ = EOF;
};

// The formatted-input scan over one piece. The scan ends at the first
// directive that fails; what was stored before stays.
class line_scanner {
 public:
  // The scanner sees the piece as a C string: a NUL byte ends it.
  explicit line_scanner(std::string_view piece) : text_(piece.substr(0, piece.find('\0'))) {}

  bool literal(std::string_view expected) {
    for (const char c : expected) {
      if (!ok_ || pos_ >= text_.size() || text_[pos_] != c) return ok_ = false;
      ++pos_;
    }
    return ok_;
  }

  // "%d": white space skipped, optional sign, at least one digit.
  bool integer(std::int32_t& out) {
    if (!ok_) return false;
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    bool negative = false;
    if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) negative = text_[pos_++] == '-';
    const std::size_t digits_start = pos_;
    std::int64_t magnitude = 0;
    constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
      if (magnitude <= limit) magnitude = magnitude * 10 + (text_[pos_] - '0');
      ++pos_;
    }
    if (pos_ == digits_start) return ok_ = false;
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) {
      out = std::numeric_limits<std::int32_t>::max();
    } else if (value < std::numeric_limits<std::int32_t>::min()) {
      out = std::numeric_limits<std::int32_t>::min();
    } else {
      out = static_cast<std::int32_t>(value);
    }
    return true;
  }

  // "%[^stop]": one or more characters up to stop, no white space skipped.
  bool run_until(char stop, std::string& out) {
    if (!ok_) return false;
    const std::size_t end = std::min(text_.find(stop, pos_), text_.size());
    if (end == pos_) return ok_ = false;
    out.assign(text_.substr(pos_, end - pos_));
    pos_ = end;
    return true;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

// Largest cut of at most max_bytes that does not split a UTF-8 sequence.
void cut_name(std::string& name) {
  if (name.size() <= max_box_name_bytes) return;
  std::size_t cut = max_box_name_bytes;
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
  name.resize(cut);
}

void scan_header(std::string_view piece, sheet_template& result) {
  line_scanner scan(piece);
  scan.literal("width=") && scan.integer(result.width) && scan.literal(";height=") && scan.integer(result.height);
}

template_box scan_box(std::string_view piece, name_split split) {
  template_box box;
  line_scanner scan(piece);
  scan.run_until('=', box.name) && scan.literal("=") && scan.integer(box.value) && scan.literal("[") &&
      scan.integer(box.center_x) && scan.literal(",") && scan.integer(box.center_y) && scan.literal(",") &&
      scan.integer(box.half_width) && scan.literal(",") && scan.integer(box.half_height) && scan.literal("]");
  cut_name(box.name);
  split_box_name(box, split);
  return box;
}

template <class next_char>
sheet_template parse_pieces(piece_reader<next_char>& reader, name_split split) {
  sheet_template result;
  std::string piece;
  if (!reader.read(piece)) return result;
  // The first line is always the header, whatever it holds.
  scan_header(piece, result);
  while (reader.read(piece)) result.boxes.push_back(scan_box(piece, split));
  return result;
}

struct file_closer {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

void split_box_name(template_box& box, name_split split) {
  const auto dot = box.name.find('.');
  if (split == name_split::none || dot == std::string::npos) {
    box.name_head.clear();
    box.name_tail = box.name;
    return;
  }
  box.name_head = box.name.substr(0, dot);
  box.name_tail = box.name.substr(dot + 1);
}

sheet_template& current_template() {
  static sheet_template the_template;
  return the_template;
}

sheet_template parse_template(const std::string& text, name_split split) {
  std::size_t at = 0;
  auto next = [&text, &at]() -> int {
    return at < text.size() ? static_cast<unsigned char>(text[at++]) : EOF;
  };
  piece_reader<decltype(next)> reader(next);
  return parse_pieces(reader, split);
}

int read_template(const std::string& path, name_split split) {
  if (path.empty()) return 0;
  // Only regular files: a folder opens for reading here but is no file, a
  // pipe could block the command loop and a device could stream without end.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return 0;
  std::unique_ptr<std::FILE, file_closer> file(std::fopen(path.c_str(), "rb"));
  if (!file) return 0;

  std::FILE* raw = file.get();
  auto next = [raw]() -> int { return std::getc(raw); };
  piece_reader<decltype(next)> reader(next);
  current_template() = parse_pieces(reader, split);
  return current_template().boxes.empty() ? 0 : 1;
}

int sheet_template::write_template(const std::string& path, template_output output) const {
  std::string text = "width=" + std::to_string(width) + ";height=" + std::to_string(height) + "\n";
  auto append_box = [&text](const template_box& box) {
    text += box.name;
    text += '=' + std::to_string(box.value) + '[' + std::to_string(box.center_x) + ',' +
            std::to_string(box.center_y) + ',' + std::to_string(box.half_width) + ',' +
            std::to_string(box.half_height) + "]\n";
  };
  if (output == template_output::box_list) {
    for (const auto& box : boxes) append_box(box);
  } else {
    for (const auto& group : groups) {
      for (const auto& box : group.results) append_box(box);
    }
  }
  return write_whole_file(path, text) ? 1 : 0;
}
