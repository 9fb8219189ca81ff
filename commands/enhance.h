// The enhance command: a per-channel contrast stretch of page photographs,
// saved as JPEG (quality 85, the "setdpi" resolution).
#pragma once

#include <cstdint>
#include <string>

#include "platform/bitmap.h"

// 0 for no bitmap; else stretches the bitmap in place, saves it to
// output_path (a failed save is not reported) and returns 1.
int enhance_bitmap(platform::bitmap* image, const std::string& output_path, std::int32_t low_percent,
                   std::int32_t high_percent);
// 0 when the file does not exist; else enhance_bitmap of the loaded file
// into replace_extension(path, "_enhance.jpg").
int enhance_file(const std::string& path, std::int32_t low_percent, std::int32_t high_percent);
