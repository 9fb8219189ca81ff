#include "analysis/binarize.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "analysis/view_check.h"
#include "platform/step_trace.h"

namespace {

constexpr std::uint8_t black = 0;
constexpr std::uint8_t white = 255;

inline void paint(std::uint8_t* p, std::uint8_t v) {
  p[0] = v;
  p[1] = v;
  p[2] = v;
}

// Binarizes columns from..width-2 of one interior row, appending dark points
// and clearing their marks. Returns the new point count.
template <bool write, bool mark>
std::int32_t binarize_run(std::uint8_t* row, std::int32_t from, std::int32_t width, std::int32_t y,
                          std::int32_t* marks, std::int32_t* points, std::int32_t count) {
  const std::uint32_t y_bits = static_cast<std::uint32_t>(y) << 16;
  std::uint8_t* p = row + 3 * from;
  for (std::int32_t x = from; x < width - 1; ++x, p += 3) {
    const int b = p[0];
    const int g = p[1];
    const int r = p[2];
    const bool dark = (b + g + r <= 300) & (g - ((b + r) >> 1) <= 50);
    if constexpr (write) paint(p, dark ? black : white);
    if (dark) {
      points[count++] = static_cast<std::int32_t>(y_bits | static_cast<std::uint32_t>(x));
      if constexpr (mark) marks[x] = 0;
    }
  }
  return count;
}

#if defined(__x86_64__)
bool cpu_has_avx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

// The same rule eight pixels at a time, from column 1 for as long as two
// more pixels follow the eight (the loads read 4 bytes past them). Returns
// the first column not done; the dark points come out in column order.
template <bool write, bool mark>
__attribute__((target("avx2"))) std::int32_t binarize_run_avx2(std::uint8_t* row, std::int32_t width, std::int32_t y,
                                                               std::int32_t* marks, std::int32_t* points,
                                                               std::int32_t& count) {
  const std::uint32_t y_bits = static_cast<std::uint32_t>(y) << 16;
  // Per 128-bit half (four pixels b g r), one channel into 32-bit lanes.
  const __m256i take_b = _mm256_setr_epi8(0, -1, -1, -1, 3, -1, -1, -1, 6, -1, -1, -1, 9, -1, -1, -1, 0, -1, -1, -1, 3,
                                          -1, -1, -1, 6, -1, -1, -1, 9, -1, -1, -1);
  const __m256i take_g = _mm256_setr_epi8(1, -1, -1, -1, 4, -1, -1, -1, 7, -1, -1, -1, 10, -1, -1, -1, 1, -1, -1, -1, 4,
                                          -1, -1, -1, 7, -1, -1, -1, 10, -1, -1, -1);
  const __m256i take_r = _mm256_setr_epi8(2, -1, -1, -1, 5, -1, -1, -1, 8, -1, -1, -1, 11, -1, -1, -1, 2, -1, -1, -1, 5,
                                          -1, -1, -1, 8, -1, -1, -1, 11, -1, -1, -1);
  // Lane byte 0 spread to the three bytes of its pixel.
  const __m256i spread = _mm256_setr_epi8(0, 0, 0, 4, 4, 4, 8, 8, 8, 12, 12, 12, -1, -1, -1, -1, 0, 0, 0, 4, 4, 4, 8, 8,
                                          8, 12, 12, 12, -1, -1, -1, -1);
  const __m256i sum_limit = _mm256_set1_epi32(300);
  const __m256i excess_limit = _mm256_set1_epi32(50);
  std::int32_t x = 1;
  for (; x + 10 < width; x += 8) {
    std::uint8_t* p = row + 3 * x;
    const __m256i px = _mm256_set_m128i(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12)),
                                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    const __m256i b = _mm256_shuffle_epi8(px, take_b);
    const __m256i g = _mm256_shuffle_epi8(px, take_g);
    const __m256i r = _mm256_shuffle_epi8(px, take_r);
    const __m256i sum = _mm256_add_epi32(_mm256_add_epi32(b, g), r);
    const __m256i excess = _mm256_sub_epi32(g, _mm256_srli_epi32(_mm256_add_epi32(b, r), 1));
    // Light: sum above 300 or green excess above 50.
    const __m256i light = _mm256_or_si256(_mm256_cmpgt_epi32(sum, sum_limit), _mm256_cmpgt_epi32(excess, excess_limit));
    if constexpr (write) {
      const __m256i bytes = _mm256_shuffle_epi8(light, spread);
      const __m128i low = _mm256_castsi256_si128(bytes);
      const __m128i high = _mm256_extracti128_si256(bytes, 1);
      const std::uint32_t low_tail = static_cast<std::uint32_t>(_mm_extract_epi32(low, 2));
      const std::uint32_t high_tail = static_cast<std::uint32_t>(_mm_extract_epi32(high, 2));
      _mm_storel_epi64(reinterpret_cast<__m128i*>(p), low);
      std::memcpy(p + 8, &low_tail, 4);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 12), high);
      std::memcpy(p + 20, &high_tail, 4);
    }
    unsigned dark = ~static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(light))) & 0xFFu;
    while (dark) {
      const std::int32_t at = x + __builtin_ctz(dark);
      dark &= dark - 1;
      points[count++] = static_cast<std::int32_t>(y_bits | static_cast<std::uint32_t>(at));
      if constexpr (mark) marks[at] = 0;
    }
  }
  return x;
}
#endif

