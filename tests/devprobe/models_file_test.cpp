// The models file: line grammar, limits, and where it is looked for.
#include "devprobe/models_file.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace {

using namespace devprobe;
using test_support::temp_dir;
using test_support::write_file;

TEST(devprobe_parse_model_line, accepts_the_row_form_and_refuses_bad_lines) {
  struct row {
    std::string line;
    bool ok;
    const char* token;
    const char* name;
  };
  const row rows[] = {
      {"pid_DC01=Desk Camera", true, "pid_DC01", "Desk Camera"},
      {"pid_0a1b=Small", true, "pid_0A1B", "Small"},
      {"PID_abcd=Upper prefix", true, "pid_ABCD", "Upper prefix"},
      {"  pid_1234 =  Spaced name \t", true, "pid_1234", "Spaced name"},
      {"pid_1234=a=b", true, "pid_1234", "a=b"},
      {"pid_1234=" + std::string(127, 'n'), true, "pid_1234", nullptr},
      {"pid_1234=" + std::string(128, 'n'), false, "", ""},
      {"", false, "", ""},
      {"   ", false, "", ""},
      {"# pid_1234=Comment", false, "", ""},
      {"pid_1234", false, "", ""},
      {"pid_1234=", false, "", ""},
      {"pid_1234=   ", false, "", ""},
      {"pid_123=Short", false, "", ""},
      {"pid_12345=Long", false, "", ""},
      {"pid_12G4=Not hex", false, "", ""},
      {"vid_1234=Vendor", false, "", ""},
      {"=Nameless", false, "", ""},
      {"pid_1234=Caf\xc3\xa9", false, "", ""},
      {std::string("pid_1234=Nul\0inside", 19), false, "", ""},
      {"pid_1234=Tab\tinside", false, "", ""},
      {"pid_1234=x" + std::string(1020, ' '), false, "", ""},  // line above 1023 bytes
  };
  for (const row& r : rows) {
    model_row parsed{"before", "before"};
    EXPECT_EQ(parse_model_line(r.line, parsed), r.ok) << "line: " << r.line;
    if (r.ok) {
      EXPECT_EQ(parsed.token, r.token) << r.line;
      if (r.name) {
        EXPECT_EQ(parsed.display_name, r.name) << r.line;
      }
    } else {
      EXPECT_EQ(parsed.token, "before") << r.line;
    }
  }
}

TEST(devprobe_parse_models_text, keeps_order_skips_repeats_and_stops_at_ten_rows) {
  std::string text = "# site cameras\r\npid_0002=Two\r\nbad line\npid_0001=One\npid_0002=Two again\n";
  for (int i = 3; i <= 12; ++i) text += "pid_" + std::string(i < 10 ? "000" : "00") + std::to_string(i) + "=N\n";
  const model_table table = parse_models_text(text);
  ASSERT_EQ(table.rows.size(), 10u);
  EXPECT_EQ(table.rows[0].token, "pid_0002");
  EXPECT_EQ(table.rows[0].display_name, "Two");
  EXPECT_EQ(table.rows[1].token, "pid_0001");
  EXPECT_EQ(table.rows[9].token, "pid_0010");
  EXPECT_TRUE(parse_models_text("").rows.empty());
  EXPECT_EQ(parse_models_text("pid_00AA=No final line feed").rows.size(), 1u);
}

TEST(devprobe_models_file_locations, env_then_beside_the_executable_then_etc) {
  EXPECT_EQ(models_file_locations("/x/m.txt", "/opt/bin"),
            (std::vector<std::string>{"/x/m.txt", "/opt/bin/models.txt", "/etc/devprobe/models.txt"}));
  EXPECT_EQ(models_file_locations("", "/opt/bin"),
            (std::vector<std::string>{"/opt/bin/models.txt", "/etc/devprobe/models.txt"}));
  EXPECT_EQ(models_file_locations(nullptr, ""), (std::vector<std::string>{"/etc/devprobe/models.txt"}));
}

TEST(devprobe_choose_model_table, first_readable_file_wins_else_the_defaults) {
  temp_dir dir;
  const std::string good = dir.file("good.txt");
  const std::string second = dir.file("second.txt");
  const std::string junk = dir.file("junk.txt");
  ASSERT_TRUE(write_file(good, "pid_1111=First\n"));
  ASSERT_TRUE(write_file(second, "pid_2222=Second\n"));
  ASSERT_TRUE(write_file(junk, "nothing here\npid_zz=bad\n"));
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);

  EXPECT_EQ(choose_model_table({dir.file("missing"), good, second}).rows.at(0).display_name, "First");
  // Not regular files: skipped without blocking.
  EXPECT_EQ(choose_model_table({fifo, dir.path(), second}).rows.at(0).display_name, "Second");
  // A file with no valid row leaves the shipped rows in place.
  EXPECT_EQ(choose_model_table({junk, second}).rows.at(0).token, default_model_table().rows.at(0).token);
  EXPECT_EQ(choose_model_table({dir.file("missing")}).rows.size(), 10u);
}

TEST(devprobe_load_models_file, reads_no_more_than_64_kib) {
  temp_dir dir;
  const std::string path = dir.file("big.txt");
  ASSERT_TRUE(write_file(path, std::string(max_models_file, '\n') + "pid_1234=Beyond the limit\n"));
  const std::optional<model_table> table = load_models_file(path);
  ASSERT_TRUE(table.has_value());
  EXPECT_TRUE(table->rows.empty());
}

}  // namespace
