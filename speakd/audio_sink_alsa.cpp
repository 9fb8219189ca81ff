// ALSA output (the "default" device unless another is named), with about 60 ms of device buffer for
// the same reason as the PulseAudio sink. The library's error messages are
// silenced: a missing card is an expected case, handled by falling back.
#include <alsa/asoundlib.h>

#include "speakd/audio_sink.h"

namespace {

constexpr unsigned target_latency_us = 60000;

void quiet_alsa_errors(const char*, int, const char*, int, const char*, ...) {}

class alsa_sink final : public i_audio_sink {
 public:
  explicit alsa_sink(snd_pcm_t* pcm) : pcm_(pcm) {}
  ~alsa_sink() override { snd_pcm_close(pcm_); }

  void write(const std::int16_t* samples, std::size_t count) override {
    while (count > 0) {
      snd_pcm_sframes_t n = snd_pcm_writei(pcm_, samples, count);
      if (n < 0) {
        // Underruns are normal here (pauses, gaps between texts): recover once, else drop.
        if (snd_pcm_recover(pcm_, static_cast<int>(n), 1) < 0) return;
        n = snd_pcm_writei(pcm_, samples, count);
        if (n < 0) return;
      }
      samples += n;
      count -= static_cast<std::size_t>(n);
    }
  }
  void drain() override {
    snd_pcm_drain(pcm_);    // starts a device still below its start threshold
    snd_pcm_prepare(pcm_);  // ready for the next text
  }
  void discard() override {
    snd_pcm_drop(pcm_);
    snd_pcm_prepare(pcm_);
  }
  const char* name() const override { return "alsa"; }

 private:
  snd_pcm_t* pcm_;
};

}  // namespace

std::unique_ptr<i_audio_sink> make_alsa_sink(int sample_rate, const std::string& device) {
  if (sample_rate <= 0 || device.empty()) return nullptr;
  snd_lib_error_set_handler(quiet_alsa_errors);
  snd_pcm_t* pcm = nullptr;
  if (snd_pcm_open(&pcm, device.c_str(), SND_PCM_STREAM_PLAYBACK, 0) < 0) return nullptr;
  if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1,
                         static_cast<unsigned>(sample_rate), 1, target_latency_us) < 0) {
    snd_pcm_close(pcm);
    return nullptr;
  }
  return std::make_unique<alsa_sink>(pcm);
}
