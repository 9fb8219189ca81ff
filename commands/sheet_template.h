// The answer-sheet template: where the boxes of a printed sheet lie.
//
// File form (text, one record per line):
//   width=%d;height=%d                  the page size in template pixels
//   %[^=]=%d[%d,%d,%d,%d]               name=value[center_x,center_y,half_width,half_height]
// The same grammar serves the result file of "recognize", whose header then
// carries the cut image's size and whose values are the marks found.
//
// Lines are read in pieces of at most 99 bytes (a longer line goes on as the
// next piece) and scanned the way the C library's formatted input does it;
// whatever does not scan stays 0, and every line after the first becomes a box.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/geometry.h"

// Longest name a box keeps, in bytes; longer names are cut at a character
// boundary so the result file stays valid UTF-8.
constexpr std::size_t max_box_name_bytes = 39;

struct template_box {
  std::string name;  // everything before the line's first '=', at most 39 bytes
  std::int32_t value = 0;
  std::int32_t center_x = 0;
  std::int32_t center_y = 0;
  std::int32_t half_width = 0;
  std::int32_t half_height = 0;
  float fill_ratio = 0.0f;  // used by the match step only, never in a file
  std::string name_head;    // before the name's first '.'; empty without '.'
  std::string name_tail;    // after it; the whole name without '.'
};

// One matched row of boxes (see match_step.h for how it is found).
// The profiles hold the rows and columns of search_rect that lie inside the
// image (those outside count 0 and are not stored, so a rectangle reaching
// far beyond the image costs no memory); entry 0 stands for row
// row_profile_top and column column_profile_left.
struct box_group {
  rect search_rect;  // inclusive
  std::vector<std::int32_t> row_profile;     // dark pixels per row
  std::vector<std::int32_t> column_profile;  // dark pixels per column
  std::int32_t row_profile_top = 0;
  std::int32_t column_profile_left = 0;
  std::int32_t best_top = 0;
  std::int32_t best_left = 0;
  std::int32_t paper_level = 0;
  std::vector<template_box> results;  // the group's boxes as matched, in template order
};

// Which boxes the writer lists: the matched groups' results (full build) or
// the box list itself (the early build matches its boxes in place).
enum class template_output { group_results, box_list };

struct sheet_template {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<template_box> boxes;  // file order, duplicates allowed
  std::vector<box_group> groups;    // empty as read; filled by the match step

  // Writes the header and the boxes chosen by `output`. The file appears
  // whole or not at all (written aside, then moved into place).
  // 1 when written, 0 when it could not be.
  int write_template(const std::string& path, template_output output = template_output::group_results) const;
};

// Whether a box name is split into name_head and name_tail at its first '.'.
// The early build keeps names whole.
enum class name_split { at_first_dot, none };

// The one template of the process: empty at start, replaced by each
// read_template that opens its file, copied by the commands that use it.
sheet_template& current_template();

// Parses template text (as it comes from the file, line feeds included) into
// a template. Exposed for the reader and for tests.
sheet_template parse_template(const std::string& text, name_split split = name_split::at_first_dot);

// Reads the file into current_template. 1 when it then holds at least one
// box; 0 otherwise. A file that cannot be opened (missing, unreadable, or
// not a regular file: a folder, a pipe, a device) leaves current_template
// as it was.
int read_template(const std::string& path, name_split split = name_split::at_first_dot);

// Fills name_head and name_tail from name.
void split_box_name(template_box& box, name_split split = name_split::at_first_dot);
