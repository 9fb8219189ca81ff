// devprobe's platform-free core: the model table, matching a device path
// against it, building the interface key of a device path, writing the
// "FriendlyName" value, and the main sequence that ties them together over a
// small platform interface (device walk, registry, system version).
//
// Byte limits are those of the original buffers, kept as limits, never as
// places to overflow: a device path holds at most 2047 bytes, each key piece at
// most 255, the key path at most 511. Anything longer is rejected (nothing is
// cut, nothing written); see the statuses below.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace devprobe {

inline constexpr std::size_t device_path_buffer = 2048;  // bytes, terminator included
inline constexpr std::size_t key_piece_buffer = 256;
inline constexpr std::size_t key_path_buffer = 512;
inline constexpr std::size_t max_model_rows = 10;

// Exit codes of the program.
inline constexpr int exit_ok = 0;
inline constexpr int exit_no_enumerator = -1;
inline constexpr int exit_no_devices = -2;
inline constexpr int exit_none_known = -3;
inline constexpr int exit_bad_path = -8;

struct model_row {
  std::string token;         // "pid_" and four capital hexadecimal digits
  std::string display_name;  // short printable ASCII
};

// At most max_model_rows rows; their order is the order of matching.
struct model_table {
  std::vector<model_row> rows;
};

// The ten rows shipped with the program (see the README).
model_table default_model_table();

// The first row whose token occurs anywhere in the path, ASCII case folded;
// none when no row's token occurs.
const model_row* find_model(const model_table& table, std::string_view device_path);

// The device path as the walk reported it, checked against its buffer: none
// when it does not fit in device_path_buffer bytes with its terminator.
std::optional<std::string> convert_device_path(std::string_view reported);

enum class key_status {
  ok,
  no_backslash,    // the instance part holds no backslash: the program ends with -8
  no_class,        // the path has no second piece, so no key can be named
  piece_too_long,  // instance part or braced class part above 255 bytes
  key_too_long,    // whole key path above 511 bytes
};

// Cuts the path at '{' and '}' (runs of braces separate pieces, empty pieces
// are skipped), turns the instance part's backslashes into '#', puts the class
// identifier back between braces and joins the six elements of the key path.
// key_path is set only when the status is ok.
key_status build_key_path(std::string_view device_path, std::string& key_path);

enum class write_status {
  written,
  key_not_opened,  // missing key or no right to write: skipped, not an error
  write_failed,    // key opened, value could not be stored
};

// The registry and the device walk as devprobe needs them.
struct device_entry {
  std::optional<std::string> device_path;  // none: the path could not be read
};

class i_probe_platform {
 public:
  virtual ~i_probe_platform() = default;
  // Major version of the running system.
  virtual int system_major_version() = 0;
  // The object that enumerates device categories; false when it cannot be made.
  virtual bool create_device_enumerator() = 0;
  // The video-input category: false when it cannot be enumerated or is empty.
  virtual bool enumerate_video_inputs(std::vector<device_entry>& devices) = 0;
  // Opens key_path (relative to the machine root) for writing, sets a string
  // value (the text and its terminating NUL) and closes the key.
  virtual write_status set_string_value(const std::string& key_path, const std::string& value_name,
                                        const std::string& text) = 0;
  // Reads one character of standard input (the early failure paths wait on it).
  virtual void wait_for_character() = 0;
};

enum class name_status {
  written,
  skipped,       // key missing, not writable, unnamed or too long: nothing written
  write_failed,  // the key opened but the value could not be stored
  bad_path,      // no backslash before the first brace: the caller ends with -8
};

// Writes display_name as "FriendlyName" of the device's interface key.
name_status write_friendly_name(i_probe_platform& platform, std::string_view device_path,
                                std::string_view display_name);

// The main sequence; returns the exit code.
int run_probe(i_probe_platform& platform, const model_table& table);

}  // namespace devprobe
