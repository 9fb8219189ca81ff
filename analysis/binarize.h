// Binarization of sheet photographs and the contrast stretch of "enhance".
//
// Dark pixel: with blue B, green G, red R, the pixel is dark when
//   B + G + R <= 300  and  G - (B + R) / 2 <= 50
// (integer halving), so dark but clearly greenish pixels count as background.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/options.h"
#include "raster/raster_view.h"

constexpr bool is_dark_pixel(int blue, int green, int red) {
  const int sum = blue + green + red;
  const int green_excess = green - (blue + red) / 2;
  return green_excess <= 50 && sum <= 300;
}

// Turns every pixel pure black (dark) or pure white, paints the one-pixel
// frame white, lists the dark pixels in raster order in dark_points (x in the
// low 16 bits, y in the high 16 bits) and leaves mark_map at 0 for them and
// 0xEFEFEFEF elsewhere. Buffers of an unchanged size are reused. Writes the
// step line "_________binary:". Always returns 1.
int binarize_dark(raster_view& image, const binarize_options& options = {});

// Otsu threshold of the interior (rows 1..height-2, columns 1..width-2) of
// one 8-bit channel laid out with row_length bytes per row. Sums and
// between-class values in extended precision; the lowest t wins a tie; 255 is
// never a candidate. Nothing to count: "NOT NORMAL thresholdValue = 160" on
// standard error and 160. `histogram` (256 entries) may be null.
std::int32_t otsu_threshold(const std::uint8_t* bytes, std::int32_t row_length, std::int32_t width,
                            std::int32_t height, std::int32_t* histogram);

// Working record of one colour channel of stretch_colors.
struct channel_stretch {
  std::uint8_t high_out = 255;
  std::uint8_t low_out = 0;
  std::int32_t min_level = 255;
  std::int32_t max_level = 0;
  std::int32_t low_out_level = 0;
  std::int32_t high_out_level = 255;
  std::int32_t histogram[256] = {};
  std::uint8_t tone_map[256] = {};  // identity after reset_channel_stretch
  std::uint8_t threshold = 0;
  std::uint8_t low_cut = 0;
  std::uint8_t high_cut = 0;
  float slope_low = 0.0f;
  float slope_high = 0.0f;
  std::vector<std::uint8_t> samples;  // the channel's value of every pixel, raster order
};

// Initial values: levels 255/0, identity map, empty histogram.
void reset_channel_stretch(channel_stretch& channel);

// The channel's piecewise-linear tone map from its threshold, levels and
// histogram, with the cut factors a (dark side) and b (light side).
// Cut points are kept inside 0..255 (percentages outside 0..100 would
// otherwise wrap); an empty side of the histogram puts its cut point at the
// side's inner end (the minimum or the threshold).
void build_tone_map(channel_stretch& channel, float a, float b);

// Per channel (red, green, blue): Otsu threshold of the channel, a tone map
// with cut points placed by the two percentages, then every pixel mapped.
// Writes "_________update_low_high:", "_________otsu_update_fore_back_pts:",
// "_________color_map:" (and, with options.replace_color_line,
// "_________replace_color:").
void stretch_colors(raster_view& image, std::int32_t low_percent, std::int32_t high_percent,
                    const stretch_options& options = {});
