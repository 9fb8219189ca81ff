// sheetdesk as the capture application drives it: a real X server (Xvfb), a
// photograph put on the clipboard with xclip, request lines on standard input.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "platform/image_codec.h"
#include "sheetdesk/line_votes.h"
#include "tests/sheetdesk/sheet_images.h"
#include "tests/support/pipe_driver.h"
#include "tests/support/temp_dir.h"
#include "tests/support/x_server.h"

namespace {

using sheetdesk_test::paint_rect;
using sheetdesk_test::ruled_sheet;
using sheetdesk_test::ruled_sheet_layout;
using test_support::child_options;
using test_support::child_process;
using test_support::file_present;
using test_support::program_path;
using test_support::read_file;
using test_support::temp_dir;
using test_support::write_file;

constexpr int reply_wait_ms = 15000;
constexpr int silence_ms = 2000;  // time in which a reply would have come

bool dark_at(const platform::bitmap& image, int x, int y) {
  return sheetdesk::is_dark_pixel(image.row(y) + x * platform::bytes_per_pixel);
}

class sheetdesk_program : public testing::Test {
 protected:
  void SetUp() override {
    if (!test_support::x_tools_available()) GTEST_SKIP() << "Xvfb or xclip is not installed";
    ASSERT_TRUE(x_.start()) << x_.error();
  }

  // Starts sheetdesk in the scratch folder (where it looks for VarnelTpl.txt).
  void start_program() {
    child_options options;
    options.cwd = dir_.path();
    options.env = {{"DISPLAY", x_.display()}};
    ASSERT_TRUE(program_.start(program_path("sheetdesk"), options));
  }

  void put_on_clipboard(const platform::bitmap& photo, const std::string& name = "photo.png") {
    const std::string path = photos_.file(name);
    ASSERT_TRUE(platform::save_png_file(photo, path));
    ASSERT_TRUE(x_.set_clipboard_file(path, "image/png")) << x_.error();
  }

  // Sends one request and waits for its reply.
  void request(const std::string& line) {
    ASSERT_TRUE(program_.write_line(line));
    const std::optional<std::string> reply = program_.read_line(reply_wait_ms);
    ASSERT_TRUE(reply) << "no reply to '" << line << "'; stderr: " << program_.stderr_text();
    EXPECT_EQ(*reply, "recognize_complete");
  }

  void expect_clean_exit() {
    ASSERT_TRUE(program_.write_line("exit"));
    const std::optional<int> status = program_.wait_exit(5000);
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 0);
    EXPECT_EQ(program_.read_quiet(100), "");
  }

  std::size_t files_in_dir() const {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_.path())) ++n;
    return n;
  }

  test_support::x_server x_;
  temp_dir dir_;     // the program's current folder and its output
  temp_dir photos_;  // the photographs handed to xclip
  child_process program_;
};

TEST(sheetdesk_options, answer_help_and_version_and_refuse_others) {
  struct row {
    const char* arg;
    int status;
    const char* out_starts;
  };
  const row rows[] = {{"--help", 0, "Usage: sheetdesk"}, {"--version", 0, "sheetdesk "}, {"--bogus", 2, ""}};
  for (const row& r : rows) {
    child_process p;
    child_options options;
    options.args = {r.arg};
    ASSERT_TRUE(p.start(program_path("sheetdesk"), options));
    p.close_stdin();
    const std::string out = p.read_quiet(500);
    const std::optional<int> status = p.wait_exit(5000);
    ASSERT_TRUE(status) << r.arg;
    EXPECT_EQ(*status, r.status) << r.arg;
    EXPECT_EQ(out.rfind(r.out_starts, 0), 0u) << r.arg << ": " << out;
    if (r.status != 0) {
      EXPECT_NE(p.stderr_text().find("unknown argument"), std::string::npos) << r.arg;
    }
  }
}

