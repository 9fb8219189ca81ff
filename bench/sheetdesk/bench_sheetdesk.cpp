// bench_sheetdesk: times one sheetdesk request without the clipboard.
//
//   bench_sheetdesk [--size WxH] [--degrees D] [--repeat R]
//
// Draws a sheet photograph (grey paper with noise and shading, a heavy frame,
// 40 rows of 20 answer boxes, some filled, lines of text-like strokes), turned
// by D degrees (default 2), and times, R times each keeping the fastest run:
// the vote, the peaks, the first drawing (turn; the two quarter strips that
// the line search reads) with the line search, beside the whole first drawing
// and the search on it, the second
// drawing (turn and shift), the JPEG save at quality 100, and the whole
// request (align_sheet, JPEG, result file of 800 boxes). Beside it,
// libjpeg-turbo's own encode of the aligned image at quality 100 (4:2:0, as
// the library's defaults choose, and 4:4:4).
#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <unistd.h>

#include "platform/image_codec.h"
#include "sheetdesk/align_sheet.h"
#include "sheetdesk/desk_request.h"
#include "sheetdesk/desk_template.h"

namespace {

using clock_type = std::chrono::steady_clock;

struct options {
  int width = 3264;
  int height = 2448;
  double degrees = 2.0;
  int repeat = 3;
};

bool parse_options(int argc, char** argv, options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--size" && i + 1 < argc) {
      if (std::sscanf(argv[++i], "%dx%d", &o.width, &o.height) != 2 || o.width < 64 || o.height < 64) return false;
    } else if (a == "--degrees" && i + 1 < argc) {
      o.degrees = std::atof(argv[++i]);
    } else if (a == "--repeat" && i + 1 < argc) {
      o.repeat = std::max(1, std::atoi(argv[++i]));
    } else {
      return false;
    }
  }
  return true;
}

// Fastest of `repeat` runs, in milliseconds.
double time_ms(int repeat, const std::function<void()>& work) {
  double best = 1e300;
  for (int r = 0; r < repeat; ++r) {
    const auto start = clock_type::now();
    work();
    best = std::min(best, std::chrono::duration<double, std::milli>(clock_type::now() - start).count());
  }
  return best;
}

// The level sheet in sheet coordinates: 0 ink, 1 paper.
bool sheet_ink(const options& o, double x, double y) {
  const double l = o.width * 0.08, t = o.height * 0.08, r = o.width * 0.92, b = o.height * 0.92;
  if (x < l || y < t || x >= r || y >= b) return false;
  if (x < l + 8 || y < t + 8 || x >= r - 8 || y >= b - 8) return true;  // frame
  const double w = r - l, h = b - t;
  const double gx = (x - l) / w, gy = (y - t) / h;
  // Answer area: 40 rows of 20 boxes in the lower three quarters.
  if (gy > 0.2 && gy < 0.95 && gx > 0.05 && gx < 0.95) {
    const double row = (gy - 0.2) / 0.75 * 40, col = (gx - 0.05) / 0.9 * 20;
    const double fy = row - std::floor(row), fx = col - std::floor(col);
    const bool in_box = fx > 0.2 && fx < 0.8 && fy > 0.2 && fy < 0.8;
    const bool outline = in_box && (fx < 0.24 || fx > 0.76 || fy < 0.26 || fy > 0.74);
    const bool filled = in_box && (static_cast<int>(row) * 7 + static_cast<int>(col) * 3) % 11 == 0;
    return outline || filled;
  }
  // Text-like strokes in the heading.
  if (gy > 0.04 && gy < 0.17) {
    const double line = (gy - 0.04) / 0.13 * 5;
    const double fy = line - std::floor(line);
    const int glyph = static_cast<int>(x / 11);
    return fy > 0.3 && fy < 0.7 && (glyph * 2654435761u >> 7) % 5 != 0 && std::fmod(x, 11) < 6;
  }
  return false;
}

platform::bitmap make_photo(const options& o) {
  platform::bitmap photo;
  photo.create(o.width, o.height);
  std::mt19937 rng(12345);
  std::normal_distribution<double> noise(0.0, 6.0);
  const double mx = o.width / 2, my = o.height / 2;
  const double a = -o.degrees * 3.14159265358979323846 / 180.0;
  const double c = std::cos(a), s = std::sin(a);
  for (int y = 0; y < o.height; ++y) {
    std::uint8_t* row = photo.row(y);
    for (int x = 0; x < o.width; ++x) {
      const double dx = x - mx, dy = y - my;
      const bool ink = sheet_ink(o, mx + dx * c - dy * s, my + dx * s + dy * c);
      const double shade = 215.0 + 25.0 * (1.0 - std::hypot(dx / o.width, dy / o.height));
      const double v = std::clamp((ink ? 35.0 : shade) + noise(rng), 0.0, 255.0);
      std::uint8_t* px = row + x * platform::bytes_per_pixel;
      px[platform::channel_blue] = static_cast<std::uint8_t>(v * 0.97);
      px[platform::channel_green] = static_cast<std::uint8_t>(v);
      px[platform::channel_red] = static_cast<std::uint8_t>(std::min(255.0, v * 1.02));
    }
  }
  return photo;
}

