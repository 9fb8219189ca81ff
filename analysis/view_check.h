// Shape checks shared by the analysis kernels (internal).
#pragma once

#include <cstdint>

#include "raster/raster_view.h"

namespace analysis_detail {

// A view whose pixels and offset tables cover width x height: the kernels
// may then walk row pointers without further checks.
inline bool has_pixels(const raster_view& image) {
  return image.pixels != nullptr && image.width > 0 && image.height > 0 &&
         static_cast<std::int64_t>(image.stride) >= static_cast<std::int64_t>(image.width) * 3 &&
         image.row_offsets.capacity >= image.height && image.column_offsets.capacity >= image.width &&
         image.mark_row_offsets.capacity >= image.height;
}

inline std::int64_t pixel_count(const raster_view& image) {
  return static_cast<std::int64_t>(image.width) * static_cast<std::int64_t>(image.height);
}

}  // namespace analysis_detail
