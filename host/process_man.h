// The command loop of markd: read a line, split it into fields, hand it to
// the processor registered under its first word, answer "unknownCmd" when
// none is, pause, repeat until the exit word.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "host/protocol.h"

class process_man {
 public:
  // input: where command lines come from (standard input in the program).
  // answer_unknown: whether a line no processor takes gets "unknownCmd".
  // pause_ms: the pause after every handled line (100 in the program).
  explicit process_man(std::FILE* input = stdin, bool answer_unknown = true, unsigned pause_ms = 100);
  virtual ~process_man();  // destroys the processors, first registered first
  process_man(const process_man&) = delete;
  process_man& operator=(const process_man&) = delete;

  // Takes ownership.
  void add_processor(i_processor* processor);
  // 0 at once for an empty exit word; 1 when the loop ended (exit word or end of input).
  int run(const std::string& exit_word);
  // Reads one line piece into args. 0 when the loop must end: field 0 is the
  // exit word, or the input has ended. 1 otherwise (args may then be empty:
  // an empty line, which the loop ignores).
  int read_command(const std::string& exit_word, arg_list& args);
  // 1 when a processor took the command, 0 after answering "unknownCmd".
  int dispatch(arg_list& args);

  bool input_ended() const { return input_ended_; }

 private:
  std::FILE* input_;
  bool answer_unknown_;
  unsigned pause_ms_;
  bool input_ended_ = false;
  std::vector<i_processor*> processors_;
};

// The folder of the running executable, without a trailing '/'.
std::string module_dir();
