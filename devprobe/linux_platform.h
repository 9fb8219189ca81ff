// The Linux side of devprobe: capture devices from sysfs, the registry as a
// folder tree, and the system version.
//
// Devices: every entry "videoN" of <sysfs>/class/video4linux that is its
// device's capture node (attribute "index" absent or 0; the other nodes of a
// camera carry metadata) and not a dangling link, in node-number order. A USB
// node gets the path a capture application on the other platform sees:
//   \\?\usb#vid_vvvv&pid_pppp&mi_ii#INSTANCE#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global
// (lower case; INSTANCE is the device's serial number when it has a usable
// one, else its USB port name such as "1-2.3"). Any other node gets
//   \\?\root#video4linux#videoN#{...}\global
// which never carries a product id. A USB node whose ids cannot be read, or
// whose "device" link dangles, is listed without a path and so skipped.
//
// Registry: a key is a folder under the registry root, its path split at '\';
// a value is a file named after the value holding the data bytes. Names are
// found case-insensitively (ASCII), as registry names are. Opening for writing
// fails when a folder is missing, is reached only through a symbolic link, has
// a name that cannot be a single folder name, or when the key folder's
// permission bits do not grant writing to the caller; the bits count for root
// too, as a key's rights count for an administrator.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "devprobe/probe.h"

namespace devprobe {

inline constexpr std::string_view capture_class_guid = "{65e8773d-8f56-11d0-a3b9-00a0c9223196}";
inline constexpr int modern_major_version = 10;
inline constexpr std::size_t max_video_nodes = 1024;  // far above what the kernel numbers
inline constexpr std::size_t max_attribute_bytes = 4096;  // one sysfs page

inline constexpr const char* default_sysfs_root = "/sys";
inline constexpr const char* default_registry_root = "/var/lib/devprobe/registry";

// The capture devices under sysfs_root; false when there is no video4linux class folder.
bool list_capture_devices(const std::string& sysfs_root, std::vector<device_entry>& devices);

// Opens key_path below registry_root for writing and stores value_name as the
// text and its terminating NUL, replacing the file in one step.
write_status set_registry_string(const std::string& registry_root, const std::string& key_path,
                                 const std::string& value_name, const std::string& text);

// Major version from the DEVPROBE_SYSTEM_VERSION text ("5", "6.1", ...);
// a modern system when unset or not a number.
int parse_major_version(const char* env_value);

// Folder of the running executable, "" when unknown.
std::string executable_dir();

class linux_probe_platform : public i_probe_platform {
 public:
  linux_probe_platform(std::string sysfs_root, std::string registry_root, int major_version);
  ~linux_probe_platform() override = default;

  int system_major_version() override { return major_version_; }
  bool create_device_enumerator() override { return true; }
  bool enumerate_video_inputs(std::vector<device_entry>& devices) override;
  write_status set_string_value(const std::string& key_path, const std::string& value_name,
                                const std::string& text) override;
  void wait_for_character() override;

 private:
  std::string sysfs_root_;
  std::string registry_root_;
  int major_version_;
};

}  // namespace devprobe
