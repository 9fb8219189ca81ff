// Path functions ('/' separates folders) and wildcard file lists.
#include "raster/paths.h"

#include <dirent.h>
#include <iconv.h>
#include <langinfo.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <numeric>

#include "platform/text.h"

namespace {

std::size_t last_separator(const std::string& path) { return path.rfind('/'); }

// '*' any run of characters, '?' one character (a whole UTF-8 sequence);
// every other byte matches itself with ASCII letters folded.
bool wildcard_match(const std::string& pattern, const std::string& name) {
  auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; };
  auto char_len = [&](std::size_t at) {
    std::size_t n = 1;
    while (at + n < name.size() && (static_cast<unsigned char>(name[at + n]) & 0xC0) == 0x80) ++n;
    return n;
  };
  std::size_t p = 0, n = 0, star = std::string::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() && pattern[p] == '?') {
      ++p;
      n += char_len(n);
    } else if (p < pattern.size() && fold(static_cast<unsigned char>(pattern[p])) ==
                                         fold(static_cast<unsigned char>(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::string::npos) {
      p = star + 1;
      resume += char_len(resume);
      n = resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

struct dir_closer {
  void operator()(DIR* d) const { closedir(d); }
};

}  // namespace

std::string path_file_name(const std::string& path) {
  const std::size_t at = last_separator(path);
  return at == std::string::npos ? path : path.substr(at + 1);
}

std::string path_folder(const std::string& path) {
  const std::size_t at = last_separator(path);
  return at == std::string::npos ? std::string() : path.substr(0, at);
}

std::string path_extension(const std::string& path) {
  const std::string name = path_file_name(path);
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string path_title(const std::string& path) {
  const std::string name = path_file_name(path);
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(0, dot);
}

std::string replace_extension(const std::string& path, const std::string& suffix) {
  const std::string ext = path_extension(path);
  const std::size_t n = path.size() - ext.size() - (ext.empty() ? 0 : 1);
  return path.substr(0, n) + suffix;
}

void list_matching_files(const std::string& pattern, std::vector<std::string>& list) {
  const bool has_folder = last_separator(pattern) != std::string::npos;
  const std::string folder = path_folder(pattern);
  const std::string name_pattern = path_file_name(pattern);
  // "/x*.jpg" searches the root; a pattern without '/' the current folder.
  const std::string search_dir = !has_folder ? std::string(".") : (folder.empty() ? std::string("/") : folder);
  std::unique_ptr<DIR, dir_closer> dir(opendir(search_dir.c_str()));
  if (!dir || name_pattern.empty()) return;

  std::vector<std::string> names;
  while (const dirent* entry = readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == ".." || !wildcard_match(name_pattern, name)) continue;
    struct stat info {};
    // stat follows links: a link to a file is listed, a folder or a link to one is not.
    if (stat((search_dir + "/" + name).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    names.push_back(name);
  }
  // The folder's own order is arbitrary; sorting by name first makes the
  // order of equal titles (a.jpg, A.png) the same on every run.
  std::sort(names.begin(), names.end());
  std::vector<std::string> keys;
  keys.reserve(names.size());
  for (const std::string& name : names) keys.push_back(ascii_lower(path_title(name)));
  std::vector<std::size_t> index(names.size());
  std::iota(index.begin(), index.end(), 0);
  // Byte order of the lower-cased titles; a prefix comes first.
  std::stable_sort(index.begin(), index.end(), [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
  for (std::size_t i : index)
    list.push_back(has_folder ? collapse_separators(folder + "/" + names[i]) : names[i]);
}

std::string to_ansi(const std::string& text) {
  const char* codeset = nl_langinfo(CODESET);
  // UTF-8 locales need no conversion; nor does the plain C locale, which no
  // user chooses as an encoding: its file names are passed on as they are.
  if (!codeset || std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "ANSI_X3.4-1968") == 0) return text;
  iconv_t cd = iconv_open(codeset, "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string();
  std::string out(text.size() * 2 + 4, '\0');
  char* in = const_cast<char*>(text.data());
  std::size_t in_left = text.size();
  char* dst = out.data();
  std::size_t out_left = out.size();
  while (in_left > 0) {
    if (iconv(cd, &in, &in_left, &dst, &out_left) != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG || out_left == 0) break;
    // A character the code page lacks (or broken UTF-8): the default replacement, then the next character.
    *dst++ = '?';
    --out_left;
    do {
      ++in;
      --in_left;
    } while (in_left > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80);
  }
  iconv_close(cd);
  out.resize(out.size() - out_left);
  return out;
}
