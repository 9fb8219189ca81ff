// bench_recognize [corpus_dir] [count]
//
// Runs the recognize pipeline (recognize_file: load, normalize, cut, match,
// result file and cut image) over a corpus of generated 3264 x 2448 sheet
// photographs read against one template, and prints:
//   - the median and total milliseconds per sheet, and the sheets read right
//     (every box against the generator's truth);
//   - the peak resident memory of the process that recognized them;
//   - the I/O floor measured in the same run on the same files: libjpeg-turbo
//     (TurboJPEG) decoding each photograph plus encoding a picture of its cut
//     image's size at quality 85; and the ratio of the two medians.
// Without a corpus folder one is generated in a scratch folder (30 sheets,
// varied skew, turn, light, noise, blur and marks, all with the student
// number grid so that one template serves them all) and removed afterwards.
//
// The recognize runs happen in a child process so its peak memory is its
// own, not the generator's.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commands/recognize.h"
#include "commands/sheet_template.h"
#include "platform/memory_policy.h"
#include "tools/sheetgen/sheetgen.h"

namespace {

using clock_type = std::chrono::steady_clock;

double median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2.0;
}

std::string read_all(const std::string& path) {
  std::string bytes;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    std::fclose(f);
  }
  return bytes;
}

std::string sheet_base(const std::string& dir, int i) {
  char name[32];
  std::snprintf(name, sizeof name, "/sheet_%03d", i);
  return dir + name;
}

bool make_corpus(const std::string& dir, int count) {
  for (int i = 0; i < count; ++i) {
    sheetgen::sheet_options o = sheetgen::varied_options(static_cast<std::uint64_t>(i + 1), 3264, 2448);
    o.student_number = true;
    sheetgen::rendered_sheet sheet;
    std::string error;
    if (!sheetgen::render_sheet(o, sheet, error) ||
        !sheetgen::write_sheet_files(sheet_base(dir, i), sheet, o.jpeg_quality, false, error)) {
      std::fprintf(stderr, "bench_recognize: sheet %d: %s\n", i, error.c_str());
      return false;
    }
  }
  return true;
}

// Child: recognize every sheet, write one "ms" line per sheet to fd.
[[noreturn]] void recognize_all(const std::string& dir, int count, int fd) {
  if (!read_template(sheet_base(dir, 0) + "_template.txt")) _exit(3);
  std::string report;
  for (int i = 0; i < count; ++i) {
    const auto start = clock_type::now();
    recognize_file(sheet_base(dir, i) + ".jpg");
    report += std::to_string(std::chrono::duration<double, std::milli>(clock_type::now() - start).count()) + "\n";
  }
  const char* p = report.data();
  std::size_t left = report.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n <= 0) _exit(4);
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  _exit(0);
}

// Marks read right: every box of the result file against the truth file.
bool sheet_read_right(const std::string& base, int& wrong_boxes) {
  sheetgen::sheet_truth truth;
  if (!sheetgen::parse_truth(read_all(base + "_truth.txt"), truth)) return false;
  const sheet_template result = parse_template(read_all(base + ".txt"));
  if (result.boxes.size() != truth.boxes.size()) {
    wrong_boxes += static_cast<int>(truth.boxes.size());
    return false;
  }
  int wrong = 0;
  for (std::size_t b = 0; b < truth.boxes.size(); ++b) {
    wrong += result.boxes[b].name != truth.boxes[b].name || result.boxes[b].value != truth.boxes[b].marked;
  }
  wrong_boxes += wrong;
  return wrong == 0;
}

// The floor for one sheet: decode the photograph, encode a picture of the
// cut image's size (taken from the decoded pixels) at quality 85.
double io_floor_ms(tjhandle decoder, tjhandle encoder, const std::string& jpeg, int cut_width, int cut_height,
                   std::vector<unsigned char>& pixels) {
  const auto start = clock_type::now();
  int width = 0, height = 0, subsampling = 0, colorspace = 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(jpeg.data());
  if (tjDecompressHeader3(decoder, bytes, jpeg.size(), &width, &height, &subsampling, &colorspace) != 0) return -1;
  pixels.resize(static_cast<std::size_t>(width) * height * 3);
  if (tjDecompress2(decoder, bytes, jpeg.size(), pixels.data(), width, 0, height, TJPF_BGR, 0) != 0) return -1;
  cut_width = std::min(cut_width, width);
  cut_height = std::min(cut_height, height);
  unsigned char* out = nullptr;
  unsigned long out_size = 0;
  if (tjCompress2(encoder, pixels.data(), cut_width, width * 3, cut_height, TJPF_BGR, &out, &out_size, TJSAMP_420, 85,
                  0) != 0) {
    return -1;
  }
  tjFree(out);
  return std::chrono::duration<double, std::milli>(clock_type::now() - start).count();
}

}  // namespace