TEST_F(sheetdesk_program, a_straight_photograph_is_shifted_past_its_border_lines_and_its_boxes_marked) {
  const ruled_sheet_layout layout;
  platform::bitmap photo = ruled_sheet(layout, 0);
  // Boxes in the right margin, in the aligned image's pixels; the photograph
  // holds them 41 right and 51 down (the border lines at 40 and 50, plus one).
  const int sx = layout.frame_left + 1, sy = layout.frame_top + 1;
  paint_rect(photo, 525 + sx, 100 + sy, 10, 10);  // full
  paint_rect(photo, 525 + sx, 120 + sy, 10, 2);   // 2 rows of 5: exactly 40 %
  paint_rect(photo, 525 + sx, 140 + sy, 10, 3);   // 3 rows of 10: 30 %
  put_on_clipboard(photo);
  write_file(dir_.file("VarnelTpl.txt"),
             "1.A=0[525,100,10,10]\n"
             "1.B=0[525,120,10,5]\r\n"
             "1.C=7[525,140,10,10]\n"
             "1.D=0[525,160,10,10]\n"
             "Q 12=9[525,100,0,10]\n"
             "name.with.dots=-3[-5,-5,2,2]\n");
  start_program();
  request(dir_.file("sheet.jpg"));
  EXPECT_EQ(read_file(dir_.file("sheet.txt")),
            "1.A=1[525,100,10,10]\n"
            "1.B=1[525,120,10,5]\n"
            "1.C=0[525,140,10,10]\n"
            "1.D=0[525,160,10,10]\n"
            "Q 12=0[525,100,0,10]\n"
            "name.with.dots=0[-5,-5,2,2]\n");

  const platform::bitmap saved = platform::load_image_file(dir_.file("sheet.jpg"));
  ASSERT_TRUE(saved.has_image());
  ASSERT_EQ(saved.width(), photo.width());
  ASSERT_EQ(saved.height(), photo.height());
  // No turn, only the shift: every pixel is the photograph's, the uncovered strips white.
  int differ = 0;
  for (int y = 0; y < saved.height(); ++y) {
    for (int x = 0; x < saved.width(); ++x) {
      const bool covered = x + sx < photo.width() && y + sy < photo.height();
      if (dark_at(saved, x, y) != (covered && dark_at(photo, x + sx, y + sy))) ++differ;
    }
  }
  EXPECT_EQ(differ, 0);
  expect_clean_exit();
}

TEST_F(sheetdesk_program, a_skewed_photograph_of_a_bordered_sheet_comes_out_level) {
  ruled_sheet_layout layout;
  layout.frame_width = 5;
  put_on_clipboard(ruled_sheet(layout, 4));
  start_program();
  request(dir_.file("skewed.jpg"));
  const platform::bitmap saved = platform::load_image_file(dir_.file("skewed.jpg"));
  ASSERT_TRUE(saved.has_image());
  // The first rule sits at one row across the sheet, about 15 rows below the corner.
  std::vector<int> rows;
  for (const int x : {60, 250, 450}) {
    int y = 6;
    while (y < saved.height() && !dark_at(saved, x, y)) ++y;
    rows.push_back(y);
  }
  EXPECT_NEAR(rows[0], layout.frame_width + layout.rule_step - 1, 2);
  EXPECT_NEAR(rows[1], rows[0], 1);
  EXPECT_NEAR(rows[2], rows[0], 1);
  // The left border is at the left edge all the way down.
  for (const int y : {100, 400, 650}) EXPECT_TRUE(dark_at(saved, 0, y)) << "row " << y;
  EXPECT_TRUE(file_present(dir_.file("skewed.txt")));
  EXPECT_EQ(read_file(dir_.file("skewed.txt")), "");  // no template
  expect_clean_exit();
}

