// Device sinks of a build without PulseAudio or ALSA: none opens, so the
// voice falls back to the null sink.
#include "speakd/audio_sink.h"

#ifndef SPEAKD_WITH_PULSE
std::unique_ptr<i_audio_sink> make_pulse_sink(int) { return nullptr; }
#endif
#ifndef SPEAKD_WITH_ALSA
std::unique_ptr<i_audio_sink> make_alsa_sink(int, const std::string&) { return nullptr; }
#endif
