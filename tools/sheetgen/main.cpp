// sheetgen: writes synthetic answer-sheet photographs with their template and truth.
//
//   sheetgen render --out photo.jpg [options]
//   sheetgen corpus --out DIR [--count 30] [--seed 1] [--size 3264x2448]
//
// Exit status: 0 done, 1 rendering or writing failed, 2 bad command line.
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/sheetgen/sheetgen.h"

namespace {

void print_usage() {
  std::fprintf(stderr,
               "usage:\n"
               "  sheetgen render --out PHOTO.jpg|PHOTO.png [--template FILE] [--truth FILE]\n"
               "                  [--seed N] [--size WxH] [--varied] [--skew DEG] [--turn 0|90|180|270]\n"
               "                  [--perspective 0..2] [--light 0..1.5] [--noise SIGMA] [--blur SIGMA]\n"
               "                  [--quality 1..100] [--desk grey|wood|mat] [--marks pen|pencil|mixed]\n"
               "                  [--mark NAME]... [--no-marks] [--no-student-number]\n"
               "  sheetgen corpus --out DIR [--count N] [--seed FIRST] [--size WxH]\n"
               "\n"
               "render writes the photo, PHOTO_template.txt and PHOTO_truth.txt unless --template/--truth\n"
               "name other files. --varied starts from the corpus's varied settings for the seed; later\n"
               "options override them. --mark NAME (repeatable) marks exactly those boxes.\n"
               "corpus writes DIR/sheet_NNN.jpg, DIR/sheet_NNN_template.txt and DIR/sheet_NNN_truth.txt\n"
               "for seeds FIRST .. FIRST+N-1 with varied skew, turn, light, desk and marks.\n");
}

bool parse_int(const char* s, long lo, long hi, long& out) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(s, &end, 10);
  if (errno || end == s || *end || v < lo || v > hi) return false;
  out = v;
  return true;
}

bool parse_double(const char* s, double& out) {
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(s, &end);
  if (errno || end == s || *end) return false;
  out = v;
  return true;
}

bool parse_size(const char* s, int& w, int& h) {
  int a = 0, b = 0;
  char tail = 0;
  if (std::sscanf(s, "%dx%d%c", &a, &b, &tail) != 2) return false;
  w = a;
  h = b;
  return true;
}

std::string strip_extension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  const std::size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path;
  return path.substr(0, dot);
}

