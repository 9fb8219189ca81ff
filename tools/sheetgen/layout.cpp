// The printed answer sheet: an A4 exam form with a title, name and class
// lines, an optional student-number grid (eight rows of the digits 0 to 9),
// a score box and 60 questions with options A to D in three blocks of 20.
//
// Why the shapes look as they do:
// - The four corner anchors are solid squares; the two bottom ones carry a
//   white square hole (about a fifth of their area) so the reader can tell
//   the top edge from the fuller anchors.
// - Every answer box is clearly wider than tall (6.6 x 4.0 mm, student
//   digits 5.4 x 3.2 mm), so even a box filled solid with a generous spill
//   never passes for a square anchor.
// - Each row of boxes is one group in the template (12.A .. 12.D, or
//   N3.0 .. N3.9 for student-number row 3), because the reader aligns a
//   group as one horizontal row. Rows are 8.2 mm apart (student rows 5.4 mm),
//   and rules, headings and numbers keep clear of the reader's search around
//   a row (half a box beyond it on every side), so they never pull a row
//   off its boxes.
// - Letters and numbers stay outside the boxes, so an empty box is empty.
#include <cmath>
#include <cstdio>

#include "tools/sheetgen/internal.h"

namespace sheetgen {

namespace {

constexpr int question_count = 60;
constexpr int rows_per_block = 20;
constexpr int option_count = 4;
constexpr double block_left[3] = {20.0, 82.0, 144.0};
constexpr double first_box_offset = 14.0;  // from the block's left to the first box centre
constexpr double option_pitch = 9.5;
constexpr double first_row_y = 116.0;
constexpr double row_pitch = 8.2;
constexpr double answer_half_width = 3.3;
constexpr double answer_half_height = 2.0;

constexpr int student_rows = 8;
constexpr double student_first_x = 40.0;
constexpr double student_pitch_x = 7.0;
constexpr double student_first_y = 62.0;
constexpr double student_pitch_y = 5.4;
constexpr double student_half_width = 2.7;
constexpr double student_half_height = 1.6;

}  // namespace

std::vector<layout_box> sheet_layout(bool student_number) {
  std::vector<layout_box> boxes;
  if (student_number) {
    for (int r = 0; r < student_rows; ++r) {
      for (int d = 0; d < 10; ++d) {
        layout_box b;
        char name[16];
        std::snprintf(name, sizeof name, "N%d.%d", r + 1, d);
        b.name = name;
        b.center_x = student_first_x + d * student_pitch_x;
        b.center_y = student_first_y + r * student_pitch_y;
        b.half_width = student_half_width;
        b.half_height = student_half_height;
        boxes.push_back(b);
      }
    }
  }
  for (int q = 0; q < question_count; ++q) {
    const int block = q / rows_per_block;
    const int row = q % rows_per_block;
    for (int o = 0; o < option_count; ++o) {
      layout_box b;
      char name[16];
      std::snprintf(name, sizeof name, "%d.%c", q + 1, 'A' + o);
      b.name = name;
      b.center_x = block_left[block] + first_box_offset + o * option_pitch;
      b.center_y = first_row_y + row * row_pitch;
      b.half_width = answer_half_width;
      b.half_height = answer_half_height;
      boxes.push_back(b);
    }
  }
  return boxes;
}

std::string template_text(const std::vector<layout_box>& layout) {
  using namespace detail;
  auto tenths = [](double mm) { return static_cast<int>(std::lround(mm * 10.0)); };
  std::string out;
  char line[160];
  std::snprintf(line, sizeof line, "width=%d;height=%d\n", tenths(anchor_right_mm - anchor_left_mm),
                tenths(anchor_bottom_mm - anchor_top_mm));
  out += line;
  for (const layout_box& b : layout) {
    std::snprintf(line, sizeof line, "%s=0[%d,%d,%d,%d]\n", b.name.c_str(), tenths(b.center_x - anchor_left_mm),
                  tenths(b.center_y - anchor_top_mm), tenths(b.half_width), tenths(b.half_height));
    out += line;
  }
  return out;
}

namespace detail {

namespace {

void centred_text(sheet_canvas& c, const std::string& s, double centre_x, double baseline, double h) {
  c.text(s, centre_x - sheet_canvas::text_width(s, h) / 2, baseline, h, print_ink);
}

void rule(sheet_canvas& c, double x0, double x1, double y, double line_mm) {
  coverage_mask m = c.mask_for(x0, y, x1, y + line_mm);
  c.add_rect(m, x0, y, x1, y + line_mm);
  c.apply(m, print_ink);
}

}  // namespace

void print_sheet(sheet_canvas& canvas, const std::vector<layout_box>& layout, bool student_number, double anchor_mm,
                 double line_mm) {
  // Corner anchors.
  const double half = anchor_mm / 2;
  const double hole = anchor_mm * 0.45 / 2;
  const point_d centres[4] = {{anchor_left_mm, anchor_top_mm},
                              {anchor_right_mm, anchor_top_mm},
                              {anchor_right_mm, anchor_bottom_mm},
                              {anchor_left_mm, anchor_bottom_mm}};
  for (int i = 0; i < 4; ++i) {
    const point_d c = centres[i];
    coverage_mask m = canvas.mask_for(c.x - half, c.y - half, c.x + half, c.y + half);
    canvas.add_rect(m, c.x - half, c.y - half, c.x + half, c.y + half);
    if (i >= 2) canvas.cut_rect(m, c.x - hole, c.y - hole, c.x + hole, c.y + hole);
    canvas.apply(m, print_ink);
  }

  // Heading.
  centred_text(canvas, "ANSWER SHEET", 105, 24, 6.0);
  centred_text(canvas, "FINAL EXAMINATION - FORM A", 105, 30.5, 3.0);
  canvas.text("NAME:", 22, 39, 2.8, print_ink);
  rule(canvas, 36, 120, 39.2, 0.25);
  canvas.text("CLASS:", 126, 39, 2.8, print_ink);
  rule(canvas, 143, 190, 39.2, 0.25);
  canvas.text("USE A DARK PEN OR PENCIL. FILL THE BOX COMPLETELY.", 22, 46, 2.4, print_ink);
  rule(canvas, 20, 190, 49.5, line_mm);

  if (student_number) {
    canvas.text("STUDENT NUMBER", 22, 55.5, 2.6, print_ink);
    for (int d = 0; d < 10; ++d)
      centred_text(canvas, std::to_string(d), student_first_x + d * student_pitch_x, student_first_y - 3.2, 2.4);
    for (int r = 0; r < student_rows; ++r)
      canvas.text(std::to_string(r + 1), 27, student_first_y + r * student_pitch_y + 1.2, 2.4, print_ink);
  }

  // Score box for the teacher.
  {
    coverage_mask m = canvas.mask_for(125, 53, 190, 100);
    canvas.add_outline(m, 125, 53, 190, 100, line_mm);
    canvas.apply(m, print_ink);
    canvas.text("FOR OFFICE USE", 129, 59, 2.4, print_ink);
    canvas.text("SCORE", 129, 72, 3.0, print_ink);
    rule(canvas, 148, 185, 72.2, 0.25);
    canvas.text("CHECKED", 129, 84, 3.0, print_ink);
    rule(canvas, 155, 185, 84.2, 0.25);
  }
  rule(canvas, 20, 190, 105.5, line_mm);

  // Column letters and question numbers.
  for (double left : block_left) {
    for (int o = 0; o < option_count; ++o)
      centred_text(canvas, std::string(1, static_cast<char>('A' + o)), left + first_box_offset + o * option_pitch,
                   first_row_y - 4.6, 2.8);
  }
  for (int q = 0; q < question_count; ++q) {
    const std::string n = std::to_string(q + 1);
    const double right = block_left[q / rows_per_block] + 7.5;
    const double y = first_row_y + (q % rows_per_block) * row_pitch;
    canvas.text(n, right - sheet_canvas::text_width(n, 2.8), y + 1.4, 2.8, print_ink);
  }

  // Box outlines, the outer edge on the box's extent.
  for (const layout_box& b : layout) {
    const double x0 = b.center_x - b.half_width, x1 = b.center_x + b.half_width;
    const double y0 = b.center_y - b.half_height, y1 = b.center_y + b.half_height;
    coverage_mask m = canvas.mask_for(x0, y0, x1, y1);
    canvas.add_outline(m, x0, y0, x1, y1, line_mm);
    canvas.apply(m, print_ink);
  }

  centred_text(canvas, "FORM 60/4 - DO NOT FOLD", 105, 287, 2.4);
}

}  // namespace detail

}  // namespace sheetgen