bool remove_folder(const std::string& dir) {
  // Only what this program wrote: sheet_NNN* files, then the folder.
  bool ok = true;
  for (int i = 0; i < 1000; ++i) {
    const std::string base = sheet_base(dir, i);
    for (const char* suffix : {".jpg", "_template.txt", "_truth.txt", ".txt", "_cut.jpg"}) {
      ::unlink((base + suffix).c_str());
    }
  }
  ok = ::rmdir(dir.c_str()) == 0;
  return ok;
}

int main(int argc, char** argv) {
  int count = argc > 2 ? std::atoi(argv[2]) : 30;
  if (count <= 0) count = 30;
  std::string dir;
  bool scratch = false;
  if (argc > 1) {
    dir = argv[1];
    ::mkdir(dir.c_str(), 0755);
  } else {
    char name[] = "/tmp/bench_recognize.XXXXXX";
    if (!::mkdtemp(name)) {
      std::perror("bench_recognize: mkdtemp");
      return 1;
    }
    dir = name;
    scratch = true;
  }

  struct stat info {};
  if (::stat((sheet_base(dir, count - 1) + ".jpg").c_str(), &info) != 0) {
    const auto start = clock_type::now();
    if (!make_corpus(dir, count)) return 1;
    std::printf("corpus: %d photographs of 3264 x 2448 generated in %.1f s (%s)\n", count,
                std::chrono::duration<double>(clock_type::now() - start).count(), dir.c_str());
  } else {
    std::printf("corpus: %d photographs from %s\n", count, dir.c_str());
  }
  const std::string tpl = read_all(sheet_base(dir, 0) + "_template.txt");
  int same_template = 0;
  for (int i = 0; i < count; ++i) same_template += read_all(sheet_base(dir, i) + "_template.txt") == tpl;
  std::printf("template: %s_template.txt (identical for %d of %d sheets)\n", sheet_base(dir, 0).c_str(),
              same_template, count);

  int fds[2];
  if (::pipe(fds) != 0) return 1;
  const pid_t child = ::fork();
  if (child < 0) return 1;
  if (child == 0) {
    ::close(fds[0]);
    platform::keep_freed_image_memory();  // as markd does at start-up
    recognize_all(dir, count, fds[1]);
  }
  ::close(fds[1]);
  std::string report;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(fds[0], buf, sizeof buf)) > 0) report.append(buf, static_cast<std::size_t>(n));
  ::close(fds[0]);
  int status = 0;
  rusage usage {};
  ::wait4(child, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "bench_recognize: recognize run failed (status %d)\n", status);
    return 1;
  }
  std::vector<double> recognize_ms;
  for (std::size_t at = 0; at < report.size();) {
    const std::size_t end = report.find('\n', at);
    recognize_ms.push_back(std::atof(report.substr(at, end - at).c_str()));
    at = end == std::string::npos ? report.size() : end + 1;
  }

  int right = 0, wrong_boxes = 0;
  for (int i = 0; i < count; ++i) right += sheet_read_right(sheet_base(dir, i), wrong_boxes);

  tjhandle decoder = tjInitDecompress();
  tjhandle encoder = tjInitCompress();
  std::vector<unsigned char> pixels;
  std::vector<double> floor_ms;
  for (int i = 0; i < count; ++i) {
    const sheet_template result = parse_template(read_all(sheet_base(dir, i) + ".txt"));
    const int cut_w = result.width > 0 ? result.width : 1800;
    const int cut_h = result.height > 0 ? result.height : 1300;
    const auto start = clock_type::now();
    const std::string jpeg = read_all(sheet_base(dir, i) + ".jpg");
    const double read_ms = std::chrono::duration<double, std::milli>(clock_type::now() - start).count();
    const double ms = io_floor_ms(decoder, encoder, jpeg, cut_w, cut_h, pixels);
    if (ms >= 0) floor_ms.push_back(read_ms + ms);
  }
  tjDestroy(decoder);
  tjDestroy(encoder);

  double total = 0;
  for (double t : recognize_ms) total += t;
  const double rec = median(recognize_ms);
  const double io = median(floor_ms);
  std::printf("recognize: median %.1f ms per sheet, mean %.1f ms, %d of %d sheets read right (%d boxes wrong)\n", rec,
              recognize_ms.empty() ? 0.0 : total / static_cast<double>(recognize_ms.size()), right, count,
              wrong_boxes);
  std::printf("peak memory of the recognizing process: %.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
  std::printf("I/O floor (libjpeg-turbo decode + cut encode at quality 85): median %.1f ms per sheet\n", io);
  std::printf("ratio recognize / floor: %.2f (aim 2.0, goal 1.5)\n", io > 0 ? rec / io : 0.0);

  if (scratch && !remove_folder(dir)) std::fprintf(stderr, "bench_recognize: could not remove %s\n", dir.c_str());
  return 0;
}
