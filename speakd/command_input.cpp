#include "speakd/command_input.h"

#include <iconv.h>

#include <cerrno>

namespace {

constexpr std::string_view replacement_character = "\xEF\xBF\xBD";

// Length of the valid UTF-8 sequence at the start of s, or 0 when it is broken
// (overlong forms, surrogates and values above U+10FFFF are broken too).
std::size_t utf8_sequence_length(std::string_view s) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char b0 = byte(0);
  if (b0 < 0x80) return 1;
  std::size_t len = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (s.size() < len) return 0;
  if (byte(1) < lo || byte(1) > hi) return 0;
  for (std::size_t i = 2; i < len; ++i)
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  return len;
}

std::string clean_utf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const std::size_t len = utf8_sequence_length(text);
    if (len == 0) {
      out += replacement_character;
      text.remove_prefix(1);
    } else {
      out.append(text.substr(0, len));
      text.remove_prefix(len);
    }
  }
  return out;
}

bool is_utf8_or_ascii(const std::string& codeset) {
  return codeset.empty() || codeset == "UTF-8" || codeset == "utf-8" || codeset == "utf8" ||
         codeset == "ANSI_X3.4-1968" || codeset == "ASCII" || codeset == "US-ASCII";
}

std::string convert_with_iconv(std::string_view text, const std::string& codeset, bool& ok) {
  ok = false;
  iconv_t cd = iconv_open("UTF-8", codeset.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string out;
  char buffer[1024];
  char* in = const_cast<char*>(text.data());
  std::size_t in_left = text.size();
  while (in_left > 0) {
    char* dst = buffer;
    std::size_t dst_left = sizeof buffer;
    const std::size_t r = iconv(cd, &in, &in_left, &dst, &dst_left);
    out.append(buffer, sizeof buffer - dst_left);
    if (r != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // A byte that does not decode (or a sequence cut off at the end): mark and skip it.
    out += replacement_character;
    ++in;
    --in_left;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(cd);
  ok = true;
  return out;
}

}  // namespace

std::optional<std::string> read_piece(std::FILE* in, std::size_t max_bytes) {
  std::string piece;
  if (max_bytes == 0) return std::nullopt;
  for (;;) {
    int c = std::getc(in);
    if (c == EOF) break;
    if (c == '\r') {  // text mode: CR LF reads as LF
      const int next = std::getc(in);
      if (next == '\n')
        c = '\n';
      else if (next != EOF)
        std::ungetc(next, in);
    }
    piece.push_back(static_cast<char>(c));
    if (c == '\n' || piece.size() >= max_bytes) break;
  }
  if (piece.empty()) return std::nullopt;
  return piece;
}

command parse_command(std::string_view piece) {
  const std::size_t nul = piece.find('\0');
  if (nul != std::string_view::npos) piece = piece.substr(0, nul);
  command result;
  if (piece.starts_with("exit")) {
    result.kind = command_kind::exit;
  } else if (piece.starts_with("speak")) {
    result.kind = command_kind::speak;
    result.text = std::string(piece.substr(5));
  } else if (piece.starts_with("pause")) {
    result.kind = command_kind::pause;
  } else if (piece.starts_with("resume")) {
    result.kind = command_kind::resume;
  } else if (piece.starts_with("stop")) {
    result.kind = command_kind::stop;
  }
  return result;
}

std::string text_to_utf8(std::string_view text, const std::string& codeset) {
  if (!is_utf8_or_ascii(codeset)) {
    bool ok = false;
    std::string converted = convert_with_iconv(text, codeset, ok);
    if (ok) return converted;
  }
  return clean_utf8(text);
}