template <bool write, bool mark>
std::int32_t binarize_row(std::uint8_t* row, std::int32_t width, std::int32_t y, std::int32_t* marks,
                          std::int32_t* points, std::int32_t count, bool vector) {
  std::int32_t from = 1;
#if defined(__x86_64__)
  if (vector) from = binarize_run_avx2<write, mark>(row, width, y, marks, points, count);
#else
  (void)vector;
#endif
  return binarize_run<write, mark>(row, from, width, y, marks, points, count);
}

}  // namespace

int binarize_dark(raster_view& image, const binarize_options& options) {
  const std::uint32_t start = tick_count();
  const bool usable = analysis_detail::has_pixels(image);
  const std::int64_t n64 = usable ? analysis_detail::pixel_count(image) : 0;
  // Positions are packed into 16 bits each and buffers count in int32.
  const bool packable = usable && image.width <= 65535 && image.height <= 65535 && n64 <= INT32_MAX;
  const std::int32_t n = packable ? static_cast<std::int32_t>(n64) : 0;

  const bool marks = options.write_marks;
  if (marks) {
    // Every mark is written below, so a fresh block needs no zero fill first.
    if (image.mark_map.capacity != n) image.mark_map.reallocate(n);
    image.mark_map.count = 0;
    if (image.mark_map.data && n > 0)
      std::memset(image.mark_map.data, 0xEF, static_cast<std::size_t>(n) * sizeof(std::int32_t));
  }
  // Only the first count points are ever read.
  if (image.dark_points.capacity != n) image.dark_points.reallocate(n);
  image.dark_points.count = 0;

  if (packable && (!marks || image.mark_map.capacity == n) && image.dark_points.capacity == n) {
    const std::int32_t w = image.width;
    const std::int32_t h = image.height;
    const bool write = options.write_pixels;
#if defined(__x86_64__)
    const bool vector = options.vector && cpu_has_avx2();
#else
    const bool vector = false;
#endif
    if (write) {
      std::memset(image.pixels, white, static_cast<std::size_t>(image.stride));
      std::memset(image.pixels + image.row_offsets[h - 1], white, static_cast<std::size_t>(image.stride));
    }
    std::int32_t count = 0;
    for (std::int32_t y = 1; y < h - 1; ++y) {
      std::uint8_t* row = image.pixels + image.row_offsets[y];
      std::int32_t* row_marks = marks ? image.mark_map.data + image.mark_row_offsets[y] : nullptr;
      std::int32_t* points = image.dark_points.data;
      if (write) {
        paint(row, white);
        count = marks ? binarize_row<true, true>(row, w, y, row_marks, points, count, vector)
                      : binarize_row<true, false>(row, w, y, row_marks, points, count, vector);
        paint(row + image.column_offsets[w - 1], white);
      } else {
        count = marks ? binarize_row<false, true>(row, w, y, row_marks, points, count, vector)
                      : binarize_row<false, false>(row, w, y, row_marks, points, count, vector);
      }
    }
    image.dark_points.count = count;
  }
  if (options.trace) trace_step("_________binary:", elapsed_ms(start));
  return 1;
}

