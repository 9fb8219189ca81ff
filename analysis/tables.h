// Process-wide lookup tables of the skew search and the rotation.
//
// trig_table: cosine and sine of every angle_index, in fixed point.
//   Index k stands for (k - zero_index) / 100 degrees. The angle in radians
//   is (k - zero_index) * pi / 18000 with pi the single-precision 3.1415927,
//   the quotient rounded to single precision; the entry is the cosine (sine)
//   rounded to single precision, times the scale, plus 0.5 in the rounded
//   forms, truncated toward zero. Full form: 8001 entries scaled by 32768,
//   so index 4000 holds 32768 and 0.
// bilinear_table: entry [v][a][b] = truncate(v * a/16 * b/16 + 0.5), the
//   share of pixel value v under weights a and b in sixteenths.
//
// Both are built once, on first use, and never change afterwards; the
// accessors are safe to call from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "analysis/options.h"

struct trig_table {
  table_form form = table_form::full;
  std::int32_t zero_index = 4000;    // angle_index of 0 degrees
  std::int32_t last_index = 8000;    // highest angle_index; the table has last_index + 1 entries
  std::int32_t shift = 15;           // entries are scaled by 1 << shift
  std::int32_t round_constant = 1 << 14;  // added before shifting a product back (0 in the early form)
  std::vector<std::int32_t> cosines;
  std::vector<std::int32_t> sines;
};

const trig_table& trig_table_of(table_form form);

// truncate(angle * 100 + zero_index) in double precision, kept inside the
// table (an angle beyond the range reads the end entry instead of memory
// past the table; a NaN reads as 0 degrees).
std::int32_t angle_index(float angle, const trig_table& table);

constexpr int bilinear_weights = 17;  // 0/16 .. 16/16
using bilinear_table_t = std::array<std::uint8_t, 256 * bilinear_weights * bilinear_weights>;

// Entry [v][a][b] at v * 289 + a * 17 + b.
const bilinear_table_t& bilinear_table();
