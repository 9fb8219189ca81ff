// The real speakd over pipes, with the null sink (real-time pace, no sound)
// or the WAV sink. Timing checks prove order and cut-off with wide margins,
// not speed: the long text lasts about 12 s, the short one about 1.6 s.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/speakd/wav_reader.h"
#include "tests/support/pipe_driver.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using clock_type = std::chrono::steady_clock;
using test_support::child_process;

const std::string short_text = " hello world, this is a test";
const std::string long_text =
    " This is a long text for the speech helper. It goes on for several sentences, so that the voice needs many "
    "seconds to read it from the first word to the last one. Nobody would listen to all of it, which is why the "
    "tests cut it off early.";
constexpr int exit_voice_failed = 254;  // -2 as the parent reads it

double ms_since(clock_type::time_point t) {
  return std::chrono::duration<double, std::milli>(clock_type::now() - t).count();
}

struct speakd_run {
  child_process child;

  explicit speakd_run(const std::string& audio = "null", std::vector<std::pair<std::string, std::string>> env = {}) {
    env.emplace_back("SPEAKD_AUDIO", audio);
    bool has_data = false;
    for (const auto& e : env) has_data |= e.first == "SPEAKD_ESPEAK_DATA";
    if (!has_data) env.emplace_back("SPEAKD_ESPEAK_DATA", "");
    test_support::child_options options;
    options.env = std::move(env);
    started = child.start(test_support::program_path("speakd"), options);
  }
  ~speakd_run() {
    child.close_stdin();
    child.wait_exit(5000);
  }
  bool send(const std::string& line) { return child.write_line(line); }
  // Expects exactly "speak_complete" within the time-out.
  bool reply(int timeout_ms) {
    auto line = child.read_line(timeout_ms);
    return line && *line == "speak_complete";
  }
  bool ends_with_status_0(int timeout_ms = 3000) {
    auto status = child.wait_exit(timeout_ms);
    return status && *status == 0;
  }

  bool started = false;
};

TEST(speakd, one_speak_gives_one_reply_after_the_spoken_duration) {
  speakd_run run;
  ASSERT_TRUE(run.started);
  const auto start = clock_type::now();
  run.send("speak" + short_text);
  ASSERT_TRUE(run.reply(15000));
  const double took = ms_since(start);
  EXPECT_GE(took, 800.0) << "replied before the text could have been spoken";
  EXPECT_LT(took, 6000.0);
  EXPECT_EQ(run.child.read_quiet(500), "") << "one speak, one reply";
  run.send("exit");
  EXPECT_TRUE(run.ends_with_status_0());
  EXPECT_EQ(run.child.stderr_text(), "");
}

TEST(speakd, a_new_speak_cuts_the_old_one_off_and_both_reply_after_the_new_text) {
  speakd_run run;
  ASSERT_TRUE(run.started);
  const auto start = clock_type::now();
  run.send("speak" + long_text);
  std::this_thread::sleep_for(500ms);
  const auto second = clock_type::now();
  run.send("speak" + short_text);
  ASSERT_TRUE(run.reply(15000));
  const double first_reply = ms_since(second);
  ASSERT_TRUE(run.reply(2000));
  EXPECT_GE(first_reply, 800.0) << "the first reply came before the second text was spoken";
  EXPECT_LT(ms_since(start), 7000.0) << "the long text was not cut off";
  EXPECT_EQ(run.child.read_quiet(500), "");
  run.send("exit");
  EXPECT_TRUE(run.ends_with_status_0());
}

TEST(speakd, pause_holds_the_reply_back_until_resume) {
  speakd_run run;
  ASSERT_TRUE(run.started);
  run.send("speak" + short_text);
  std::this_thread::sleep_for(300ms);
  run.send("pause");
  EXPECT_FALSE(run.child.read_line(3000)) << "a paused voice replied";
  const auto resumed = clock_type::now();
  run.send("resume");
  ASSERT_TRUE(run.reply(10000));
  EXPECT_GE(ms_since(resumed), 500.0) << "the rest of the text was not spoken after resume";
  EXPECT_EQ(run.child.read_quiet(300), "");
  run.send("exit");
  EXPECT_TRUE(run.ends_with_status_0());
}

TEST(speakd, a_speak_while_paused_speaks_at_once) {
  speakd_run run;
  ASSERT_TRUE(run.started);
  run.send("pause");
  run.send("speak hi");
  ASSERT_TRUE(run.reply(5000));
  run.send("exit");
  EXPECT_TRUE(run.ends_with_status_0());
}

TEST(speakd, stop_ends_the_speech_at_once_and_releases_the_reply) {
  speakd_run run;
  ASSERT_TRUE(run.started);
  run.send("speak" + long_text);
  std::this_thread::sleep_for(500ms);
  const auto stopped = clock_type::now();
  run.send("stop");
  ASSERT_TRUE(run.reply(3000));
  EXPECT_LT(ms_since(stopped), 1500.0);
  EXPECT_EQ(run.child.read_quiet(300), "");
  run.send("stop");  // on a silent voice: nothing happens
  EXPECT_EQ(run.child.read_quiet(300), "");
  run.send("exit");
  EXPECT_TRUE(run.ends_with_status_0());
}

