#include "devprobe/probe.h"

namespace devprobe {

namespace {

constexpr std::string_view key_prefix = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\";
constexpr std::string_view key_suffix = "\\#GLOBAL\\Device Parameters";
constexpr std::string_view friendly_name_value = "FriendlyName";

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool contains_folded(std::string_view text, std::string_view token) {
  if (token.empty() || token.size() > text.size()) return false;
  for (std::size_t at = 0; at + token.size() <= text.size(); ++at) {
    std::size_t i = 0;
    while (i < token.size() && upper(text[at + i]) == upper(token[i])) ++i;
    if (i == token.size()) return true;
  }
  return false;
}

// The pieces a tokenizer gives when cutting at '{' and '}': runs of braces
// separate, empty pieces never appear. Only the first two are wanted.
std::vector<std::string_view> first_pieces(std::string_view text, std::size_t wanted) {
  std::vector<std::string_view> pieces;
  std::size_t at = 0;
  while (pieces.size() < wanted) {
    at = text.find_first_not_of("{}", at);
    if (at == std::string_view::npos) break;
    const std::size_t end = text.find_first_of("{}", at);
    const std::size_t len = (end == std::string_view::npos ? text.size() : end) - at;
    pieces.push_back(text.substr(at, len));
    at += len;
  }
  return pieces;
}

}  // namespace

model_table default_model_table() {
  // Placeholders in the suite's own range: a deployment names its cameras
  // through the models file (see models_file.h) without rebuilding.
  return model_table{{
      {"pid_DC01", "Document Camera DC-01"},
      {"pid_DC02", "Document Camera DC-02"},
      {"pid_DC03", "Document Camera DC-03"},
      {"pid_DC04", "Document Camera DC-04"},
      {"pid_DC05", "Document Camera DC-05"},
      {"pid_DC06", "Document Camera DC-06"},
      {"pid_DC07", "Document Camera DC-07"},
      {"pid_DC08", "Document Camera DC-08"},
      {"pid_DC09", "Document Camera DC-09"},
      {"pid_DC0A", "Document Camera DC-10"},
  }};
}

const model_row* find_model(const model_table& table, std::string_view device_path) {
  for (const model_row& row : table.rows)
    if (contains_folded(device_path, row.token)) return &row;
  return nullptr;
}

std::optional<std::string> convert_device_path(std::string_view reported) {
  // A path that does not fit is refused whole: a cut path could still carry a
  // token and name the wrong key.
  if (reported.size() + 1 > device_path_buffer) return std::nullopt;
  // The text ends at its first NUL, as the converted C string would.
  return std::string(reported.substr(0, reported.find('\0')));
}

key_status build_key_path(std::string_view device_path, std::string& key_path) {
  const std::vector<std::string_view> pieces = first_pieces(device_path, 2);
  if (pieces.empty() || pieces[0].find('\\') == std::string_view::npos) return key_status::no_backslash;
  if (pieces.size() < 2) return key_status::no_class;

  std::string instance(pieces[0]);
  for (char& c : instance)
    if (c == '\\') c = '#';
  std::string class_part;
  class_part.reserve(pieces[1].size() + 2);
  class_part.append("{").append(pieces[1]).append("}");
  if (instance.size() >= key_piece_buffer || class_part.size() >= key_piece_buffer)
    return key_status::piece_too_long;

  std::string key;
  key.reserve(key_prefix.size() + 2 * class_part.size() + instance.size() + 1 + key_suffix.size());
  key.append(key_prefix).append(class_part).append("\\").append(instance).append(class_part).append(key_suffix);
  if (key.size() >= key_path_buffer) return key_status::key_too_long;
  key_path = std::move(key);
  return key_status::ok;
}

name_status write_friendly_name(i_probe_platform& platform, std::string_view device_path,
                                std::string_view display_name) {
  std::string key_path;
  switch (build_key_path(device_path, key_path)) {
    case key_status::ok:
      break;
    case key_status::no_backslash:
      return name_status::bad_path;
    case key_status::no_class:
    case key_status::piece_too_long:
    case key_status::key_too_long:
      return name_status::skipped;
  }
  switch (platform.set_string_value(key_path, std::string(friendly_name_value), std::string(display_name))) {
    case write_status::written:
      return name_status::written;
    case write_status::key_not_opened:
      return name_status::skipped;
    case write_status::write_failed:
      break;
  }
  return name_status::write_failed;
}

int run_probe(i_probe_platform& platform, const model_table& table) {
  const int major = platform.system_major_version();
  if (!platform.create_device_enumerator()) {
    platform.wait_for_character();
    return exit_no_enumerator;
  }
  std::vector<device_entry> devices;
  if (!platform.enumerate_video_inputs(devices) || devices.empty()) {
    platform.wait_for_character();
    return exit_no_devices;
  }
  bool matched = false;
  for (const device_entry& device : devices) {
    if (!device.device_path) continue;
    const std::optional<std::string> path = convert_device_path(*device.device_path);
    if (!path) continue;
    const model_row* row = find_model(table, *path);
    if (!row) continue;
    if (write_friendly_name(platform, *path, row->display_name) == name_status::bad_path) return exit_bad_path;
    matched = true;  // also when the key could not be written
  }
  if (matched) return exit_ok;
  return major >= 6 ? exit_none_known : exit_ok;
}

}  // namespace devprobe
