#include "platform/step_trace.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace {

TEST(trace_number, picks_the_shortest_form_within_a_millionth) {
  struct row {
    float x;
    const char* text;
  };
  const row rows[] = {
      {2.0f, "2"},          {3.0f, "3"},        {-1.5f, "-1.5"},     {2.5f, "2.5"},
      {0.25f, "0.25"},      {0.1234f, "0.123400"}, {-0.0000005f, "0"}, {0.0f, "0"},
      {-40.0f, "-40"},      {1.125f, "1.125"},  {-0.75f, "-0.75"},   {12.3f, "12.3"},
  };
  for (const row& r : rows) EXPECT_EQ(trace_number(r.x), r.text) << "x = " << r.x;
}

TEST(trace_number, survives_values_without_a_short_form) {
  EXPECT_FALSE(trace_number(3.0e38f).empty());
  EXPECT_FALSE(trace_number(-3.0e38f).empty());
}

TEST(step_trace, writes_the_four_shapes_to_a_file_sink) {
  test_support::temp_dir dir;
  const std::string path = dir.file("trace.txt");
  trace_set_sink(path);
  trace_begin();
  trace_step("_________binary:", 15);
  trace_step("_________angle:", 3, "-1.5");
  trace_step("_________rotate_self:", 7, "");
  trace_end(42);
  trace_set_sink("");
  EXPECT_EQ(test_support::read_file(path),
            "\nstart {{\n_________binary:15\n_________angle:3 -1.5\n_________rotate_self:7 \nend }} timecost:42\n");
}

TEST(step_trace, an_unopenable_sink_drops_lines_quietly) {
  trace_set_sink("/nonexistent-folder/trace.txt");
  trace_step("_________binary:", 1);  // no crash, nothing written anywhere
  trace_set_sink("");
  SUCCEED();
}

TEST(step_trace, elapsed_ms_wraps_in_32_bits) {
  const std::uint32_t now = tick_count();
  EXPECT_LT(elapsed_ms(now), 1000u);
  EXPECT_LT(elapsed_ms(now + 5u), 0xFFFFFFFFu);  // a reading "from the future" wraps, never traps
}

}  // namespace
