#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "host/protocol.h"
#include "platform/text.h"

namespace {

TEST(split_fields, splits_at_every_separator_and_keeps_empty_fields) {
  struct row {
    const char* text;
    const char* sep;
    arg_list fields;
  };
  const row rows[] = {
      {"a;b", ";", {"a", "b"}},
      {"a;;b;", ";", {"a", "", "b", ""}},
      {";", ";", {"", ""}},
      {"", ";", {}},
      {"abc", "", {"abc"}},
      {"recognize;a;b;", ";", {"recognize", "a", "b", ""}},
      {"readtemplate; /p", ";", {"readtemplate", " /p"}},
      {"x::y", "::", {"x", "y"}},
  };
  for (const row& r : rows) EXPECT_EQ(split_fields(r.text, r.sep), r.fields) << "text '" << r.text << "'";
}

TEST(same_word, ignores_ascii_case_and_surrounding_blanks) {
  EXPECT_TRUE(same_word("exit", "EXIT"));
  EXPECT_TRUE(same_word("readtemplate", "  ReadTemplate\t"));
  EXPECT_TRUE(same_word("exit", "exit\r"));
  EXPECT_FALSE(same_word("exit", "ex it"));
  EXPECT_FALSE(same_word("exit", "exits"));
  EXPECT_TRUE(same_word("", "   "));
}

TEST(collapse_separators, pairs_of_separators_collapse) {
  struct row {
    const char* in;
    const char* out;
  };
  const row rows[] = {
      {"a\\\\b", "a\\b"},           {"a\\\\\\b", "a\\\\b"},  {"a\\\\\\\\b", "a\\\\b"}, {"a//b", "a/b"},
      {"/opt//markd///config.txt", "/opt/markd//config.txt"}, {"\\\\share\\x", "\\share\\x"},
      {"plain/path", "plain/path"}, {"", ""},
  };
  for (const row& r : rows) EXPECT_EQ(collapse_separators(r.in), r.out) << "path '" << r.in << "'";
}

TEST(format_reply, cuts_long_text_at_the_buffer_size) {
  EXPECT_EQ(format_reply(255, "readComplete;%d", 1), "readComplete;1");
  const std::string long_name(400, 'n');
  EXPECT_EQ(format_reply(255, "%s", long_name.c_str()).size(), 254u);
  EXPECT_EQ(format_reply(1, "%s", "x"), "");
}

std::string pieces_of(const std::string& bytes, std::size_t max) {
  std::FILE* f = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "r");
  std::string all, piece;
  while (read_text_piece(f, max, piece)) all += "[" + piece + "]";
  std::fclose(f);
  return all;
}

TEST(read_text_piece, reads_lines_in_pieces_like_a_text_mode_line_read) {
  EXPECT_EQ(pieces_of("ab\ncd\n", 1023), "[ab\n][cd\n]");
  EXPECT_EQ(pieces_of("ab\r\ncd", 1023), "[ab\n][cd]");
  EXPECT_EQ(pieces_of("a\rb\n", 1023), "[a\rb\n]");
  EXPECT_EQ(pieces_of("abcdef\n", 4), "[abcd][ef\n]");
  EXPECT_EQ(pieces_of("", 1023), "");
}

TEST(read_text_piece, a_nul_byte_ends_the_piece_as_a_c_string_would) {
  const std::string bytes("ab\0cd\nxy\n", 9);
  EXPECT_EQ(pieces_of(bytes, 1023), "[ab][xy\n]");
}

}  // namespace
