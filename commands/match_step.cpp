// The match step's raster work. Every position search runs over one profile
// pass of its rectangle; window sums come from prefix sums, and only the
// shifts whose windows can reach a counted row or column are visited, so the
// work is bounded by the image and the group, not by the numbers a template
// happens to carry.
#include "commands/match_step.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/bitmap.h"

namespace {

// Position search: dark when blue + green + red < 300.
constexpr int position_dark_sum = 300;
// Paper level search range and limits, grey levels.
constexpr int paper_scan_low = 110;
constexpr int paper_level_floor = 130;
constexpr int paper_level_ceiling = 232;
// Interior of a box: this many pixels in from each edge.
constexpr std::int32_t box_inset = 5;
// A box pixel is ink when its sum is below 3 * paper - this (25 grey levels).
constexpr int ink_margin = 75;

// The part of an inclusive rectangle inside the image, as half-open ranges;
// empty when the rectangle is inverted or misses the image.
struct clipped_area {
  std::int64_t x0 = 0, x1 = 0;  // columns [x0, x1)
  std::int64_t y0 = 0, y1 = 0;  // rows [y0, y1)
  bool empty() const { return x0 >= x1 || y0 >= y1; }
};

clipped_area clip_to_image(const raster_view& image, std::int64_t left, std::int64_t top, std::int64_t right,
                           std::int64_t bottom) {
  clipped_area a;
  if (!image.pixels || image.width <= 0 || image.height <= 0) return a;
  a.x0 = std::max<std::int64_t>(left, 0);
  a.x1 = std::min<std::int64_t>(right + 1, image.width);
  a.y0 = std::max<std::int64_t>(top, 0);
  a.y1 = std::min<std::int64_t>(bottom + 1, image.height);
  if (a.x0 > a.x1) a.x1 = a.x0;
  if (a.y0 > a.y1) a.y1 = a.y0;
  return a;
}

int pixel_sum(const std::uint8_t* p) { return p[0] + p[1] + p[2]; }

std::int32_t scale_coordinate(std::int32_t value, float scale) {
  const float scaled = static_cast<float>(value) * scale;
  if (!std::isfinite(scaled)) return 0;
  const float limited = std::clamp(scaled, -static_cast<float>(box_geometry_limit), static_cast<float>(box_geometry_limit));
  return static_cast<std::int32_t>(limited);  // truncation toward zero
}

// Sum of prefix[] over virtual profile positions [from, to] (inclusive), where
// stored entry e stands for virtual position first + e and every other
// position counts 0.
std::int64_t window_sum(const std::vector<std::int64_t>& prefix, std::int64_t first, std::int64_t from,
                        std::int64_t to) {
  if (to < from) return 0;
  const std::int64_t stored = static_cast<std::int64_t>(prefix.size()) - 1;
  const std::int64_t a = std::clamp<std::int64_t>(from - first, 0, stored);
  const std::int64_t b = std::clamp<std::int64_t>(to - first + 1, 0, stored);
  return b > a ? prefix[b] - prefix[a] : 0;
}

std::vector<std::int64_t> prefix_sums(const std::vector<std::int32_t>& profile) {
  std::vector<std::int64_t> prefix(profile.size() + 1, 0);
  for (std::size_t i = 0; i < profile.size(); ++i) prefix[i + 1] = prefix[i] + profile[i];
  return prefix;
}

void match_in_blocks_of_four(raster_view& image, sheet_template& working, float sx, float sy) {
  const std::size_t blocks = working.boxes.size() / 4;
  for (std::size_t b = 0; b < blocks; ++b) {
    const auto first = working.boxes.begin() + static_cast<std::ptrdiff_t>(b * 4);
    const std::vector<template_box> block(first, first + 4);
    const box_group matched = match_group(image, block, sx, sy);
    std::copy(matched.results.begin(), matched.results.end(), first);
  }
}

void match_by_name_parts(raster_view& image, sheet_template& working, float sx, float sy) {
  std::vector<template_box> current;
  const template_box* previous = nullptr;
  for (const auto& box : working.boxes) {
    if (previous && box.name_head != previous->name_head && box.name_tail != previous->name_tail) {
      working.groups.push_back(match_group(image, current, sx, sy));
      current.clear();
    }
    current.push_back(box);
    previous = &box;
  }
  if (!current.empty()) working.groups.push_back(match_group(image, current, sx, sy));
}

}  // namespace

void match_groups(raster_view& image, sheet_template& working, box_grouping grouping) {
  const std::int32_t template_width = working.width;
  const std::int32_t template_height = working.height;
  working.width = image.width;
  working.height = image.height;
  if (working.boxes.size() < 2) return;
  // A header without a positive size gives no usable scale: nothing matches.
  if (template_width <= 0 || template_height <= 0) return;
  const float sx = static_cast<float>(image.width) / static_cast<float>(template_width);
  const float sy = static_cast<float>(image.height) / static_cast<float>(template_height);
  if (grouping == box_grouping::blocks_of_four) {
    match_in_blocks_of_four(image, working, sx, sy);
  } else {
    match_by_name_parts(image, working, sx, sy);
  }
}

