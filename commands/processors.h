// The six command processors of the full build of markd. The sheet commands
// take the build's options record (full build by default).
#pragma once

#include "commands/command_options.h"
#include "host/protocol.h"

class processor_readtemplate : public i_processor {
 public:
  explicit processor_readtemplate(const sheet_command_options& options = full_build_commands())
      : i_processor("readtemplate"), options_(options) {}
  int process(arg_list& args) override;

 private:
  sheet_command_options options_;
};

class processor_recognize : public i_processor {
 public:
  explicit processor_recognize(const sheet_command_options& options = full_build_commands())
      : i_processor("recognize"), options_(options) {}
  int process(arg_list& args) override;

 private:
  sheet_command_options options_;
};

class processor_match : public i_processor {
 public:
  explicit processor_match(const sheet_command_options& options = full_build_commands())
      : i_processor("match"), options_(options) {}
  int process(arg_list& args) override;

 private:
  sheet_command_options options_;
};

class processor_locate : public i_processor {
 public:
  explicit processor_locate(const sheet_command_options& options = full_build_commands())
      : i_processor("locate"), options_(options) {}
  int process(arg_list& args) override;

 private:
  sheet_command_options options_;
};

class processor_enhance : public i_processor {
 public:
  processor_enhance() : i_processor("enhance") {}
  int process(arg_list& args) override;
};

class processor_set_dpi : public i_processor {
 public:
  processor_set_dpi() : i_processor("setdpi") {}
  int process(arg_list& args) override;
};
