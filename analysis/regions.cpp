#include "analysis/regions.h"

#include <cstdlib>
#include <new>

#include "analysis/view_check.h"

namespace obj_recognize {

void flood_extractor::extract_regions(raster_view& image) {
  regions.clear();
  head_ = tail_ = 0;
  if (!analysis_detail::has_pixels(image)) return;
  const std::int64_t n = analysis_detail::pixel_count(image);
  // Only a binarized image of this size carries marks and points to follow.
  if (image.mark_map.data == nullptr || image.mark_map.capacity != n || image.dark_points.data == nullptr ||
      image.dark_points.count < 0 || image.dark_points.count > image.dark_points.capacity)
    return;
  if (capacity_ != static_cast<std::uint32_t>(n)) {
    queue_.reset();
    capacity_ = 0;
    queue_.reset(new (std::nothrow) std::uint32_t[static_cast<std::size_t>(n)]);
    if (!queue_) return;
    capacity_ = static_cast<std::uint32_t>(n);
  }

  const std::int32_t* marks = image.mark_map.data;
  const std::int32_t* points = image.dark_points.data;
  std::int32_t label = 0;
  for (std::int32_t i = 0; i < image.dark_points.count; ++i) {
    const std::int32_t x = point_x(points[i]);
    const std::int32_t y = point_y(points[i]);
    if (x >= image.width || y >= image.height) continue;
    if (marks[image.mark_row_offsets[y] + x] != 0) continue;
    ++label;
    regions.push_back(fill_region(x, y, label, image));
  }
}

flood_region flood_extractor::fill_region(std::int32_t x, std::int32_t y, std::int32_t label, raster_view& image) {
  flood_region r;
  r.pixel_count = 1;
  r.left = r.right = x;
  r.top = r.bottom = y;
  const std::int32_t w = image.width;
  const std::int32_t h = image.height;
  std::int32_t* marks = image.mark_map.data;
  const std::int32_t* row_base = image.mark_row_offsets.data;
  const bool usable = analysis_detail::has_pixels(image) && marks != nullptr &&
                      image.mark_map.capacity == analysis_detail::pixel_count(image) && x >= 0 && y >= 0 && x < w &&
                      y < h && queue_ != nullptr &&
                      capacity_ == static_cast<std::uint32_t>(analysis_detail::pixel_count(image));
  if (usable) {
    const std::uint32_t capacity = capacity_;
    std::uint32_t* queue = queue_.get();
    marks[row_base[y] + x] = label;
    head_ = tail_ = 0;
    queue[tail_] = static_cast<std::uint32_t>(pack_point(x, y));
    if (++tail_ == capacity) tail_ = 0;
    std::uint32_t count = 1;
    std::int32_t left = x, right = x, top = y, bottom = y;
    while (head_ != tail_) {
      // Everything queued so far, in queue order; neighbours go behind it.
      std::uint32_t m = tail_ >= head_ ? tail_ - head_ : tail_ + capacity - head_;
      for (; m > 0; --m) {
        const std::uint32_t p = queue[head_];
        if (++head_ == capacity) head_ = 0;
        const std::uint32_t px = p & 0xFFFFu;
        const std::uint32_t py = p >> 16;
        for (int j = 0; j < 4; ++j) {
          // 16-bit neighbour positions: a step off the edge wraps to 65535,
          // which the bounds test refuses like any position past the image.
          const std::uint32_t nx = (px + static_cast<std::uint32_t>(step_x[j])) & 0xFFFFu;
          const std::uint32_t ny = (py + static_cast<std::uint32_t>(step_y[j])) & 0xFFFFu;
          if (nx >= static_cast<std::uint32_t>(w) || ny >= static_cast<std::uint32_t>(h)) continue;
          std::int32_t& mark = marks[row_base[ny] + static_cast<std::int32_t>(nx)];
          if (mark != 0) continue;
          mark = label;
          queue[tail_] = nx | (ny << 16);
          if (++tail_ == capacity) tail_ = 0;
          ++count;
          const std::int32_t sx = static_cast<std::int32_t>(nx);
          const std::int32_t sy = static_cast<std::int32_t>(ny);
          if (sx < left) left = sx;
          if (sx > right) right = sx;
          if (sy < top) top = sy;
          if (sy > bottom) bottom = sy;
        }
      }
    }
    r.pixel_count = count;
    r.left = left;
    r.right = right;
    r.top = top;
    r.bottom = bottom;
  }

  if (finish_ == region_finish::full) r.right += 1;
  r.box_width = std::abs(r.right - r.left) + 1;
  r.box_height = std::abs(r.bottom - r.top) + 1;
  if (finish_ == region_finish::full) {
    r.center_x = r.left + r.box_width / 2;
    r.center_y = r.top + r.box_height / 2;
  } else {
    r.center_x = static_cast<std::int32_t>((r.left + r.right) * 0.5 + 0.5);
    r.center_y = static_cast<std::int32_t>((r.top + r.bottom) * 0.5 + 0.5);
  }
  r.box_area = r.box_width * r.box_height;
  r.label = label;
  r.fill_ratio = static_cast<float>(r.pixel_count) / static_cast<float>(r.box_area);
  r.elongation = r.box_width > r.box_height ? static_cast<float>(r.box_width) / static_cast<float>(r.box_height)
                                            : static_cast<float>(r.box_height) / static_cast<float>(r.box_width);
  return r;
}

}  // namespace obj_recognize

