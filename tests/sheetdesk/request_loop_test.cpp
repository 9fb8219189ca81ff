#include "sheetdesk/desk_request.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "platform/image_codec.h"
#include "tests/sheetdesk/sheet_images.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace sheetdesk;
using test_support::file_present;
using test_support::read_file;
using test_support::temp_dir;
using test_support::write_file;

// Hands out a copy of its photograph, or nothing, and counts the requests.
class fake_source : public i_photo_source {
 public:
  explicit fake_source(bool has_photo) : has_photo_(has_photo) {}
  std::optional<platform::bitmap> take_photo() override {
    ++calls;
    if (!has_photo_) return std::nullopt;
    return photo.clone();
  }
  platform::bitmap photo = sheetdesk_test::ruled_sheet(sheetdesk_test::ruled_sheet_layout{}, 0);
  int calls = 0;

 private:
  bool has_photo_;
};

struct loop_run {
  int status = -1;
  std::string output;
};

loop_run run_loop(const std::string& input, i_photo_source& source, const std::string& template_path) {
  std::FILE* in = std::tmpfile();
  std::FILE* out = std::tmpfile();
  std::fwrite(input.data(), 1, input.size(), in);
  std::rewind(in);
  loop_run run;
  run.status = run_request_loop(in, out, source, template_path);
  std::rewind(out);
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, out)) > 0) run.output.append(buf, n);
  std::fclose(in);
  std::fclose(out);
  return run;
}

std::size_t files_in(const std::string& folder) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++n;
  return n;
}

TEST(sheetdesk_run_request_loop, ends_on_exit_or_at_the_end_of_input) {
  struct row {
    const char* input;
    int photos_asked;
  };
  const row rows[] = {
      {"exit\n/nowhere/a.jpg\n", 0},
      {"exit", 0},
      {"exit now\n/nowhere/a.jpg\n", 0},  // the word at the start of the line
      {"", 0},
      {"/nowhere/a.jpg\n", 1},             // end of input without "exit"
      {"/nowhere/a.jpg", 1},               // a last line without line feed still counts
      {" exit\n", 1},                      // not at the start: a path
  };
  for (const row& r : rows) {
    fake_source source(false);
    const loop_run run = run_loop(r.input, source, "/nowhere/VarnelTpl.txt");
    EXPECT_EQ(run.status, 0) << r.input;
    EXPECT_EQ(source.calls, r.photos_asked) << r.input;
    EXPECT_EQ(run.output, "") << r.input;
  }
}

TEST(sheetdesk_run_request_loop, answers_each_request_that_found_a_photograph) {
  temp_dir dir;
  write_file(dir.file("VarnelTpl.txt"), "1.A=0[0,0,4,1]\n1.B=5[100,100,10,10]\n");
  fake_source source(true);
  const loop_run run = run_loop(dir.file("one.jpg") + "\n" + dir.file("two.jpg") + "\r\nexit\n", source,
                                dir.file("VarnelTpl.txt"));
  EXPECT_EQ(run.output, "recognize_complete\nrecognize_complete\n");
  for (const char* name : {"one", "two"}) {
    const platform::bitmap saved = platform::load_image_file(dir.file(std::string(name) + ".jpg"));
    EXPECT_TRUE(saved.has_image()) << name;
    EXPECT_EQ(saved.width(), source.photo.width()) << name;
    // Row 0 of the aligned sheet is the frame's middle row: the first box is dark.
    EXPECT_EQ(read_file(dir.file(std::string(name) + ".txt")), "1.A=1[0,0,4,1]\n1.B=0[100,100,10,10]\n") << name;
  }
}

TEST(sheetdesk_run_request_loop, stays_silent_without_a_photograph_and_goes_on) {
  temp_dir dir;
  fake_source none(false);
  const loop_run run = run_loop(dir.file("a.jpg") + "\n" + dir.file("b.jpg") + "\n", none, dir.file("VarnelTpl.txt"));
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(none.calls, 2);
  EXPECT_EQ(files_in(dir.path()), 0u);
}

