#include "sheetdesk/desk_template.h"

#include <gtest/gtest.h>

#include <climits>

#include "tests/sheetdesk/sheet_images.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace sheetdesk;
using sheetdesk_test::filled_image;
using sheetdesk_test::paint_rect;
using test_support::read_file;
using test_support::temp_dir;
using test_support::write_file;

TEST(sheetdesk_parse_desk_line, reads_name_value_and_box_as_the_scanner_does) {
  struct row {
    const char* line;
    const char* name;
    int value, left, top, width, height;
  };
  const row rows[] = {
      {"1.A=0[100,200,10,12]\n", "1.A", 0, 100, 200, 10, 12},
      {"Q 12=7[-3,+4,5,6]", "Q 12", 7, -3, 4, 5, 6},
      {" lead=1[ 2, 3,\t4, 5]", " lead", 1, 2, 3, 4, 5},    // %d skips white space, the name keeps it
      {"gap=5 [1,2,3,4]", "gap", 5, 0, 0, 0, 0},           // a space before '[' stops the scan
      {"part=2[8,9", "part", 2, 8, 9, 0, 0},               // fields that scan are kept
      {"odd=2[8;9,1,1]", "odd", 2, 8, 0, 0, 0},
      {"no equals sign\n", "no equals sign", 0, 0, 0, 0, 0},
      {"=3[1,2,3,4]", "", 0, 0, 0, 0, 0},                  // "%[^=]" needs one character
      {"\n", "", 0, 0, 0, 0, 0},
      {"", "", 0, 0, 0, 0, 0},
      {"a=b=1[1,1,1,1]", "a", 0, 0, 0, 0, 0},              // the name ends at the first '='
      {"big=99999999999[1,2,-99999999999,4]", "big", INT_MAX, 1, 2, INT_MIN, 4},
      {"x=1[2,3,4,5]tail", "x", 1, 2, 3, 4, 5},
  };
  for (const row& r : rows) {
    const desk_box b = parse_desk_line(r.line);
    EXPECT_EQ(b.name, r.name) << r.line;
    EXPECT_EQ(b.value, r.value) << r.line;
    EXPECT_EQ(b.left, r.left) << r.line;
    EXPECT_EQ(b.top, r.top) << r.line;
    EXPECT_EQ(b.width, r.width) << r.line;
    EXPECT_EQ(b.height, r.height) << r.line;
  }
}

TEST(sheetdesk_parse_desk_line, cuts_long_names_to_39_bytes_without_splitting_a_character) {
  const desk_box plain = parse_desk_line(std::string(50, 'n') + "=1[2,3,4,5]");
  EXPECT_EQ(plain.name, std::string(39, 'n'));
  EXPECT_EQ(plain.value, 1);
  EXPECT_EQ(plain.height, 5);
  // 38 ASCII bytes and a two-byte character would end at byte 40: the character goes whole.
  const desk_box wide = parse_desk_line(std::string(38, 'n') + "\xC3\xA9=1[2,3,4,5]");
  EXPECT_EQ(wide.name, std::string(38, 'n'));
  const desk_box fits = parse_desk_line(std::string(37, 'n') + "\xC3\xA9=1[2,3,4,5]");
  EXPECT_EQ(fits.name, std::string(37, 'n') + "\xC3\xA9");
}

TEST(sheetdesk_parse_desk_line, stops_at_a_nul_byte) {
  const desk_box b = parse_desk_line(std::string("ab\0c=1[1,1,1,1]", 15));
  EXPECT_EQ(b.name, "ab");
  EXPECT_EQ(b.value, 0);
}

