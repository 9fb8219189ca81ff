// bench_analysis: times the stages of normalize_sheet on generated photographs.
//
//   bench_analysis [--count N] [--seed FIRST] [--size WxH] [--repeat R]
//
// For each photograph (sheetgen's varied corpus settings, JPEG-encoded in
// memory as a camera would deliver it) it times, R times each, keeping the
// fastest run: the JPEG decode, then binarize (centre crop), the skew search,
// rotate_self, clone + binarize, the marks-only binarization that
// normalize_sheet runs instead of the clone, region extraction, clustering,
// and the whole normalize_sheet, all in CPU time of the benchmark's thread. Prints one line per photograph and the medians, and the
// ratio of normalize_sheet to the decode.
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/anchors.h"
#include "analysis/binarize.h"
#include "analysis/normalize.h"
#include "analysis/regions.h"
#include "analysis/skew.h"
#include "platform/image_codec.h"
#include "platform/memory_policy.h"
#include "raster/bmp_helper.h"
#include "tools/sheetgen/sheetgen.h"

namespace {

// Thread CPU time: the machine is shared, and CPU time of this one thread is
// what "on one core" means; wall time would count other people's work.
struct clock_type {
  using time_point = double;
  static double now() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
  }
};

double ms_since(double t) { return clock_type::now() - t; }

struct stage_times {
  double decode = 1e9, binarize = 1e9, skew = 1e9, rotate = 1e9, clone_binarize = 1e9, marks = 1e9,
         regions = 1e9, cluster = 1e9, normalize = 1e9;
};

void keep_min(double& slot, double v) { slot = std::min(slot, v); }

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int count = 4, repeat = 3, width = 3264, height = 2448;
  unsigned long long seed = 1;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--count")) count = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--seed")) seed = std::strtoull(argv[i + 1], nullptr, 10);
    else if (!std::strcmp(argv[i], "--repeat")) repeat = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--size")) std::sscanf(argv[i + 1], "%dx%d", &width, &height);
    else {
      std::fprintf(stderr, "usage: bench_analysis [--count N] [--seed FIRST] [--size WxH] [--repeat R]\n");
      return 2;
    }
  }
  if (count < 1 || repeat < 1) return 2;
  platform::keep_freed_image_memory();  // as markd does at start-up

  std::printf("photo  located  angle   decode  binarize  skew  rotate  clone+bin  marks  regions  cluster  normalize  ratio\n");
  std::vector<stage_times> all;
  for (int n = 0; n < count; ++n) {
    sheetgen::rendered_sheet sheet;
    std::string error;
    const auto options = sheetgen::varied_options(seed + static_cast<unsigned long long>(n), width, height);
    if (!sheetgen::render_sheet(options, sheet, error)) {
      std::fprintf(stderr, "render failed: %s\n", error.c_str());
      return 1;
    }
    std::vector<std::uint8_t> jpeg;
    platform::encode_jpeg(sheet.photo, options.jpeg_quality, jpeg);

    stage_times t;
    platform::bitmap photo;
    for (int r = 0; r < repeat; ++r) {
      auto t0 = clock_type::now();
      photo = platform::decode_image(jpeg.data(), jpeg.size());
      keep_min(t.decode, ms_since(t0));
    }
    const int w = photo.width(), h = photo.height();
    float angle = 0;
    int located = 0;
    for (int r = 0; r < repeat; ++r) {
      // Binarize of the centre crop (the crop itself not counted).
      auto crop = gdi_plus_kv::crop_bitmap(&photo, w / 6, h / 8, w - 2 * (w / 6), h - 2 * (h / 8));
      gdi_plus_kv::bmp_helper crop_helper(std::move(crop));
      raster_view centre = crop_helper.get_image();
      auto t0 = clock_type::now();
      binarize_dark(centre);
      keep_min(t.binarize, ms_since(t0));
      std::vector<std::int32_t> reduced;
      t0 = clock_type::now();
      for (std::int32_t i = 0; i < centre.dark_points.count; ++i)
        if ((centre.dark_points[i] & 3) == 0) reduced.push_back(centre.dark_points[i]);
      const std::int32_t k = search_skew(reduced.data(), static_cast<std::int32_t>(reduced.size()),
                                         centre.dark_points.data, centre.dark_points.count, centre.height);
      keep_min(t.skew, ms_since(t0));
      angle = static_cast<float>((k - 4000) / 100.0);
      centre.release();

      gdi_plus_kv::bmp_helper out(w, h);
      {
        gdi_plus_kv::bmp_helper src(&photo, false);
        raster_view straight = out.get_image();
        raster_view view = src.get_image();
        t0 = clock_type::now();
        rotate_self(view, straight, angle);
        keep_min(t.rotate, ms_since(t0));
        straight.release();
        view.release();
        out.unlock();
      }
      {
        // What normalize_sheet does instead of the clone: marks and points
        // read from a fresh view of the straightened image.
        t0 = clock_type::now();
        raster_view straight = out.get_image();
        binarize_options marks_only;
        marks_only.write_pixels = false;
        binarize_dark(straight, marks_only);
        keep_min(t.marks, ms_since(t0));
        straight.release();
        out.unlock();
      }
      t0 = clock_type::now();
      gdi_plus_kv::bmp_helper copy(gdi_plus_kv::clone_bitmap24(out.bitmap()));
      raster_view image = copy.get_image();
      binarize_dark(image);
      keep_min(t.clone_binarize, ms_since(t0));
      obj_recognize::flood_extractor extractor;
      t0 = clock_type::now();
      extractor.extract_regions(image);
      keep_min(t.regions, ms_since(t0));
      t0 = clock_type::now();
      const auto members = cluster_anchors(extractor.regions);
      keep_min(t.cluster, ms_since(t0));
      image.release();

      gdi_plus_kv::bmp_helper output(w, h);
      sheet_frame frame;
      float a = 0;
      t0 = clock_type::now();
      located = normalize_sheet(&photo, output, a, frame);
      keep_min(t.normalize, ms_since(t0));
      angle = a;
    }
    all.push_back(t);
    std::printf("%5d  %7d  %6.2f  %6.1f  %8.1f  %4.1f  %6.1f  %9.1f  %5.1f  %7.1f  %7.2f  %9.1f  %5.2f\n", n, located,
                angle, t.decode, t.binarize, t.skew, t.rotate, t.clone_binarize, t.marks, t.regions, t.cluster,
                t.normalize, t.normalize / t.decode);
    std::fflush(stdout);
  }
  auto med = [&](double stage_times::*m) {
    std::vector<double> v;
    for (const auto& t : all) v.push_back(t.*m);
    return median(v);
  };
  std::printf("median %dx%d over %d photos (fastest of %d runs each), ms:\n", width, height, count, repeat);
  std::printf(
      "  decode %.1f  binarize %.1f  skew %.1f  rotate %.1f  clone+binarize %.1f  marks-only binarize %.1f  regions %.1f"
      "  cluster %.2f\n",
      med(&stage_times::decode), med(&stage_times::binarize), med(&stage_times::skew), med(&stage_times::rotate),
      med(&stage_times::clone_binarize), med(&stage_times::marks), med(&stage_times::regions),
      med(&stage_times::cluster));
  std::printf("  normalize_sheet %.1f  = %.2f x decode\n", med(&stage_times::normalize),
              med(&stage_times::normalize) / med(&stage_times::decode));
  return 0;
}
