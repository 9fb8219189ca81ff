#include "commands/sheet_template.h"

#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "commands/file_output.h"
#include "tests/support/temp_dir.h"

namespace {

using test_support::read_file;
using test_support::temp_dir;
using test_support::write_file;

struct expected_box {
  std::string name;
  std::int32_t value, cx, cy, hw, hh;
};

void expect_boxes(const sheet_template& t, const std::vector<expected_box>& want, const std::string& what) {
  ASSERT_EQ(t.boxes.size(), want.size()) << what;
  for (std::size_t i = 0; i < want.size(); ++i) {
    const template_box& b = t.boxes[i];
    EXPECT_EQ(b.name, want[i].name) << what << " box " << i;
    EXPECT_EQ(b.value, want[i].value) << what << " box " << i;
    EXPECT_EQ(b.center_x, want[i].cx) << what << " box " << i;
    EXPECT_EQ(b.center_y, want[i].cy) << what << " box " << i;
    EXPECT_EQ(b.half_width, want[i].hw) << what << " box " << i;
    EXPECT_EQ(b.half_height, want[i].hh) << what << " box " << i;
    EXPECT_EQ(b.fill_ratio, 0.0f) << what << " box " << i;
  }
}

TEST(parse_template, reads_the_line_forms_like_formatted_input) {
  struct row {
    const char* what;
    std::string text;
    std::int32_t width, height;
    std::vector<expected_box> boxes;
  };
  static const char with_nul[] = "width=1;height=2\nn=1[2,3\0,4,5]\n";
  const std::string long_line = "7.C=1[10,20,30,40]" + std::string(150 - 18, 'x');
  const std::vector<row> rows = {
      {"two boxes", "width=800;height=1000\n1.A=0[100,200,10,12]\n1.B=0[130,200,10,12]\n", 800, 1000,
       {{"1.A", 0, 100, 200, 10, 12}, {"1.B", 0, 130, 200, 10, 12}}},
      {"no final line feed", "width=8;height=9\nq=1[2,3,4,5]", 8, 9, {{"q", 1, 2, 3, 4, 5}}},
      {"header only", "width=800;height=1000\n", 800, 1000, {}},
      {"empty file", "", 0, 0, {}},
      {"spaces around the equals sign", "width = 800;height=1000\n", 0, 0, {}},
      {"height missing", "width=640;hight=480\n", 640, 0, {}},
      {"first line is a box line", "1.A=0[100,200,10,12]\n", 0, 0, {}},
      {"trailing empty line", "width=1;height=2\n\n", 1, 2, {{"\n", 0, 0, 0, 0, 0}}},
      {"space before the bracket", "width=1;height=2\n1.A=3 [4,5,6,7]\n", 1, 2, {{"1.A", 3, 0, 0, 0, 0}}},
      {"leading spaces belong to the name", "width=1;height=2\n  n=1[2,3,4,5]\n", 1, 2, {{"  n", 1, 2, 3, 4, 5}}},
      {"numbers skip white space and take signs", "width=1;height=2\nn= -1[ +2,\t-3, 4,5]\n", 1, 2,
       {{"n", -1, 2, -3, 4, 5}}},
      {"line beginning with '='", "width=1;height=2\n=5[1,2,3,4]\n", 1, 2, {{"", 0, 0, 0, 0, 0}}},
      {"line without '='", "width=1;height=2\nhello\n", 1, 2, {{"hello\n", 0, 0, 0, 0, 0}}},
      {"stops at the first mismatch", "width=1;height=2\nn=1[2;3,4,5]\n", 1, 2, {{"n", 1, 2, 0, 0, 0}}},
      {"sign without digits", "width=1;height=2\nn=-[1,2,3,4]\n", 1, 2, {{"n", 0, 0, 0, 0, 0}}},
      {"CR LF line ends", "width=5;height=6\r\na=1[1,2,3,4]\r\nb=0[5,6,7,8]\r\n", 5, 6,
       {{"a", 1, 1, 2, 3, 4}, {"b", 0, 5, 6, 7, 8}}},
      {"a lone CR stays in the name", "width=5;height=6\na\rb=1[1,2,3,4]\n", 5, 6, {{"a\rb", 1, 1, 2, 3, 4}}},
      {"150-character line gives two boxes", "width=1;height=1\n" + long_line + "\n", 1, 1,
       {{"7.C", 1, 10, 20, 30, 40}, {std::string(39, 'x'), 0, 0, 0, 0, 0}}},
      {"numbers beyond 32 bits saturate", "width=99999999999;height=-99999999999\nn=2147483648[0,0,0,0]\n",
       2147483647, -2147483647 - 1, {{"n", 2147483647, 0, 0, 0, 0}}},
      {"a NUL byte ends the scan of its line", std::string(with_nul, sizeof with_nul - 1), 1, 2,
       {{"n", 1, 2, 3, 0, 0}}},
  };
  for (const row& r : rows) {
    const sheet_template t = parse_template(r.text);
    EXPECT_EQ(t.width, r.width) << r.what;
    EXPECT_EQ(t.height, r.height) << r.what;
    EXPECT_TRUE(t.groups.empty()) << r.what;
    expect_boxes(t, r.boxes, r.what);
  }
}

TEST(parse_template, a_99_byte_header_piece_leaves_the_rest_as_a_box) {
  // The header's first 99 bytes are the header; what follows is a box line.
  const std::string header = "width=800;height=1000" + std::string(99 - 21, ' ');
  const sheet_template t = parse_template(header + "q=1[2,3,4,5]\n");
  EXPECT_EQ(t.width, 800);
  EXPECT_EQ(t.height, 1000);
  expect_boxes(t, {{"q", 1, 2, 3, 4, 5}}, "continuation");
}

TEST(parse_template, long_names_are_cut_to_39_bytes_and_the_line_still_scans) {
  const std::string name(60, 'n');
  const sheet_template t = parse_template("width=1;height=1\n" + name + "=1[2,3,4,5]\n");
  expect_boxes(t, {{std::string(39, 'n'), 1, 2, 3, 4, 5}}, "long name");

  // A cut never splits a UTF-8 character: 19 two-byte letters are 38 bytes,
  // the 20th would end at byte 40.
  std::string wide;
  for (int i = 0; i < 25; ++i) wide += "\xC3\xA9";
  const sheet_template u = parse_template("width=1;height=1\n" + wide + "=1[2,3,4,5]\n");
  ASSERT_EQ(u.boxes.size(), 1u);
  EXPECT_EQ(u.boxes[0].name.size(), 38u);
  EXPECT_EQ(u.boxes[0].name, wide.substr(0, 38));
}

TEST(parse_template, names_split_at_their_first_dot) {
  struct row {
    const char *name, *head, *tail;
  };
  const row rows[] = {{"12.B", "12", "B"}, {"3.a.b", "3", "a.b"}, {"abc", "", "abc"},
                      {".x", "", "x"},     {"y.", "y", ""},       {"", "", ""}};
  for (const row& r : rows) {
    template_box box;
    box.name = r.name;
    split_box_name(box);
    EXPECT_EQ(box.name_head, r.head) << r.name;
    EXPECT_EQ(box.name_tail, r.tail) << r.name;
  }
  template_box whole;
  whole.name = "1.A";
  split_box_name(whole, name_split::none);
  EXPECT_EQ(whole.name_head, "");
  EXPECT_EQ(whole.name_tail, "1.A");
  const sheet_template t = parse_template("width=1;height=1\n1.A=0[1,1,1,1]\n");
  EXPECT_EQ(t.boxes[0].name_head, "1");
  EXPECT_EQ(t.boxes[0].name_tail, "A");
}

TEST(parse_template, garbage_never_stops_the_reading) {
  std::string garbage;
  std::uint32_t seed = 12345;
  for (int i = 0; i < 20000; ++i) {
    seed = seed * 1103515245u + 12345u;
    garbage.push_back(static_cast<char>(seed >> 24));
  }
  const sheet_template t = parse_template(garbage);
  for (const auto& box : t.boxes) EXPECT_LE(box.name.size(), max_box_name_bytes);
  EXPECT_FALSE(t.boxes.empty());
}

class read_template_test : public ::testing::Test {
 protected:
  void SetUp() override { current_template() = sheet_template{}; }
  void TearDown() override { current_template() = sheet_template{}; }
  temp_dir dir;
};

TEST_F(read_template_test, a_file_with_boxes_replaces_the_template_and_returns_1) {
  ASSERT_TRUE(write_file(dir.file("t.txt"), "width=800;height=1000\n1.A=0[100,200,10,12]\n1.B=0[130,200,10,12]\n"));
  EXPECT_EQ(read_template(dir.file("t.txt")), 1);
  EXPECT_EQ(current_template().width, 800);
  expect_boxes(current_template(), {{"1.A", 0, 100, 200, 10, 12}, {"1.B", 0, 130, 200, 10, 12}}, "file");
}

TEST_F(read_template_test, a_file_without_boxes_empties_the_template_and_returns_0) {
  ASSERT_TRUE(write_file(dir.file("a.txt"), "width=8;height=9\nq=1[2,3,4,5]\n"));
  ASSERT_EQ(read_template(dir.file("a.txt")), 1);
  ASSERT_TRUE(write_file(dir.file("h.txt"), "width=800;height=1000\n"));
  EXPECT_EQ(read_template(dir.file("h.txt")), 0);
  EXPECT_EQ(current_template().width, 800);
  EXPECT_TRUE(current_template().boxes.empty());
  ASSERT_TRUE(write_file(dir.file("e.txt"), ""));
  EXPECT_EQ(read_template(dir.file("e.txt")), 0);
  EXPECT_EQ(current_template().width, 0);
  EXPECT_EQ(current_template().height, 0);
}

TEST_F(read_template_test, what_cannot_be_opened_leaves_the_template_in_force) {
  ASSERT_TRUE(write_file(dir.file("a.txt"), "width=8;height=9\nq=1[2,3,4,5]\n"));
  ASSERT_EQ(read_template(dir.file("a.txt")), 1);
  ASSERT_EQ(::mkdir(dir.file("folder.txt").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo(dir.file("pipe.txt").c_str(), 0644), 0);
  for (const std::string& path : {dir.file("missing.txt"), std::string(), dir.file("folder.txt"), dir.path(),
                                  dir.file("pipe.txt"), std::string("/dev/zero")}) {
    EXPECT_EQ(read_template(path), 0) << path;
    EXPECT_EQ(current_template().width, 8) << path;
    ASSERT_EQ(current_template().boxes.size(), 1u) << path;
    EXPECT_EQ(current_template().boxes[0].name, "q") << path;
  }
}

TEST_F(read_template_test, a_trailing_empty_line_counts_as_a_box) {
  ASSERT_TRUE(write_file(dir.file("t.txt"), "width=800;height=1000\n\n"));
  EXPECT_EQ(read_template(dir.file("t.txt")), 1);
  expect_boxes(current_template(), {{"\n", 0, 0, 0, 0, 0}}, "blank line");
}

sheet_template matched_example() {
  sheet_template t;
  t.width = 1200;
  t.height = 1600;
  template_box a;
  a.name = "1.A";
  a.value = 1;
  a.center_x = 212;
  a.center_y = 305;
  a.half_width = 18;
  a.half_height = 14;
  template_box b = a;
  b.name = "1.B";
  b.value = 0;
  b.center_x = 262;
  template_box c = a;
  c.name = "2.A";
  c.center_y = 400;
  t.boxes = {a, b, c};
  t.groups.resize(2);
  t.groups[0].results = {a, b};
  t.groups[1].results = {c};
  return t;
}

TEST(write_template, writes_the_header_and_the_boxes_of_the_groups) {
  temp_dir dir;
  const sheet_template t = matched_example();
  ASSERT_EQ(t.write_template(dir.file("r.txt")), 1);
  EXPECT_EQ(read_file(dir.file("r.txt")),
            "width=1200;height=1600\n1.A=1[212,305,18,14]\n1.B=0[262,305,18,14]\n2.A=1[212,400,18,14]\n");

  sheet_template as_read = t;
  as_read.groups.clear();
  ASSERT_EQ(as_read.write_template(dir.file("h.txt")), 1);
  EXPECT_EQ(read_file(dir.file("h.txt")), "width=1200;height=1600\n");

  as_read.boxes.pop_back();
  ASSERT_EQ(as_read.write_template(dir.file("b.txt"), template_output::box_list), 1);
  EXPECT_EQ(read_file(dir.file("b.txt")), "width=1200;height=1600\n1.A=1[212,305,18,14]\n1.B=0[262,305,18,14]\n");
}

TEST(write_template, what_it_writes_reads_back_the_same) {
  temp_dir dir;
  sheet_template t = matched_example();
  t.groups[0].results[0].value = -7;
  t.groups[0].results[1].center_x = -3;
  ASSERT_EQ(t.write_template(dir.file("r.txt")), 1);
  const sheet_template back = parse_template(read_file(dir.file("r.txt")));
  EXPECT_EQ(back.width, t.width);
  EXPECT_EQ(back.height, t.height);
  expect_boxes(back, {{"1.A", -7, 212, 305, 18, 14}, {"1.B", 0, -3, 305, 18, 14}, {"2.A", 1, 212, 400, 18, 14}},
               "round trip");
}

TEST(write_template, an_unwritable_place_returns_0_and_leaves_no_file) {
  temp_dir dir;
  const sheet_template t = matched_example();
  EXPECT_EQ(t.write_template(dir.file("no-such-folder/r.txt")), 0);
  ASSERT_EQ(::mkdir(dir.file("sub").c_str(), 0755), 0);
  EXPECT_EQ(t.write_template(dir.file("sub")), 0);  // a folder
  EXPECT_EQ(t.write_template(""), 0);
  if (::geteuid() != 0) {  // root writes anywhere
    ASSERT_EQ(::mkdir(dir.file("ro").c_str(), 0555), 0);
    EXPECT_EQ(t.write_template(dir.file("ro/r.txt")), 0);
    EXPECT_FALSE(test_support::file_present(dir.file("ro/r.txt")));
    ::chmod(dir.file("ro").c_str(), 0755);

    ASSERT_TRUE(write_file(dir.file("kept.txt"), "old"));
    ::chmod(dir.file("kept.txt").c_str(), 0444);
    EXPECT_EQ(t.write_template(dir.file("kept.txt")), 0);
    EXPECT_EQ(read_file(dir.file("kept.txt")), "old");
  }
}

TEST(write_whole_file, a_closed_folder_still_lets_a_writable_file_be_rewritten_in_place) {
  if (::geteuid() == 0) GTEST_SKIP() << "root creates files in any folder";
  temp_dir dir;
  ASSERT_TRUE(write_file(dir.file("x.txt"), "old"));
  ::chmod(dir.path().c_str(), 0555);
  EXPECT_TRUE(write_whole_file(dir.file("x.txt"), "new\n"));
  EXPECT_FALSE(write_whole_file(dir.file("y.txt"), "never\n"));
  ::chmod(dir.path().c_str(), 0755);
  EXPECT_EQ(read_file(dir.file("x.txt")), "new\n");
  EXPECT_FALSE(test_support::file_present(dir.file("y.txt")));
}

TEST(write_whole_file, replaces_a_file_whole_and_leaves_no_scratch_behind) {
  temp_dir dir;
  ASSERT_TRUE(write_file(dir.file("x.txt"), std::string(5000, 'a')));
  ASSERT_TRUE(write_whole_file(dir.file("x.txt"), "short\n"));
  EXPECT_EQ(read_file(dir.file("x.txt")), "short\n");
  struct stat info {};
  ASSERT_EQ(::stat(dir.file("x.txt").c_str(), &info), 0);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);

  // Written through a link, the link stays a link.
  ASSERT_EQ(::symlink(dir.file("x.txt").c_str(), dir.file("link.txt").c_str()), 0);
  ASSERT_TRUE(write_whole_file(dir.file("link.txt"), "via link\n"));
  EXPECT_EQ(read_file(dir.file("x.txt")), "via link\n");
  struct stat link_info {};
  ASSERT_EQ(::lstat(dir.file("link.txt").c_str(), &link_info), 0);
  EXPECT_TRUE(S_ISLNK(link_info.st_mode));

  // Only the two names remain in the folder.
  int entries = 0;
  if (DIR* d = ::opendir(dir.path().c_str())) {
    while (const dirent* e = ::readdir(d)) entries += std::string(e->d_name) != "." && std::string(e->d_name) != "..";
    ::closedir(d);
  }
  EXPECT_EQ(entries, 2);
}

}  // namespace
