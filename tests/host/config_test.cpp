#include "host/config.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace {

using test_support::read_file;
using test_support::temp_dir;
using test_support::write_file;

TEST(config, a_new_object_holds_only_the_default) {
  template_parser::config::log log;
  EXPECT_TRUE(log.path.empty());
  ASSERT_EQ(log.sections.size(), 1u);
  const kv_share::ini_entry* e = log.find_value("output", "output_type");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->value, "0");
}

TEST(config, start_creates_a_missing_file_with_the_default) {
  temp_dir dir;
  const std::string path = dir.file("config.txt");
  ASSERT_EQ(start_config(path), 1);
  EXPECT_EQ(read_file(path), "[output]\noutput_type=0");
  EXPECT_EQ(setting_names(0).section, "output");
  EXPECT_EQ(setting_names(0).key, "output_type");
  EXPECT_EQ(read_output_type(), 0);
  stop_config();
  EXPECT_EQ(global_log(), nullptr);
  EXPECT_EQ(setting_text(), "");
  EXPECT_EQ(read_output_type(), 0);
}

TEST(config, output_type_reads_like_the_c_library) {
  struct row {
    const char* value;
    int expected;
  };
  const row rows[] = {{"1", 1},  {"-1", -1}, {"7x", 7}, {"abc", 0}, {"", 0},
                      {" 3", 3}, {"+2", 2},  {"0", 0},  {"99999999999", 2147483647}};
  temp_dir dir;
  const std::string path = dir.file("config.txt");
  for (const row& r : rows) {
    write_file(path, std::string("[output]\noutput_type=") + r.value);
    start_config(path);
    EXPECT_EQ(read_output_type(), r.expected) << "value '" << r.value << "'";
    stop_config();
  }
}

TEST(config, other_sections_and_spaced_keys_survive_the_write_back) {
  temp_dir dir;
  const std::string path = dir.file("config.txt");
  write_file(path, "[camera]\nmodel=x\n[output]\noutput_type = 1\n");
  start_config(path);
  EXPECT_EQ(read_output_type(), 0);  // "output_type " is another key
  stop_config();
  EXPECT_EQ(read_file(path), "[output]\noutput_type=0\noutput_type = 1\n\n[camera]\nmodel=x");
}

TEST(config, a_folder_in_place_of_the_file_leaves_the_default) {
  temp_dir dir;
  start_config(dir.path());
  EXPECT_EQ(setting_text(), "0");
  stop_config();
}

}  // namespace
