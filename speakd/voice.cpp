#include "speakd/voice.h"

#include <algorithm>

namespace {

constexpr int piece_ms = 20;          // playback granularity: how soon pause and purge are heard
constexpr int max_queued_ms = 5000;   // playback queue limit; synthesis runs far ahead of real time

std::size_t samples_for_ms(int rate, int ms) {
  return std::max<std::size_t>(1, static_cast<std::size_t>(rate) * static_cast<std::size_t>(ms) / 1000);
}

}  // namespace

std::shared_ptr<voice> voice::create(std::unique_ptr<i_synthesizer> synth, std::unique_ptr<i_audio_sink> sink) {
  if (!synth || !sink) return nullptr;
  std::shared_ptr<voice> v(new voice(std::move(synth), std::move(sink)));
  v->synth_thread_ = std::thread([p = v.get()] { p->synth_loop(); });
  v->play_thread_ = std::thread([p = v.get()] { p->play_loop(); });
  return v;
}

voice::voice(std::unique_ptr<i_synthesizer> synth, std::unique_ptr<i_audio_sink> sink)
    : synth_(std::move(synth)),
      sink_(std::move(sink)),
      piece_samples_(samples_for_ms(synth_->sample_rate(), piece_ms)),
      max_queued_(samples_for_ms(synth_->sample_rate(), max_queued_ms)) {}

voice::~voice() { close(); }

void voice::speak(std::string utf8_text, unsigned flags) {
  {
    std::lock_guard lock(mutex_);
    if (closing_) return;
    // Purge and queue under one lock: a waiter must never see the voice idle
    // between the old speech and the new one.
    if (flags & speak_purge_before_speak) {
      ++generation_;
      texts_.clear();
      audio_.clear();
      queued_samples_ = 0;
      if (sink_busy_) discard_requested_ = true;
    }
    if (!utf8_text.empty()) texts_.push_back(std::move(utf8_text));
    work_cv_.notify_all();
    notify_if_idle_locked();
  }
  if (!(flags & speak_async)) wait_until_done();
}

void voice::pause() {
  std::lock_guard lock(mutex_);
  paused_ = true;
}

void voice::resume() {
  std::lock_guard lock(mutex_);
  if (!paused_) return;
  paused_ = false;
  work_cv_.notify_all();
}

bool voice::wait_until_done() {
  std::unique_lock lock(mutex_);
  done_cv_.wait(lock, [this] { return closing_ || idle_locked(); });
  return !closing_;
}

bool voice::is_idle() {
  std::lock_guard lock(mutex_);
  return idle_locked();
}

void voice::close() {
  {
    std::lock_guard lock(mutex_);
    if (closing_) return;
    closing_ = true;
    ++generation_;
    texts_.clear();
    audio_.clear();
    queued_samples_ = 0;
    work_cv_.notify_all();
    done_cv_.notify_all();
  }
  if (synth_thread_.joinable()) synth_thread_.join();
  if (play_thread_.joinable()) play_thread_.join();
  sink_->discard();
}

bool voice::idle_locked() const {
  return texts_.empty() && !synthesizing_ && audio_.empty() && !sink_busy_ && !discard_requested_;
}

void voice::notify_if_idle_locked() {
  if (idle_locked()) done_cv_.notify_all();
}

void voice::synth_loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_cv_.wait(lock, [this] { return closing_ || !texts_.empty(); });
    if (closing_) return;
    std::string text = std::move(texts_.front());
    texts_.pop_front();
    const std::uint64_t generation = generation_;
    synthesizing_ = true;
    lock.unlock();
    synth_->synthesize(text, [this, generation](const std::int16_t* samples, std::size_t count) {
      return queue_audio(generation, samples, count);
    });
    lock.lock();
    synthesizing_ = false;
    work_cv_.notify_all();
    notify_if_idle_locked();
  }
}

bool voice::queue_audio(std::uint64_t generation, const std::int16_t* samples, std::size_t count) {
  std::unique_lock lock(mutex_);
  work_cv_.wait(lock, [&] { return closing_ || generation != generation_ || queued_samples_ < max_queued_; });
  if (closing_ || generation != generation_) return false;  // purged: stop synthesizing this text
  if (count == 0) return true;
  audio_.push_back(chunk{std::vector<std::int16_t>(samples, samples + count), 0});
  queued_samples_ += count;
  work_cv_.notify_all();
  return true;
}

void voice::play_loop() {
  std::vector<std::int16_t> piece;
  piece.reserve(piece_samples_);
  std::unique_lock lock(mutex_);
  for (;;) {
    if (closing_) return;
    if (discard_requested_) {
      discard_requested_ = false;
      lock.unlock();
      sink_->discard();
      lock.lock();
      sink_busy_ = false;
      notify_if_idle_locked();
      continue;
    }
    if (!paused_ && !audio_.empty()) {
      chunk& front = audio_.front();
      const std::size_t n = std::min(piece_samples_, front.samples.size() - front.played);
      piece.assign(front.samples.begin() + static_cast<std::ptrdiff_t>(front.played),
                   front.samples.begin() + static_cast<std::ptrdiff_t>(front.played + n));
      front.played += n;
      if (front.played == front.samples.size()) audio_.pop_front();
      queued_samples_ -= n;
      sink_busy_ = true;
      work_cv_.notify_all();  // room for the synthesis thread
      lock.unlock();
      sink_->write(piece.data(), piece.size());
      lock.lock();
      continue;
    }
    if (!paused_ && sink_busy_ && !synthesizing_ && texts_.empty()) {
      // The text is fully written: let the device play out its last audio.
      lock.unlock();
      sink_->drain();
      lock.lock();
      if (audio_.empty() && !discard_requested_) {
        sink_busy_ = false;
        notify_if_idle_locked();
      }
      continue;
    }
    work_cv_.wait(lock);
  }
}
