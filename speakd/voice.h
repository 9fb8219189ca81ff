// The voice: what the speech helper's commands act on. It offers the four
// operations the protocol needs (speak with or without purge, pause, resume,
// and a blocking wait until done) over a synthesizer and an audio sink.
//
// Two threads of its own do the work. The synthesis thread turns queued texts
// into audio and stores it in a playback queue; the playback thread feeds that
// queue to the sink in pieces of about 20 ms. Because the audio waits in our
// own queue rather than inside the engine or the device, purge, pause and
// resume take effect within one piece. The queue holds at most a few seconds
// of audio: synthesis waits for room, so memory stays bounded for long texts.
//
// "Done" means idle: no text waiting, none being synthesized, no audio queued
// or still sounding. A waiter whose text was purged therefore returns when the
// speech that replaced it has ended, and a paused voice with audio left keeps
// every waiter waiting, as callers of the platform's voice expect.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "speakd/audio_sink.h"
#include "speakd/synthesizer.h"

// Speak flags, with the values of the platform's voice interface.
enum speak_flag : unsigned {
  speak_async = 1u,               // return at once instead of waiting until done
  speak_purge_before_speak = 2u,  // drop everything queued or sounding first
};

class voice {
 public:
  // Starts the voice's threads. Shared because every waiting thread keeps the
  // voice alive for as long as it uses it.
  static std::shared_ptr<voice> create(std::unique_ptr<i_synthesizer> synth, std::unique_ptr<i_audio_sink> sink);
  ~voice();  // closes
  voice(const voice&) = delete;
  voice& operator=(const voice&) = delete;

  // Queues the text (after dropping everything with speak_purge_before_speak);
  // without speak_async, returns only when the voice is done. An empty text
  // queues nothing, so a purging empty speak silences the voice.
  void speak(std::string utf8_text, unsigned flags);
  // Not counted: one resume undoes any number of pauses.
  void pause();
  void resume();
  // Blocks until the voice is idle (true) or closed (false).
  bool wait_until_done();
  // Silences the voice, stops its threads and releases every waiter (they
  // get false). Later calls do nothing.
  void close();

  bool is_idle();

 private:
  struct chunk {
    std::vector<std::int16_t> samples;
    std::size_t played = 0;
  };

  voice(std::unique_ptr<i_synthesizer> synth, std::unique_ptr<i_audio_sink> sink);
  void synth_loop();
  void play_loop();
  bool queue_audio(std::uint64_t generation, const std::int16_t* samples, std::size_t count);
  bool idle_locked() const;
  void notify_if_idle_locked();

  std::unique_ptr<i_synthesizer> synth_;
  std::unique_ptr<i_audio_sink> sink_;
  const std::size_t piece_samples_;  // one playback write, ~20 ms
  const std::size_t max_queued_;     // playback queue limit, ~5 s

  std::mutex mutex_;
  std::condition_variable work_cv_;  // synthesis and playback threads
  std::condition_variable done_cv_;  // waiters
  std::deque<std::string> texts_;
  std::deque<chunk> audio_;
  std::size_t queued_samples_ = 0;
  std::uint64_t generation_ = 0;  // bumped by every purge; stale audio is refused
  bool synthesizing_ = false;
  bool sink_busy_ = false;         // written audio may still be sounding
  bool discard_requested_ = false;
  bool paused_ = false;
  bool closing_ = false;

  std::thread synth_thread_;
  std::thread play_thread_;
};