TEST(speakd, lines_that_are_no_command_are_ignored) {
  speakd_run run;
  ASSERT_TRUE(run.started);
  for (const char* line : {" speak hi", "Speak hi", "SPEAK hi", "\tspeak hi", " exit", "Exit", "EXIT", " stop",
                           "Pause", "", "hello", "spea k", "please speak"})
    run.send(line);
  EXPECT_EQ(run.child.read_quiet(1500), "");
  EXPECT_FALSE(run.child.wait_exit(100)) << "an ignored line ended the program";
  run.send("speak hi");  // still listening
  EXPECT_TRUE(run.reply(5000));
  run.send("exit");
  EXPECT_TRUE(run.ends_with_status_0());
}

TEST(speakd, exit_while_a_reply_is_pending_ends_at_once_without_it) {
  speakd_run run;
  ASSERT_TRUE(run.started);
  run.send("speak" + long_text);
  run.send("speak" + long_text);
  std::this_thread::sleep_for(300ms);
  const auto start = clock_type::now();
  run.send("exit");
  EXPECT_TRUE(run.ends_with_status_0(3000));
  EXPECT_LT(ms_since(start), 2000.0);
  EXPECT_EQ(run.child.read_quiet(100), "");
  EXPECT_TRUE(run.child.stdout_closed());
}

TEST(speakd, end_of_input_ends_as_exit_does) {
  speakd_run run;
  ASSERT_TRUE(run.started);
  run.send("speak" + long_text);
  std::this_thread::sleep_for(300ms);
  run.child.close_stdin();
  EXPECT_TRUE(run.ends_with_status_0(3000));
  EXPECT_EQ(run.child.read_quiet(100), "");
}

TEST(speakd, crlf_lines_work_like_lf_lines) {
  speakd_run run;
  ASSERT_TRUE(run.started);
  run.child.write("speak hi\r\n");
  ASSERT_TRUE(run.reply(5000));
  run.child.write("exit\r\n");
  EXPECT_TRUE(run.ends_with_status_0());
}

TEST(speakd, the_wav_sink_holds_audible_speech_as_long_as_the_reply_took) {
  test_support::temp_dir dir;
  const std::string path = dir.file("speech.wav");
  double took = 0;
  {
    speakd_run run("wav:" + path);
    ASSERT_TRUE(run.started);
    const auto start = clock_type::now();
    run.send("speak" + short_text);
    ASSERT_TRUE(run.reply(15000));
    took = ms_since(start) / 1000.0;
    run.send("exit");
    EXPECT_TRUE(run.ends_with_status_0());
  }
  const auto wav = speakd_test::parse_wav(test_support::read_file(path));
  ASSERT_TRUE(wav.ok);
  EXPECT_EQ(wav.channels, 1);
  EXPECT_EQ(wav.bits, 16);
  EXPECT_GE(wav.rate, 8000);
  // Five words and a comma: around a second and a half of speech.
  EXPECT_GT(wav.seconds(), 0.8);
  EXPECT_LT(wav.seconds(), 5.0);
  EXPECT_GT(wav.rms(), 0.01) << "silence";
  EXPECT_NEAR(wav.seconds(), took, 0.75) << "the reply did not come when the audio ended";
}

TEST(speakd, the_wav_sink_records_the_cut_off_and_the_replacement) {
  test_support::temp_dir dir;
  const std::string path = dir.file("cut.wav");
  {
    speakd_run run("wav:" + path);
    ASSERT_TRUE(run.started);
    run.send("speak" + long_text);
    std::this_thread::sleep_for(1000ms);
    run.send("speak" + short_text);
    ASSERT_TRUE(run.reply(15000));
    ASSERT_TRUE(run.reply(2000));
    run.send("exit");
    EXPECT_TRUE(run.ends_with_status_0());
  }
  const auto wav = speakd_test::parse_wav(test_support::read_file(path));
  ASSERT_TRUE(wav.ok);
  // About one second of the long text, then the short one in full.
  EXPECT_GT(wav.seconds(), 1.6);
  EXPECT_LT(wav.seconds(), 5.0);
}

TEST(speakd, an_unwritable_wav_path_or_no_device_falls_back_quietly) {
  test_support::temp_dir dir;
  // "" removes SPEAKD_AUDIO: the default device, or the null sink where there is none.
  for (const std::string& audio : {"wav:" + dir.file("missing/folder/x.wav"), std::string()}) {
    speakd_run run(audio);
    ASSERT_TRUE(run.started);
    run.send("speak hi");
    EXPECT_TRUE(run.reply(5000)) << "SPEAKD_AUDIO=" << audio;
    run.send("exit");
    EXPECT_TRUE(run.ends_with_status_0()) << "SPEAKD_AUDIO=" << audio;
    EXPECT_EQ(run.child.read_quiet(100), "") << "SPEAKD_AUDIO=" << audio;
  }
}

