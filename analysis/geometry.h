// Plain geometry records of the analysis: inclusive pixel rectangles and
// points, y growing downwards.
#pragma once

#include <cstdint>

struct rect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  friend bool operator==(const rect&, const rect&) = default;
};

struct point {
  std::int32_t x = 0;
  std::int32_t y = 0;
  friend bool operator==(const point&, const point&) = default;
};
