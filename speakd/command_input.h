// The speech helper's input side: reading line pieces from standard input,
// recognising the command words, and turning the text to speak into UTF-8.
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

// A line is read with its line feed, at most this many bytes at a time; a
// longer line arrives in pieces, each handled as a line of its own.
constexpr std::size_t max_piece_bytes = 30719;

// The next piece of input (line feed included when it fits), with a CR right
// before the line feed dropped; none at end of input.
std::optional<std::string> read_piece(std::FILE* in, std::size_t max_bytes = max_piece_bytes);

enum class command_kind { none, exit, speak, pause, resume, stop };

struct command {
  command_kind kind = command_kind::none;
  std::string text;  // for speak: everything after the word, blank and line feed included
};

// The command word must stand at the very start of the piece, in lower case;
// the words are tried in the order exit, speak, pause, resume, stop. As in a
// C string, the piece ends at its first NUL byte.
command parse_command(std::string_view piece);

// Text in the given character set (the locale's, as nl_langinfo(CODESET)
// names it) to UTF-8. UTF-8 and plain ASCII pass through; a byte that does not
// decode becomes U+FFFD, so the engine never sees a broken sequence.
std::string text_to_utf8(std::string_view text, const std::string& codeset);