TEST(speakd, plays_through_alsa_when_a_device_opens) {
  // ALSA's "null" device exists without any sound card and swallows audio at once.
  speakd_run run("alsa:null");
  ASSERT_TRUE(run.started);
  run.send("speak" + short_text);
  ASSERT_TRUE(run.reply(10000));
  run.send("speak" + long_text);
  run.send("stop");
  ASSERT_TRUE(run.reply(5000));
  run.send("exit");
  EXPECT_TRUE(run.ends_with_status_0());
  EXPECT_EQ(run.child.stderr_text(), "") << "the device did not open";
}

TEST(speakd, bad_input_is_spoken_or_ignored_without_harm) {
  speakd_run run;
  ASSERT_TRUE(run.started);
  const std::vector<std::string> texts = {
      "speak",                                   // empty text
      "speak ",                                  // blank only
      "speak \xFF\xFE\xC3 broken \xED\xA0\x80",  // invalid UTF-8
      "speak " + std::string("\x01\x02\x7F", 3),
      "speak <speak>no markup</speak> & <",
  };
  for (const std::string& t : texts) {
    run.send(t);
    EXPECT_TRUE(run.reply(10000)) << "text: " << t;
    EXPECT_EQ(run.child.read_quiet(200), "") << "text: " << t;
  }
  run.send("exit");
  EXPECT_TRUE(run.ends_with_status_0());
}

TEST(speakd, a_long_line_is_read_in_pieces_of_30719_bytes) {
  // The first piece is "speak" and its text; what follows is a line of its own.
  struct row {
    std::size_t first_piece;  // bytes before "speak hi"
    int replies;
  };
  for (const row r : {row{30719, 2}, row{30718, 1}, row{30720, 1}}) {
    speakd_run run;
    ASSERT_TRUE(run.started);
    std::string line = "speak";
    while (line.size() < r.first_piece) line += " word";
    line.resize(r.first_piece, ' ');
    line += "speak hi";
    run.send(line);
    run.send("stop");
    int got = 0;
    while (run.child.read_line(r.replies > got ? 10000 : 1000)) ++got;
    EXPECT_EQ(got, r.replies) << "first piece " << r.first_piece;
    run.send("exit");
    EXPECT_TRUE(run.ends_with_status_0()) << "first piece " << r.first_piece;
  }
}

TEST(speakd, thirty_kilobytes_of_text_are_spoken_and_can_be_stopped) {
  test_support::temp_dir dir;
  const std::string path = dir.file("long.wav");
  {
    speakd_run run("wav:" + path);
    ASSERT_TRUE(run.started);
    std::string text;
    while (text.size() < 30000) text += " the quick brown fox jumps over the lazy dog.";
    run.send("speak" + text);
    EXPECT_FALSE(run.child.read_line(1500)) << "thirty kilobytes were done in a moment";
    run.send("stop");
    EXPECT_TRUE(run.reply(3000));
    run.send("exit");
    EXPECT_TRUE(run.ends_with_status_0());
  }
  const auto wav = speakd_test::parse_wav(test_support::read_file(path));
  ASSERT_TRUE(wav.ok);
  EXPECT_GT(wav.seconds(), 0.8);
  EXPECT_LT(wav.seconds(), 5.0);
}

TEST(speakd, a_flood_of_speak_lines_gives_one_reply_each_after_the_last_text) {
  speakd_run run;
  ASSERT_TRUE(run.started);
  constexpr int count = 300;
  std::string flood;
  for (int i = 0; i < count; ++i) flood += "speak number " + std::to_string(i) + "\n";
  run.child.write(flood);
  int got = 0;
  while (got < count && run.reply(15000)) ++got;
  EXPECT_EQ(got, count);
  EXPECT_EQ(run.child.read_quiet(500), "") << "more replies than speak lines";
  run.send("exit");
  EXPECT_TRUE(run.ends_with_status_0());
}

TEST(speakd, exit_status_is_minus_2_when_the_voice_cannot_be_created) {
  test_support::temp_dir dir;
  for (const std::string& data : {dir.file("missing"), dir.path()}) {  // no folder; a folder without data
    speakd_run run("null", {{"SPEAKD_ESPEAK_DATA", data}});
    ASSERT_TRUE(run.started);
    auto status = run.child.wait_exit(5000);
    ASSERT_TRUE(status) << data;
    EXPECT_EQ(*status, exit_voice_failed) << data;
    EXPECT_EQ(run.child.read_quiet(100), "") << data;
    EXPECT_NE(run.child.stderr_text(), "") << data;
  }
}

TEST(speakd, answers_help_and_version_and_exits_0) {
  for (const char* arg : {"--help", "--version"}) {
    child_process child;
    test_support::child_options options;
    options.args = {arg};
    ASSERT_TRUE(child.start(test_support::program_path("speakd"), options));
    auto status = child.wait_exit(5000);
    ASSERT_TRUE(status) << arg;
    EXPECT_EQ(*status, 0) << arg;
    EXPECT_NE(child.read_quiet(100).find("speakd"), std::string::npos) << arg;
  }
}

}  // namespace
