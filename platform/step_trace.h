// Step trace: timing lines that the image-processing steps write while they work.
//
// On Windows these went to the debugger output channel. Here the environment
// variable MARKD_TRACE picks the sink, read once at the first line:
//   unset or empty  lines are dropped (nobody is listening)
//   "stderr"        standard error
//   anything else   a file of that path, opened for appending
// Standard output never carries trace lines: it belongs to the command protocol.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Milliseconds of a monotonic clock, wrapping after about 49.7 days.
std::uint32_t tick_count();
// Milliseconds since an earlier tick_count() reading, in unsigned 32-bit arithmetic.
std::uint32_t elapsed_ms(std::uint32_t since);

// "\nstart {{\n" as one line.
void trace_begin();
// Label immediately followed by the milliseconds: "_________binary:15".
void trace_step(std::string_view label, std::uint32_t ms);
// Label, milliseconds, one space, the value (an empty value keeps the space).
void trace_step(std::string_view label, std::uint32_t ms, std::string_view value);
// "end }} timecost:" and the milliseconds.
void trace_end(std::uint32_t ms);

// Shortest of "%d", "%.1f", "%.2f", "%.3f" within 0.000001 of x, else "%f":
// 2 -> "2", -1.5 -> "-1.5", 0.1234 -> "0.123400".
std::string trace_number(float x);

// Where the lines go; for tests that switch sinks inside one process.
// An empty path drops the lines, "stderr" picks standard error.
void trace_set_sink(const std::string& where);
