#include "devprobe/models_file.h"

#include "devprobe/bounded_read.h"


namespace devprobe {

namespace {

std::string_view trim_blanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

bool is_hex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

bool parse_model_line(std::string_view line, model_row& row) {
  const std::string_view text = trim_blanks(line);
  if (text.empty() || text.front() == '#' || line.size() > max_models_line) return false;
  const std::size_t eq = text.find('=');
  if (eq == std::string_view::npos) return false;

  const std::string_view token = trim_blanks(text.substr(0, eq));
  if (token.size() != 8) return false;
  for (std::size_t i = 0; i < 4; ++i)
    if (upper(token[i]) != "PID_"[i]) return false;
  std::string stored = "pid_";
  for (std::size_t i = 4; i < 8; ++i) {
    if (!is_hex(token[i])) return false;
    stored.push_back(upper(token[i]));
  }

  const std::string_view name = trim_blanks(text.substr(eq + 1));
  if (name.empty() || name.size() > max_display_name) return false;
  for (char c : name)
    if (c < 0x20 || c > 0x7e) return false;

  row.token = std::move(stored);
  row.display_name = std::string(name);
  return true;
}

model_table parse_models_text(std::string_view text) {
  model_table table;
  std::size_t at = 0;
  while (at < text.size() && table.rows.size() < max_model_rows) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    model_row row;
    if (!parse_model_line(line, row)) continue;
    bool repeated = false;
    for (const model_row& earlier : table.rows) repeated = repeated || earlier.token == row.token;
    if (!repeated) table.rows.push_back(std::move(row));
  }
  return table;
}

std::optional<model_table> load_models_file(const std::string& path) {
  const std::optional<std::string> text = read_regular_file_prefix(path, max_models_file);
  if (!text) return std::nullopt;
  return parse_models_text(*text);
}

std::vector<std::string> models_file_locations(const char* env_value, const std::string& exe_dir) {
  std::vector<std::string> locations;
  if (env_value && *env_value) locations.emplace_back(env_value);
  if (!exe_dir.empty()) locations.push_back(exe_dir + "/models.txt");
  locations.emplace_back("/etc/devprobe/models.txt");
  return locations;
}

model_table choose_model_table(const std::vector<std::string>& locations) {
  for (const std::string& path : locations) {
    std::optional<model_table> table = load_models_file(path);
    if (!table) continue;
    if (table->rows.empty()) break;
    return std::move(*table);
  }
  return default_model_table();
}

}  // namespace devprobe
