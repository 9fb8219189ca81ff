// What tells the builds of markd apart, as data: one entry function serves
// them all and each build's main only picks its description.
#pragma once

#include <memory>
#include <vector>

#include "host/protocol.h"

struct build_description {
  const char* name;             // "full", ...
  bool uses_settings;           // config.txt read at start, written back at the end
  bool answers_unknown;         // "unknownCmd" for a word no processor takes
  void (*before_processors)();  // extra start-up work once the imaging layer is up; may be null
  // The processors in registration order.
  std::vector<std::unique_ptr<i_processor>> (*make_processors)();
};

const build_description& full_build();

// The entry function: start-up, the command loop, shut-down. Returns the exit status.
int run_markd(const build_description& build, int argc, char** argv);
