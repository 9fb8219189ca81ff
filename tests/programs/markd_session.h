// Helpers for driving a private copy of markd over pipes on generated sheet
// photographs. Each session runs its own copy of the program in a scratch
// folder, so "config.txt" (beside the executable) is the test's own.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/pipe_driver.h"
#include "tests/support/temp_dir.h"
#include "tools/sheetgen/sheetgen.h"

namespace markd_test {

// Time a single recognize of a full-size photograph may take (sanitizer builds are slow).
constexpr int command_timeout_ms = 120000;

inline bool copy_file(const std::string& from, const std::string& to, mode_t mode) {
  const std::string bytes = test_support::read_file(from);
  if (bytes.empty() || !test_support::write_file(to, bytes)) return false;
  return ::chmod(to.c_str(), mode) == 0;
}

class markd_session {
 public:
  // Copies markd into bin_dir (with config_text as its config.txt unless
  // empty) and starts it in work_dir.
  bool start(const std::string& bin_dir, const std::string& work_dir, const std::string& config_text = "",
             std::vector<std::pair<std::string, std::string>> env = {}) {
    ::mkdir(bin_dir.c_str(), 0755);
    const std::string program = bin_dir + "/markd";
    if (!copy_file(test_support::program_path("markd"), program, 0755)) return false;
    if (!config_text.empty() && !test_support::write_file(bin_dir + "/config.txt", config_text)) return false;
    test_support::child_options options;
    options.cwd = work_dir;
    options.env = std::move(env);
    return child.start(program, options);
  }

  bool send(const std::string& line) { return child.write_line(line); }
  std::optional<std::string> reply(int timeout_ms = command_timeout_ms) { return child.read_line(timeout_ms); }
  // Sends a line and collects its reply lines: progress lines ("i/n[...") up
  // to and including the first other line.
  std::vector<std::string> exchange(const std::string& line) {
    std::vector<std::string> lines;
    send(line);
    while (auto r = reply()) {
      lines.push_back(*r);
      if (!is_progress(*r)) break;
    }
    return lines;
  }
  static bool is_progress(const std::string& line) {
    const auto slash = line.find('/');
    const auto bracket = line.find('[');
    return slash != std::string::npos && slash > 0 && bracket != std::string::npos && bracket > slash &&
           line.find_first_not_of("0123456789") == slash;
  }
  // True when the line produced no reply: the next command's reply comes first.
  bool silent_on(const std::string& line) {
    send(line);
    send("setdpi;96;96");
    const auto r = reply();
    return r && *r == "done";
  }
  int finish() {
    send("exit");
    child.close_stdin();
    return child.wait_exit(20000).value_or(-1);
  }

