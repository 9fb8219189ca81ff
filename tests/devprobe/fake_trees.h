// Fake sysfs and registry trees for the devprobe tests, laid out as the
// kernel and the folder-tree registry lay them out.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace devprobe_test {

inline const std::string capture_guid = "{65e8773d-8f56-11d0-a3b9-00a0c9223196}";

struct usb_node {
  unsigned node = 0;          // videoN
  std::string port = "1-2";   // USB device folder name
  std::string vid = "abcd";   // idVendor as sysfs prints it
  std::string pid = "dc01";   // idProduct
  std::string iface = "00";   // bInterfaceNumber
  std::optional<std::string> serial = std::nullopt;
  std::optional<std::string> index = "0";  // none: no index attribute
};

// <sysfs>/devices/.../usb1/<port>/<port>:1.<iface>/video4linux/videoN and the
// class link <sysfs>/class/video4linux/videoN pointing at it.
void add_usb_node(const std::string& sysfs, const usb_node& node);
// A node whose "device" link points at a folder that is no USB interface.
void add_platform_node(const std::string& sysfs, unsigned node);
// A node with no "device" link at all (a virtual device).
void add_virtual_node(const std::string& sysfs, unsigned node);
// Creates the video4linux class folder (empty).
void add_class_folder(const std::string& sysfs);

// Folder of a registry key below the root ('\' separates keys).
std::string key_folder(const std::string& registry, const std::string& key_path);
void make_key(const std::string& registry, const std::string& key_path);

// The key path of a USB camera path "\\?\usb#vid_..&pid_..&mi_..#INSTANCE#{guid}\global".
std::string camera_key(const std::string& vid, const std::string& pid, const std::string& mi,
                       const std::string& instance);

// Every regular file below root, relative paths, sorted.
std::vector<std::string> files_below(const std::string& root);

}  // namespace devprobe_test
