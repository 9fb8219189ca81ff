#include "analysis/skew.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "analysis/binarize.h"
#include "analysis/view_check.h"
#include "platform/step_trace.h"

namespace {

// rho = (y * C - x * S + round) >> shift for a run of points, in 32-bit
// wrap-around arithmetic with an arithmetic shift: the fixed-point form.
void project_points_scalar(const std::int32_t* points, std::int32_t count, std::uint32_t c, std::uint32_t s,
                           std::uint32_t round, int shift, std::int32_t* rho) {
  for (std::int32_t i = 0; i < count; ++i) {
    const std::uint32_t p = static_cast<std::uint32_t>(points[i]);
    rho[i] = static_cast<std::int32_t>((p >> 16) * c - (p & 0xFFFFu) * s + round) >> shift;
  }
}

#if defined(__x86_64__)
// The same eight points at a time; mullo keeps the low 32 bits and srai
// shifts arithmetically, so the values are those of the scalar form.
__attribute__((target("avx2"))) void project_points_avx2(const std::int32_t* points, std::int32_t count,
                                                         std::uint32_t c, std::uint32_t s, std::uint32_t round,
                                                         int shift, std::int32_t* rho) {
  const __m256i vc = _mm256_set1_epi32(static_cast<int>(c));
  const __m256i vs = _mm256_set1_epi32(static_cast<int>(s));
  const __m256i vr = _mm256_set1_epi32(static_cast<int>(round));
  const __m256i low = _mm256_set1_epi32(0xFFFF);
  const __m128i sh = _mm_cvtsi32_si128(shift);
  std::int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(points + i));
    const __m256i x = _mm256_and_si256(p, low);
    const __m256i y = _mm256_srli_epi32(p, 16);
    const __m256i v = _mm256_add_epi32(_mm256_sub_epi32(_mm256_mullo_epi32(y, vc), _mm256_mullo_epi32(x, vs)), vr);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(rho + i), _mm256_sra_epi32(v, sh));
  }
  project_points_scalar(points + i, count - i, c, s, round, shift, rho + i);
}

bool cpu_has_avx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

void project_points(const std::int32_t* points, std::int32_t count, std::uint32_t c, std::uint32_t s,
                    std::uint32_t round, int shift, std::int32_t* rho) {
#if defined(__x86_64__)
  if (cpu_has_avx2()) {
    project_points_avx2(points, count, c, s, round, shift, rho);
    return;
  }
#endif
  project_points_scalar(points, count, c, s, round, shift, rho);
}

// Counts the projection of every point into `lanes` interleaved copies of the
// histogram: consecutive points of one printed line mostly hit the same row,
// and one counter per lane keeps those increments from waiting on each other.
// The copies are summed into `histogram` afterwards, which gives exactly the
// counts of a single histogram.
constexpr int lanes = 4;
constexpr std::int32_t chunk = 1024;

struct projector {
  std::vector<std::int32_t> lane_counts;  // bins * lanes, lane-major per bin
  std::int32_t rho[chunk];

  std::int32_t project(const std::int32_t* points, std::int32_t count, std::int32_t bins, std::int32_t k,
                       const trig_table& table, std::int32_t crowded_row, std::vector<std::int32_t>& histogram) {
    histogram.assign(static_cast<std::size_t>(std::max(bins, 0)), 0);
    if (bins <= 0 || count <= 0) return 0;
    lane_counts.assign(static_cast<std::size_t>(bins) * lanes, 0);
    std::int32_t* counts = lane_counts.data();
    const std::uint32_t c = static_cast<std::uint32_t>(table.cosines[static_cast<std::size_t>(k)]);
    const std::uint32_t s = static_cast<std::uint32_t>(table.sines[static_cast<std::size_t>(k)]);
    const std::uint32_t round = static_cast<std::uint32_t>(table.round_constant);
    const std::uint32_t n = static_cast<std::uint32_t>(bins);
    for (std::int32_t start = 0; start < count; start += chunk) {
      const std::int32_t m = std::min(chunk, count - start);
      project_points(points + start, m, c, s, round, table.shift, rho);
      for (std::int32_t i = 0; i < m; ++i) {
        std::int32_t r = rho[i];
        // Into 0..bins-1 by whole turns around the histogram.
        if (static_cast<std::uint32_t>(r) >= n) {
          r %= bins;
          if (r < 0) r += bins;
        }
        ++counts[static_cast<std::size_t>(r) * lanes + static_cast<std::size_t>(i & (lanes - 1))];
      }
    }
    std::int32_t score = 0;
    for (std::int32_t r = 0; r < bins; ++r) {
      const std::int32_t* q = counts + static_cast<std::size_t>(r) * lanes;
      const std::int32_t v = q[0] + q[1] + q[2] + q[3];
      histogram[static_cast<std::size_t>(r)] = v;
      score += v >= crowded_row ? 1 : 0;
    }
    return score;
  }
};

}  // namespace