std::int32_t otsu_threshold(const std::uint8_t* bytes, std::int32_t row_length, std::int32_t width,
                            std::int32_t height, std::int32_t* histogram) {
  std::int32_t local[256];
  std::int32_t* hist = histogram ? histogram : local;
  std::fill(hist, hist + 256, 0);

  if (bytes)
    for (std::int32_t y = 1; y < height - 1; ++y) {
      const std::uint8_t* row = bytes + static_cast<std::int64_t>(y) * row_length;
      for (std::int32_t x = 1; x < width - 1; ++x) ++hist[row[x]];
    }

  long double total = 0;
  long double sum = 0;
  for (int v = 0; v < 256; ++v) {
    total += hist[v];
    sum += static_cast<long double>(v) * hist[v];
  }
  if (total == 0) {
    std::fputs("NOT NORMAL thresholdValue = 160\n", stderr);
    return 160;
  }

  long double best = -1;
  std::int32_t result = 1;
  long double w0 = 0;
  long double s0 = 0;
  for (std::int32_t t = 0; t < 255; ++t) {
    w0 += hist[t];
    if (w0 == 0) continue;
    if (w0 == total) break;
    s0 += static_cast<long double>(t) * hist[t];
    const long double w1 = total - w0;
    const long double diff = s0 / w0 - (sum - s0) / w1;
    const long double between = w0 * w1 * diff * diff;
    if (between > best) {
      best = between;
      result = t;
    }
  }
  return result;
}

void reset_channel_stretch(channel_stretch& c) {
  c.high_out = 255;
  c.low_out = 0;
  c.min_level = 255;
  c.max_level = 0;
  c.low_out_level = 0;
  c.high_out_level = 255;
  std::fill(std::begin(c.histogram), std::end(c.histogram), 0);
  for (int v = 0; v < 256; ++v) c.tone_map[v] = static_cast<std::uint8_t>(v);
  c.threshold = 0;
  c.low_cut = 0;
  c.high_cut = 0;
  c.slope_low = 0.0f;
  c.slope_high = 0.0f;
  c.samples.clear();
}

namespace {

// A cut point as the 8-bit value it is stored in, kept inside 0..255.
std::uint8_t cut_point(long double v) {
  if (!(v > 0)) return 0;
  if (v >= 255) return 255;
  return static_cast<std::uint8_t>(static_cast<std::int32_t>(v));
}

}  // namespace

