// Small photographs drawn in code for the sheetdesk tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "platform/bitmap.h"

namespace sheetdesk_test {

struct bgr {
  std::uint8_t blue, green, red;
};
constexpr bgr black{0, 0, 0};
constexpr bgr white{255, 255, 255};

platform::bitmap filled_image(int width, int height, bgr colour = white);
void paint(platform::bitmap& image, int x, int y, bgr colour = black);
void paint_rect(platform::bitmap& image, int x, int y, int width, int height, bgr colour = black);
bgr pixel_at(const platform::bitmap& image, int x, int y);

// One string per row: '#' black, '.' white.
platform::bitmap grid_image(std::initializer_list<const char*> rows);

// A ruled sheet: a frame `frame_width` pixels thick from (frame_left,
// frame_top) to (frame_right, frame_bottom) (inclusive), and 2-pixel rules
// every `rule_step` rows that stop 10 pixels short of the frame's sides. The
// sheet is drawn turned by `degrees` (positive clockwise, y down) about the
// integer centre of the picture, as a photographed sheet that lies askew.
struct ruled_sheet_layout {
  int width = 600;
  int height = 800;
  int frame_left = 40;
  int frame_top = 50;
  int frame_right = 560;
  int frame_bottom = 760;
  int rule_step = 11;
  int frame_width = 3;
};
platform::bitmap ruled_sheet(const ruled_sheet_layout& layout, double degrees);
// Whether the level sheet is dark at (x, y).
bool ruled_sheet_dark(const ruled_sheet_layout& layout, double x, double y);

}  // namespace sheetdesk_test
