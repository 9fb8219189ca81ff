// What the command host and the command processors share: the fields of one
// command line, the processor interface and the reply convention.
//
// Built as its own small library (markd_protocol) that depends on nothing
// else, so the processors of commands/ can implement i_processor without
// reaching up into the host.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The fields of one command line: field 0 is the command word as typed; fields
// are neither trimmed nor case-folded, and empty fields are kept.
using arg_list = std::vector<std::string>;

// Base of every command processor of markd.
class i_processor {
 public:
  explicit i_processor(std::string processor_name) : name(std::move(processor_name)) {}
  virtual ~i_processor() = default;
  i_processor(const i_processor&) = delete;
  i_processor& operator=(const i_processor&) = delete;

  // 1 when the command was handled; 0 when its field count was wrong (and
  // nothing was written). The host ignores the value.
  virtual int process(arg_list& args) = 0;

  const std::string name;  // lower-case command word
};

// Splits at every occurrence of sep: "a;;b;" gives "a", "", "b", "".
// An empty text gives no field; an empty separator gives the whole text.
arg_list split_fields(std::string_view text, std::string_view sep);

// One reply line on standard output, followed by a line feed and flushed at
// once so the parent sees it. Every reply and progress line goes through here.
void write_reply(std::string_view text);

// Formats a reply the way the fixed replies are built: printf-style into a
// zero-filled buffer of `buffer_size` bytes, so at most buffer_size - 1
// characters; longer text is cut, never overflows.
std::string format_reply(std::size_t buffer_size, const char* format, ...) __attribute__((format(printf, 2, 3)));
