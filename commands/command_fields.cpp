#include "commands/command_fields.h"

#include <cctype>
#include <limits>

std::int32_t leading_int(const std::string& field) {
  std::size_t at = 0;
  while (at < field.size() && std::isspace(static_cast<unsigned char>(field[at]))) ++at;
  bool negative = false;
  if (at < field.size() && (field[at] == '+' || field[at] == '-')) negative = field[at++] == '-';
  std::int64_t magnitude = 0;
  constexpr std::int64_t beyond = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  for (; at < field.size() && field[at] >= '0' && field[at] <= '9'; ++at) {
    if (magnitude <= beyond) magnitude = magnitude * 10 + (field[at] - '0');
  }
  if (negative) magnitude = -magnitude;
  if (magnitude > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (magnitude < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(magnitude);
}

namespace {

bool continuation_byte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

std::string recognize_base_path(const std::string& image_path) {
  const auto slash = image_path.rfind('/');
  const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
  std::size_t cut = image_path.size();
  for (int chars = 0; chars < 4 && cut > name_start; ++chars) {
    --cut;
    while (cut > name_start && continuation_byte(image_path[cut])) --cut;
  }
  // Nothing would be left of the file name: keep the path whole.
  if (cut <= name_start) return image_path;
  return image_path.substr(0, cut);
}

std::string cut_utf8(const std::string& text, std::size_t max_bytes) {
  if (text.size() <= max_bytes) return text;
  std::size_t cut = max_bytes;
  while (cut > 0 && continuation_byte(text[cut])) --cut;
  return text.substr(0, cut);
}

std::string progress_line(std::size_t index, std::size_t count, const std::string& file_name, std::uint32_t ms) {
  const std::string head = std::to_string(index) + "/" + std::to_string(count) + "[";
  // The milliseconds are printed as a signed 32-bit number.
  const std::string tail = "] timecost=" + std::to_string(static_cast<std::int32_t>(ms)) + "ms";
  const std::size_t room = head.size() + tail.size() < reply_line_limit ? reply_line_limit - head.size() - tail.size() : 0;
  return head + cut_utf8(file_name, room) + tail;
}
