// speakd: reads text aloud for a parent program. One command per line on
// standard input ("speak TEXT", "pause", "resume", "stop", "exit"); each
// "speak" is answered with "speak_complete" once the voice has fallen silent.
//
// Each "speak" starts a waiting thread of its own that blocks until the voice
// is done, writes the reply and ends; nothing joins it. Every waiting thread
// holds a reference to the voice, so the voice outlives all of them.
#include <langinfo.h>
#include <pthread.h>

#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "speakd/command_input.h"
#include "speakd/voice.h"

#ifndef SPEAKD_VERSION
#define SPEAKD_VERSION "0"
#endif

namespace {

constexpr int exit_voice_failed = -2;
// A waiting thread only waits and writes one line; a small stack keeps a
// flood of "speak" lines from exhausting memory.
constexpr std::size_t waiter_stack_bytes = 256 * 1024;
// At the end, woken waiters get this long to let go of the voice.
constexpr int waiter_release_ms = 200;

const char usage_text[] =
    "Usage: speakd\n"
    "Reads commands from standard input, one per line:\n"
    "  speak TEXT   speak TEXT, dropping whatever is being spoken; answers \"speak_complete\"\n"
    "               when the voice falls silent\n"
    "  pause        pause the voice\n"
    "  resume       resume the voice\n"
    "  stop         silence the voice\n"
    "  exit         end (as does the end of input)\n"
    "Environment:\n"
    "  SPEAKD_AUDIO        default (PulseAudio, then ALSA), pulse, alsa, alsa:DEVICE,\n"
    "                      null, or wav:PATH\n"
    "  SPEAKD_ESPEAK_DATA  folder of the espeak-ng data (default: the library's own)\n"
    "Exit status: 0 after exit, -2 (254) when the voice cannot be created.\n";

void* wait_and_reply(void* arg) {
  std::unique_ptr<std::shared_ptr<voice>> held(static_cast<std::shared_ptr<voice>*>(arg));
  if ((*held)->wait_until_done()) {
    std::fputs("speak_complete\n", stdout);
    std::fflush(stdout);
  }
  return nullptr;
}

void start_waiting_thread(const std::shared_ptr<voice>& v) {
  auto* arg = new std::shared_ptr<voice>(v);
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, waiter_stack_bytes);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  pthread_t thread;
  // Like any failed voice call, a thread that cannot start costs its reply only.
  if (pthread_create(&thread, &attr, wait_and_reply, arg) != 0) delete arg;
  pthread_attr_destroy(&attr);
}

void run_commands(const std::shared_ptr<voice>& v, const std::string& codeset) {
  while (auto piece = read_piece(stdin)) {
    command cmd = parse_command(*piece);
    switch (cmd.kind) {
      case command_kind::exit:
        return;
      case command_kind::speak:
        v->resume();
        v->speak(text_to_utf8(cmd.text, codeset), speak_async | speak_purge_before_speak);
        start_waiting_thread(v);
        break;
      case command_kind::pause:
        v->pause();
        break;
      case command_kind::resume:
        v->resume();
        break;
      case command_kind::stop:
        v->resume();
        v->speak("", speak_purge_before_speak);
        break;
      case command_kind::none:
        break;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(usage_text, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("speakd %s\n", SPEAKD_VERSION);
      return 0;
    }
  }  // other arguments are ignored: the program takes none

  std::setlocale(LC_ALL, "");
  // The engine switches the character-type locale to UTF-8 for itself, so the
  // input's character set is taken first.
  const std::string codeset = nl_langinfo(CODESET);
  // A parent that stops reading must not kill us in the middle of a reply.
  std::signal(SIGPIPE, SIG_IGN);

  const char* data_path = std::getenv("SPEAKD_ESPEAK_DATA");
  synthesizer_result synth = make_espeak_synthesizer(data_path ? data_path : "");
  if (!synth.synth) {
    std::fprintf(stderr, "speakd: the voice could not be created: %s\n", synth.error.c_str());
    return exit_voice_failed;
  }
  const char* audio = std::getenv("SPEAKD_AUDIO");
  const int rate = synth.synth->sample_rate();
  std::shared_ptr<voice> v = voice::create(std::move(synth.synth), open_audio_sink(audio ? audio : "", rate));
  if (!v) return exit_voice_failed;

  run_commands(v, codeset);

  // Silence the voice and release the waiting threads without a reply; the
  // voice itself goes only once none of them holds it any more.
  v->close();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waiter_release_ms);
  while (v.use_count() > 1 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  v.reset();
  std::fflush(stdout);
  return 0;
}
