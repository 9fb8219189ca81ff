// Line votes of a sheet photograph: the measuring half of sheetdesk's straightening.
//
// The photograph votes for straight lines in a table of 90 angle columns
// (-45 to +44 degrees in steps of 1) by distance; the 50 strongest cells give
// the skew as the average of their angles (whole degrees, so the average is a
// multiple of 1/50 degree). On the levelled image, the strongest dark column
// of the left quarter and the strongest dark row of the top quarter are taken
// as the sheet's border lines.
//
// Angles: degrees, positive clockwise on the image (y down); a line that falls
// to the right by t degrees has angle +t and is levelled by a turn of -t.
// Distances: vote rows, the photograph's width added so they stay positive.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/bitmap.h"

namespace sheetdesk {

constexpr int angle_columns = 90;  // angle index a means a - 45 degrees
constexpr int peak_count = 50;

// Gray 0.587 G + 0.299 R + 0.114 B in double, summed in that order, below 128.
// A neutral 128 comes out just below 128 and is dark; 129 is not.
inline bool is_dark(std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
  const double gray = 0.587 * green + 0.299 * red + 0.114 * blue;
  return gray < 128.0;
}
inline bool is_dark_pixel(const std::uint8_t* bgr) {
  return is_dark(bgr[platform::channel_blue], bgr[platform::channel_green], bgr[platform::channel_red]);
}

// Votes of one photograph: 2 * (width + height) distance rows of 90 angle
// columns plus one spare cell; cell index = row * 90 + angle index.
struct vote_table {
  int width = 0;
  int height = 0;
  int rows = 0;
  std::vector<std::uint32_t> counts;
};

// Every pixel that is dark above a pixel that is not votes once in each angle
// column, at distance trunc(y cos t - x sin t + width) (0 when negative).
// An empty table (rows 0) for a photograph without image.
vote_table vote_lines(const platform::bitmap& photo);

struct peak {
  std::uint32_t count = 0;
  int cell = 0;
};
using peak_list = std::array<peak, peak_count>;

// The 50 strongest cells, strongest first; among equal counts the lower cell
// index stays ahead. Entries that no cell filled stay (0, 0).
peak_list find_peaks(const vote_table& table);

inline int peak_angle(const peak& p) { return p.cell % angle_columns - 45; }
inline int peak_distance(const peak& p, int photo_width) { return p.cell / angle_columns - photo_width; }

// The average of the 50 peak angles; unfilled entries count as -45 degrees.
double average_skew(const peak_list& peaks);

// The border lines of a levelled image, found in one pass: `left` is the
// first column of the left quarter (x < width / 4) with the most dark pixels
// over all rows, 0 when none has one; `top` the first row of the top quarter
// (y < height / 4) with the most dark pixels over all columns, `top_fallback`
// when none has one.
struct border_lines {
  int left = 0;
  int top = 0;
};
border_lines find_border_lines(const platform::bitmap& image, int top_fallback);

// The two halves of that search: the first column of x < columns with the
// most dark pixels over all rows, and the first row of y < rows with the most
// dark pixels over all columns; -1 when none has a dark pixel.
int strongest_left_column(const platform::bitmap& image, int columns);
int strongest_top_row(const platform::bitmap& image, int rows);

}  // namespace sheetdesk