double turbo_encode_ms(const platform::bitmap& image, int subsampling, int repeat, unsigned long& size) {
  tjhandle handle = tjInitCompress();
  if (!handle) return -1;
  unsigned char* out = nullptr;
  double ms = time_ms(repeat, [&] {
    tjFree(out);  // a fresh buffer each run, as a one-off save would have
    out = nullptr;
    size = 0;
    if (tjCompress2(handle, image.pixels(), image.width(), image.stride(), image.height(), TJPF_BGR, &out, &size,
                    subsampling, 100, 0) != 0)
      size = 0;
  });
  tjFree(out);
  tjDestroy(handle);
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  options o;
  if (!parse_options(argc, argv, o)) {
    std::fprintf(stderr, "usage: bench_sheetdesk [--size WxH] [--degrees D] [--repeat R]\n");
    return 2;
  }
  const platform::bitmap photo = make_photo(o);
  char folder[] = "/tmp/bench_sheetdesk_XXXXXX";
  if (!mkdtemp(folder)) return 1;
  const std::string jpeg_path = std::string(folder) + "/sheet.jpg";
  const std::string template_path = std::string(folder) + "/VarnelTpl.txt";
  {
    std::FILE* f = std::fopen(template_path.c_str(), "w");
    for (int i = 0; f && i < 800; ++i) std::fprintf(f, "%d.%c=0[%d,%d,40,40]\n", i / 20 + 1, 'A' + i % 20, 200 + (i % 20) * 130, 600 + (i / 20) * 42);
    if (f) std::fclose(f);
  }

  using namespace sheetdesk;
  vote_table votes;
  peak_list peaks{};
  platform::bitmap aligned;
  aligned.create(o.width, o.height);
  platform::world_transform world;
  border_lines lines;
  std::size_t voters = 0;

  const double vote_ms = time_ms(o.repeat, [&] { votes = vote_lines(photo); });
  for (std::uint32_t c : votes.counts) voters += c;
  const double peaks_ms = time_ms(o.repeat, [&] { peaks = find_peaks(votes); });
  const double skew = average_skew(peaks);
  world = levelling_transform(o.width, o.height, skew);
  const double full_draw1_ms = time_ms(o.repeat, [&] { draw_photo(aligned, photo, world); });
  const double full_lines_ms =
      time_ms(o.repeat, [&] { lines = find_border_lines(aligned, peak_distance(peaks[0], o.width)); });
  const double draw1_ms = time_ms(
      o.repeat, [&] { lines = find_turned_border_lines(photo, world, peak_distance(peaks[0], o.width)); });
  world.dx += -1.0 - lines.left;
  world.dy += -1.0 - lines.top;
  const double draw2_ms = time_ms(o.repeat, [&] { draw_photo(aligned, photo, world); });
  const double save_ms = time_ms(o.repeat, [&] { platform::save_jpeg_file(aligned, jpeg_path, 100); });
  const double result_ms = time_ms(o.repeat, [&] {
    write_desk_result(aligned, template_path, std::string(folder) + "/sheet.txt");
  });
  const double request_ms = time_ms(o.repeat, [&] { work_request(photo, jpeg_path, template_path); });
  unsigned long size420 = 0, size444 = 0;
  const double turbo420_ms = turbo_encode_ms(aligned, TJSAMP_420, o.repeat, size420);
  const double turbo444_ms = turbo_encode_ms(aligned, TJSAMP_444, o.repeat, size444);

  std::printf("photograph %d x %d turned %.2f degrees; %zu voting pixels\n", o.width, o.height, o.degrees,
              voters / angle_columns);
  std::printf("found: skew %.2f, left line %d, top line %d\n", skew, lines.left, lines.top);
  std::printf("vote            %8.1f ms\n", vote_ms);
  std::printf("peaks           %8.1f ms\n", peaks_ms);
  std::printf("draw (turn) of the two quarter strips + line search %8.1f ms\n", draw1_ms);
  std::printf("  (the whole turned drawing %.1f ms + line search on it %.1f ms)\n", full_draw1_ms, full_lines_ms);
  std::printf("draw (shift)    %8.1f ms\n", draw2_ms);
  std::printf("JPEG save q100  %8.1f ms\n", save_ms);
  std::printf("result file     %8.1f ms (800 boxes)\n", result_ms);
  std::printf("whole request   %8.1f ms\n", request_ms);
  std::printf("libjpeg-turbo q100 encode: %.1f ms at 4:2:0 (%lu bytes), %.1f ms at 4:4:4 (%lu bytes)\n", turbo420_ms,
              size420, turbo444_ms, size444);

  std::remove(jpeg_path.c_str());
  std::remove(template_path.c_str());
  std::remove((std::string(folder) + "/sheet.txt").c_str());
  rmdir(folder);
  return 0;
}