int run_render(int argc, char** argv) {
  sheetgen::sheet_options o;
  std::string out, template_path, truth_path;
  std::vector<std::string> overrides;  // applied after --varied
  bool varied = false;
  long seed = 1;
  int width = o.photo_width, height = o.photo_height;
  // First pass: the options that shape the base record.
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--varied") varied = true;
    else if (a == "--seed" && i + 1 < argc) {
      if (!parse_int(argv[++i], 0, 2147483647L, seed)) return print_usage(), 2;
    } else if (a == "--size" && i + 1 < argc) {
      if (!parse_size(argv[++i], width, height)) return print_usage(), 2;
    }
  }
  if (varied) o = sheetgen::varied_options(static_cast<std::uint64_t>(seed), width, height);
  o.seed = static_cast<std::uint64_t>(seed);
  o.photo_width = width;
  o.photo_height = height;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    const bool has_value = i + 1 < argc;
    const char* v = has_value ? argv[i + 1] : "";
    long n = 0;
    if (a == "--varied" || a == "--no-student-number" || a == "--no-marks") {
      if (a == "--no-student-number") o.student_number = false;
      if (a == "--no-marks") o.choice = sheetgen::mark_choice::listed, o.marked.clear();
      continue;
    }
    if (!has_value) {
      std::fprintf(stderr, "sheetgen: %s needs a value\n", a.c_str());
      return 2;
    }
    ++i;
    bool good = true;
    if (a == "--seed" || a == "--size") {
    } else if (a == "--out") out = v;
    else if (a == "--template") template_path = v;
    else if (a == "--truth") truth_path = v;
    else if (a == "--skew") good = parse_double(v, o.skew_degrees);
    else if (a == "--turn") good = parse_int(v, 0, 270, n), o.turn_degrees = static_cast<int>(n);
    else if (a == "--perspective") good = parse_double(v, o.perspective);
    else if (a == "--light") good = parse_double(v, o.light);
    else if (a == "--noise") good = parse_double(v, o.noise);
    else if (a == "--blur") good = parse_double(v, o.blur);
    else if (a == "--anchor") good = parse_double(v, o.anchor_pixels);
    else if (a == "--quality") good = parse_int(v, 1, 100, n), o.jpeg_quality = static_cast<int>(n);
    else if (a == "--desk") {
      const std::string k = v;
      if (k == "grey" || k == "gray") o.desk = sheetgen::desk_kind::grey;
      else if (k == "wood") o.desk = sheetgen::desk_kind::wood;
      else if (k == "mat") o.desk = sheetgen::desk_kind::mat;
      else good = false;
    } else if (a == "--marks") {
      const std::string k = v;
      if (k == "pen") o.style = sheetgen::mark_style::pen;
      else if (k == "pencil") o.style = sheetgen::mark_style::pencil;
      else if (k == "mixed") o.style = sheetgen::mark_style::mixed;
      else good = false;
    } else if (a == "--mark") {
      o.choice = sheetgen::mark_choice::listed;
      o.marked.push_back(v);
    } else {
      std::fprintf(stderr, "sheetgen: unknown option %s\n", a.c_str());
      return 2;
    }
    if (!good) {
      std::fprintf(stderr, "sheetgen: bad value for %s: %s\n", a.c_str(), v);
      return 2;
    }
  }
  if (out.empty()) return print_usage(), 2;
  const std::string base = strip_extension(out);
  if (template_path.empty()) template_path = base + "_template.txt";
  if (truth_path.empty()) truth_path = base + "_truth.txt";

  sheetgen::rendered_sheet sheet;
  std::string error;
  if (!sheetgen::render_sheet(o, sheet, error)) {
    std::fprintf(stderr, "sheetgen: %s\n", error.c_str());
    return 1;
  }
  if (!sheetgen::write_photo(out, sheet.photo, o.jpeg_quality)) {
    std::fprintf(stderr, "sheetgen: cannot write %s\n", out.c_str());
    return 1;
  }
  if (!sheetgen::write_text_file(template_path, sheet.template_text) ||
      !sheetgen::write_text_file(truth_path, sheetgen::format_truth(sheet.truth))) {
    std::fprintf(stderr, "sheetgen: cannot write the template or truth file\n");
    return 1;
  }
  return 0;
}

int run_corpus(int argc, char** argv) {
  std::string dir;
  long count = 30, first = 1;
  int width = 3264, height = 2448;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) return print_usage(), 2;
    const char* v = argv[++i];
    bool good = true;
    if (a == "--out") dir = v;
    else if (a == "--count") good = parse_int(v, 1, 10000, count);
    else if (a == "--seed") good = parse_int(v, 0, 2147483647L, first);
    else if (a == "--size") good = parse_size(v, width, height);
    else good = false;
    if (!good) {
      std::fprintf(stderr, "sheetgen: bad option %s %s\n", a.c_str(), v);
      return 2;
    }
  }
  if (dir.empty()) return print_usage(), 2;
  if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "sheetgen: cannot create %s: %s\n", dir.c_str(), std::strerror(errno));
    return 1;
  }
  for (long i = 0; i < count; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    const std::uint64_t seed = static_cast<std::uint64_t>(first + i);
    const sheetgen::sheet_options o = sheetgen::varied_options(seed, width, height);
    sheetgen::rendered_sheet sheet;
    std::string error;
    char name[64];
    std::snprintf(name, sizeof name, "/sheet_%03ld", i + 1);
    if (!sheetgen::render_sheet(o, sheet, error) ||
        !sheetgen::write_sheet_files(dir + name, sheet, o.jpeg_quality, false, error)) {
      std::fprintf(stderr, "sheetgen: seed %llu: %s\n", static_cast<unsigned long long>(seed), error.c_str());
      return 1;
    }
    const long ms = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count());
    std::printf("%s.jpg seed=%llu skew=%.2f turn=%d quality=%d %ldms\n", name + 1,
                static_cast<unsigned long long>(seed), o.skew_degrees, o.turn_degrees, o.jpeg_quality, ms);
    std::fflush(stdout);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return print_usage(), 2;
  const std::string command = argv[1];
  if (command == "render") return run_render(argc, argv);
  if (command == "corpus") return run_corpus(argc, argv);
  if (command == "--help" || command == "-h" || command == "help") return print_usage(), 0;
  print_usage();
  return 2;
}