TEST(sheetdesk_run_request_loop, an_empty_line_writes_nothing_but_still_answers) {
  temp_dir dir;
  write_file(dir.file("VarnelTpl.txt"), "1.A=0[0,0,4,1]\n");
  fake_source source(true);
  const loop_run run = run_loop("\n", source, dir.file("VarnelTpl.txt"));
  EXPECT_EQ(run.output, "recognize_complete\n");
  EXPECT_EQ(files_in(dir.path()), 1u);
}

TEST(sheetdesk_run_request_loop, a_path_without_jpg_keeps_its_jpeg_and_puts_the_result_beside_it) {
  temp_dir dir;
  write_file(dir.file("VarnelTpl.txt"), "1.A=0[0,0,4,1]\n");
  fake_source source(true);
  const loop_run run = run_loop(dir.file("sheet.png") + "\n", source, dir.file("VarnelTpl.txt"));
  EXPECT_EQ(run.output, "recognize_complete\n");
  EXPECT_TRUE(platform::load_image_file(dir.file("sheet.png")).has_image());
  EXPECT_EQ(read_file(dir.file("sheet.png.txt")), "1.A=1[0,0,4,1]\n");
}

TEST(sheetdesk_run_request_loop, a_missing_template_gives_an_empty_result_file) {
  temp_dir dir;
  fake_source source(true);
  const loop_run run = run_loop(dir.file("s.jpg") + "\n", source, dir.file("VarnelTpl.txt"));
  EXPECT_EQ(run.output, "recognize_complete\n");
  EXPECT_TRUE(file_present(dir.file("s.jpg")));
  EXPECT_TRUE(file_present(dir.file("s.txt")));
  EXPECT_EQ(read_file(dir.file("s.txt")), "");
}

TEST(sheetdesk_run_request_loop, unwritable_files_still_answer) {
  fake_source source(true);
  const loop_run run = run_loop("/no/such/folder/s.jpg\n", source, "/no/such/folder/VarnelTpl.txt");
  EXPECT_EQ(run.output, "recognize_complete\n");
}

TEST(sheetdesk_run_request_loop, drops_an_over_long_line_whole) {
  temp_dir dir;
  fake_source source(true);
  const std::string long_path = dir.file(std::string(600, 'p') + ".jpg");
  const loop_run run = run_loop(long_path + "\n" + dir.file("ok.jpg") + "\n", source, dir.file("VarnelTpl.txt"));
  EXPECT_EQ(source.calls, 1);
  EXPECT_EQ(run.output, "recognize_complete\n");
  EXPECT_EQ(files_in(dir.path()), 2u);  // ok.jpg and ok.txt, nothing at a cut path
}

TEST(sheetdesk_read_request_line, strips_one_line_end_and_flags_lines_past_511_bytes) {
  struct row {
    std::string input;
    std::string text;
    bool too_long;
  };
  const row rows[] = {
      {"a.jpg\n", "a.jpg", false},
      {"a.jpg\r\n", "a.jpg", false},
      {"a.jpg\r\r\n", "a.jpg\r", false},
      {"\n", "", false},
      {std::string(511, 'x') + "\n", std::string(511, 'x'), false},
      {std::string(511, 'x') + "\r\n", std::string(511, 'x'), false},
      {std::string(512, 'x') + "\n", std::string(511, 'x'), true},
      {std::string("a\0b\n", 4), "a", false},
  };
  for (const row& r : rows) {
    std::FILE* in = std::tmpfile();
    std::fwrite(r.input.data(), 1, r.input.size(), in);
    std::rewind(in);
    const std::optional<request_line> line = read_request_line(in);
    ASSERT_TRUE(line) << r.input;
    EXPECT_EQ(line->text, r.text) << r.input;
    EXPECT_EQ(line->too_long, r.too_long) << r.input;
    EXPECT_FALSE(read_request_line(in)) << r.input;
    std::fclose(in);
  }
}

}  // namespace
