// The voice over a scripted engine and a recording sink that keeps real-time
// pace: text "V:MS" synthesizes MS milliseconds of the constant sample V, so
// what reached the sink tells which text was heard and for how long.
#include "speakd/voice.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using clock_type = std::chrono::steady_clock;

constexpr int rate = 8000;
constexpr int samples_per_ms = rate / 1000;

struct sink_record {
  std::mutex mutex;
  std::vector<std::int16_t> samples;
  int discards = 0;
};

class recording_sink final : public i_audio_sink {
 public:
  explicit recording_sink(std::shared_ptr<sink_record> record) : record_(std::move(record)) {}
  void write(const std::int16_t* samples, std::size_t count) override {
    {
      std::lock_guard lock(record_->mutex);
      record_->samples.insert(record_->samples.end(), samples, samples + count);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(count * 1000000 / rate));
  }
  void drain() override {}
  void discard() override {
    std::lock_guard lock(record_->mutex);
    ++record_->discards;
  }
  const char* name() const override { return "recording"; }

 private:
  std::shared_ptr<sink_record> record_;
};

struct synth_stats {
  std::atomic<long> delivered{0};  // samples accepted by the voice
  std::atomic<int> aborted{0};
};

class scripted_synth final : public i_synthesizer {
 public:
  explicit scripted_synth(std::shared_ptr<synth_stats> stats) : stats_(std::move(stats)) {}
  int sample_rate() const override { return rate; }
  void synthesize(const std::string& text, const audio_callback& on_audio) override {
    const auto colon = text.find(':');
    const auto value = static_cast<std::int16_t>(std::stoi(text.substr(0, colon)));
    long left = std::stol(text.substr(colon + 1)) * samples_per_ms;
    std::vector<std::int16_t> piece(400, value);  // 50 ms pieces, as the engine gives them
    while (left > 0) {
      const auto n = static_cast<std::size_t>(std::min<long>(left, static_cast<long>(piece.size())));
      if (!on_audio(piece.data(), n)) {
        ++stats_->aborted;
        return;
      }
      stats_->delivered += static_cast<long>(n);
      left -= static_cast<long>(n);
    }
  }

 private:
  std::shared_ptr<synth_stats> stats_;
};

struct speakd_voice : ::testing::Test {
  std::shared_ptr<sink_record> record = std::make_shared<sink_record>();
  std::shared_ptr<synth_stats> stats = std::make_shared<synth_stats>();
  std::shared_ptr<voice> v = voice::create(std::make_unique<scripted_synth>(stats), std::make_unique<recording_sink>(record));

  std::vector<std::int16_t> heard() {
    std::lock_guard lock(record->mutex);
    return record->samples;
  }
  long count_of(std::int16_t value) {
    long n = 0;
    for (std::int16_t s : heard()) n += s == value;
    return n;
  }
  std::future<bool> wait_async() {
    return std::async(std::launch::async, [p = v] { return p->wait_until_done(); });
  }
};

double ms_since(clock_type::time_point t) {
  return std::chrono::duration<double, std::milli>(clock_type::now() - t).count();
}

TEST_F(speakd_voice, speak_async_returns_at_once_and_the_wait_lasts_the_speech) {
  const auto start = clock_type::now();
  v->speak("1:400", speak_async | speak_purge_before_speak);
  EXPECT_LT(ms_since(start), 100.0);
  EXPECT_FALSE(v->is_idle());
  EXPECT_TRUE(v->wait_until_done());
  EXPECT_GE(ms_since(start), 350.0);
  EXPECT_EQ(count_of(1), 400 * samples_per_ms);  // all of it, once
  EXPECT_TRUE(v->is_idle());
}

TEST_F(speakd_voice, synchronous_speak_returns_when_done) {
  const auto start = clock_type::now();
  v->speak("3:200", 0);
  EXPECT_GE(ms_since(start), 150.0);
  EXPECT_TRUE(v->is_idle());
  EXPECT_EQ(count_of(3), 200 * samples_per_ms);
}

TEST_F(speakd_voice, purge_cuts_the_old_text_and_its_waiter_returns_after_the_new_one) {
  v->speak("1:30000", speak_async | speak_purge_before_speak);  // longer than the queue holds
  auto first_waiter = wait_async();
  std::this_thread::sleep_for(300ms);
  const auto second_start = clock_type::now();
  v->speak("2:400", speak_async | speak_purge_before_speak);
  auto second_waiter = wait_async();
  ASSERT_EQ(first_waiter.wait_for(5s), std::future_status::ready);
  EXPECT_TRUE(first_waiter.get());
  EXPECT_GE(ms_since(second_start), 350.0);  // not before the new text ended
  ASSERT_EQ(second_waiter.wait_for(1s), std::future_status::ready);
  EXPECT_TRUE(second_waiter.get());

  const auto all = heard();
  EXPECT_EQ(count_of(2), 400 * samples_per_ms);
  EXPECT_LT(count_of(1), 700 * samples_per_ms);  // ~300 ms of the first, then cut
  // Once the new text is heard, nothing of the old one follows.
  bool seen_second = false;
  for (std::int16_t s : all) {
    if (s == 2) seen_second = true;
    if (seen_second) {
      ASSERT_NE(s, 1) << "old speech after the purge";
    }
  }
  EXPECT_GE(stats->aborted.load(), 1);
}