TEST_F(sheetdesk_program, a_photograph_without_votes_is_pulled_toward_minus_45_degrees) {
  platform::bitmap photo = sheetdesk_test::filled_image(200, 200);
  paint_rect(photo, 98, 0, 4, 200);  // down to the bottom edge: no pixel votes
  put_on_clipboard(photo);
  start_program();
  request(dir_.file("blank.jpg"));
  const platform::bitmap saved = platform::load_image_file(dir_.file("blank.jpg"));
  ASSERT_TRUE(saved.has_image());
  // Turned 45 degrees clockwise, the stroke runs from upper right to lower left.
  int dark = 0, min_sum = 1000, max_sum = -1000;
  for (int y = 0; y < 200; ++y) {
    for (int x = 0; x < 200; ++x) {
      if (!dark_at(saved, x, y)) continue;
      ++dark;
      min_sum = std::min(min_sum, x + y);
      max_sum = std::max(max_sum, x + y);
    }
  }
  EXPECT_GT(dark, 200);
  EXPECT_LE(max_sum - min_sum, 8);
  expect_clean_exit();
}

TEST_F(sheetdesk_program, answers_only_when_the_clipboard_holds_a_bitmap_and_goes_on) {
  write_file(dir_.file("VarnelTpl.txt"), "1.A=0[0,0,4,1]\n");
  x_.clear_clipboard();
  start_program();
  ASSERT_TRUE(program_.write_line(dir_.file("none.jpg")));
  EXPECT_EQ(program_.read_quiet(silence_ms), "");
  ASSERT_TRUE(x_.set_clipboard_text("not a picture")) << x_.error();
  ASSERT_TRUE(program_.write_line(dir_.file("text.jpg")));
  EXPECT_EQ(program_.read_quiet(silence_ms), "");
  EXPECT_EQ(files_in_dir(), 1u);  // the template alone

  put_on_clipboard(ruled_sheet(ruled_sheet_layout{}, 0));
  request(dir_.file("now.jpg"));
  EXPECT_TRUE(file_present(dir_.file("now.jpg")));
  EXPECT_EQ(read_file(dir_.file("now.txt")), "1.A=1[0,0,4,1]\n");
  expect_clean_exit();
}

TEST_F(sheetdesk_program, an_empty_line_writes_nothing_but_still_answers) {
  write_file(dir_.file("VarnelTpl.txt"), "1.A=0[0,0,4,1]\n");
  put_on_clipboard(ruled_sheet(ruled_sheet_layout{}, 0));
  start_program();
  request("");
  EXPECT_EQ(files_in_dir(), 1u);
  expect_clean_exit();
}

TEST_F(sheetdesk_program, a_path_without_jpg_keeps_the_jpeg_and_writes_the_result_beside_it) {
  write_file(dir_.file("VarnelTpl.txt"), "1.A=0[0,0,4,1]\n");
  put_on_clipboard(ruled_sheet(ruled_sheet_layout{}, 0));
  start_program();
  request(dir_.file("sheet.jpeg"));
  EXPECT_TRUE(platform::load_image_file(dir_.file("sheet.jpeg")).has_image());
  EXPECT_EQ(read_file(dir_.file("sheet.jpeg.txt")), "1.A=1[0,0,4,1]\n");
  expect_clean_exit();
}

TEST_F(sheetdesk_program, reads_the_template_anew_for_every_request) {
  put_on_clipboard(ruled_sheet(ruled_sheet_layout{}, 0));
  start_program();
  write_file(dir_.file("VarnelTpl.txt"), "first=0[0,0,4,1]\n");
  request(dir_.file("a.jpg"));
  write_file(dir_.file("VarnelTpl.txt"), "second=0[300,300,4,4]\n");
  request(dir_.file("b.jpg"));
  EXPECT_EQ(read_file(dir_.file("a.txt")), "first=1[0,0,4,1]\n");
  EXPECT_EQ(read_file(dir_.file("b.txt")), "second=0[300,300,4,4]\n");
  expect_clean_exit();
}

TEST_F(sheetdesk_program, the_end_of_input_ends_the_program_as_exit_does) {
  start_program();
  program_.close_stdin();
  const std::optional<int> status = program_.wait_exit(5000);
  ASSERT_TRUE(status);
  EXPECT_EQ(*status, 0);
  EXPECT_EQ(program_.read_quiet(100), "");
}

}  // namespace
