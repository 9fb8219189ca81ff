// The box template of sheetdesk and its result file.
//
// Template lines read "name=value[left,top,width,height]" (no header line;
// the numbers are pixels of the aligned image). The file is read in pieces of
// at most 99 characters, each piece one box in file order, at most 1024 boxes.
// The result file repeats every box with its value replaced by the mark:
// 1 when more than 0.4 of the box (compared in single precision, so exactly
// 40 % counts) is dark, else 0.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/bitmap.h"

namespace sheetdesk {

constexpr const char* template_file_name = "VarnelTpl.txt";
constexpr int max_desk_boxes = 1024;
constexpr std::size_t max_name_bytes = 39;
constexpr std::size_t template_piece_chars = 99;

struct desk_box {
  std::string name;  // at most 39 bytes, no line end
  int value = 0;
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// One piece of a template line, without its line end: everything before the
// first '=' is the name (cut to 39 bytes at a character boundary), then value,
// left, top, width and height as the scanner reads them; fields that do not
// scan stay 0. A piece without '=' is all name; one starting with '=' has an
// empty name and all numbers 0.
desk_box parse_desk_line(std::string_view piece);

// The boxes of the template file, at most 1024 (further lines are ignored).
// A missing or empty file gives none.
std::vector<desk_box> read_desk_template(const std::string& path);

// 1 when the dark share of the box on the aligned image, in single precision,
// is greater than 0.4; 0 for a box of no width or height. Parts of a box
// outside the image count as white (as the aligned image's uncovered parts
// are), never as read.
int box_mark(const platform::bitmap& aligned, const desk_box& box);

// "name=mark[left,top,width,height]" and a line feed, written whole however long.
std::string result_line(const desk_box& box, int mark);

// Where the result of the image path goes: every "jpg" replaced by "txt"
// (case-sensitive, left to right). A path without "jpg" gets ".txt" appended
// so the JPEG is never overwritten; a path without a file name (empty, or
// ending in '/') gives "" (no result file).
std::string result_path_for(const std::string& image_path);

// Reads the template at template_path, marks every box on the aligned image
// and writes the result file (created or truncated). False when it could not
// be written.
bool write_desk_result(const platform::bitmap& aligned, const std::string& template_path,
                       const std::string& result_path);

}  // namespace sheetdesk
