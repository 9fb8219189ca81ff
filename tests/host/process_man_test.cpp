#include "host/process_man.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Records what it receives; `log` lists "name:field|field|..." per call and
// "~name" at destruction.
struct recording_processor : i_processor {
  recording_processor(const std::string& n, std::vector<std::string>& log) : i_processor(n), log_(log) {}
  ~recording_processor() override { log_.push_back("~" + name); }
  int process(arg_list& args) override {
    std::string entry = name + ":";
    for (std::size_t i = 0; i < args.size(); ++i) entry += (i ? "|" : "") + args[i];
    log_.push_back(entry);
    return 1;
  }
  std::vector<std::string>& log_;
};

struct loop_fixture {
  explicit loop_fixture(const std::string& input)
      : bytes(input), in(fmemopen(bytes.data(), bytes.size(), "r")), man(in, false, 0) {
    man.add_processor(new recording_processor("readtemplate", log));
    man.add_processor(new recording_processor("setdpi", log));
  }
  ~loop_fixture() { std::fclose(in); }
  std::string bytes;
  std::vector<std::string> log;
  std::FILE* in;
  process_man man;
};

TEST(process_man, dispatches_regardless_of_case_and_blanks_with_fields_unchanged) {
  loop_fixture f(" ReadTemplate ; /a b/t.txt;\nSETDPI;300;300\nunknown\nexit\nsetdpi;1;1\n");
  EXPECT_EQ(f.man.run("exit"), 1);
  const std::vector<std::string> expected{"readtemplate: ReadTemplate | /a b/t.txt|", "setdpi:SETDPI|300|300"};
  EXPECT_EQ(f.log, expected);
  EXPECT_FALSE(f.man.input_ended());
}

TEST(process_man, the_exit_word_ends_the_loop_in_any_form) {
  for (const char* line : {"exit\n", "EXIT\n", "  Exit \n", "exit;more;fields\n", "exit\r\n", "\nexit\n"}) {
    loop_fixture f(line + std::string("setdpi;1;2\n"));
    EXPECT_EQ(f.man.run("exit"), 1) << line;
    EXPECT_TRUE(f.log.empty()) << line;
  }
}

TEST(process_man, an_empty_exit_word_reads_nothing) {
  loop_fixture f("setdpi;1;2\n");
  EXPECT_EQ(f.man.run(""), 0);
  EXPECT_TRUE(f.log.empty());
}

TEST(process_man, end_of_input_ends_the_loop_like_exit) {
  loop_fixture f("setdpi;1;2");
  EXPECT_EQ(f.man.run("exit"), 1);
  EXPECT_EQ(f.log, std::vector<std::string>{"setdpi:setdpi|1|2"});
  EXPECT_TRUE(f.man.input_ended());
}

TEST(process_man, read_command_trims_line_feeds_only) {
  loop_fixture f("\tsetdpi ;1\r;2\r\r\n");
  arg_list args;
  EXPECT_EQ(f.man.read_command("exit", args), 1);
  EXPECT_EQ(args, (arg_list{"\tsetdpi ", "1\r", "2\r"}));
}

TEST(process_man, a_long_line_is_read_as_pieces_of_1023_bytes) {
  const std::string line = "setdpi;" + std::string(1016, 'x') + "setdpi;tail";
  loop_fixture f(line + "\n");
  EXPECT_EQ(f.man.run("exit"), 1);
  ASSERT_EQ(f.log.size(), 2u);
  EXPECT_EQ(f.log[0], "setdpi:setdpi|" + std::string(1016, 'x'));
  EXPECT_EQ(f.log[1], "setdpi:setdpi|tail");
}

TEST(process_man, processors_are_destroyed_first_registered_first) {
  std::vector<std::string> log;
  {
    process_man man(stdin, false, 0);
    man.add_processor(new recording_processor("a", log));
    man.add_processor(new recording_processor("b", log));
  }
  EXPECT_EQ(log, (std::vector<std::string>{"~a", "~b"}));
}

TEST(process_man, dispatch_reports_whether_a_processor_took_the_line) {
  loop_fixture f("");
  arg_list known{"setdpi", "1", "2"}, unknown{"nothing"}, empty;
  EXPECT_EQ(f.man.dispatch(known), 1);
  EXPECT_EQ(f.man.dispatch(unknown), 0);
  EXPECT_EQ(f.man.dispatch(empty), 0);
}

TEST(module_dir, names_the_folder_of_the_running_program) {
  const std::string dir = module_dir();
  ASSERT_FALSE(dir.empty());
  EXPECT_NE(dir.back(), '/');
  EXPECT_NE(dir.find("tests"), std::string::npos);  // this test program lives in the build's tests/
}

}  // namespace
