#include "host/protocol.h"

#include <cstdarg>
#include <cstdio>

arg_list split_fields(std::string_view text, std::string_view sep) {
  arg_list fields;
  if (text.empty()) return fields;
  if (sep.empty()) {
    fields.emplace_back(text);
    return fields;
  }
  for (;;) {
    const auto at = text.find(sep);
    if (at == std::string_view::npos) {
      fields.emplace_back(text);
      return fields;
    }
    fields.emplace_back(text.substr(0, at));
    text.remove_prefix(at + sep.size());
  }
}

void write_reply(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::string format_reply(std::size_t buffer_size, const char* format, ...) {
  if (buffer_size == 0) return {};
  std::string buffer(buffer_size, '\0');
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer.data(), buffer_size, format, args);
  va_end(args);
  buffer.resize(std::char_traits<char>::length(buffer.c_str()));
  return buffer;
}
