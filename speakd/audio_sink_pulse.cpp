// PulseAudio output through the simple API. The server buffer is kept short
// (about 60 ms) so that pause and purge, which act on our own queue, are heard
// almost at once.
#include <pulse/error.h>
#include <pulse/simple.h>

#include "speakd/audio_sink.h"

namespace {

constexpr unsigned target_buffer_ms = 60;

class pulse_sink final : public i_audio_sink {
 public:
  explicit pulse_sink(pa_simple* stream) : stream_(stream) {}
  ~pulse_sink() override { pa_simple_free(stream_); }

  void write(const std::int16_t* samples, std::size_t count) override {
    int error = 0;
    pa_simple_write(stream_, samples, count * sizeof(std::int16_t), &error);
  }
  void drain() override {
    int error = 0;
    pa_simple_drain(stream_, &error);
  }
  void discard() override {
    int error = 0;
    pa_simple_flush(stream_, &error);
  }
  const char* name() const override { return "pulse"; }

 private:
  pa_simple* stream_;
};

}  // namespace

std::unique_ptr<i_audio_sink> make_pulse_sink(int sample_rate) {
  if (sample_rate <= 0) return nullptr;
  pa_sample_spec sample_format{};
  sample_format.format = PA_SAMPLE_S16LE;
  sample_format.rate = static_cast<std::uint32_t>(sample_rate);
  sample_format.channels = 1;
  const std::uint32_t target_bytes = static_cast<std::uint32_t>(sample_rate) * 2 * target_buffer_ms / 1000;
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.tlength = target_bytes;
  attr.prebuf = static_cast<std::uint32_t>(-1);
  attr.minreq = static_cast<std::uint32_t>(-1);
  attr.fragsize = static_cast<std::uint32_t>(-1);
  int error = 0;
  pa_simple* stream =
      pa_simple_new(nullptr, "speakd", PA_STREAM_PLAYBACK, nullptr, "speech", &sample_format, nullptr, &attr, &error);
  if (!stream) return nullptr;
  return std::make_unique<pulse_sink>(stream);
}