box_group match_group(raster_view& image, const std::vector<template_box>& boxes, float sx, float sy) {
  box_group group;
  if (boxes.empty()) return group;
  std::vector<template_box> scaled = boxes;
  std::vector<box_extent> extents;
  extents.reserve(scaled.size());
  for (auto& box : scaled) {
    box.center_x = scale_coordinate(box.center_x, sx);
    box.center_y = scale_coordinate(box.center_y, sy);
    box.half_width = scale_coordinate(box.half_width, sx);
    box.half_height = scale_coordinate(box.half_height, sy);
    extents.emplace_back(box.center_x - box.half_width, box.center_x + box.half_width);
  }
  const template_box& f = scaled.front();
  const template_box& l = scaled.back();
  const auto mx = static_cast<std::int32_t>(f.half_width * 0.5);
  const auto my = static_cast<std::int32_t>(f.half_height * 0.5);
  const rect search{f.center_x - f.half_width - mx, f.center_y - f.half_height - my, l.center_x + l.half_width + mx,
                    l.center_y + l.half_height + my};
  const std::int32_t band = 2 * f.half_height + 1;
  align_group(group, image, search, band, extents);

  const std::int32_t dx = group.best_left - (f.center_x - f.half_width);
  const std::int32_t row = group.best_top + f.half_height;
  for (auto& box : scaled) {
    box.fill_ratio = mark_threshold;
    box.center_x += dx;
    box.center_y = row;
    const rect area{box.center_x - box.half_width, box.center_y - box.half_height, box.center_x + box.half_width,
                    box.center_y + box.half_height};
    box.value = mark_box(image, group.paper_level, area, box.fill_ratio);
    group.results.push_back(box);
  }
  return group;
}

void align_group(box_group& group, const raster_view& image, const rect& search_rect, std::int32_t band_height,
                 const std::vector<box_extent>& extents) {
  group.row_profile.clear();
  group.column_profile.clear();
  group.results.clear();
  group.search_rect = search_rect;
  group.paper_level = measure_paper_level(image, search_rect);
  group.best_top = best_row(group, image, search_rect, band_height);
  group.best_left = best_column(group, image, search_rect, extents);
}

std::int32_t measure_paper_level(const raster_view& image, const rect& area) {
  std::int64_t histogram[256] = {};
  const clipped_area a = clip_to_image(image, area.left, area.top, area.right, area.bottom);
  if (!a.empty()) {
    for (std::int64_t y = a.y0; y < a.y1; ++y) {
      const std::uint8_t* p = image.pixel(static_cast<std::int32_t>(a.x0), static_cast<std::int32_t>(y));
      for (std::int64_t x = a.x0; x < a.x1; ++x, p += 3) ++histogram[pixel_sum(p) / 3];
    }
  }
  std::int64_t most = 0;
  std::int32_t level = -1;
  for (std::int32_t g = paper_scan_low; g <= 255; ++g) {
    if (histogram[g] > most) {
      most = histogram[g];
      level = g;
    }
  }
  return std::clamp(level, paper_level_floor, paper_level_ceiling);
}

std::int32_t best_row(box_group& group, const raster_view& image, const rect& area, std::int32_t band_height) {
  const std::int64_t top = area.top;
  const clipped_area a = clip_to_image(image, area.left, area.top, area.right, area.bottom);
  group.row_profile.clear();
  group.row_profile_top = static_cast<std::int32_t>(a.y0);
  if (!a.empty()) {
    group.row_profile.reserve(static_cast<std::size_t>(a.y1 - a.y0));
    for (std::int64_t y = a.y0; y < a.y1; ++y) {
      const std::uint8_t* p = image.pixel(static_cast<std::int32_t>(a.x0), static_cast<std::int32_t>(y));
      std::int32_t dark = 0;
      for (std::int64_t x = a.x0; x < a.x1; ++x, p += 3) dark += pixel_sum(p) < position_dark_sum;
      group.row_profile.push_back(dark);
    }
  }
  const std::int64_t d = band_height;
  const std::int64_t n = std::llabs(std::int64_t{area.bottom} - top) - d + 1;
  if (n < 0 || d <= 0 || group.row_profile.empty()) return area.top;

  // Window i covers virtual rows [i, i + d - 1] (virtual row = y - top); only
  // windows reaching a stored row can hold anything.
  const auto prefix = prefix_sums(group.row_profile);
  const std::int64_t first = a.y0 - top;
  const std::int64_t last = a.y1 - 1 - top;
  const std::int64_t from = std::max<std::int64_t>(0, first - d + 1);
  const std::int64_t to = std::min<std::int64_t>(n, last);
  std::int64_t best_sum = 0;
  std::int64_t best_i = 0;
  for (std::int64_t i = from; i <= to; ++i) {
    const std::int64_t s = window_sum(prefix, first, i, i + d - 1);
    if (s > best_sum) {
      best_sum = s;
      best_i = i;
    }
  }
  return static_cast<std::int32_t>(top + best_i);
}

