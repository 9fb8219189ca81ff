// Synthetic photographs of filled-in answer sheets, for tests, the demo and
// the benchmarks.
//
// A render is deterministic for its options (seed included): the same options
// give the same pixels, template text and truth on every machine, because all
// randomness comes from the generator's own PRNG and the pixel arithmetic
// avoids library random distributions.
//
// Units and conventions:
// - The printed sheet is laid out in millimetres (A4 portrait, 210 x 297).
// - The template is written in tenths of a millimetre: the header is the
//   rectangle through the anchor centres, box centres are relative to the
//   top-left anchor centre (the sheet's own top-left, before any turn).
// - The photograph has y growing downwards. `skew_degrees` follows the
//   reader: positive means the sheet's printed lines descend from left to
//   right. `turn_degrees` turns the sheet clockwise on screen before the skew.
// - The orientation code is the reader's: the side on which the sheet's top
//   edge (the two solid anchors) lies: 0 top, 1 left, 2 bottom, 3 right.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/bitmap.h"

namespace sheetgen {

enum class desk_kind { grey, wood, mat };
enum class mark_style { pen, pencil, mixed };
// How the marked boxes are chosen: at random from the seed (one option per
// question, a few questions left blank or double-marked, one digit per
// student-number row), or exactly the names in `marked`.
enum class mark_choice { random, listed };

struct point_d {
  double x = 0;
  double y = 0;
};

struct sheet_options {
  std::uint64_t seed = 1;
  int photo_width = 3264;
  int photo_height = 2448;
  // Reader's sense: positive = printed lines descend from left to right.
  double skew_degrees = 0.0;
  // Clockwise turn of the sheet on the desk: 0, 90, 180 or 270.
  int turn_degrees = 0;
  // Keystone strength from 0 (camera straight above) to 1 (the most the
  // reader tolerates: corners move by about 6 photo pixels).
  double perspective = 0.0;
  // Uneven light from 0 (flat) to 1 (about 25 % darker in the dimmest part).
  double light = 0.0;
  // Sensor noise, standard deviation in grey levels (0 = none).
  double noise = 0.0;
  // Lens blur, Gaussian standard deviation in photo pixels (0 = none).
  double blur = 0.0;
  // JPEG quality for write_photo when the path ends in .jpg/.jpeg.
  int jpeg_quality = 90;
  desk_kind desk = desk_kind::grey;
  mark_style style = mark_style::mixed;
  mark_choice choice = mark_choice::random;
  std::vector<std::string> marked;  // box names, used with mark_choice::listed
  bool student_number = true;       // print the student-number grid
  // Side of an anchor in photo pixels; the printed anchor size follows it so
  // that its area stays well inside the reader's 600..2000 pixel window.
  double anchor_pixels = 38.0;
  // Length of the sheet's long side as a share of the photo's short side.
  double sheet_fraction = 0.80;
};

// One printed answer box of the layout, in sheet millimetres.
struct layout_box {
  std::string name;  // "12.C" for questions, "N3.7" for student-number digit 7 of row 3
  double center_x = 0;
  double center_y = 0;
  double half_width = 0;
  double half_height = 0;
};

// Where a box ended up and how it was marked.
struct box_truth {
  std::string name;
  int marked = 0;           // 1 marked, 0 empty
  std::string style;        // "pen", "pencil" or "" for an empty box
  point_d photo_center;     // the box centre in photo pixels
};

struct sheet_truth {
  std::uint64_t seed = 0;
  int photo_width = 0;
  int photo_height = 0;
  double skew_degrees = 0;  // reader's sense
  int turn_degrees = 0;
  int orientation = 0;      // reader's orientation code
  // Anchor centres in photo pixels in the photograph's own view order:
  // left-top, right-top, right-bottom, left-bottom (the locate file's order).
  std::array<point_d, 4> corners{};
  // The same anchors in the sheet's order: its top-left, top-right,
  // bottom-right, bottom-left (top = the two solid anchors).
  std::array<point_d, 4> sheet_corners{};
  double anchor_side_pixels = 0;  // printed anchor side at the photo's scale
  std::vector<box_truth> boxes;   // template order

  std::vector<std::string> marked_names() const;
};

// Maps sheet millimetres to photo pixels (a homography).
struct sheet_geometry {
  std::array<double, 9> to_photo{};   // row-major 3x3
  std::array<double, 9> to_sheet{};   // its inverse
  point_d photo_from_sheet(double x_mm, double y_mm) const;
  point_d sheet_from_photo(double x, double y) const;
};

struct rendered_sheet {
  platform::bitmap photo;
  std::string template_text;
  sheet_truth truth;
  sheet_geometry geometry;
  std::vector<layout_box> layout;  // template order
  double anchor_side_mm = 0;
};

// Renders a photograph. False, with a reason in `error`, for options that
// cannot be met (size out of range, turn not a quarter, sheet not fitting,
// a listed name that is no box).
bool render_sheet(const sheet_options& options, rendered_sheet& out, std::string& error);

// The printed layout alone (no rendering): boxes in template order.
std::vector<layout_box> sheet_layout(bool student_number);
// Template text in the reader's format: "width=%d;height=%d" then
// "NAME=0[cx,cy,hw,hh]" lines, tenths of a millimetre.
std::string template_text(const std::vector<layout_box>& layout);

// Options of a realistic, varied photograph for the corpus: skew within
// +-4 degrees, any turn, some perspective, uneven light, noise, blur, a desk
// and marks chosen from the seed.
sheet_options varied_options(std::uint64_t seed, int photo_width, int photo_height);

// Truth file: "key=value" lines, then one "NAME=0|1" line per box.
std::string format_truth(const sheet_truth& truth);
bool parse_truth(const std::string& text, sheet_truth& truth);

// File writers. write_photo picks PNG for a path ending in ".png" and JPEG
// (with `jpeg_quality`) otherwise.
bool write_photo(const std::string& path, const platform::bitmap& photo, int jpeg_quality);
bool write_text_file(const std::string& path, const std::string& text);
// Writes base + ".jpg" (or ".png"), base + "_template.txt", base + "_truth.txt".
bool write_sheet_files(const std::string& base, const rendered_sheet& sheet, int jpeg_quality, bool png,
                       std::string& error);

}  // namespace sheetgen