std::int32_t projection_score(const std::int32_t* points, std::int32_t count, std::int32_t bins, std::int32_t k,
                              const trig_table& table, std::int32_t crowded_row,
                              std::vector<std::int32_t>& histogram) {
  k = std::clamp(k, 0, table.last_index);
  projector p;
  return p.project(points, count, bins, k, table, crowded_row, histogram);
}

scan_result scan_angles(const std::int32_t* points, std::int32_t count, std::int32_t bins, std::int32_t first,
                        std::int32_t last, std::int32_t step, const trig_table& table, std::int32_t crowded_row) {
  scan_result best;
  best.index = table.zero_index;
  best.score = 9999;
  first = std::max(first, 0);
  last = std::min(last, table.last_index);
  if (step <= 0) step = 1;
  projector p;
  std::vector<std::int32_t> histogram;
  for (std::int32_t k = first; k <= last; k += step) {
    const std::int32_t score = p.project(points, count, bins, k, table, crowded_row, histogram);
    if (score < best.score) {
      best.index = k;
      best.score = score;
      best.histogram = histogram;
    }
  }
  return best;
}

namespace {

float index_degrees(std::int32_t k, const trig_table& table) {
  return static_cast<float>(static_cast<double>(k - table.zero_index) / 100.0);
}

}  // namespace

std::int32_t search_skew(const std::int32_t* coarse, std::int32_t coarse_count, const std::int32_t* points,
                         std::int32_t count, std::int32_t bins, const skew_options& options) {
  const trig_table& table = trig_table_of(options.tables);
  std::uint32_t start = tick_count();
  const std::int32_t k1 =
      scan_angles(coarse, coarse_count, bins, 0, table.last_index, 100, table, options.crowded_row).index;
  trace_step("______________angle.step1:", elapsed_ms(start), trace_number(index_degrees(k1, table)));

  start = tick_count();
  const std::int32_t k2 = scan_angles(points, count, bins, k1 - 100, k1 + 100, 10, table, options.crowded_row).index;
  trace_step("______________angle.step2:", elapsed_ms(start), trace_number(index_degrees(k2, table)));

  start = tick_count();
  const std::int32_t k3 = scan_angles(points, count, bins, k2 - 10, k2 + 10, 1, table, options.crowded_row).index;
  trace_step("______________angle.step3:", elapsed_ms(start), trace_number(index_degrees(k3, table)));
  return k3;
}

float estimate_skew(raster_view& image, const skew_options& options) {
  const std::uint32_t start = tick_count();
  binarize_dark(image, options.binarize);
  const trig_table& table = trig_table_of(options.tables);

  const std::int32_t* all = image.dark_points.data;
  const std::int32_t count = all ? image.dark_points.count : 0;
  // Stage 1 looks at every fourth column only.
  std::vector<std::int32_t> reduced;
  reduced.reserve(static_cast<std::size_t>(count / 4 + 1));
  for (std::int32_t i = 0; i < count; ++i)
    if ((all[i] & 3) == 0) reduced.push_back(all[i]);

  const std::int32_t bins = analysis_detail::has_pixels(image) ? image.height : 0;
  const std::int32_t k =
      search_skew(reduced.data(), static_cast<std::int32_t>(reduced.size()), all, count, bins, options);
  const float angle = index_degrees(k, table);
  if (options.trace_total) trace_step("_________angle:", elapsed_ms(start), trace_number(angle));
  return angle;
}

