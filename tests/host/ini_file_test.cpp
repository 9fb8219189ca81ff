#include "host/ini_file.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace {

using test_support::read_file;
using test_support::temp_dir;
using test_support::write_file;

// An ini_file that does not write itself back, so tests see only what they save.
struct quiet_ini : kv_share::ini_file {
  explicit quiet_ini(const std::string& p) : kv_share::ini_file(p) {}
  ~quiet_ini() override { path.clear(); }
};

std::string value_of(const kv_share::i_ini_file& ini, const std::string& section, const std::string& key) {
  const kv_share::ini_entry* e = ini.find_value(section, key);
  return e ? e->value : "<none>";
}

TEST(ini_file, reads_the_forgiving_line_rules) {
  temp_dir dir;
  const std::string path = dir.file("s.txt");
  write_file(path,
             "top=ignored\n"
             "[output]\n"
             "output_type=1\n"
             "spaced = 2\n"
             "  trimmed=3  \n"
             "[ output ]\n"
             "a=1\n"
             "k=[a]\n"
             "b=2\n"
             "[]\n[abc\n]x[\n=5\n"
             "[output]\n"
             "output_type=9\n"
             "[Output]\n"
             "c=3");
  quiet_ini ini(path);
  EXPECT_EQ(value_of(ini, "output", "output_type"), "9");  // duplicate key: later value
  EXPECT_EQ(value_of(ini, "output", "spaced "), " 2");
  EXPECT_EQ(value_of(ini, "output", "spaced"), "<none>");
  EXPECT_EQ(value_of(ini, "output", "trimmed"), "3");
  EXPECT_EQ(value_of(ini, " output ", "a"), "1");
  EXPECT_EQ(value_of(ini, "a", "b"), "2");  // k=[a] opened section "a"
  EXPECT_EQ(value_of(ini, "output", "top"), "<none>");
  EXPECT_EQ(value_of(ini, "Output", "c"), "3");
  EXPECT_EQ(value_of(ini, "output", "c"), "<none>");
  EXPECT_EQ(value_of(ini, "", "c"), "<none>");
  EXPECT_EQ(value_of(ini, "Output", ""), "<none>");

  ASSERT_EQ(ini.sections.size(), 4u);
  EXPECT_EQ(ini.sections[0].name, "output");
  EXPECT_EQ(ini.sections[1].name, " output ");
  EXPECT_EQ(ini.sections[2].name, "a");
  EXPECT_EQ(ini.sections[3].name, "Output");
  ASSERT_EQ(ini.sections[0].entries.size(), 3u);
  EXPECT_EQ(ini.sections[0].entries[0].key, "output_type");  // keeps its first place
}

TEST(ini_file, saves_sections_in_order_without_a_final_line_feed) {
  temp_dir dir;
  const std::string in = dir.file("in.txt"), out = dir.file("out.txt");
  write_file(in, "[output]\r\noutput_type=1\r\n\r\n[other]\r\nx=y\r\nz=\r\n[empty]\r\n");
  quiet_ini ini(in);
  ASSERT_EQ(ini.save(out), 1);
  EXPECT_EQ(read_file(out), "[output]\noutput_type=1\n\n[other]\nx=y\nz=\n\n[empty]\n");

  ini.sections.pop_back();
  ASSERT_EQ(ini.save(out), 1);
  EXPECT_EQ(read_file(out), "[output]\noutput_type=1\n\n[other]\nx=y\nz=");
}

TEST(ini_file, an_empty_object_saves_an_empty_file) {
  temp_dir dir;
  quiet_ini ini(dir.file("missing.txt"));
  EXPECT_TRUE(ini.sections.empty());
  ASSERT_EQ(ini.save(dir.file("empty.txt")), 1);
  EXPECT_TRUE(test_support::file_present(dir.file("empty.txt")));
  EXPECT_EQ(read_file(dir.file("empty.txt")), "");
}

TEST(ini_file, load_reports_missing_files_and_folders) {
  temp_dir dir;
  quiet_ini ini("");
  EXPECT_EQ(ini.load(dir.file("missing.txt")), 0);
  EXPECT_EQ(ini.path, dir.file("missing.txt"));
  EXPECT_EQ(ini.load(dir.path()), 0);  // a folder holds no settings
  EXPECT_EQ(ini.save(dir.path()), 0);  // and cannot be written as a file
  EXPECT_EQ(ini.save(dir.file("no/such/folder.txt")), 0);
}

TEST(ini_file, set_value_appends_new_sections_and_keys_and_replaces_values) {
  quiet_ini ini("");
  ini.set_value("s", "a", "1");
  ini.set_value("t", "b", "2");
  ini.set_value("s", "c", "3");
  ini.set_value("s", "a", "4");
  ASSERT_EQ(ini.sections.size(), 2u);
  ASSERT_EQ(ini.sections[0].entries.size(), 2u);
  EXPECT_EQ(ini.sections[0].entries[0].value, "4");
  EXPECT_EQ(ini.sections[0].entries[1].key, "c");
}

TEST(ini_file, a_line_longer_than_1023_bytes_is_read_in_pieces) {
  temp_dir dir;
  const std::string path = dir.file("long.txt");
  // The second piece of the long line is a key line of its own.
  write_file(path, "[s]\nk=" + std::string(1021, 'v') + "q=2\n");
  quiet_ini ini(path);
  EXPECT_EQ(value_of(ini, "s", "k"), std::string(1021, 'v'));
  EXPECT_EQ(value_of(ini, "s", "q"), "2");
}

// A derived class's reset is not the one that the base constructor's load calls.
struct counting_ini : kv_share::ini_file {
  static inline int resets = 0;
  explicit counting_ini(const std::string& p) : kv_share::ini_file(p) {}
  ~counting_ini() override { path.clear(); }
  void reset() override { ++resets; }
};

TEST(ini_file, construction_calls_the_base_reset_not_the_derived_one) {
  counting_ini::resets = 0;
  counting_ini ini("");
  EXPECT_EQ(counting_ini::resets, 0);
  ini.load("");
  EXPECT_EQ(counting_ini::resets, 1);
}

TEST(ini_file, the_destructor_writes_the_contents_back) {
  temp_dir dir;
  const std::string path = dir.file("back.txt");
  write_file(path, "[a]\nb=c\nnoise\n");
  { kv_share::ini_file ini(path); }
  EXPECT_EQ(read_file(path), "[a]\nb=c");
}

}  // namespace
