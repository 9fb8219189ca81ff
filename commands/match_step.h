// The match step: reads the marks of a sheet image against a template.
//
// The template's boxes are scaled to the image, split into groups (one row of
// answer boxes), and each group is searched for in a rectangle half a box
// wider than its span on every side: the band of box height holding the most
// dark print gives its row, the comb of its box extents slid across the
// columns gives its horizontal shift. Each box is then marked when more than
// the threshold share (0.4) of its interior, 5 pixels in from its edge, is
// darker than the paper by more than 25 grey levels on average.
//
// Pixels: blue, green, red bytes; dark for the position search when
// blue + green + red < 300. Rectangles are inclusive. Parts of a rectangle
// beyond the image are neither dark nor paper and are never touched; the
// sizes used in divisions stay those of the rectangles.
//
// The image is changed: every box interior is tinted blue and the dark pixels
// of a marked box red, for inspection.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "analysis/geometry.h"
#include "commands/sheet_template.h"
#include "raster/raster_view.h"

namespace platform {
class bitmap;
}

// How boxes form groups.
//   by_name_parts   a group goes on while consecutive boxes share the name part
//                   before the first '.' or the part after it; results go to
//                   the template's groups (full build)
//   blocks_of_four  boxes 1-4, 5-8, ...; a remainder is not matched; results
//                   replace the boxes themselves (early build)
enum class box_grouping { by_name_parts, blocks_of_four };

// Mark threshold: a box is marked when its dark share is strictly above this.
constexpr float mark_threshold = 0.4f;

// Scaled box geometry is held within +-2^18 pixels, four times the largest
// image side: a template with absurd numbers then still costs bounded work.
constexpr std::int32_t box_geometry_limit = 1 << 18;

// A box's horizontal extent: (center_x - half_width, center_x + half_width).
using box_extent = std::pair<std::int32_t, std::int32_t>;

// 0 without a bitmap, else 1 (a bitmap without pixels matches nothing).
// Writes the step line "_________match:".
int match_sheet(sheet_template& working, platform::bitmap* sheet, box_grouping grouping = box_grouping::by_name_parts);

// Sets the template's size to the image's and matches its groups. A template
// with fewer than two boxes, or with a width or height not above 0 (its
// scale would be infinite), matches nothing.
void match_groups(raster_view& image, sheet_template& working,
                  box_grouping grouping = box_grouping::by_name_parts);

// Matches one group of boxes (copies), scaled by sx and sy.
box_group match_group(raster_view& image, const std::vector<template_box>& boxes, float sx, float sy);

// Fills paper_level, best_top, best_left and the profiles for search_rect.
void align_group(box_group& group, const raster_view& image, const rect& search_rect, std::int32_t band_height,
                 const std::vector<box_extent>& extents);

// Most frequent grey level (sum / 3) in 110..255 inside the rectangle, the
// lowest on ties, limited to 130..232 (130 when there is none).
std::int32_t measure_paper_level(const raster_view& image, const rect& area);

// Top row of the first band of band_height rows with the most dark pixels;
// the rectangle's top when no band holds any. Fills the group's row profile.
std::int32_t best_row(box_group& group, const raster_view& image, const rect& area, std::int32_t band_height);

// Left edge of the first box at the first shift of the extents' comb that
// covers the most dark pixels; the rectangle's left when none covers any.
// Fills the group's column profile.
std::int32_t best_column(box_group& group, const raster_view& image, const rect& area,
                         const std::vector<box_extent>& extents);

// Decides one box: share of interior pixels darker than 3 * paper_level - 75
// (sum of the three bytes); marked when ratio (the threshold on entry) is
// strictly below it; ratio becomes the share. Tints as described above.
int mark_box(raster_view& image, std::int32_t paper_level, const rect& box, float& ratio);