namespace {

// Weights of the four neighbours in 256ths for the fractions fx, fy (in
// sixteenths): bilinear_table[v][a][b] is exactly (v * a * b + 128) >> 8,
// since v * a/16 * b/16 + 0.5 is exact in double and non-negative. So each
// term is (p * w + 128) >> 8 with w = a * b <= 256, which fits 16-bit lanes
// (255 * 256 + 128 < 65536): the vector path below gives the table's values.
struct neighbour_weights {
  std::int32_t w00, w10, w01, w11;
};

inline neighbour_weights weights_of(std::int32_t fx, std::int32_t fy) {
  return {(16 - fx) * (16 - fy), fx * (16 - fy), (16 - fx) * fy, fx * fy};
}

#if defined(__SSE2__)
// Per (fy * 16 + fx): the multipliers of p00 p10 (low half) and p01 p11
// (high half) as 16-bit lanes b g r b g r 0 0.
struct weight_vectors {
  alignas(16) std::uint16_t top[256][8];
  alignas(16) std::uint16_t bottom[256][8];
};

const weight_vectors& sse_weights() {
  static const weight_vectors table = [] {
    weight_vectors t{};
    for (int fy = 0; fy < 16; ++fy)
      for (int fx = 0; fx < 16; ++fx) {
        const neighbour_weights w = weights_of(fx, fy);
        const int i = fy * 16 + fx;
        for (int c = 0; c < 3; ++c) {
          t.top[i][c] = static_cast<std::uint16_t>(w.w00);
          t.top[i][c + 3] = static_cast<std::uint16_t>(w.w10);
          t.bottom[i][c] = static_cast<std::uint16_t>(w.w01);
          t.bottom[i][c + 3] = static_cast<std::uint16_t>(w.w11);
        }
      }
    return t;
  }();
  return table;
}

// Six bytes (two neighbouring pixels) as 16-bit lanes, reading nothing past them.
inline __m128i load_pair(const std::uint8_t* p) {
  std::uint32_t first;
  std::uint16_t second;
  std::memcpy(&first, p, 4);
  std::memcpy(&second, p + 4, 2);
  const __m128i bytes = _mm_insert_epi16(_mm_cvtsi32_si128(static_cast<int>(first)), second, 2);
  return _mm_unpacklo_epi8(bytes, _mm_setzero_si128());
}

inline void blend_pixel(const std::uint8_t* p0, const std::uint8_t* p1, std::int32_t fx, std::int32_t fy,
                        std::uint8_t* out, const weight_vectors& wv) {
  const int i = fy * 16 + fx;
  const __m128i round = _mm_set1_epi16(128);
  __m128i top = _mm_mullo_epi16(load_pair(p0), _mm_load_si128(reinterpret_cast<const __m128i*>(wv.top[i])));
  __m128i bottom = _mm_mullo_epi16(load_pair(p1), _mm_load_si128(reinterpret_cast<const __m128i*>(wv.bottom[i])));
  top = _mm_srli_epi16(_mm_add_epi16(top, round), 8);
  bottom = _mm_srli_epi16(_mm_add_epi16(bottom, round), 8);
  __m128i sum = _mm_add_epi16(top, bottom);          // lanes 0-2: left pair, 3-5: right pair
  sum = _mm_add_epi16(sum, _mm_srli_si128(sum, 6));  // lanes 0-2: all four
  const std::uint32_t v = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(sum, sum)));  // limited to 255
  out[0] = static_cast<std::uint8_t>(v);
  out[1] = static_cast<std::uint8_t>(v >> 8);
  out[2] = static_cast<std::uint8_t>(v >> 16);
}
#endif

// The table form of one destination pixel, used where no vector unit is.
inline void blend_pixel_table(const std::uint8_t* p0, const std::uint8_t* p1, std::int32_t fx, std::int32_t fy,
                              std::uint8_t* out, const std::uint8_t* table) {
  constexpr int row = bilinear_weights;
  constexpr int value = bilinear_weights * bilinear_weights;
  const std::int32_t o00 = (16 - fx) * row + (16 - fy);
  const std::int32_t o10 = fx * row + (16 - fy);
  const std::int32_t o01 = (16 - fx) * row + fy;
  const std::int32_t o11 = fx * row + fy;
  for (int ch = 0; ch < 3; ++ch) {
    const std::int32_t v = table[p0[ch] * value + o00] + table[p0[ch + 3] * value + o10] +
                           table[p1[ch] * value + o01] + table[p1[ch + 3] * value + o11];
    out[ch] = static_cast<std::uint8_t>(v > 255 ? 255 : v);
  }
}

