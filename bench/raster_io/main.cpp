// bench_raster_io [photo.jpg] [runs]
//
// Decodes a 3264 x 2448 photograph and encodes it at quality 85 through the
// raster layer (load_bitmap_file, decode_image, encode_jpeg, save_bitmap_jpeg)
// and through libjpeg-turbo's TurboJPEG interface on the same bytes, and
// prints the median times and their ratio. Without a file, a photograph-like
// picture (smooth shading, texture and sensor noise) is made and encoded at
// quality 90 first.
#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/image_codec.h"
#include "raster/image_files.h"

namespace {

using clock_type = std::chrono::steady_clock;

double median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

template <typename F>
double once_ms(F&& work) {
  const auto start = clock_type::now();
  work();
  return std::chrono::duration<double, std::milli>(clock_type::now() - start).count();
}

// Two workloads timed in alternation, so a busy machine slows both alike.
template <typename A, typename B>
std::pair<double, double> paired_median_ms(int runs, A&& a, B&& b) {
  std::vector<double> ta, tb;
  for (int i = 0; i < runs; ++i) {
    ta.push_back(once_ms(a));
    tb.push_back(once_ms(b));
  }
  return {median(ta), median(tb)};
}

template <typename F>
double median_ms(int runs, F&& work) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = clock_type::now();
    work();
    times.push_back(std::chrono::duration<double, std::milli>(clock_type::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

platform::bitmap make_photo(int w, int h) {
  platform::bitmap b;
  b.create_uninitialized(w, h);
  unsigned seed = 12345;
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = b.row(y);
    for (int x = 0; x < w; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int noise = static_cast<int>((seed >> 24) % 17) - 8;
      const double shade = 0.5 + 0.5 * std::sin(x * 0.0021) * std::cos(y * 0.0017);
      const double texture = 20.0 * std::sin(x * 0.05 + y * 0.031);
      const int base = static_cast<int>(60 + 150 * shade + texture);
      row[x * 3 + 0] = static_cast<std::uint8_t>(std::clamp(base - 30 + noise, 0, 255));
      row[x * 3 + 1] = static_cast<std::uint8_t>(std::clamp(base + noise, 0, 255));
      row[x * 3 + 2] = static_cast<std::uint8_t>(std::clamp(base + 25 + noise, 0, 255));
    }
  }
  return b;
}

std::vector<std::uint8_t> read_all(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    std::uint8_t buffer[1 << 16];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(f);
  }
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
  std::string path = argc > 1 ? argv[1] : "";
  if (path.empty()) {
    path = "/tmp/bench_raster_io_photo.jpg";
    if (!platform::save_jpeg_file(make_photo(3264, 2448), path, 90)) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  const std::vector<std::uint8_t> jpeg = read_all(path);
  platform::bitmap image = platform::decode_image(jpeg.data(), jpeg.size());
  if (!image.has_image()) {
    std::fprintf(stderr, "%s does not decode\n", path.c_str());
    return 1;
  }
  const int w = image.width(), h = image.height(), pitch = image.stride();
  std::printf("photo %s: %d x %d, %zu bytes, median of %d runs\n", path.c_str(), w, h, jpeg.size(), runs);

  // Decoding.
  const double layer_load = median_ms(runs, [&] { auto b = load_bitmap_file(path); });
  tjhandle dec = tjInitDecompress();
  std::vector<unsigned char> tj_pixels(static_cast<std::size_t>(pitch) * h);
  const double tj_decode = median_ms(runs, [&] {
    tjDecompress2(dec, jpeg.data(), jpeg.size(), tj_pixels.data(), w, pitch, h, TJPF_BGR, 0);
  });
  // A fresh destination per run, as every load_bitmap_file has: the fair twin.
  const auto [layer_decode, tj_decode_fresh] = paired_median_ms(
      runs, [&] { image = platform::decode_image(jpeg.data(), jpeg.size()); },
      [&] {
        std::unique_ptr<unsigned char[]> fresh(new unsigned char[static_cast<std::size_t>(pitch) * h]);
        tjDecompress2(dec, jpeg.data(), jpeg.size(), fresh.get(), w, pitch, h, TJPF_BGR, 0);
      });
  tjDestroy(dec);

  // Encoding at quality 85.
  std::vector<std::uint8_t> out;
  const std::string out_path = "/tmp/bench_raster_io_out.jpg";
  const double layer_save = median_ms(runs, [&] { save_bitmap_jpeg(&image, out_path, 85); });
  std::remove(out_path.c_str());
  tjhandle enc = tjInitCompress();
  unsigned char* tj_out = nullptr;
  unsigned long tj_size = 0;
  const auto [layer_encode, tj_encode] = paired_median_ms(
      runs, [&] { platform::encode_jpeg(image, 85, out); },
      [&] { tjCompress2(enc, tj_pixels.data(), w, pitch, h, TJPF_BGR, &tj_out, &tj_size, TJSAMP_420, 85, 0); });
  const std::size_t layer_size = out.size();
  tjFree(tj_out);
  tjDestroy(enc);

  std::printf("decode  layer %8.2f ms   turbojpeg %8.2f ms   ratio %.3f   (turbojpeg into a fresh buffer)\n",
              layer_decode, tj_decode_fresh, layer_decode / tj_decode_fresh);
  std::printf("decode  turbojpeg reusing one buffer %8.2f ms\n", tj_decode);
  std::printf("encode  layer %8.2f ms   turbojpeg %8.2f ms   ratio %.3f   (%zu vs %lu bytes)\n", layer_encode,
              tj_encode, layer_encode / tj_encode, layer_size, tj_size);
  std::printf("load_bitmap_file (mmap + decode)   %8.2f ms\n", layer_load);
  std::printf("save_bitmap_jpeg (encode + write)  %8.2f ms\n", layer_save);
  return 0;
}
