#include "commands/command_fields.h"

#include <gtest/gtest.h>

namespace {

TEST(leading_int, reads_like_the_c_library) {
  struct row {
    const char* field;
    std::int32_t value;
  };
  const row rows[] = {{"300", 300},       {"  -42x", -42},   {"+7", 7},     {"abc", 0},         {"", 0},
                      {"\t\n 12 3", 12},  {"- 5", 0},        {"0050", 50},  {"99999999999", 2147483647},
                      {"-99999999999", -2147483647 - 1},      {"2147483647", 2147483647}, {"7x", 7}};
  for (const row& r : rows) EXPECT_EQ(leading_int(r.field), r.value) << '"' << r.field << '"';
}

TEST(recognize_base_path, drops_the_last_four_characters_of_a_long_enough_name) {
  struct row {
    const char *path, *base;
  };
  const row rows[] = {
      {"/scans/s01.jpg", "/scans/s01"},
      {"photo.jpeg", "photo."},          // only four characters go
      {"a.jpg", "a"},
      {"scan", "scan"},                  // nothing would be left of the name
      {"ab", "ab"},
      {"", ""},
      {"d/x", "d/x"},                    // never into the folder
      {"dir/.jpg", "dir/.jpg"},
      {"/out/clip.jpg", "/out/clip"},
      {"/s/\xD1\x84\xD0\xBE\xD1\x82\xD0\xBE.\xD0\xB6\xD0\xBF\xD0\xB3", "/s/\xD1\x84\xD0\xBE\xD1\x82\xD0\xBE"},
  };
  for (const row& r : rows) EXPECT_EQ(recognize_base_path(r.path), r.base) << r.path;
}

TEST(progress_line, has_the_form_and_never_exceeds_the_reply_buffer) {
  EXPECT_EQ(progress_line(1, 3, "a.jpg", 1234), "1/3[a.jpg] timecost=1234ms");
  const std::string long_name(400, 'n');
  const std::string line = progress_line(12, 345, long_name, 99);
  EXPECT_EQ(line.size(), reply_line_limit);
  EXPECT_EQ(line.substr(0, 7), "12/345[");
  EXPECT_EQ(line.substr(line.size() - 15), "] timecost=99ms");
  // Cut at a character boundary.
  std::string wide;
  for (int i = 0; i < 200; ++i) wide += "\xC3\xA9";
  const std::string w = progress_line(1, 1, wide, 5);
  EXPECT_LE(w.size(), reply_line_limit);
  const std::string inner = w.substr(4, w.size() - 4 - std::string("] timecost=5ms").size());
  EXPECT_EQ(inner.size() % 2, 0u);
  EXPECT_EQ(inner, wide.substr(0, inner.size()));
}

}  // namespace