enum class blend_kernel { table, sse, avx2 };

#if defined(__x86_64__)
// (p * w + 128) >> 8 in 32-bit lanes holding p <= 255 and w <= 256: the
// product fits the low 16 bits, whose multiply is the cheap one.
#define MARKD_BLEND_TERM(p, weight) \
  _mm256_srli_epi32(_mm256_add_epi32(_mm256_mullo_epi16((p), (weight)), v128), 8)

// Eight destination pixels at a time from the start of a row, for as long as
// at least one pixel is left behind them (the row's tail goes to the
// one-pixel path, so no store reaches past the row). Same arithmetic as
// blend_pixel: per term (p * w + 128) >> 8 with w = a * b, summed, limited to
// 255; pixels without four source neighbours are left as they are (white).
// Every gather reads only bytes of the four neighbours. Returns the first
// column not done and advances qx, qy and out to it.
__attribute__((target("avx2"))) std::int32_t rotate_run_avx2(const std::uint8_t* src, std::int32_t stride,
                                                             std::int32_t w, std::int32_t h, std::uint32_t& qx,
                                                             std::uint32_t& qy, std::uint32_t uc, std::uint32_t us,
                                                             int frac_shift, std::uint8_t*& out) {
  const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  __m256i vqx = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(qx)),
                                 _mm256_mullo_epi32(lane, _mm256_set1_epi32(static_cast<int>(uc))));
  __m256i vqy = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(qy)),
                                 _mm256_mullo_epi32(lane, _mm256_set1_epi32(static_cast<int>(us))));
  const __m256i step_x = _mm256_set1_epi32(static_cast<int>(uc * 8u));
  const __m256i step_y = _mm256_set1_epi32(static_cast<int>(us * 8u));
  const __m128i fs = _mm_cvtsi32_si128(frac_shift);
  const __m256i vhw = _mm256_set1_epi32(w / 2);
  const __m256i vhh = _mm256_set1_epi32(h / 2);
  const __m256i last_x = _mm256_set1_epi32(w - 1);
  const __m256i last_y = _mm256_set1_epi32(h - 1);
  const __m256i minus1 = _mm256_set1_epi32(-1);
  const __m256i v15 = _mm256_set1_epi32(15);
  const __m256i v256 = _mm256_set1_epi32(256);
  const __m256i v128 = _mm256_set1_epi32(128);
  const __m256i vff = _mm256_set1_epi32(0xFF);
  const __m256i v255 = _mm256_set1_epi32(255);
  const __m256i vstride = _mm256_set1_epi32(stride);
  const __m256i v3 = _mm256_set1_epi32(3);
  const __m256i white = _mm256_set1_epi32(0xFFFFFF);
  const __m256i zero = _mm256_setzero_si256();
  // Per 128-bit half: four b g r x pixels to twelve b g r bytes.
  const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4, 5, 6, 8, 9,
                                        10, 12, 13, 14, -1, -1, -1, -1);
  // Per 128-bit half (pixels k = 0..3 of a straight run, bytes 3k..): channel
  // c of p(k) (take[c]) and of p(k + 1) (take[c + 3]) into 32-bit lanes.
  __m256i take[6];
  for (int t = 0; t < 6; ++t) {
    alignas(32) std::int8_t control[32];
    for (int half = 0; half < 2; ++half)
      for (int k = 0; k < 4; ++k) {
        std::int8_t* lane = control + half * 16 + k * 4;
        lane[0] = static_cast<std::int8_t>(3 * k + t);
        lane[1] = lane[2] = lane[3] = -1;
      }
    take[t] = _mm256_load_si256(reinterpret_cast<const __m256i*>(control));
  }
  const int* row0 = reinterpret_cast<const int*>(src);
  const int* row0_shifted = reinterpret_cast<const int*>(src + 2);
  const int* row1 = reinterpret_cast<const int*>(src + stride);
  const int* row1_shifted = reinterpret_cast<const int*>(src + stride + 2);

  std::int32_t j = 0;
  for (; j + 8 < w; j += 8, out += 24, vqx = _mm256_add_epi32(vqx, step_x), vqy = _mm256_add_epi32(vqy, step_y)) {
    const __m256i ux = _mm256_sra_epi32(vqx, fs);
    const __m256i uy = _mm256_sra_epi32(vqy, fs);
    const __m256i sx = _mm256_add_epi32(vhw, _mm256_srai_epi32(ux, 4));
    const __m256i sy = _mm256_add_epi32(vhh, _mm256_srai_epi32(uy, 4));
    const __m256i valid = _mm256_and_si256(
        _mm256_and_si256(_mm256_cmpgt_epi32(sx, minus1), _mm256_cmpgt_epi32(sy, minus1)),
        _mm256_and_si256(_mm256_cmpgt_epi32(last_x, sx), _mm256_cmpgt_epi32(last_y, sy)));
    if (_mm256_testz_si256(valid, valid)) {  // all eight fall outside the source: white
      std::memset(out, 255, 24);
      continue;
    }
    const __m256i fx = _mm256_and_si256(ux, v15);
    const __m256i fy = _mm256_and_si256(uy, v15);
    const __m256i w11 = _mm256_mullo_epi16(fx, fy);
    const __m256i w10 = _mm256_sub_epi32(_mm256_slli_epi32(fx, 4), w11);
    const __m256i w01 = _mm256_sub_epi32(_mm256_slli_epi32(fy, 4), w11);
    const __m256i w00 = _mm256_add_epi32(_mm256_sub_epi32(v256, _mm256_slli_epi32(_mm256_add_epi32(fx, fy), 4)), w11);

    // The neighbours' channel values, one 32-bit lane per pixel.
    __m256i p00[3], p10[3], p01[3], p11[3];
    const std::int32_t sx_first = _mm256_cvtsi256_si32(sx);
    const std::int32_t sx_last = _mm256_extract_epi32(sx, 7);
    const std::int32_t sy_first = _mm256_cvtsi256_si32(sy);
    const std::int32_t sy_last = _mm256_extract_epi32(sy, 7);
    const std::int32_t sy_top = std::min(sy_first, sy_last);
    const std::int32_t sy_span = std::max(sy_first, sy_last) - sy_top;
    if (_mm256_movemask_ps(_mm256_castsi256_ps(valid)) == 0xFF && sx_last - sx_first == 7 && sy_span <= 1 &&
        (sy_top + sy_span + 2 < h || sx_last + 2 < w)) {
      // Small turns: eight consecutive source columns (x steps by 0 or 1 per
      // pixel, so ends 7 apart mean a straight run) on one row pair, or on
      // two neighbouring pairs when y steps once inside the eight (y is
      // monotonic). Plain loads of those rows; each reads one byte past the
      // ninth column, which the next row or the row's next pixel holds.
      const std::uint8_t* q0 = src + static_cast<std::size_t>(sy_top) * static_cast<std::size_t>(stride) +
                               static_cast<std::size_t>(sx_first) * 3u;
#define load_row(q)                                                               \
  _mm256_set_m128i(_mm_loadu_si128(reinterpret_cast<const __m128i*>((q) + 12)), \
                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(q)))
      const __m256i r0 = load_row(q0);
      const __m256i r1 = load_row(q0 + stride);
      _mm_prefetch(reinterpret_cast<const char*>(q0 + 2 * stride), _MM_HINT_T0);
      if (sy_span == 0) {
        for (int ch = 0; ch < 3; ++ch) {
          p00[ch] = _mm256_shuffle_epi8(r0, take[ch]);
          p10[ch] = _mm256_shuffle_epi8(r0, take[ch + 3]);
          p01[ch] = _mm256_shuffle_epi8(r1, take[ch]);
          p11[ch] = _mm256_shuffle_epi8(r1, take[ch + 3]);
        }
      } else {
        const __m256i r2 = load_row(q0 + 2 * stride);
        const __m256i upper = _mm256_cmpeq_epi32(sy, _mm256_set1_epi32(sy_top));  // lanes on rows top, top + 1
        for (int ch = 0; ch < 3; ++ch) {
          const __m256i m1 = _mm256_shuffle_epi8(r1, take[ch]);
          const __m256i n1 = _mm256_shuffle_epi8(r1, take[ch + 3]);
          p00[ch] = _mm256_blendv_epi8(m1, _mm256_shuffle_epi8(r0, take[ch]), upper);
          p10[ch] = _mm256_blendv_epi8(n1, _mm256_shuffle_epi8(r0, take[ch + 3]), upper);
          p01[ch] = _mm256_blendv_epi8(_mm256_shuffle_epi8(r2, take[ch]), m1, upper);
          p11[ch] = _mm256_blendv_epi8(_mm256_shuffle_epi8(r2, take[ch + 3]), n1, upper);
        }
      }
#undef load_row
    } else {
      const __m256i off = _mm256_add_epi32(_mm256_mullo_epi32(sy, vstride), _mm256_mullo_epi32(sx, v3));
      // Row sy from byte 0 (b g r of p00, b of p10) and from byte 2 (r of p00, then p10);
      // row sy + 1 likewise.
      const __m256i g00 = _mm256_mask_i32gather_epi32(zero, row0, off, valid, 1);
      const __m256i g10 = _mm256_srli_epi32(_mm256_mask_i32gather_epi32(zero, row0_shifted, off, valid, 1), 8);
      const __m256i g01 = _mm256_mask_i32gather_epi32(zero, row1, off, valid, 1);
      const __m256i g11 = _mm256_srli_epi32(_mm256_mask_i32gather_epi32(zero, row1_shifted, off, valid, 1), 8);
      {
        // Fetch the source row the next destination row needs here (see blend_pixel's caller).
        const std::uint32_t ahead = static_cast<std::uint32_t>(_mm256_extract_epi32(off, 7));
        _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<std::uintptr_t>(src) + ahead +
                                                   2u * static_cast<std::uint32_t>(stride)),
                     _MM_HINT_T0);
      }
      for (int ch = 0; ch < 3; ++ch) {
        const __m128i sh = _mm_cvtsi32_si128(8 * ch);
        p00[ch] = _mm256_and_si256(_mm256_srl_epi32(g00, sh), vff);
        p10[ch] = _mm256_and_si256(_mm256_srl_epi32(g10, sh), vff);
        p01[ch] = _mm256_and_si256(_mm256_srl_epi32(g01, sh), vff);
        p11[ch] = _mm256_and_si256(_mm256_srl_epi32(g11, sh), vff);
      }
    }
    __m256i channel[3];
    for (int ch = 0; ch < 3; ++ch) {
      const __m256i sum =
          _mm256_add_epi32(_mm256_add_epi32(MARKD_BLEND_TERM(p00[ch], w00), MARKD_BLEND_TERM(p10[ch], w10)),
                           _mm256_add_epi32(MARKD_BLEND_TERM(p01[ch], w01), MARKD_BLEND_TERM(p11[ch], w11)));
      channel[ch] = _mm256_min_epi32(sum, v255);
    }
    __m256i pixel = _mm256_or_si256(_mm256_or_si256(channel[0], _mm256_slli_epi32(channel[1], 8)),
                                    _mm256_slli_epi32(channel[2], 16));
    pixel = _mm256_shuffle_epi8(_mm256_blendv_epi8(white, pixel, valid), pack);
    const __m128i low = _mm256_castsi256_si128(pixel);
    const __m128i high = _mm256_extracti128_si256(pixel, 1);
    const std::uint32_t low_tail = static_cast<std::uint32_t>(_mm_extract_epi32(low, 2));
    const std::uint32_t high_tail = static_cast<std::uint32_t>(_mm_extract_epi32(high, 2));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), low);
    std::memcpy(out + 8, &low_tail, 4);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 12), high);
    std::memcpy(out + 20, &high_tail, 4);
  }
  qx += static_cast<std::uint32_t>(j) * uc;
  qy += static_cast<std::uint32_t>(j) * us;
  return j;
}
#undef MARKD_BLEND_TERM
#endif