  test_support::child_process child;
};

// Hand-made matchers (std::regex trips a false warning of GCC 12 under the
// sanitizers and costs nothing here to avoid).
inline bool all_digits(const std::string& s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}
inline bool signed_digits(const std::string& s) { return all_digits(s[0] == '-' ? s.substr(1) : s); }

// "I/N[NAME] timecost=Tms": true with its parts.
inline bool parse_progress(const std::string& line, int& index, int& count, std::string& name) {
  const auto slash = line.find('/');
  const auto open = line.find('[');
  const auto close = line.rfind("] timecost=");
  if (slash == std::string::npos || open == std::string::npos || close == std::string::npos || open < slash ||
      close < open || line.size() < 2 || line.substr(line.size() - 2) != "ms") {
    return false;
  }
  const std::string i = line.substr(0, slash), n = line.substr(slash + 1, open - slash - 1);
  const std::string ms = line.substr(close + 11, line.size() - 2 - (close + 11));
  if (!all_digits(i) || !all_digits(n) || !all_digits(ms)) return false;
  index = std::stoi(i);
  count = std::stoi(n);
  name = line.substr(open + 1, close - open - 1);
  return true;
}

// Exactly the five lines of a locate file.
inline bool locate_file_form(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    const auto end = text.find('\n', at);
    if (end == std::string::npos) return false;  // every line ends in a line feed
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  if (lines.size() != 5 || lines[0].rfind("fAngle=", 0) != 0) return false;
  const std::string angle = lines[0].substr(7);
  const auto dot = angle.find('.');
  if (dot == std::string::npos || !signed_digits(angle.substr(0, dot)) || angle.size() - dot - 1 != 3 ||
      !all_digits(angle.substr(dot + 1))) {
    return false;
  }
  for (int c = 0; c < 4; ++c) {
    const std::string& l = lines[static_cast<std::size_t>(c) + 1];
    const std::string head = "corder" + std::to_string(c) + "=[";
    if (l.rfind(head, 0) != 0 || l.back() != ']') return false;
    const std::string pair = l.substr(head.size(), l.size() - head.size() - 1);
    const auto comma = pair.find(',');
    if (comma == std::string::npos || !signed_digits(pair.substr(0, comma)) || !signed_digits(pair.substr(comma + 1)))
      return false;
  }
  return true;
}

// The final reply of an exchange, "(none)" when nothing came.
inline std::string last(const std::vector<std::string>& lines) { return lines.empty() ? "(none)" : lines.back(); }

// A generated photograph written as base + ".jpg" with its template and truth.
struct sheet_files {
  std::string photo;
  std::string template_path;
  sheetgen::sheet_truth truth;
};

inline sheetgen::sheet_options plain_options(std::uint64_t seed, double skew, int turn) {
  sheetgen::sheet_options o;
  o.seed = seed;
  o.skew_degrees = skew;
  o.turn_degrees = turn;
  o.noise = 2.0;
  o.light = 0.3;
  return o;
}

inline bool make_sheet(const std::string& base, const sheetgen::sheet_options& options, sheet_files& out) {
  sheetgen::rendered_sheet sheet;
  std::string error;
  if (!sheetgen::render_sheet(options, sheet, error)) {
    ADD_FAILURE() << "render: " << error;
    return false;
  }
  if (!sheetgen::write_sheet_files(base, sheet, options.jpeg_quality, false, error)) {
    ADD_FAILURE() << "write: " << error;
    return false;
  }
  out.photo = base + ".jpg";
  out.template_path = base + "_template.txt";
  out.truth = sheet.truth;
  return true;
}

struct result_box {
  std::string name;
  int value = -1;
  int cx = 0, cy = 0, hw = 0, hh = 0;
};

struct result_file {
  bool header_ok = false;
  int width = 0, height = 0;
  std::vector<result_box> boxes;
  std::vector<std::string> bad_lines;
};

// Parses a result file strictly: header "width=%d;height=%d", then box lines
// "NAME=V[CX,CY,HW,HH]" with nothing else on them.
inline result_file read_result(const std::string& path) {
  result_file r;
  const std::string text = test_support::read_file(path);
  std::size_t at = 0;
  bool first = true;
  while (at < text.size()) {
    const std::size_t end = text.find('\n', at);
    const std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? text.size() : end + 1;
    char tail = 0;
    if (first) {
      first = false;
      r.header_ok = std::sscanf(line.c_str(), "width=%d;height=%d%c", &r.width, &r.height, &tail) == 2 &&
                    line == "width=" + std::to_string(r.width) + ";height=" + std::to_string(r.height);
      continue;
    }
    result_box b;
    const auto eq = line.find('=');
    if (eq == std::string::npos || eq == 0) {
      r.bad_lines.push_back(line);
      continue;
    }
    b.name = line.substr(0, eq);
    const std::string rest = line.substr(eq + 1);
    if (std::sscanf(rest.c_str(), "%d[%d,%d,%d,%d]%c", &b.value, &b.cx, &b.cy, &b.hw, &b.hh, &tail) != 5 ||
        rest.back() != ']') {
      r.bad_lines.push_back(line);
      continue;
    }
    r.boxes.push_back(b);
  }
  return r;
}

inline std::map<std::string, std::string> read_key_lines(const std::string& path) {
  std::map<std::string, std::string> keys;
  const std::string text = test_support::read_file(path);
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find('\n', at);
    const std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? text.size() : end + 1;
    const auto eq = line.find('=');
    if (eq != std::string::npos) keys[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return keys;
}

}  // namespace markd_test