TEST(sheetdesk_read_desk_template, reads_every_piece_as_one_box_in_file_order) {
  temp_dir dir;
  const std::string path = dir.file("VarnelTpl.txt");
  // CR LF line ends, a blank line, a line of 150 characters (two pieces), no final line feed.
  const std::string long_line = "long=1[1,1,1,1]" + std::string(135, 'x');
  write_file(path, "1.A=0[10,20,5,6]\r\n\r\n" + long_line + "\n2.B=1[1,2,3,4]");
  const std::vector<desk_box> boxes = read_desk_template(path);
  ASSERT_EQ(boxes.size(), 5u);
  EXPECT_EQ(boxes[0].name, "1.A");
  EXPECT_EQ(boxes[0].height, 6);
  EXPECT_EQ(boxes[1].name, "");
  EXPECT_EQ(boxes[2].name, "long");
  EXPECT_EQ(boxes[2].width, 1);
  EXPECT_EQ(boxes[3].name, std::string(long_line.substr(99, 39)));
  EXPECT_EQ(boxes[4].name, "2.B");
  EXPECT_EQ(boxes[4].height, 4);
}

TEST(sheetdesk_read_desk_template, keeps_at_most_1024_boxes) {
  temp_dir dir;
  const std::string path = dir.file("VarnelTpl.txt");
  std::string text;
  for (int i = 0; i < 1100; ++i) {
    text += 'b';
    text += std::to_string(i);
    text += "=0[0,0,1,1]\n";
  }
  write_file(path, text);
  const std::vector<desk_box> boxes = read_desk_template(path);
  ASSERT_EQ(boxes.size(), 1024u);
  EXPECT_EQ(boxes.back().name, "b1023");
}

TEST(sheetdesk_read_desk_template, a_missing_or_empty_file_gives_no_box) {
  temp_dir dir;
  EXPECT_TRUE(read_desk_template(dir.file("absent.txt")).empty());
  write_file(dir.file("empty.txt"), "");
  EXPECT_TRUE(read_desk_template(dir.file("empty.txt")).empty());
  EXPECT_TRUE(read_desk_template(dir.path()).empty());  // a folder
}

TEST(sheetdesk_box_mark, marks_more_than_four_tenths_and_exactly_four_tenths) {
  struct row {
    int dark_pixels;  // of a 5 x 2 box, filled row by row
    int mark;
  };
  const row rows[] = {{0, 0}, {3, 0}, {4, 1}, {5, 1}, {10, 1}};
  for (const row& r : rows) {
    platform::bitmap image = filled_image(20, 20);
    for (int i = 0; i < r.dark_pixels; ++i) paint_rect(image, 6 + i % 5, 8 + i / 5, 1, 1);
    EXPECT_EQ(box_mark(image, desk_box{"b", 0, 6, 8, 5, 2}), r.mark) << r.dark_pixels << " of 10";
  }
}

TEST(sheetdesk_box_mark, counts_only_the_box_columns_and_rows) {
  platform::bitmap image = filled_image(20, 20);
  paint_rect(image, 0, 0, 20, 20);
  paint_rect(image, 5, 5, 4, 4, sheetdesk_test::white);  // a white 4 x 4 hole in a dark page
  EXPECT_EQ(box_mark(image, desk_box{"hole", 0, 5, 5, 4, 4}), 0);
  EXPECT_EQ(box_mark(image, desk_box{"wider", 0, 4, 5, 5, 4}), 0);   // 4 of 20 dark
  EXPECT_EQ(box_mark(image, desk_box{"wide", 0, 2, 5, 7, 4}), 1);    // 12 of 28
}

TEST(sheetdesk_box_mark, empty_boxes_and_parts_outside_the_image_read_as_white) {
  const platform::bitmap dark = filled_image(10, 10, sheetdesk_test::black);
  struct row {
    const char* what;
    desk_box box;
    int mark;
  };
  const row rows[] = {
      {"zero width", {"z", 1, 2, 2, 0, 5}, 0},
      {"zero height", {"z", 1, 2, 2, 5, 0}, 0},
      {"negative size", {"z", 1, 2, 2, -5, -5}, 0},
      {"inside", {"in", 0, 2, 2, 5, 5}, 1},
      {"half above the top (50 %)", {"half", 0, 0, -5, 10, 10}, 1},
      {"three quarters left and above (25 %)", {"corner", 0, -5, -5, 10, 10}, 0},
      {"wholly outside", {"out", 0, 50, 50, 4, 4}, 0},
      {"at the far corner", {"far", 0, 9, 9, 5, 5}, 0},
      {"huge", {"huge", 0, INT_MIN, INT_MIN, INT_MAX, INT_MAX}, 0},
      {"huge at the end of the range", {"edge", 0, INT_MAX, INT_MAX, INT_MAX, INT_MAX}, 0},
  };
  for (const row& r : rows) EXPECT_EQ(box_mark(dark, r.box), r.mark) << r.what;
}