// The destination is white wherever the turned source does not reach: the
// row loops write white for such pixels themselves (one pass over 24 MB
// instead of a fill and then the turn), and this whitens the bytes past the
// last pixel of a row.
inline void fill_row_padding(std::uint8_t* row, std::int32_t width, std::int32_t stride) {
  const std::int32_t used = width * 3;
  if (stride > used) std::memset(row + used, 255, static_cast<std::size_t>(stride - used));
}

// Bilinear rows: destination pixel (j, i) from the four source pixels around
// the source position (sixteenths of a pixel) that the turn maps it to.
template <blend_kernel kernel>
void rotate_bilinear_rows(const raster_view& source, raster_view& destination, std::int32_t c, std::int32_t s,
                          int shift) {
  const std::int32_t w = source.width;
  const std::int32_t h = source.height;
  const std::int32_t hw = w / 2;
  const std::int32_t hh = h / 2;
  const std::uint8_t* table = bilinear_table().data();
#if defined(__SSE2__)
  const weight_vectors& wv = sse_weights();
#endif
  const std::uint8_t* src = source.pixels;
  const std::int32_t stride = source.stride;
  const int frac_shift = shift - 4;
  const std::uint32_t uc = static_cast<std::uint32_t>(c);
  const std::uint32_t us = static_cast<std::uint32_t>(s);
  for (std::int32_t i = 0; i < h; ++i) {
    std::uint8_t* out = destination.pixels + destination.row_offsets[i];
    fill_row_padding(out, w, destination.stride);
    const std::uint32_t dy = static_cast<std::uint32_t>(i - hh);
    const std::uint32_t dx0 = static_cast<std::uint32_t>(-hw);
    // 32-bit wrap-around arithmetic, stepped by one column at a time.
    std::uint32_t qx = dx0 * uc - dy * us;
    std::uint32_t qy = dx0 * us + dy * uc;
    std::int32_t j = 0;
#if defined(__x86_64__)
    if constexpr (kernel == blend_kernel::avx2) j = rotate_run_avx2(src, stride, w, h, qx, qy, uc, us, frac_shift, out);
#endif
    for (; j < w; ++j, qx += uc, qy += us, out += 3) {
      const std::int32_t ux = static_cast<std::int32_t>(qx) >> frac_shift;
      const std::int32_t uy = static_cast<std::int32_t>(qy) >> frac_shift;
      const std::int32_t sx = hw + (ux >> 4);
      const std::int32_t sy = hh + (uy >> 4);
      if (sx < 0 || sy < 0 || sx + 1 >= w || sy + 1 >= h) {
        out[0] = out[1] = out[2] = 255;
        continue;
      }
      const std::uint8_t* p0 = src + destination.row_offsets[sy] + destination.column_offsets[sx];
      const std::uint8_t* p1 = p0 + stride;
#if defined(__SSE2__)
      if constexpr (kernel != blend_kernel::table) {
        // The turned rows cross the source rows on a slant, which the
        // hardware prefetcher cannot follow: fetch the source row that the
        // next destination row will need here, one row's work ahead.
        _mm_prefetch(reinterpret_cast<const char*>(p1 + stride), _MM_HINT_T0);
        blend_pixel(p0, p1, ux & 15, uy & 15, out, wv);
        continue;
      }
#endif
      blend_pixel_table(p0, p1, ux & 15, uy & 15, out, table);
    }
  }
}

