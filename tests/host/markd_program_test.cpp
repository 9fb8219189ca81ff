// markd driven over pipes, the way the capture application drives it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "tests/support/pipe_driver.h"
#include "tests/support/temp_dir.h"

namespace {

using test_support::child_options;
using test_support::child_process;
using test_support::read_file;
using test_support::temp_dir;
using test_support::write_file;

// A private copy of markd, so that its config.txt lands in a scratch folder.
struct markd_copy {
  markd_copy() {
    std::filesystem::copy_file(test_support::program_path("markd"), exe());
  }
  std::string exe() const { return dir.file("markd"); }
  std::string config() const { return dir.file("config.txt"); }
  temp_dir dir;
};

TEST(markd_program, unknown_words_get_unknown_cmd_and_exit_ends_with_status_0) {
  markd_copy m;
  child_process p;
  ASSERT_TRUE(p.start(m.exe()));
  for (const char* line : {"hello", " ", ";", "x;y;z", "recognizes"}) {
    p.write_line(line);
    EXPECT_EQ(p.read_line(), "unknownCmd") << "line '" << line << "'";
  }
  p.write_line(" ExIt ;and;more");
  EXPECT_EQ(p.wait_exit(), 0);
  EXPECT_EQ(p.read_quiet(50), "");  // nothing more on standard output
}

TEST(markd_program, known_commands_with_wrong_fields_stay_silent_and_the_loop_goes_on) {
  markd_copy m;
  child_process p;
  ASSERT_TRUE(p.start(m.exe()));
  p.write_line("setdpi;300");
  p.write_line("bogus");
  EXPECT_EQ(p.read_line(), "unknownCmd");
  p.write_line("exit");
  EXPECT_EQ(p.wait_exit(), 0);
}

TEST(markd_program, line_pieces_crlf_empty_lines_and_odd_bytes) {
  markd_copy m;
  child_process p;
  ASSERT_TRUE(p.start(m.exe()));
  p.write(std::string(1500, 'a') + "\n");  // two pieces, two commands
  EXPECT_EQ(p.read_line(), "unknownCmd");
  EXPECT_EQ(p.read_line(), "unknownCmd");
  p.write("\n\n");  // empty lines: no reply
  p.write("nope\r\n");
  EXPECT_EQ(p.read_line(), "unknownCmd");
  p.write(std::string("\xff\xfe\xc3(bad utf-8\n"));
  EXPECT_EQ(p.read_line(), "unknownCmd");
  p.write(std::string("exit\0junk\n", 10));  // the NUL ends the text: still the exit word
  EXPECT_EQ(p.wait_exit(), 0);
  EXPECT_EQ(p.read_quiet(50), "");
}

TEST(markd_program, a_very_long_line_is_answered_piece_by_piece) {
  markd_copy m;
  child_process p;
  ASSERT_TRUE(p.start(m.exe()));
  p.write(std::string(10 * 1023, 'q') + "\nexit\n");
  for (int i = 0; i < 10; ++i) EXPECT_EQ(p.read_line(), "unknownCmd") << "piece " << i;
  EXPECT_EQ(p.wait_exit(), 0);
}

TEST(markd_program, end_of_input_ends_like_exit_and_writes_the_settings_back) {
  markd_copy m;
  write_file(m.config(), "[extra]\nk=v\n[output]\noutput_type=1\nnoise\n");
  child_process p;
  ASSERT_TRUE(p.start(m.exe()));
  p.write_line("what");
  EXPECT_EQ(p.read_line(), "unknownCmd");
  write_file(m.config(), "changed behind its back");
  p.close_stdin();
  EXPECT_EQ(p.wait_exit(), 0);
  EXPECT_EQ(read_file(m.config()), "[output]\noutput_type=1\n\n[extra]\nk=v");
}

TEST(markd_program, creates_config_beside_the_executable_holding_the_default) {
  markd_copy m;
  child_process p;
  child_options o;
  o.cwd = "/";  // the settings follow the executable, not the working folder
  ASSERT_TRUE(p.start(m.exe(), o));
  p.write_line("exit");
  EXPECT_EQ(p.wait_exit(), 0);
  EXPECT_EQ(read_file(m.config()), "[output]\noutput_type=0");
}

TEST(markd_program, an_unusable_config_is_no_obstacle) {
  {
    markd_copy m;
    std::filesystem::create_directory(m.config());  // a folder where the file should be
    child_process p;
    ASSERT_TRUE(p.start(m.exe()));
    p.write_line("x");
    EXPECT_EQ(p.read_line(), "unknownCmd");
    p.write_line("exit");
    EXPECT_EQ(p.wait_exit(), 0);
    EXPECT_TRUE(std::filesystem::is_directory(m.config()));
  }
  if (geteuid() != 0) {  // root reads and writes everything: these checks mean nothing then
    markd_copy m;
    write_file(m.config(), "[output]\noutput_type=1");
    chmod(m.config().c_str(), 0);
    child_process p;
    ASSERT_TRUE(p.start(m.exe()));
    p.write_line("exit");
    EXPECT_EQ(p.wait_exit(), 0);
  }
  {
    markd_copy m;
    chmod(m.dir.path().c_str(), 0555);  // the folder cannot take a new file
    child_process p;
    ASSERT_TRUE(p.start(m.exe()));
    p.write_line("exit");
    EXPECT_EQ(p.wait_exit(), 0);
    chmod(m.dir.path().c_str(), 0755);
  }
}

TEST(markd_program, standard_output_carries_the_protocol_only_with_a_bad_trace_path) {
  markd_copy m;
  child_process p;
  child_options o;
  o.env = {{"MARKD_TRACE", "/nonexistent-folder/trace.txt"}};
  ASSERT_TRUE(p.start(m.exe(), o));
  p.write_line("a");
  EXPECT_EQ(p.read_line(), "unknownCmd");
  p.write_line("exit");
  EXPECT_EQ(p.wait_exit(), 0);
  EXPECT_EQ(p.read_quiet(50), "");
}

TEST(markd_program, help_and_version_print_and_exit_0) {
  for (const char* arg : {"--help", "--version"}) {
    child_process p;
    child_options o;
    o.args = {arg};
    ASSERT_TRUE(p.start(test_support::program_path("markd"), o));
    const std::string text = p.read_quiet(500);
    EXPECT_NE(text.find("markd"), std::string::npos) << arg;
    EXPECT_EQ(p.wait_exit(), 0) << arg;
  }
  child_process p;
  child_options o;
  o.args = {"--bogus"};
  ASSERT_TRUE(p.start(test_support::program_path("markd"), o));
  EXPECT_EQ(p.wait_exit(), 2);
  EXPECT_EQ(p.read_quiet(50), "");  // the usage goes to standard error
}

}  // namespace