void build_tone_map(channel_stretch& c, float a, float b) {
  const std::int32_t t = c.threshold;
  const std::int32_t mn = c.min_level;
  const std::int32_t mx = c.max_level;
  const std::uint8_t range = static_cast<std::uint8_t>(mx - mn);
  if (range == 0) return;

  std::int64_t n_lo = 0, s_lo = 0, n_hi = 0, s_hi = 0;
  for (std::int32_t v = 0; v < 256; ++v) {
    if (v <= t) {
      n_lo += c.histogram[v];
      s_lo += static_cast<std::int64_t>(v) * c.histogram[v];
    } else {
      n_hi += c.histogram[v];
      s_hi += static_cast<std::int64_t>(v) * c.histogram[v];
    }
  }
  // Nothing was measured (an image without interior): keep the identity.
  if (n_lo + n_hi == 0) return;

  const float mn_f = static_cast<float>(mn);
  const long double mean_lo = n_lo ? static_cast<long double>(s_lo) / static_cast<long double>(n_lo) : mn_f;
  const long double mean_hi = n_hi ? static_cast<long double>(s_hi) / static_cast<long double>(n_hi) : t;
  c.low_cut = cut_point(mn_f + (mean_lo - mn_f) * a);
  c.high_cut = cut_point(t + (mean_hi - t) * b);
  const std::int32_t low = c.low_cut;
  const std::int32_t high = c.high_cut;

  const std::int32_t m = static_cast<std::int32_t>(static_cast<float>(t - mn) / static_cast<float>(range) *
                                                       static_cast<float>(c.high_out_level - c.low_out_level) +
                                                   static_cast<float>(c.low_out_level));
  c.slope_low = t != low ? static_cast<float>(m - c.low_out_level) / static_cast<float>(t - low) : 0.0f;
  c.slope_high = high != t ? static_cast<float>(c.high_out_level - m) / static_cast<float>(high - t) : 0.0f;

  for (std::int32_t v = 0; v < low; ++v) c.tone_map[v] = c.low_out;
  for (std::int32_t v = high; v < 256; ++v) c.tone_map[v] = c.high_out;
  for (std::int32_t v = low; v < t; ++v)
    c.tone_map[v] = static_cast<std::uint8_t>(
        static_cast<std::int32_t>(static_cast<float>(v - low) * c.slope_low + static_cast<float>(c.low_out_level)));
  const float m_f = static_cast<float>(m);
  for (std::int32_t v = t; v < high; ++v)
    c.tone_map[v] = static_cast<std::uint8_t>(static_cast<std::int32_t>(static_cast<float>(v - t) * c.slope_high + m_f));
}

void stretch_colors(raster_view& image, std::int32_t low_percent, std::int32_t high_percent,
                    const stretch_options& options) {
  const std::uint32_t whole = tick_count();
  const bool usable = analysis_detail::has_pixels(image);
  const std::int32_t w = usable ? image.width : 0;
  const std::int32_t h = usable ? image.height : 0;
  const std::size_t n = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);

  // Records in the order red, green, blue; record i reads byte channel_of[i].
  channel_stretch channels[3];
  constexpr int channel_of[3] = {2, 1, 0};
  for (auto& c : channels) {
    reset_channel_stretch(c);
    c.samples.assign(n, 0);
  }

  std::uint32_t start = tick_count();
  std::size_t at = 0;
  for (std::int32_t y = 0; y < h; ++y) {
    const std::uint8_t* p = image.pixels + image.row_offsets[y];
    for (std::int32_t x = 0; x < w; ++x, p += 3, ++at)
      for (int i = 0; i < 3; ++i) {
        const std::int32_t v = p[channel_of[i]];
        channel_stretch& c = channels[i];
        if (v < c.min_level) c.min_level = v;
        if (v > c.max_level) c.max_level = v;
        c.samples[at] = static_cast<std::uint8_t>(v);
      }
  }
  trace_step("_________update_low_high:", elapsed_ms(start));

  const float a = options.fixed_factors ? options.low_factor : static_cast<float>(low_percent * 0.01);
  const float b = options.fixed_factors ? options.high_factor : static_cast<float>(high_percent * 0.01);

  start = tick_count();
  for (auto& c : channels) {
    if ((c.max_level & 0xFF) == (c.min_level & 0xFF)) continue;
    c.threshold = static_cast<std::uint8_t>(otsu_threshold(c.samples.data(), w, w, h, c.histogram));
    build_tone_map(c, a, b);
  }
  trace_step("_________otsu_update_fore_back_pts:", elapsed_ms(start));

  start = tick_count();
  const std::uint8_t* map_red = channels[0].tone_map;
  const std::uint8_t* map_green = channels[1].tone_map;
  const std::uint8_t* map_blue = channels[2].tone_map;
  for (std::int32_t y = 0; y < h; ++y) {
    std::uint8_t* p = image.pixels + image.row_offsets[y];
    for (std::int32_t x = 0; x < w; ++x, p += 3) {
      p[0] = map_blue[p[0]];
      p[1] = map_green[p[1]];
      p[2] = map_red[p[2]];
    }
  }
  trace_step("_________color_map:", elapsed_ms(start));
  if (options.replace_color_line) trace_step("_________replace_color:", elapsed_ms(whole));

  for (auto& c : channels) std::vector<std::uint8_t>().swap(c.samples);
}