// Nearest-neighbour rows of the early build.
void rotate_nearest_rows(const raster_view& source, raster_view& destination, std::int32_t c, std::int32_t s,
                         int shift) {
  const std::int32_t w = source.width;
  const std::int32_t h = source.height;
  const std::int32_t hw = w / 2;
  const std::int32_t hh = h / 2;
  const std::uint32_t uc = static_cast<std::uint32_t>(c);
  const std::uint32_t us = static_cast<std::uint32_t>(s);
  for (std::int32_t i = 0; i < h; ++i) {
    std::uint8_t* out = destination.pixels + destination.row_offsets[i];
    fill_row_padding(out, w, destination.stride);
    const std::uint32_t dy = static_cast<std::uint32_t>(i - hh);
    const std::uint32_t dx0 = static_cast<std::uint32_t>(-hw);
    std::uint32_t qx = dx0 * uc - dy * us;
    std::uint32_t qy = dx0 * us + dy * uc;
    for (std::int32_t j = 0; j < w; ++j, qx += uc, qy += us, out += 3) {
      const std::int32_t sx = hw + (static_cast<std::int32_t>(qx) >> shift);
      const std::int32_t sy = hh + (static_cast<std::int32_t>(qy) >> shift);
      if (sx < 0 || sy < 0 || sx >= w || sy >= h) {
        out[0] = out[1] = out[2] = 255;
        continue;
      }
      const std::uint8_t* p = source.pixels + destination.row_offsets[sy] + destination.column_offsets[sx];
      out[0] = p[0];
      out[1] = p[1];
      out[2] = p[2];
    }
  }
}

