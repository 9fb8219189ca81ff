// The models file: lets a deployment name its own cameras without rebuilding.
//
// Plain text, one row per line in matching order:   pid_XXXX=Display Name
//  - "pid_" (any case) and exactly four hexadecimal digits; stored in capitals;
//  - the display name: 1..127 printable ASCII characters, blanks around it trimmed;
//  - empty lines and lines starting with '#' are comments.
// Bad lines (no '=', a malformed token, an empty, over-long or non-ASCII name,
// a line above 1023 bytes) and repeats of an earlier token are skipped; rows
// after the tenth are ignored; only the first 64 KiB of the file are read.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "devprobe/probe.h"

namespace devprobe {

inline constexpr std::size_t max_display_name = 127;
inline constexpr std::size_t max_models_line = 1023;
inline constexpr std::size_t max_models_file = 64 * 1024;

// One row from one line (CR/LF already removed); false for a bad or comment line.
bool parse_model_line(std::string_view line, model_row& row);

// The valid rows of a whole file text, at most max_model_rows.
model_table parse_models_text(std::string_view text);

// The file's rows; none when it is not a readable regular file.
std::optional<model_table> load_models_file(const std::string& path);

// Where the models file is looked for, in order: the path in DEVPROBE_MODELS
// (when set and not empty), "models.txt" beside the executable, then
// "/etc/devprobe/models.txt".
std::vector<std::string> models_file_locations(const char* env_value, const std::string& exe_dir);

// The rows of the first location that holds a readable file; the shipped
// defaults when none does, or when that file holds no valid row.
model_table choose_model_table(const std::vector<std::string>& locations);

}  // namespace devprobe
