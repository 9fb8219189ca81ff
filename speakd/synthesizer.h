// The speech engine behind the voice: text in, audio out through a callback.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class i_synthesizer {
 public:
  // Receives each piece of audio; returns false to stop the synthesis early.
  using audio_callback = std::function<bool(const std::int16_t* samples, std::size_t count)>;

  virtual ~i_synthesizer() = default;
  virtual int sample_rate() const = 0;
  // Synthesizes UTF-8 text (plain text, no markup); returns when all audio has
  // been handed over or the callback asked to stop.
  virtual void synthesize(const std::string& utf8_text, const audio_callback& on_audio) = 0;
};

struct synthesizer_result {
  std::unique_ptr<i_synthesizer> synth;  // null on failure
  std::string error;                     // why, for standard error
};

// espeak-ng with its default voice, rate and volume. data_path names the
// folder holding espeak-ng's data; empty lets the library find its own.
// Only one may exist at a time (the library is process-wide).
synthesizer_result make_espeak_synthesizer(const std::string& data_path);
