#include "platform/text.h"

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::string collapse_one(std::string_view path, char sep) {
  std::string out;
  out.reserve(path.size());
  bool dropped_last = false;
  for (char c : path) {
    // A separator that directly follows a copied separator is dropped; the
    // character after a dropped one is copied again, so pairs collapse.
    if (c == sep && !out.empty() && out.back() == sep && !dropped_last) {
      dropped_last = true;
      continue;
    }
    dropped_last = false;
    out += c;
  }
  return out;
}

}  // namespace

std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string fold_word(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && is_blank(text[b])) ++b;
  while (e > b && is_blank(text[e - 1])) --e;
  return ascii_lower(text.substr(b, e - b));
}

bool same_word(std::string_view a, std::string_view b) { return fold_word(a) == fold_word(b); }

std::string collapse_separators(std::string_view path) {
  return collapse_one(collapse_one(path, '\\'), '/');
}

bool read_text_piece(std::FILE* in, std::size_t max_bytes, std::string& piece) {
  piece.clear();
  bool got_any = false;
  while (piece.size() < max_bytes) {
    int c = std::getc(in);
    if (c == EOF) break;
    got_any = true;
    if (c == '\r') {
      const int next = std::getc(in);
      if (next == '\n') {
        c = '\n';
      } else if (next != EOF) {
        std::ungetc(next, in);
      }
    }
    piece += static_cast<char>(c);
    if (c == '\n') break;
  }
  const auto nul = piece.find('\0');
  if (nul != std::string::npos) piece.resize(nul);
  return got_any;
}
