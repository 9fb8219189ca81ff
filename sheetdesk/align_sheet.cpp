#include "sheetdesk/align_sheet.h"

#include <new>

namespace sheetdesk {

namespace {

const platform::bgr_colour white{255, 255, 255};

}  // namespace

platform::world_transform levelling_transform(int width, int height, double skew) {
  platform::world_transform world;
  if (skew != 0.0) {
    // Prepend order: the last call acts first on a world point, so a point
    // is moved by -M, turned, and moved back by +M.
    const double mx = width / 2;
    const double my = height / 2;
    world.prepend_translate(mx, my);
    world.prepend_rotate(-skew);
    world.prepend_translate(-mx, -my);
  }
  return world;
}

bool draw_photo(platform::bitmap& target, const platform::bitmap& photo, const platform::world_transform& world) {
  if (!target.has_image() || !photo.has_image()) return false;
  if (!platform::fill_rect(target, 0, 0, target.width(), target.height(), white)) return false;
  const double w = photo.width();
  const double h = photo.height();
  return platform::draw_image(target, photo, 0, 0, w, h, 0, 0, w, h, world, platform::interpolation::bilinear);
}

border_lines find_turned_border_lines(const platform::bitmap& photo, const platform::world_transform& world,
                                      int top_fallback) {
  border_lines lines{0, top_fallback};
  if (!photo.has_image()) return lines;
  const int width = photo.width();
  const int height = photo.height();
  platform::bitmap strip;
  if (width / 4 > 0 && strip.create(width / 4, height) && draw_photo(strip, photo, world)) {
    const int left = strongest_left_column(strip, width / 4);
    if (left >= 0) lines.left = left;
  }
  strip = platform::bitmap{};
  if (height / 4 > 0 && strip.create(width, height / 4) && draw_photo(strip, photo, world)) {
    const int top = strongest_top_row(strip, height / 4);
    if (top >= 0) lines.top = top;
  }
  return lines;
}

std::optional<platform::bitmap> align_sheet(const platform::bitmap& photo, alignment* found) {
  if (found) *found = alignment{};
  if (!photo.has_image() || photo.width() <= 0 || photo.height() <= 0) return std::nullopt;
  try {
    const int width = photo.width();
    const int height = photo.height();
    const peak_list peaks = find_peaks(vote_lines(photo));
    const double skew = average_skew(peaks);

    platform::world_transform world = levelling_transform(width, height, skew);
    const border_lines lines = find_turned_border_lines(photo, world, peak_distance(peaks[0], width));

    // Appended, so the shift acts after the turn.
    world.dx += -1.0 - lines.left;
    world.dy += -1.0 - lines.top;
    platform::bitmap aligned;
    if (!aligned.create(width, height)) return std::nullopt;
    draw_photo(aligned, photo, world);

    if (found) *found = alignment{skew, lines.left, lines.top};
    return aligned;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace sheetdesk
