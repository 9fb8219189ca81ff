// Where the voice's audio goes: the default output device (PulseAudio, then
// ALSA), a clock that only keeps real-time pace, or a WAV file written at that
// same pace. Samples are signed 16-bit mono at the synthesizer's rate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

class i_audio_sink {
 public:
  virtual ~i_audio_sink() = default;
  // Plays the samples; returns about when the device has taken them, so a
  // caller writing small pieces keeps real-time pace.
  virtual void write(const std::int16_t* samples, std::size_t count) = 0;
  // Returns once everything written has been heard. Devices hold back a start
  // threshold of audio, so the tail of a text is only heard after this call.
  virtual void drain() = 0;
  // Drops written audio that has not been heard yet.
  virtual void discard() = 0;
  // Short name for diagnostics: "pulse", "alsa", "null", "wav".
  virtual const char* name() const = 0;
};

// SPEAKD_AUDIO values: unset, empty or "default" tries PulseAudio then ALSA;
// "pulse" or "alsa" tries that one only ("alsa:NAME" a named ALSA device); "null" discards at real-time pace;
// "wav:PATH" writes a WAV file. Whatever cannot be opened falls back to the
// null sink; only an explicit request that fails is noted on standard error.
std::unique_ptr<i_audio_sink> open_audio_sink(std::string_view choice, int sample_rate);

// The real-time clock sinks, also used directly by tests.
std::unique_ptr<i_audio_sink> make_null_sink(int sample_rate);
std::unique_ptr<i_audio_sink> make_wav_sink(const std::string& path, int sample_rate);  // null when not writable

// Device sinks; null when the library is missing from the build or no device opens.
std::unique_ptr<i_audio_sink> make_pulse_sink(int sample_rate);
std::unique_ptr<i_audio_sink> make_alsa_sink(int sample_rate, const std::string& device = "default");

// A mono 16-bit PCM WAV file whose header is brought up to date after every
// append, so the file is complete even when the program is killed.
class wav_writer {
 public:
  wav_writer() = default;
  ~wav_writer();
  wav_writer(const wav_writer&) = delete;
  wav_writer& operator=(const wav_writer&) = delete;

  bool open(const std::string& path, int sample_rate);
  // False once the file cannot take more (write error, or the 4 GiB limit of the format).
  bool append(const std::int16_t* samples, std::size_t count);
  void close();
  std::uint32_t data_bytes() const { return data_bytes_; }

 private:
  bool write_header();

  std::FILE* file_ = nullptr;
  int sample_rate_ = 0;
  std::uint32_t data_bytes_ = 0;
};
