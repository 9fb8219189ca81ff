#include "host/ini_file.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>

#include "platform/text.h"

namespace kv_share {

namespace {

// Command and settings lines are read in pieces of at most 1023 bytes.
constexpr std::size_t line_piece_bytes = 1023;

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::string trimmed(const std::string& text) {
  std::size_t b = 0, e = text.size();
  while (b < e && is_blank(text[b])) ++b;
  while (e > b && is_blank(text[e - 1])) --e;
  return text.substr(b, e - b);
}

struct file_closer {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

// A folder opens for reading on Linux but holds no lines: refuse it like a missing file.
file_ptr open_for_reading(const std::string& path) {
  if (path.empty()) return nullptr;
  file_ptr f(std::fopen(path.c_str(), "r"));
  if (!f) return nullptr;
  struct stat st {};
  if (fstat(fileno(f.get()), &st) != 0 || S_ISDIR(st.st_mode)) return nullptr;
  return f;
}

}  // namespace

void i_ini_file::set_value(const std::string& section, const std::string& key, const std::string& value) {
  ini_section* found = nullptr;
  for (auto& s : sections)
    if (s.name == section) {
      found = &s;
      break;
    }
  if (!found) {
    sections.push_back(ini_section{section, {}});
    found = &sections.back();
  }
  for (auto& e : found->entries)
    if (e.key == key) {
      e.value = value;
      return;
    }
  found->entries.push_back(ini_entry{key, value});
}

const ini_entry* i_ini_file::find_value(const std::string& section, const std::string& key) const {
  if (section.empty() || key.empty()) return nullptr;
  for (const auto& s : sections) {
    if (s.name != section) continue;
    for (const auto& e : s.entries)
      if (e.key == key) return &e;
    return nullptr;
  }
  return nullptr;
}

ini_file::ini_file(const std::string& file_path) { load(file_path); }

ini_file::~ini_file() { save(""); }

int ini_file::load(const std::string& file_path) {
  path = file_path;
  reset();
  file_ptr f = open_for_reading(path);
  if (!f) return 0;

  std::string piece;
  std::string current;  // name of the current section; empty: none yet
  while (read_text_piece(f.get(), line_piece_bytes, piece)) {
    const std::string line = trimmed(piece);
    if (line.empty()) continue;

    const auto open = line.find('[');
    const auto close = line.find(']');
    if (open != std::string::npos && close != std::string::npos && close > open + 1) {
      current = line.substr(open + 1, close - open - 1);
      bool known = false;
      for (const auto& s : sections) known = known || s.name == current;
      if (!known) sections.push_back(ini_section{current, {}});
      continue;
    }
    if (current.empty()) continue;  // key lines before the first header are ignored
    const auto eq = line.find('=');
    if (eq == std::string::npos || eq == 0) continue;
    set_value(current, line.substr(0, eq), line.substr(eq + 1));
  }
  return 1;
}

int ini_file::save(const std::string& file_path) {
  const std::string& target = file_path.empty() ? path : file_path;
  if (target.empty()) return 0;
  file_ptr f(std::fopen(target.c_str(), "w"));
  if (!f) return 0;
  for (std::size_t i = 0; i < sections.size(); ++i) {
    const ini_section& s = sections[i];
    if (i > 0) std::fputc('\n', f.get());
    std::fprintf(f.get(), "[%s]\n", s.name.c_str());
    for (std::size_t j = 0; j < s.entries.size(); ++j) {
      std::fprintf(f.get(), "%s=%s", s.entries[j].key.c_str(), s.entries[j].value.c_str());
      const bool very_last = i + 1 == sections.size() && j + 1 == s.entries.size();
      if (!very_last) std::fputc('\n', f.get());
    }
  }
  // A full disk shows only when the buffered bytes are written out.
  return std::fclose(f.release()) == 0 ? 1 : 0;
}

}  // namespace kv_share
