// The six command processors of the full build of markd.
#pragma once

#include "host/protocol.h"

class processor_readtemplate : public i_processor {
 public:
  processor_readtemplate() : i_processor("readtemplate") {}
  int process(arg_list& args) override;
};

class processor_recognize : public i_processor {
 public:
  processor_recognize() : i_processor("recognize") {}
  int process(arg_list& args) override;
};

class processor_match : public i_processor {
 public:
  processor_match() : i_processor("match") {}
  int process(arg_list& args) override;
};

class processor_locate : public i_processor {
 public:
  processor_locate() : i_processor("locate") {}
  int process(arg_list& args) override;
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
