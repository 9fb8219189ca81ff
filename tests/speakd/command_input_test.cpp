#include "speakd/command_input.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string> pieces_of(const std::string& input, std::size_t max_bytes = max_piece_bytes) {
  std::FILE* f = fmemopen(const_cast<char*>(input.data()), input.size(), "rb");
  std::vector<std::string> out;
  if (!f) return out;
  while (auto p = read_piece(f, max_bytes)) out.push_back(*p);
  std::fclose(f);
  return out;
}

TEST(speakd_read_piece, splits_lines_keeping_the_line_feed_and_dropping_cr_before_it) {
  struct row {
    std::string input;
    std::vector<std::string> pieces;
  };
  const row rows[] = {
      {"", {}},
      {"speak hi\n", {"speak hi\n"}},
      {"a\nb\n", {"a\n", "b\n"}},
      {"last line without feed", {"last line without feed"}},
      {"crlf\r\nnext\r\n", {"crlf\n", "next\n"}},
      {"lone\rcr\n", {"lone\rcr\n"}},
      {"cr at end\r", {"cr at end\r"}},
      {"\n\n", {"\n", "\n"}},
      {std::string("nul\0inside\n", 11), {std::string("nul\0inside\n", 11)}},
  };
  for (const row& r : rows) EXPECT_EQ(pieces_of(r.input), r.pieces) << "input: " << r.input;
}

TEST(speakd_read_piece, a_long_line_arrives_in_pieces_of_the_limit) {
  EXPECT_EQ(pieces_of("abcdefgh\n", 3), (std::vector<std::string>{"abc", "def", "gh\n"}));
  EXPECT_EQ(pieces_of("abc\n", 3), (std::vector<std::string>{"abc", "\n"}));
  // The limit counts after CR LF became LF, as text mode reading did.
  EXPECT_EQ(pieces_of("ab\r\ncd", 3), (std::vector<std::string>{"ab\n", "cd"}));

  const std::string line = "speak " + std::string(40000, 'w') + "\n";
  const auto pieces = pieces_of(line);
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0].size(), 30719u);
  EXPECT_EQ(pieces[0] + pieces[1], line);
}

TEST(speakd_parse_command, matches_lower_case_words_at_the_start_only_in_table_order) {
  struct row {
    std::string piece;
    command_kind kind;
    std::string text;
  };
  const row rows[] = {
      {"exit\n", command_kind::exit, ""},
      {"exit", command_kind::exit, ""},
      {"speak hello\n", command_kind::speak, " hello\n"},
      {"speak\n", command_kind::speak, "\n"},
      {"speak", command_kind::speak, ""},
      {"speakhello", command_kind::speak, "hello"},
      {"speak exit\n", command_kind::speak, " exit\n"},
      {"pause\n", command_kind::pause, ""},
      {"resume\n", command_kind::resume, ""},
      {"stop\n", command_kind::stop, ""},
      {" speak hi\n", command_kind::none, ""},
      {"Speak hi\n", command_kind::none, ""},
      {"SPEAK hi\n", command_kind::none, ""},
      {"Exit\n", command_kind::none, ""},
      {" exit\n", command_kind::none, ""},
      {"\texit\n", command_kind::none, ""},
      {"spea\n", command_kind::none, ""},
      {"\n", command_kind::none, ""},
      {"", command_kind::none, ""},
      {"please speak\n", command_kind::none, ""},
      {std::string("speak a\0b\n", 10), command_kind::speak, " a"},
      {std::string("\0exit\n", 6), command_kind::none, ""},
  };
  for (const row& r : rows) {
    const command c = parse_command(r.piece);
    EXPECT_EQ(c.kind, r.kind) << "piece: " << r.piece;
    EXPECT_EQ(c.text, r.text) << "piece: " << r.piece;
  }
}

TEST(speakd_text_to_utf8, passes_valid_text_and_marks_broken_bytes) {
  const std::string fffd = "\xEF\xBF\xBD";
  struct row {
    std::string in;
    std::string out;
  };
  const row rows[] = {
      {"", ""},
      {" hello\n", " hello\n"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"\xFF", fffd},
      {"a\xC3", "a" + fffd},                            // cut off at the end
      {"\xC3(", fffd + "("},                             // bad continuation
      {"\xC0\xAF", fffd + fffd},                         // overlong
      {"\xED\xA0\x80", fffd + fffd + fffd},              // surrogate
      {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},   // above U+10FFFF
      {"\x80\x80 x", fffd + fffd + " x"},
  };
  for (const char* codeset : {"UTF-8", "ANSI_X3.4-1968"})
    for (const row& r : rows) EXPECT_EQ(text_to_utf8(r.in, codeset), r.out) << codeset << " input: " << r.in;
}

TEST(speakd_text_to_utf8, converts_from_a_single_byte_locale) {
  EXPECT_EQ(text_to_utf8("caf\xE9\n", "ISO-8859-1"), "caf\xC3\xA9\n");
  EXPECT_EQ(text_to_utf8("\x80", "CP1252"), "\xE2\x82\xAC");
  // A character set iconv does not know: treated as UTF-8.
  EXPECT_EQ(text_to_utf8("ok \xFF", "NO-SUCH-CHARSET"), "ok \xEF\xBF\xBD");
}

}  // namespace
