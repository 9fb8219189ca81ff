// Small text helpers shared by the programs. Text is UTF-8 inside; case
// folding and white space are ASCII, as only ASCII command words occur.
#pragma once

#include <string>
#include <string_view>

// Lower-cased (A-Z only) and stripped of leading and trailing white space.
std::string fold_word(std::string_view text);
// Trimmed case-insensitive word comparison: "ReadTemplate " equals "readtemplate".
bool same_word(std::string_view a, std::string_view b);
// A '\' right after a copied '\' is dropped, the character after a dropped one
// copied again (pairs collapse: "\\\\" -> "\\", "\\\\\\" -> "\\\\"); then the same for '/'.
std::string collapse_separators(std::string_view path);
// ASCII lower case.
std::string ascii_lower(std::string_view text);

#include <cstddef>
#include <cstdio>

// Reads one piece of a text line the way the C library's line read does in
// text mode: at most max_bytes bytes, stopping after a line feed; a CR directly
// before a line feed is dropped (CR LF arrives as LF). The piece ends at its
// first NUL byte, as a C string would. False at end of input with nothing read.
bool read_text_piece(std::FILE* in, std::size_t max_bytes, std::string& piece);
