#include "analysis/tables.h"

#include <cmath>

namespace {

trig_table make_trig_table(table_form form) {
  trig_table t;
  t.form = form;
  const bool candidate = form == table_form::candidate;
  const bool early = form == table_form::early;
  t.zero_index = candidate ? 4500 : 4000;
  t.last_index = candidate ? 9000 : 8000;
  t.shift = early ? 10 : 15;
  t.round_constant = early ? 0 : 1 << (t.shift - 1);
  const double scale = static_cast<double>(1 << t.shift);
  const double round = early ? 0.0 : 0.5;
  const double pi = static_cast<double>(3.1415927f);
  t.cosines.resize(static_cast<std::size_t>(t.last_index) + 1);
  t.sines.resize(static_cast<std::size_t>(t.last_index) + 1);
  for (std::int32_t k = 0; k <= t.last_index; ++k) {
    const float radians = static_cast<float>(static_cast<double>(k - t.zero_index) * pi / 18000.0);
    const float c = static_cast<float>(std::cos(static_cast<double>(radians)));
    const float s = static_cast<float>(std::sin(static_cast<double>(radians)));
    // Truncation toward zero, as the integer conversion does.
    t.cosines[static_cast<std::size_t>(k)] = static_cast<std::int32_t>(static_cast<double>(c) * scale + round);
    t.sines[static_cast<std::size_t>(k)] = static_cast<std::int32_t>(static_cast<double>(s) * scale + round);
  }
  return t;
}

bilinear_table_t make_bilinear_table() {
  bilinear_table_t t{};
  for (int v = 0; v < 256; ++v)
    for (int a = 0; a < bilinear_weights; ++a)
      for (int b = 0; b < bilinear_weights; ++b)
        // v * a/16 * b/16 + 0.5 is exact in double; truncation of a
        // non-negative value is the integer rounding below.
        t[static_cast<std::size_t>(v * bilinear_weights * bilinear_weights + a * bilinear_weights + b)] =
            static_cast<std::uint8_t>((v * a * b + 128) >> 8);
  return t;
}

}  // namespace

const trig_table& trig_table_of(table_form form) {
  static const trig_table full = make_trig_table(table_form::full);
  static const trig_table early = make_trig_table(table_form::early);
  static const trig_table candidate = make_trig_table(table_form::candidate);
  switch (form) {
    case table_form::early:
      return early;
    case table_form::candidate:
      return candidate;
    case table_form::full:
      break;
  }
  return full;
}

std::int32_t angle_index(float angle, const trig_table& table) {
  const double v = static_cast<double>(angle) * 100.0 + static_cast<double>(table.zero_index);
  if (std::isnan(v)) return table.zero_index;
  if (v <= 0.0) return 0;
  if (v >= static_cast<double>(table.last_index)) return table.last_index;
  return static_cast<std::int32_t>(v);
}

const bilinear_table_t& bilinear_table() {
  static const bilinear_table_t table = make_bilinear_table();
  return table;
}