TEST_F(speakd_voice, without_purge_texts_queue_in_order) {
  v->speak("1:100", speak_async);
  v->speak("2:100", speak_async);
  EXPECT_TRUE(v->wait_until_done());
  const auto all = heard();
  ASSERT_EQ(all.size(), static_cast<std::size_t>(200 * samples_per_ms));
  EXPECT_EQ(all.front(), 1);
  EXPECT_EQ(all.back(), 2);
}

TEST_F(speakd_voice, pause_holds_the_waiters_until_resume_and_speech_continues_where_it_was) {
  v->speak("4:600", speak_async | speak_purge_before_speak);
  auto waiter = wait_async();
  std::this_thread::sleep_for(150ms);
  v->pause();
  v->pause();  // not counted
  std::this_thread::sleep_for(50ms);
  const long at_pause = count_of(4);
  EXPECT_EQ(waiter.wait_for(800ms), std::future_status::timeout);
  EXPECT_LE(count_of(4) - at_pause, 40 * samples_per_ms) << "audio kept flowing while paused";
  v->resume();
  ASSERT_EQ(waiter.wait_for(3s), std::future_status::ready);
  EXPECT_TRUE(waiter.get());
  EXPECT_EQ(count_of(4), 600 * samples_per_ms);  // nothing lost, nothing doubled
}

TEST_F(speakd_voice, empty_purging_speak_silences_at_once) {
  v->speak("5:5000", speak_async | speak_purge_before_speak);
  auto waiter = wait_async();
  std::this_thread::sleep_for(200ms);
  const auto start = clock_type::now();
  v->speak("", speak_purge_before_speak);  // what "stop" does
  EXPECT_LT(ms_since(start), 300.0);
  EXPECT_TRUE(v->is_idle());
  ASSERT_EQ(waiter.wait_for(1s), std::future_status::ready);
  EXPECT_TRUE(waiter.get());
  EXPECT_LT(count_of(5), 600 * samples_per_ms);
}

TEST_F(speakd_voice, an_empty_text_on_an_idle_voice_is_done_at_once) {
  v->speak("", speak_async | speak_purge_before_speak);
  auto waiter = wait_async();
  ASSERT_EQ(waiter.wait_for(1s), std::future_status::ready);
  EXPECT_TRUE(waiter.get());
}

TEST_F(speakd_voice, the_playback_queue_stays_bounded_for_long_texts) {
  v->speak("6:600000", speak_async | speak_purge_before_speak);  // ten minutes of audio
  std::this_thread::sleep_for(500ms);
  // Synthesis is far faster than real time, yet waits for room: a few
  // seconds ahead at most, never the whole text.
  EXPECT_LT(stats->delivered.load(), 10L * rate);
  const auto start = clock_type::now();
  v->speak("", speak_purge_before_speak);
  EXPECT_LT(ms_since(start), 500.0);
}

TEST_F(speakd_voice, close_releases_every_waiter_without_done_and_ends_synthesis) {
  v->speak("7:600000", speak_async | speak_purge_before_speak);
  std::vector<std::future<bool>> waiters;
  for (int i = 0; i < 20; ++i) waiters.push_back(wait_async());
  v->pause();
  std::this_thread::sleep_for(100ms);
  const auto start = clock_type::now();
  v->close();
  EXPECT_LT(ms_since(start), 500.0);
  for (auto& w : waiters) {
    ASSERT_EQ(w.wait_for(1s), std::future_status::ready);
    EXPECT_FALSE(w.get());
  }
  v->speak("7:100", speak_async);  // ignored after close, no hang
  EXPECT_FALSE(v->wait_until_done());
  v->close();  // twice is harmless
}

TEST_F(speakd_voice, a_flood_of_purging_speaks_ends_with_the_last_text) {
  for (int i = 0; i < 200; ++i) v->speak(std::to_string(100 + i % 50) + ":300", speak_async | speak_purge_before_speak);
  v->speak("8:200", speak_async | speak_purge_before_speak);
  auto waiter = wait_async();
  ASSERT_EQ(waiter.wait_for(5s), std::future_status::ready);
  EXPECT_TRUE(waiter.get());
  EXPECT_EQ(count_of(8), 200 * samples_per_ms);
  EXPECT_EQ(heard().back(), 8);
}

TEST(speakd_voice_create, needs_an_engine_and_a_sink) {
  EXPECT_EQ(voice::create(nullptr, nullptr), nullptr);
}

}  // namespace
