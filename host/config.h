// The configuration object of markd: "config.txt" beside the executable, one
// setting ("output_type" in section "output"), read at start-up and written
// back at shut-down. Built as its own library (markd_settings) so the
// recognize pipeline can read the setting without reaching up into the host.
#pragma once

#include <string>

#include "host/ini_file.h"

namespace template_parser::config {

// The settings object: an ini_file whose reset puts back the default row.
class log : public kv_share::ini_file {
 public:
  log();
  ~log() override = default;
  void reset() override;
};

struct setting_name {
  std::string section;
  std::string key;
};

}  // namespace template_parser::config

// Row 0: "output" / "output_type".
const template_parser::config::setting_name& setting_names(int id);

// The single configuration object, null before start_config and after shut-down.
template_parser::config::log* global_log();

// Creates the object, loads `path`, writes it straight back (so a missing file
// is created holding the default). Returns 1.
int start_config(const std::string& path);
// Writes the object back, destroys it (which writes once more) and clears it.
void stop_config();

// The value of setting 0, empty without an object or entry.
std::string setting_text();
// setting_text read as a decimal integer the way the C library does it:
// blanks, optional sign, digits up to the first non-digit; no digits give 0.
int read_output_type();
