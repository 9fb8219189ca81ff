#include "tests/devprobe/fake_trees.h"

#include <algorithm>
#include <filesystem>

#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace devprobe_test {

namespace {

void write_attribute(const fs::path& path, const std::string& text) {
  test_support::write_file(path.string(), text + "\n");
}

fs::path node_class_link(const std::string& sysfs, unsigned node) {
  fs::create_directories(fs::path(sysfs) / "class/video4linux");
  return fs::path(sysfs) / "class/video4linux" / ("video" + std::to_string(node));
}

}  // namespace

void add_class_folder(const std::string& sysfs) { fs::create_directories(fs::path(sysfs) / "class/video4linux"); }

void add_usb_node(const std::string& sysfs, const usb_node& n) {
  const std::string name = "video" + std::to_string(n.node);
  const std::string iface_name = n.port + ":1." + std::to_string(std::stoi(n.iface, nullptr, 16));
  const fs::path usb_rel = fs::path("devices/pci0000:00/0000:00:14.0/usb1") / n.port;
  const fs::path usb = fs::path(sysfs) / usb_rel;
  const fs::path iface = usb / iface_name;
  const fs::path node = iface / "video4linux" / name;
  fs::create_directories(node);
  if (!n.vid.empty()) write_attribute(usb / "idVendor", n.vid);
  if (!n.pid.empty()) write_attribute(usb / "idProduct", n.pid);
  if (n.serial) write_attribute(usb / "serial", *n.serial);
  write_attribute(iface / "bInterfaceNumber", n.iface);
  write_attribute(iface / "bInterfaceClass", "0e");
  if (n.index) write_attribute(node / "index", *n.index);
  write_attribute(node / "name", "Camera");
  fs::create_directory_symlink("../..", node / "device");
  fs::create_directory_symlink(fs::path("../..") / usb_rel / iface_name / "video4linux" / name,
                               node_class_link(sysfs, n.node));
}

void add_platform_node(const std::string& sysfs, unsigned node) {
  const std::string name = "video" + std::to_string(node);
  const fs::path dev_rel = fs::path("devices/platform/capture.") += std::to_string(node);
  const fs::path dir = fs::path(sysfs) / dev_rel / "video4linux" / name;
  fs::create_directories(dir);
  write_attribute(fs::path(sysfs) / dev_rel / "modalias", "platform:capture");
  write_attribute(dir / "index", "0");
  fs::create_directory_symlink("../..", dir / "device");
  fs::create_directory_symlink(fs::path("../..") / dev_rel / "video4linux" / name, node_class_link(sysfs, node));
}

void add_virtual_node(const std::string& sysfs, unsigned node) {
  const std::string name = "video" + std::to_string(node);
  const fs::path dir = fs::path(sysfs) / "devices/virtual/video4linux" / name;
  fs::create_directories(dir);
  write_attribute(dir / "index", "0");
  fs::create_directory_symlink(fs::path("../../devices/virtual/video4linux") / name, node_class_link(sysfs, node));
}

std::string key_folder(const std::string& registry, const std::string& key_path) {
  std::string folder = registry;
  for (char c : key_path) folder.push_back(c == '\\' ? '/' : c);
  if (!key_path.empty()) folder.insert(registry.size(), "/");
  return folder;
}

void make_key(const std::string& registry, const std::string& key_path) {
  fs::create_directories(key_folder(registry, key_path));
}

std::string camera_key(const std::string& vid, const std::string& pid, const std::string& mi,
                       const std::string& instance) {
  return "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\" + capture_guid + "\\##?#usb#vid_" + vid + "&pid_" +
         pid + "&mi_" + mi + "#" + instance + "#" + capture_guid + "\\#GLOBAL\\Device Parameters";
}

std::vector<std::string> files_below(const std::string& root) {
  std::vector<std::string> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_regular_file(ec)) files.push_back(fs::relative(it->path(), root, ec).string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace devprobe_test
