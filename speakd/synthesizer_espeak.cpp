// espeak-ng behind i_synthesizer. The library keeps its state in globals and
// is not thread-safe: it is initialised by the creating thread and afterwards
// used by one thread at a time (the voice's synthesis thread), in synchronous
// mode so that every piece of audio comes back through our callback and the
// library never opens an audio device of its own.
#include <sys/stat.h>

#include <atomic>
#include <string>

#include <espeak-ng/espeak_ng.h>

#include "speakd/synthesizer.h"

namespace {

constexpr int espeak_buffer_ms = 50;  // size of each piece handed to the callback

std::atomic<bool> espeak_in_use{false};

// espeak-ng passes our pointer back in every event of a synthesis call.
int espeak_audio(short* samples, int count, espeak_EVENT* events) {
  if (!samples || count <= 0 || !events) return 0;
  const auto* on_audio = static_cast<const i_synthesizer::audio_callback*>(events->user_data);
  if (!on_audio) return 0;
  return (*on_audio)(reinterpret_cast<const std::int16_t*>(samples), static_cast<std::size_t>(count)) ? 0 : 1;
}

std::string status_text(espeak_ng_STATUS status) {
  char buffer[512] = {};
  espeak_ng_GetStatusCodeMessage(status, buffer, sizeof buffer);
  return buffer;
}

bool is_folder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

class espeak_synthesizer final : public i_synthesizer {
 public:
  explicit espeak_synthesizer(int rate) : rate_(rate) {}
  ~espeak_synthesizer() override {
    espeak_ng_Terminate();
    espeak_in_use = false;
  }

  int sample_rate() const override { return rate_; }

  void synthesize(const std::string& utf8_text, const audio_callback& on_audio) override {
    if (utf8_text.empty()) return;
    // size counts the terminator; the callback answers 1 to stop early.
    espeak_ng_Synthesize(utf8_text.c_str(), utf8_text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr,
                         const_cast<audio_callback*>(&on_audio));
  }

 private:
  int rate_;
};

}  // namespace

synthesizer_result make_espeak_synthesizer(const std::string& data_path) {
  synthesizer_result result;
  if (espeak_in_use.exchange(true)) {
    result.error = "the speech engine is already in use";
    return result;
  }
  // The library quietly falls back to its built-in folder when the one it is
  // given is missing; a folder asked for by name must exist.
  if (!data_path.empty() && !is_folder(data_path)) {
    result.error = "no espeak-ng data folder at " + data_path;
    espeak_in_use = false;
    return result;
  }
  espeak_ng_InitializePath(data_path.empty() ? nullptr : data_path.c_str());
  espeak_ng_ERROR_CONTEXT context = nullptr;
  espeak_ng_STATUS status = espeak_ng_Initialize(&context);
  espeak_ng_ClearErrorContext(&context);
  if (status == ENS_OK) status = espeak_ng_InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, espeak_buffer_ms, nullptr);
  if (status == ENS_OK) status = espeak_ng_SetVoiceByName(ESPEAKNG_DEFAULT_VOICE);
  const int rate = status == ENS_OK ? espeak_ng_GetSampleRate() : 0;
  if (status != ENS_OK || rate <= 0) {
    result.error = "espeak-ng: " + (status != ENS_OK ? status_text(status) : std::string("no sample rate"));
    espeak_ng_Terminate();
    espeak_in_use = false;
    return result;
  }
  espeak_SetSynthCallback(espeak_audio);
  result.synth = std::make_unique<espeak_synthesizer>(rate);
  return result;
}
