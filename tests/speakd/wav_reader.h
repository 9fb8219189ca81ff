// A small reader for the mono 16-bit PCM WAV files the WAV sink writes; it
// walks the RIFF chunks rather than trusting a fixed 44-byte header.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace speakd_test {

struct wav_data {
  bool ok = false;
  int channels = 0;
  int rate = 0;
  int bits = 0;
  std::uint32_t riff_size = 0;
  std::uint32_t data_size = 0;  // as the header says
  std::vector<std::int16_t> samples;

  double seconds() const { return rate > 0 ? static_cast<double>(samples.size()) / rate : 0.0; }
  double rms() const {
    if (samples.empty()) return 0.0;
    double sum = 0.0;
    for (std::int16_t s : samples) sum += static_cast<double>(s) * s;
    return std::sqrt(sum / static_cast<double>(samples.size())) / 32768.0;
  }
};

inline std::uint32_t le32(const std::string& b, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}
inline unsigned le16(const std::string& b, std::size_t at) {
  return static_cast<unsigned>(static_cast<unsigned char>(b[at])) |
         static_cast<unsigned>(static_cast<unsigned char>(b[at + 1])) << 8;
}

inline wav_data parse_wav(const std::string& bytes) {
  wav_data w;
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) return w;
  w.riff_size = le32(bytes, 4);
  bool have_fmt = false;
  std::size_t at = 12;
  while (at + 8 <= bytes.size()) {
    const std::string id = bytes.substr(at, 4);
    const std::uint32_t size = le32(bytes, at + 4);
    const std::size_t body = at + 8;
    if (body + size > bytes.size()) return w;  // chunk runs past the file
    if (id == "fmt " && size >= 16) {
      if (le16(bytes, body) != 1) return w;  // PCM only
      w.channels = static_cast<int>(le16(bytes, body + 2));
      w.rate = static_cast<int>(le32(bytes, body + 4));
      w.bits = static_cast<int>(le16(bytes, body + 14));
      have_fmt = true;
    } else if (id == "data") {
      if (!have_fmt || w.bits != 16) return w;
      w.data_size = size;
      w.samples.resize(size / 2);
      for (std::size_t i = 0; i < w.samples.size(); ++i)
        w.samples[i] = static_cast<std::int16_t>(le16(bytes, body + 2 * i));
      w.ok = true;
      return w;
    }
    at = body + size + (size & 1);
  }
  return w;
}

}  // namespace speakd_test