TEST(sheetdesk_result_line, repeats_the_box_with_its_mark_and_is_never_cut) {
  EXPECT_EQ(result_line(desk_box{"1.A", 7, 100, 200, 10, 12}, 1), "1.A=1[100,200,10,12]\n");
  EXPECT_EQ(result_line(desk_box{"", 0, -1, -2, 0, 0}, 0), "=0[-1,-2,0,0]\n");
  const desk_box widest{std::string(39, 'w'), 0, INT_MIN, INT_MIN, INT_MIN, INT_MIN};
  const std::string line = result_line(widest, 1);
  EXPECT_GT(line.size(), 63u);
  EXPECT_EQ(line, std::string(39, 'w') + "=1[-2147483648,-2147483648,-2147483648,-2147483648]\n");
}

TEST(sheetdesk_result_path_for, replaces_every_jpg_and_never_lands_on_the_jpeg) {
  struct row {
    const char* image;
    const char* result;
  };
  const row rows[] = {
      {"/out/sheet.jpg", "/out/sheet.txt"},
      {"sheet.jpg", "sheet.txt"},
      {"/jpg/a.jpg", "/txt/a.txt"},      // a folder's "jpg" is replaced too
      {"jpgjpg", "txttxt"},
      {"jpjpg", "jptxt"},
      {"/out/sheet.JPG", "/out/sheet.JPG.txt"},  // case-sensitive: no "jpg", so beside it
      {"/out/sheet.jpeg", "/out/sheet.jpeg.txt"},
      {"/out/sheet", "/out/sheet.txt"},
      {"/out/sheet.txt", "/out/sheet.txt.txt"},
      {"", ""},
      {"/out/", ""},
  };
  for (const row& r : rows) EXPECT_EQ(result_path_for(r.image), r.result) << r.image;
}

TEST(sheetdesk_write_desk_result, writes_one_line_per_box_in_template_order) {
  temp_dir dir;
  platform::bitmap image = filled_image(30, 30);
  paint_rect(image, 10, 10, 5, 5);
  write_file(dir.file("tpl.txt"), "full=9[10,10,5,5]\nempty=9[20,20,5,5]\n\nzero=1[10,10,0,5]\n");
  ASSERT_TRUE(write_desk_result(image, dir.file("tpl.txt"), dir.file("out.txt")));
  EXPECT_EQ(read_file(dir.file("out.txt")), "full=1[10,10,5,5]\nempty=0[20,20,5,5]\n=0[0,0,0,0]\nzero=0[10,10,0,5]\n");
}

TEST(sheetdesk_write_desk_result, a_missing_template_gives_an_empty_file_that_replaces_the_old_one) {
  temp_dir dir;
  const platform::bitmap image = filled_image(8, 8);
  write_file(dir.file("out.txt"), "old contents\n");
  ASSERT_TRUE(write_desk_result(image, dir.file("absent.txt"), dir.file("out.txt")));
  EXPECT_TRUE(test_support::file_present(dir.file("out.txt")));
  EXPECT_EQ(read_file(dir.file("out.txt")), "");
}

TEST(sheetdesk_write_desk_result, reports_a_result_that_cannot_be_written) {
  temp_dir dir;
  const platform::bitmap image = filled_image(8, 8);
  EXPECT_FALSE(write_desk_result(image, dir.file("absent.txt"), dir.file("no/such/folder/out.txt")));
  EXPECT_FALSE(write_desk_result(image, dir.file("absent.txt"), ""));
}

}  // namespace
