#include "tests/sheetdesk/sheet_images.h"

#include <cmath>
#include <cstring>

namespace sheetdesk_test {

platform::bitmap filled_image(int width, int height, bgr colour) {
  platform::bitmap image;
  image.create(width, height);
  paint_rect(image, 0, 0, width, height, colour);
  return image;
}

void paint(platform::bitmap& image, int x, int y, bgr colour) {
  if (x < 0 || y < 0 || x >= image.width() || y >= image.height()) return;
  std::uint8_t* px = image.row(y) + x * platform::bytes_per_pixel;
  px[platform::channel_blue] = colour.blue;
  px[platform::channel_green] = colour.green;
  px[platform::channel_red] = colour.red;
}

void paint_rect(platform::bitmap& image, int x, int y, int width, int height, bgr colour) {
  for (int yy = y; yy < y + height; ++yy)
    for (int xx = x; xx < x + width; ++xx) paint(image, xx, yy, colour);
}

bgr pixel_at(const platform::bitmap& image, int x, int y) {
  const std::uint8_t* px = image.row(y) + x * platform::bytes_per_pixel;
  return bgr{px[platform::channel_blue], px[platform::channel_green], px[platform::channel_red]};
}

platform::bitmap grid_image(std::initializer_list<const char*> rows) {
  const int height = static_cast<int>(rows.size());
  const int width = height > 0 ? static_cast<int>(std::strlen(*rows.begin())) : 0;
  platform::bitmap image = filled_image(width, height);
  int y = 0;
  for (const char* row : rows) {
    for (int x = 0; x < width && row[x]; ++x)
      if (row[x] == '#') paint(image, x, y);
    ++y;
  }
  return image;
}

bool ruled_sheet_dark(const ruled_sheet_layout& s, double x, double y) {
  const double l = s.frame_left, t = s.frame_top, r = s.frame_right + 1.0, b = s.frame_bottom + 1.0;
  if (x < l || y < t || x >= r || y >= b) return false;
  const int f = s.frame_width;
  if (x < l + f || x >= r - f || y < t + f || y >= b - f) return true;  // the frame
  const double inside = y - (t + f);
  const double phase = inside - std::floor(inside / s.rule_step) * s.rule_step;
  // The rules stop short of the frame, so a frame row always outweighs a rule row.
  return inside >= s.rule_step && phase < 2.0 && x >= l + f + 10 && x < r - f - 10;
}

platform::bitmap ruled_sheet(const ruled_sheet_layout& s, double degrees) {
  platform::bitmap image = filled_image(s.width, s.height);
  const double mx = s.width / 2, my = s.height / 2;
  const double a = -degrees * 3.14159265358979323846 / 180.0;  // back to the level sheet
  const double c = std::cos(a), sn = std::sin(a);
  for (int y = 0; y < s.height; ++y) {
    for (int x = 0; x < s.width; ++x) {
      const double dx = x - mx, dy = y - my;
      const double lx = mx + dx * c - dy * sn;
      const double ly = my + dx * sn + dy * c;
      if (ruled_sheet_dark(s, std::floor(lx + 0.5), std::floor(ly + 0.5))) paint(image, x, y);
    }
  }
  return image;
}

}  // namespace sheetdesk_test
