#include "analysis/anchors.h"

#include <algorithm>
#include <array>

#include "analysis/binarize.h"
#include "analysis/skew.h"
#include "platform/step_trace.h"

namespace {

// Exchange sort of the anchor numbers 0..3 by key: for i < j, swap when the
// key at i is strictly greater than the key at j.
template <typename Key>
std::array<int, 4> exchange_sort(const std::array<Key, 4>& key) {
  std::array<int, 4> order{0, 1, 2, 3};
  for (int i = 0; i < 3; ++i)
    for (int j = i + 1; j < 4; ++j)
      if (key[static_cast<std::size_t>(order[static_cast<std::size_t>(i)])] >
          key[static_cast<std::size_t>(order[static_cast<std::size_t>(j)])])
        std::swap(order[static_cast<std::size_t>(i)], order[static_cast<std::size_t>(j)]);
  return order;
}

std::int32_t rounded_half(std::int32_t sum) { return static_cast<std::int32_t>(sum * 0.5 + 0.5); }

bool same_pair(int a, int b, int c, int d) { return (a == c && b == d) || (a == d && b == c); }

}  // namespace

corner_order order_corners(const std::vector<flood_region>& regions, const std::vector<std::int32_t>& indices) {
  corner_order out;
  if (indices.size() < 4) return out;
  std::array<std::int32_t, 4> mx{}, my{};
  std::array<float, 4> fill{};
  for (std::size_t a = 0; a < 4; ++a) {
    const std::int32_t index = indices[a];
    if (index < 0 || static_cast<std::size_t>(index) >= regions.size()) return out;
    const flood_region& r = regions[static_cast<std::size_t>(index)];
    mx[a] = (r.left + r.right + 1) / 2;
    my[a] = (r.top + r.bottom + 1) / 2;
    fill[a] = r.fill_ratio;
  }
  const auto xs = exchange_sort(mx);
  const auto ys = exchange_sort(my);
  const auto fs = exchange_sort(fill);
  auto at = [](const std::array<std::int32_t, 4>& v, int i) { return v[static_cast<std::size_t>(i)]; };
  out.anchor_rect = rect{rounded_half(at(mx, xs[0]) + at(mx, xs[1])), rounded_half(at(my, ys[0]) + at(my, ys[1])),
                         rounded_half(at(mx, xs[2]) + at(mx, xs[3])), rounded_half(at(my, ys[2]) + at(my, ys[3]))};
  const int f2 = fs[2];
  const int f3 = fs[3];
  if (same_pair(f2, f3, ys[0], ys[1]))
    out.orientation = orientation_top;
  else if (same_pair(f2, f3, xs[0], xs[1]))
    out.orientation = orientation_left;
  else if (same_pair(f2, f3, ys[2], ys[3]))
    out.orientation = orientation_bottom;
  else if (same_pair(f2, f3, xs[2], xs[3]))
    out.orientation = orientation_right;
  return out;
}

void locate_anchors(anchor_result& result, raster_view image, int binarize, const anchor_thresholds& limits,
                    const binarize_options& how) {
  const std::uint32_t t0 = tick_count();
  if (binarize != 0) binarize_dark(image, how);

  const std::uint32_t t1 = tick_count();
  result.frame = sheet_frame{};
  obj_recognize::flood_extractor extractor;

  const std::uint32_t t2 = tick_count();
  extractor.extract_regions(image);
  trace_step("_______________________floodfill.cluster:", elapsed_ms(t2));
  trace_step("______________locate.floodfill:", elapsed_ms(t1));

  const std::uint32_t t3 = tick_count();
  result.regions = extractor.regions;
  result.anchor_indices = cluster_anchors(result.regions, limits);
  trace_step("______________locate.cluster:", elapsed_ms(t3));

  const corner_order order = order_corners(result.regions, result.anchor_indices);
  sheet_frame& frame = result.frame;
  frame.anchor_rect = order.anchor_rect;
  if (order.orientation) frame.orientation = *order.orientation;
  frame.upright_rect = orient_rect(frame.anchor_rect, image.width, image.height, frame.orientation);
  for (std::int32_t index : result.anchor_indices) {
    const flood_region& r = result.regions[static_cast<std::size_t>(index)];
    frame.anchor_boxes.push_back(
        orient_rect(rect{r.left, r.top, r.right, r.bottom}, image.width, image.height, frame.orientation));
  }
  trace_step("_________locate:", elapsed_ms(t0));
  image.release();
}