// The turn shared by rotate_self and the kernel tests: false when the shapes
// differ or this machine lacks the kernel's vector unit.
bool turn_image(const raster_view& source, raster_view& destination, float angle, const trig_table& table,
                rotation_sampling sampling, analysis_detail::rotation_kernel kernel) {
  using analysis_detail::rotation_kernel;
  if (!(analysis_detail::has_pixels(source) && analysis_detail::has_pixels(destination) &&
        source.width == destination.width && source.height == destination.height &&
        source.stride == destination.stride))
    return false;
  const std::int32_t k = angle_index(angle, table);
  const std::int32_t c = table.cosines[static_cast<std::size_t>(k)];
  const std::int32_t s = table.sines[static_cast<std::size_t>(k)];
  if (sampling == rotation_sampling::nearest) {
    rotate_nearest_rows(source, destination, c, s, table.shift);
    return true;
  }
  switch (kernel) {
    case rotation_kernel::table:
      rotate_bilinear_rows<blend_kernel::table>(source, destination, c, s, table.shift);
      return true;
    case rotation_kernel::sse:
#if defined(__SSE2__)
      rotate_bilinear_rows<blend_kernel::sse>(source, destination, c, s, table.shift);
      return true;
#else
      return false;
#endif
    case rotation_kernel::avx2:
#if defined(__x86_64__)
      if (!cpu_has_avx2()) return false;
      rotate_bilinear_rows<blend_kernel::avx2>(source, destination, c, s, table.shift);
      return true;
#else
      return false;
#endif
  }
  return false;
}

