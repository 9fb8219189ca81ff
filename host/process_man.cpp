#include "host/process_man.h"

#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/text.h"

namespace {

// A command line is read in pieces of at most 1023 bytes; each piece is a command.
constexpr std::size_t command_piece_bytes = 1023;

}  // namespace

process_man::process_man(std::FILE* input, bool answer_unknown, unsigned pause_ms)
    : input_(input), answer_unknown_(answer_unknown), pause_ms_(pause_ms) {}

process_man::~process_man() {
  for (i_processor* p : processors_) delete p;
  processors_.clear();
}

void process_man::add_processor(i_processor* processor) {
  if (processor) processors_.push_back(processor);
}

int process_man::run(const std::string& exit_word) {
  if (exit_word.empty()) return 0;
  arg_list args;
  while (read_command(exit_word, args)) {
    if (args.empty()) continue;  // an empty line is no command: no reply, no pause
    dispatch(args);
    if (pause_ms_) std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms_));
  }
  return 1;
}

int process_man::read_command(const std::string& exit_word, arg_list& args) {
  args.clear();
  std::string text;
  if (!read_text_piece(input_, command_piece_bytes, text)) {
    input_ended_ = true;  // the parent went away: end as after the exit word
    return 0;
  }
  while (!text.empty() && text.back() == '\n') text.pop_back();
  std::size_t lead = 0;
  while (lead < text.size() && text[lead] == '\n') ++lead;
  text.erase(0, lead);
  args = split_fields(text, ";");
  if (!args.empty() && same_word(exit_word, args[0])) return 0;
  return 1;
}

int process_man::dispatch(arg_list& args) {
  if (args.empty()) return 0;
  for (i_processor* p : processors_) {
    if (same_word(p->name, args[0])) {
      p->process(args);
      return 1;
    }
  }
  if (answer_unknown_) write_reply("unknownCmd");
  return 0;
}

std::string module_dir() {
  std::string path(4096, '\0');
  const ssize_t n = readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (n <= 0) return ".";
  path.resize(static_cast<std::size_t>(n));
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return path.substr(0, slash);
}
