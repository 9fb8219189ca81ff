#include "sheetdesk/line_votes.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace sheetdesk {

namespace {

// The angle of column a in radians, with the two constants the reader has
// always used (column 45 comes out a hair off 0, and distances truncate
// accordingly; changing them would move votes between rows).
double column_angle(int a) { return (a * 3.1415926 - 141.371667) / 180.0; }

struct column_trig {
  std::array<double, angle_columns> cos_a{};
  std::array<double, angle_columns> sin_a{};
  column_trig() {
    for (int a = 0; a < angle_columns; ++a) {
      cos_a[a] = std::cos(column_angle(a));
      sin_a[a] = std::sin(column_angle(a));
    }
  }
};

const column_trig& trig() {
  static const column_trig table;
  return table;
}

void mark_dark_row(const std::uint8_t* row, int width, std::vector<std::uint8_t>& dark) {
  for (int x = 0; x < width; ++x) dark[x] = is_dark_pixel(row + x * platform::bytes_per_pixel) ? 1 : 0;
}

// Index of the first greatest count, or -1 when every count is 0.
int first_greatest(const std::vector<int>& counts) {
  int best = -1;
  int best_count = 0;
  for (std::size_t i = 0; i < counts.size(); ++i) {
    if (counts[i] > best_count) {
      best_count = counts[i];
      best = static_cast<int>(i);
    }
  }
  return best;
}

}  // namespace

vote_table vote_lines(const platform::bitmap& photo) {
  vote_table table;
  if (!photo.has_image() || photo.width() <= 0 || photo.height() <= 0) return table;
  const int width = photo.width();
  const int height = photo.height();
  table.width = width;
  table.height = height;
  table.rows = 2 * (width + height);
  table.counts.assign(static_cast<std::size_t>(table.rows) * angle_columns + 1, 0);

  const column_trig& t = trig();
  const int last_row = table.rows - 1;
  std::uint32_t* counts = table.counts.data();
  std::vector<std::uint8_t> dark_here(static_cast<std::size_t>(width));
  std::vector<std::uint8_t> dark_below(static_cast<std::size_t>(width));
  std::array<double, angle_columns> y_cos{};
  mark_dark_row(photo.row(0), width, dark_here);
  for (int y = 0; y + 1 < height; ++y) {
    mark_dark_row(photo.row(y + 1), width, dark_below);
    const double yd = y;
    for (int a = 0; a < angle_columns; ++a) y_cos[a] = yd * t.cos_a[a];
    for (int x = 0; x < width; ++x) {
      if (!dark_here[x] || dark_below[x]) continue;
      const double xd = x;
      for (int a = 0; a < angle_columns; ++a) {
        // y cos t - x sin t + W, truncated toward zero. For -45 .. +44 degrees
        // it never leaves 0 .. rows - 1; the clamp only guards the table.
        int r = static_cast<int>(y_cos[a] - xd * t.sin_a[a] + width);
        if (r < 0) r = 0;
        if (r > last_row) r = last_row;
        ++counts[static_cast<std::size_t>(r) * angle_columns + a];
      }
    }
    std::swap(dark_here, dark_below);
  }
  return table;
}

peak_list find_peaks(const vote_table& table) {
  peak_list peaks{};
  // The spare cell after the last row is not visited.
  const std::size_t cells = static_cast<std::size_t>(table.rows) * angle_columns;
  const std::uint32_t* counts = table.counts.data();
  for (std::size_t cell = 0; cell < cells; ++cell) {
    const std::uint32_t count = counts[cell];
    if (count <= peaks[peak_count - 1].count) continue;
    peaks[peak_count - 1] = peak{count, static_cast<int>(cell)};
    // Up past every strictly weaker entry: an equal count that came first stays ahead.
    for (int i = peak_count - 1; i > 0 && peaks[i - 1].count < peaks[i].count; --i) std::swap(peaks[i - 1], peaks[i]);
  }
  return peaks;
}

double average_skew(const peak_list& peaks) {
  int sum = 0;
  for (const peak& p : peaks) sum += peak_angle(p);
  return sum / static_cast<double>(peak_count);
}

int strongest_left_column(const platform::bitmap& image, int columns) {
  if (!image.has_image()) return -1;
  columns = std::clamp(columns, 0, image.width());
  std::vector<int> counts(static_cast<std::size_t>(columns), 0);
  for (int y = 0; y < image.height(); ++y) {
    const std::uint8_t* row = image.row(y);
    for (int x = 0; x < columns; ++x)
      if (is_dark_pixel(row + x * platform::bytes_per_pixel)) ++counts[x];
  }
  return first_greatest(counts);
}

int strongest_top_row(const platform::bitmap& image, int rows) {
  if (!image.has_image()) return -1;
  rows = std::clamp(rows, 0, image.height());
  std::vector<int> counts(static_cast<std::size_t>(rows), 0);
  for (int y = 0; y < rows; ++y) {
    const std::uint8_t* row = image.row(y);
    for (int x = 0; x < image.width(); ++x)
      if (is_dark_pixel(row + x * platform::bytes_per_pixel)) ++counts[y];
  }
  return first_greatest(counts);
}

border_lines find_border_lines(const platform::bitmap& image, int top_fallback) {
  border_lines lines{0, top_fallback};
  const int left = strongest_left_column(image, image.width() / 4);
  const int top = strongest_top_row(image, image.height() / 4);
  if (left >= 0) lines.left = left;
  if (top >= 0) lines.top = top;
  return lines;
}

}  // namespace sheetdesk