// The fastest kernel this machine has; all give the same bytes.
analysis_detail::rotation_kernel best_kernel() {
  using analysis_detail::rotation_kernel;
#if defined(__x86_64__)
  if (cpu_has_avx2()) return rotation_kernel::avx2;
#endif
#if defined(__SSE2__)
  return rotation_kernel::sse;
#else
  return rotation_kernel::table;
#endif
}

}  // namespace

void rotate_self(const raster_view& source, raster_view& destination, float angle, const rotate_options& options) {
  const trig_table& table = trig_table_of(options.tables);
  if (options.sampling == rotation_sampling::bilinear) bilinear_table();
  const std::uint32_t start = tick_count();
  turn_image(source, destination, angle, table, options.sampling, best_kernel());
  trace_step(options.label, elapsed_ms(start), "");
}

namespace analysis_detail {

bool rotate_self_with(const raster_view& source, raster_view& destination, float angle, rotation_kernel kernel) {
  return turn_image(source, destination, angle, trig_table_of(table_form::full), rotation_sampling::bilinear, kernel);
}

}  // namespace analysis_detail

point map_point(std::int32_t width, std::int32_t height, float angle, std::int32_t x, std::int32_t y,
                table_form tables) {
  const trig_table& table = trig_table_of(tables);
  const std::int32_t k = angle_index(angle, table);
  const std::int64_t c = table.cosines[static_cast<std::size_t>(k)];
  const std::int64_t s = table.sines[static_cast<std::size_t>(k)];
  const std::int32_t hw = width / 2;
  const std::int32_t hh = height / 2;
  const std::int64_t dx = static_cast<std::int64_t>(x) - hw;
  const std::int64_t dy = static_cast<std::int64_t>(y) - hh;
  const std::int64_t round = table.round_constant;
  return point{static_cast<std::int32_t>(hw + ((dx * c + dy * s + round) >> table.shift)),
               static_cast<std::int32_t>(hh + ((dy * c - dx * s + round) >> table.shift))};
}

rect orient_rect(const rect& r, std::int32_t width, std::int32_t height, std::int32_t code) {
  switch (code) {
    case orientation_left:
      return rect{height - 1 - r.bottom, r.left, height - 1 - r.top, r.right};
    case orientation_bottom:
      return rect{width - 1 - r.right, height - 1 - r.bottom, width - 1 - r.left, height - 1 - r.top};
    case orientation_right:
      return rect{r.top, width - 1 - r.right, r.bottom, width - 1 - r.left};
    default:
      return r;
  }
}