std::int32_t best_column(box_group& group, const raster_view& image, const rect& area,
                         const std::vector<box_extent>& extents) {
  const std::int64_t left = area.left;
  const clipped_area a = clip_to_image(image, area.left, area.top, area.right, area.bottom);
  group.column_profile.clear();
  group.column_profile_left = static_cast<std::int32_t>(a.x0);
  if (!a.empty()) {
    group.column_profile.assign(static_cast<std::size_t>(a.x1 - a.x0), 0);
    for (std::int64_t y = a.y0; y < a.y1; ++y) {
      const std::uint8_t* p = image.pixel(static_cast<std::int32_t>(a.x0), static_cast<std::int32_t>(y));
      for (std::int64_t x = a.x0; x < a.x1; ++x, p += 3) {
        group.column_profile[static_cast<std::size_t>(x - a.x0)] += pixel_sum(p) < position_dark_sum;
      }
    }
  }
  if (extents.empty() || group.column_profile.empty()) return area.left;

  const std::int64_t s0 = extents.front().first;
  const std::int64_t m = std::llabs(std::int64_t{area.right} - left) + s0 - extents.back().second + 1;
  // Shift i puts extent (p, q) over virtual columns [p - s0 + i, q - s0 + i]
  // (virtual column = x - left); only shifts where some extent reaches a
  // stored column can hold anything.
  const auto prefix = prefix_sums(group.column_profile);
  const std::int64_t first = a.x0 - left;
  const std::int64_t last = a.x1 - 1 - left;
  std::int64_t from = m + 1;
  std::int64_t to = -1;
  for (const auto& [p, q] : extents) {
    if (q < p) continue;
    from = std::min<std::int64_t>(from, first - (q - s0));
    to = std::max<std::int64_t>(to, last - (p - s0));
  }
  from = std::max<std::int64_t>(from, 0);
  to = std::min<std::int64_t>(to, m);
  std::int64_t best_sum = 0;
  std::int64_t best_i = 0;
  for (std::int64_t i = from; i <= to; ++i) {
    std::int64_t s = 0;
    for (const auto& [p, q] : extents) s += window_sum(prefix, first, p - s0 + i, q - s0 + i);
    if (s > best_sum) {
      best_sum = s;
      best_i = i;
    }
  }
  return static_cast<std::int32_t>(left + best_i);
}

int mark_box(raster_view& image, std::int32_t paper_level, const rect& box, float& ratio) {
  const std::int64_t left = std::int64_t{box.left} + box_inset;
  const std::int64_t top = std::int64_t{box.top} + box_inset;
  const std::int64_t right = std::int64_t{box.right} - box_inset;
  const std::int64_t bottom = std::int64_t{box.bottom} - box_inset;
  const int ink_below = 3 * paper_level - ink_margin;
  const clipped_area a = clip_to_image(image, left, top, right, bottom);

  // Count first, then tint in a second pass that decides ink from the
  // untinted bytes again, so no list of ink pixels has to be kept.
  std::int64_t ink = 0;
  if (!a.empty()) {
    for (std::int64_t y = a.y0; y < a.y1; ++y) {
      const std::uint8_t* p = image.pixel(static_cast<std::int32_t>(a.x0), static_cast<std::int32_t>(y));
      for (std::int64_t x = a.x0; x < a.x1; ++x, p += 3) ink += pixel_sum(p) < ink_below;
    }
  }
  const std::int64_t area = (std::llabs(bottom - top) + 1) * (std::llabs(right - left) + 1);
  const float share = static_cast<float>(ink) / static_cast<float>(area);
  const int marked = ratio < share ? 1 : 0;
  ratio = share;

  if (!a.empty()) {
    for (std::int64_t y = a.y0; y < a.y1; ++y) {
      std::uint8_t* p = image.pixel(static_cast<std::int32_t>(a.x0), static_cast<std::int32_t>(y));
      for (std::int64_t x = a.x0; x < a.x1; ++x, p += 3) {
        const bool is_ink = pixel_sum(p) < ink_below;
        int blue = (p[platform::channel_blue] + 255) / 2;
        int green = p[platform::channel_green] / 2;
        int red = p[platform::channel_red] / 2;
        if (marked && is_ink) {
          red = (red + 255) / 2;
          green /= 2;
          blue /= 2;
        }
        p[platform::channel_blue] = static_cast<std::uint8_t>(blue);
        p[platform::channel_green] = static_cast<std::uint8_t>(green);
        p[platform::channel_red] = static_cast<std::uint8_t>(red);
      }
    }
  }
  return marked;
}
