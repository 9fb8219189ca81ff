// Straightening of a sheet photograph for sheetdesk.
//
// The photograph is drawn turned by -skew (see line_votes.h) about its integer
// centre, the border lines are searched on that drawing, and the photograph is
// drawn again with the turn followed by a shift that puts both lines one
// pixel outside the top-left corner. Uncovered parts stay white.
#pragma once

#include <optional>

#include "platform/bitmap.h"
#include "platform/drawing.h"
#include "sheetdesk/line_votes.h"

namespace sheetdesk {

// The turn by -skew degrees about (width / 2, height / 2) (integer halves);
// the identity when skew is exactly 0.
platform::world_transform levelling_transform(int width, int height, double skew);

// Fills `target` opaque white and draws the whole photograph at (0, 0)
// through `world`, bilinear. False when drawing failed.
bool draw_photo(platform::bitmap& target, const platform::bitmap& photo, const platform::world_transform& world);

// The border lines of the photograph drawn through `world` on a canvas of its
// size, as find_border_lines finds them on that drawing; only the left
// quarter's columns and the top quarter's rows are drawn (two strips through
// the same transform give exactly those pixels), half the work of the whole.
border_lines find_turned_border_lines(const platform::bitmap& photo, const platform::world_transform& world,
                                      int top_fallback);

struct alignment {
  double skew = 0;
  int left_line = 0;
  int top_line = 0;
};

// The aligned image: the photograph's size, white where the photograph does
// not reach. None for a photograph without image or memory that cannot be had.
std::optional<platform::bitmap> align_sheet(const platform::bitmap& photo, alignment* found = nullptr);

}  // namespace sheetdesk