std::vector<std::int32_t> select_anchor_candidates(const std::vector<flood_region>& regions,
                                                   const anchor_thresholds& limits) {
  std::vector<std::int32_t> out;
  for (std::size_t i = 0; i < regions.size(); ++i) {
    const flood_region& r = regions[i];
    if (r.pixel_count <= limits.min_pixels) continue;
    if (limits.max_pixels != 0 && r.pixel_count >= limits.max_pixels) continue;
    if (!(r.fill_ratio >= limits.min_fill)) continue;
    if (!(r.elongation <= limits.max_elongation)) continue;
    if (!(static_cast<double>(r.elongation) >= limits.min_elongation)) continue;
    out.push_back(static_cast<std::int32_t>(i));
  }
  return out;
}

namespace {

std::int32_t mid_x(const flood_region& r) { return (r.left + r.right + 1) / 2; }
std::int32_t mid_y(const flood_region& r) { return (r.top + r.bottom + 1) / 2; }

bool members_join(const flood_region& p, const flood_region& q) {
  const bool aligned = std::abs(mid_x(p) - mid_x(q)) < 20 || std::abs(mid_y(p) - mid_y(q)) < 20;
  if (!aligned) return false;
  const std::int64_t a = p.box_area;
  const std::int64_t b = q.box_area;
  const double difference = static_cast<double>(a > b ? a - b : b - a);
  return difference < 0.25 * static_cast<double>(a < b ? a : b);
}

bool groups_join(const std::vector<flood_region>& regions, const anchor_group& a, const anchor_group& b) {
  for (std::int32_t p : a.members)
    for (std::int32_t q : b.members)
      if (members_join(regions[static_cast<std::size_t>(p)], regions[static_cast<std::size_t>(q)])) return true;
  return false;
}

// Merges the first pair of groups that joins; false when none does.
bool merge_first_pair(const std::vector<flood_region>& regions, std::vector<anchor_group>& groups) {
  for (std::size_t a = 0; a < groups.size(); ++a)
    for (std::size_t b = a + 1; b < groups.size(); ++b)
      if (groups_join(regions, groups[a], groups[b])) {
        groups[a].members.insert(groups[a].members.end(), groups[b].members.begin(), groups[b].members.end());
        groups[a].total += groups[b].total;
        groups.erase(groups.begin() + static_cast<std::ptrdiff_t>(b));
        return true;
      }
  return false;
}

}  // namespace

std::vector<std::int32_t> cluster_anchors(const std::vector<flood_region>& regions, const anchor_thresholds& limits) {
  std::vector<anchor_group> groups;
  for (std::int32_t i : select_anchor_candidates(regions, limits))
    groups.push_back(anchor_group{{i}, static_cast<std::int32_t>(regions[static_cast<std::size_t>(i)].pixel_count)});

  while (merge_first_pair(regions, groups)) {
  }

  const anchor_group* chosen = nullptr;
  std::uint32_t chosen_mean = 0;
  for (const anchor_group& g : groups) {
    if (g.members.size() < 4) continue;
    const std::uint32_t mean = static_cast<std::uint32_t>(g.total) / static_cast<std::uint32_t>(g.members.size());
    if (!chosen || mean > chosen_mean) {
      chosen = &g;
      chosen_mean = mean;
    }
  }
  return chosen ? chosen->members : std::vector<std::int32_t>{};
}
