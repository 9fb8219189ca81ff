// Sink selection, the real-time clock sinks (null and WAV) and the WAV writer.
#include "speakd/audio_sink.h"

#include <chrono>
#include <cstdio>
#include <limits>
#include <thread>

namespace {

using clock_type = std::chrono::steady_clock;

// Takes audio at real-time pace: each write returns when its samples would
// have been heard, so nothing is ever left to drain. A WAV writer, when given,
// receives exactly what was "played".
class clock_sink final : public i_audio_sink {
 public:
  clock_sink(int sample_rate, std::unique_ptr<wav_writer> wav) : rate_(sample_rate), wav_(std::move(wav)) {}

  void write(const std::int16_t* samples, std::size_t count) override {
    if (wav_ && !wav_->append(samples, count)) wav_.reset();  // full or failing: keep the pace, stop writing
    const auto now = clock_type::now();
    if (play_end_ < now) play_end_ = now;  // after a pause or idle time, start afresh
    play_end_ += std::chrono::duration_cast<clock_type::duration>(
        std::chrono::duration<double>(static_cast<double>(count) / rate_));
    std::this_thread::sleep_until(play_end_);
  }
  void drain() override {}  // each write already lasted as long as its audio
  void discard() override { play_end_ = clock_type::now(); }
  const char* name() const override { return wav_ ? "wav" : "null"; }

 private:
  int rate_;
  std::unique_ptr<wav_writer> wav_;
  clock_type::time_point play_end_{};
};

void put_u16(unsigned char* p, unsigned v) {
  p[0] = static_cast<unsigned char>(v & 0xff);
  p[1] = static_cast<unsigned char>((v >> 8) & 0xff);
}

void put_u32(unsigned char* p, std::uint32_t v) {
  put_u16(p, v & 0xffff);
  put_u16(p + 2, v >> 16);
}

constexpr std::uint32_t wav_header_bytes = 44;
// The RIFF size field counts everything after its own 8 bytes in 32 bits.
constexpr std::uint32_t wav_max_data = std::numeric_limits<std::uint32_t>::max() - (wav_header_bytes - 8);

}  // namespace

wav_writer::~wav_writer() { close(); }

bool wav_writer::open(const std::string& path, int sample_rate) {
  close();
  if (sample_rate <= 0) return false;
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) return false;
  sample_rate_ = sample_rate;
  data_bytes_ = 0;
  if (!write_header()) {
    close();
    return false;
  }
  return true;
}

bool wav_writer::write_header() {
  unsigned char h[wav_header_bytes] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
  put_u32(h + 4, wav_header_bytes - 8 + data_bytes_);
  put_u32(h + 16, 16);                                           // fmt chunk size
  put_u16(h + 20, 1);                                            // PCM
  put_u16(h + 22, 1);                                            // mono
  put_u32(h + 24, static_cast<std::uint32_t>(sample_rate_));     // frames per second
  put_u32(h + 28, static_cast<std::uint32_t>(sample_rate_) * 2); // bytes per second
  put_u16(h + 32, 2);                                            // bytes per frame
  put_u16(h + 34, 16);                                           // bits per sample
  h[36] = 'd', h[37] = 'a', h[38] = 't', h[39] = 'a';
  put_u32(h + 40, data_bytes_);
  if (std::fseek(file_, 0, SEEK_SET) != 0) return false;
  if (std::fwrite(h, 1, sizeof h, file_) != sizeof h) return false;
  if (std::fseek(file_, 0, SEEK_END) != 0) return false;
  return std::fflush(file_) == 0;
}

bool wav_writer::append(const std::int16_t* samples, std::size_t count) {
  if (!file_) return false;
  if (count > (wav_max_data - data_bytes_) / 2) return false;
  unsigned char buffer[4096];
  std::size_t done = 0;
  while (done < count) {
    const std::size_t n = std::min(count - done, sizeof buffer / 2);
    for (std::size_t i = 0; i < n; ++i)  // little-endian whatever the host
      put_u16(buffer + 2 * i, static_cast<std::uint16_t>(samples[done + i]));
    if (std::fwrite(buffer, 2, n, file_) != n) return false;
    data_bytes_ += static_cast<std::uint32_t>(n * 2);
    done += n;
  }
  return write_header();
}

void wav_writer::close() {
  if (!file_) return;
  write_header();
  std::fclose(file_);
  file_ = nullptr;
}

std::unique_ptr<i_audio_sink> make_null_sink(int sample_rate) {
  return std::make_unique<clock_sink>(sample_rate, nullptr);
}

std::unique_ptr<i_audio_sink> make_wav_sink(const std::string& path, int sample_rate) {
  auto wav = std::make_unique<wav_writer>();
  if (!wav->open(path, sample_rate)) return nullptr;
  return std::make_unique<clock_sink>(sample_rate, std::move(wav));
}

std::unique_ptr<i_audio_sink> open_audio_sink(std::string_view choice, int sample_rate) {
  std::unique_ptr<i_audio_sink> sink;
  if (choice == "null") return make_null_sink(sample_rate);
  if (choice.substr(0, 4) == "wav:") {
    sink = make_wav_sink(std::string(choice.substr(4)), sample_rate);
    if (!sink) std::fprintf(stderr, "speakd: cannot write %s; audio is discarded\n", std::string(choice.substr(4)).c_str());
  } else if (choice == "pulse") {
    sink = make_pulse_sink(sample_rate);
    if (!sink) std::fprintf(stderr, "speakd: no PulseAudio output; audio is discarded\n");
  } else if (choice == "alsa" || choice.substr(0, 5) == "alsa:") {
    sink = make_alsa_sink(sample_rate, choice == "alsa" ? std::string("default") : std::string(choice.substr(5)));
    if (!sink) std::fprintf(stderr, "speakd: no ALSA output; audio is discarded\n");
  } else {
    if (!choice.empty() && choice != "default")
      std::fprintf(stderr, "speakd: unknown SPEAKD_AUDIO value, using the default output\n");
    sink = make_pulse_sink(sample_rate);
    if (!sink) sink = make_alsa_sink(sample_rate);
  }
  // No usable device: speech still takes its time, so replies keep their meaning.
  if (!sink) sink = make_null_sink(sample_rate);
  return sink;
}
