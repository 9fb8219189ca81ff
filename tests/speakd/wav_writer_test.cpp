#include <gtest/gtest.h>

#include <vector>

#include "speakd/audio_sink.h"
#include "tests/speakd/wav_reader.h"
#include "tests/support/temp_dir.h"

namespace {

using speakd_test::parse_wav;

std::vector<std::int16_t> ramp(std::size_t n) {
  std::vector<std::int16_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::int16_t>(static_cast<int>(i * 37 % 65536) - 32768);
  return v;
}

TEST(speakd_wav_writer, header_is_complete_after_every_append_and_samples_round_trip) {
  test_support::temp_dir dir;
  const std::string path = dir.file("out.wav");
  wav_writer w;
  ASSERT_TRUE(w.open(path, 22050));
  auto empty = parse_wav(test_support::read_file(path));
  ASSERT_TRUE(empty.ok);
  EXPECT_EQ(empty.samples.size(), 0u);

  const auto a = ramp(3001);  // odd count, and more than one internal buffer
  const auto b = ramp(17);
  ASSERT_TRUE(w.append(a.data(), a.size()));
  // Read while still open: what a killed program would leave behind.
  auto mid = parse_wav(test_support::read_file(path));
  ASSERT_TRUE(mid.ok);
  EXPECT_EQ(mid.samples, a);
  ASSERT_TRUE(w.append(b.data(), b.size()));
  w.close();

  const std::string bytes = test_support::read_file(path);
  auto done = parse_wav(bytes);
  ASSERT_TRUE(done.ok);
  EXPECT_EQ(done.channels, 1);
  EXPECT_EQ(done.rate, 22050);
  EXPECT_EQ(done.bits, 16);
  EXPECT_EQ(done.data_size, (a.size() + b.size()) * 2);
  EXPECT_EQ(done.riff_size, bytes.size() - 8);
  std::vector<std::int16_t> both = a;
  both.insert(both.end(), b.begin(), b.end());
  EXPECT_EQ(done.samples, both);
}

TEST(speakd_wav_writer, refuses_unwritable_paths_and_bad_rates) {
  test_support::temp_dir dir;
  wav_writer w;
  EXPECT_FALSE(w.open(dir.file("missing-folder/out.wav"), 22050));
  EXPECT_FALSE(w.open(dir.path(), 22050));  // a folder
  EXPECT_FALSE(w.open(dir.file("x.wav"), 0));
  const std::int16_t s = 1;
  EXPECT_FALSE(w.append(&s, 1));  // nothing open
  EXPECT_EQ(make_wav_sink(dir.file("missing-folder/out.wav"), 22050), nullptr);
}

TEST(speakd_audio_sinks, wav_sink_records_what_is_played_at_real_time_pace) {
  test_support::temp_dir dir;
  const std::string path = dir.file("paced.wav");
  auto sink = make_wav_sink(path, 8000);
  ASSERT_NE(sink, nullptr);
  EXPECT_STREQ(sink->name(), "wav");
  const auto piece = ramp(800);  // 100 ms
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 3; ++i) sink->write(piece.data(), piece.size());
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(250));  // three pieces of 100 ms, not instant
  sink.reset();
  auto w = parse_wav(test_support::read_file(path));
  ASSERT_TRUE(w.ok);
  EXPECT_EQ(w.samples.size(), 2400u);
}

TEST(speakd_audio_sinks, fall_back_to_the_null_sink) {
  test_support::temp_dir dir;
  auto bad_wav = open_audio_sink("wav:" + dir.file("no/such/folder.wav"), 22050);
  ASSERT_NE(bad_wav, nullptr);
  EXPECT_STREQ(bad_wav->name(), "null");
  auto null_sink = open_audio_sink("null", 22050);
  ASSERT_NE(null_sink, nullptr);
  EXPECT_STREQ(null_sink->name(), "null");
  // The default always yields a sink, whether or not this machine has a device.
  EXPECT_NE(open_audio_sink("", 22050), nullptr);
}

}  // namespace
