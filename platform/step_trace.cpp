#include "platform/step_trace.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

namespace {

struct trace_sink {
  std::FILE* file = nullptr;  // null: lines are dropped
  bool owned = false;
  bool chosen = false;
};

trace_sink& sink() {
  static trace_sink s;
  return s;
}

// speakd and friends never trace, but a helper thread of the platform might:
// one line must never interleave with another.
std::mutex& sink_mutex() {
  static std::mutex m;
  return m;
}

void close_sink(trace_sink& s) {
  if (s.owned && s.file) std::fclose(s.file);
  s.file = nullptr;
  s.owned = false;
}

void open_sink(trace_sink& s, const std::string& where) {
  close_sink(s);
  s.chosen = true;
  if (where.empty()) return;
  if (where == "stderr") {
    s.file = stderr;
    return;
  }
  s.file = std::fopen(where.c_str(), "a");
  if (!s.file) {
    // Said once on standard error; the run goes on without a trace.
    std::fprintf(stderr, "markd: cannot open trace file %s; trace lines are dropped\n", where.c_str());
    return;
  }
  s.owned = true;
}

void write_line(const std::string& text) {
  std::lock_guard<std::mutex> lock(sink_mutex());
  trace_sink& s = sink();
  if (!s.chosen) {
    const char* env = std::getenv("MARKD_TRACE");
    open_sink(s, env ? env : "");
  }
  if (!s.file) return;
  std::fwrite(text.data(), 1, text.size(), s.file);
  std::fflush(s.file);
}

}  // namespace

std::uint32_t tick_count() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const std::uint64_t ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

std::uint32_t elapsed_ms(std::uint32_t since) { return tick_count() - since; }

void trace_set_sink(const std::string& where) {
  std::lock_guard<std::mutex> lock(sink_mutex());
  open_sink(sink(), where);
}

void trace_begin() { write_line("\nstart {{\n"); }

void trace_step(std::string_view label, std::uint32_t ms) {
  std::string line(label);
  line += std::to_string(ms);
  line += '\n';
  write_line(line);
}

void trace_step(std::string_view label, std::uint32_t ms, std::string_view value) {
  std::string line(label);
  line += std::to_string(ms);
  line += ' ';
  line += value;
  line += '\n';
  write_line(line);
}

void trace_end(std::uint32_t ms) {
  std::string line = "end }} timecost:";
  line += std::to_string(ms);
  line += '\n';
  write_line(line);
}

std::string trace_number(float x) {
  const bool negative = x < -0.000001;
  const float v = negative ? -x : x;
  char text[64] = {};
  bool done = false;
  if (std::isfinite(v)) {
    double scale = 1.0;
    for (int n = 0; n <= 3 && !done; ++n, scale *= 10.0) {
      const double scaled = static_cast<double>(v) * scale + 0.5;
      if (scaled >= 9.0e18) break;  // no integer part to take: fall through to "%f"
      const auto whole = static_cast<long long>(scaled);
      const float r = static_cast<float>(static_cast<double>(whole) / scale);
      if (std::fabs(r - v) < 0.000001f) {
        if (n == 0)
          std::snprintf(text, sizeof text, "%lld", whole);
        else
          std::snprintf(text, sizeof text, "%.*f", n, static_cast<double>(v) + 0.000001);
        done = true;
      }
    }
  }
  if (!done) std::snprintf(text, sizeof text, "%f", static_cast<double>(v));
  std::string result;
  if (negative) result += '-';
  result += text;
  return result;
}
