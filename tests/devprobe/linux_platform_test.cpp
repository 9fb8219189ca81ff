// The Linux side: the sysfs walk, the folder-tree registry, the version text.
#include "devprobe/linux_platform.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/devprobe/fake_trees.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace devprobe;
using namespace devprobe_test;
using test_support::read_file;
using test_support::temp_dir;
namespace fs = std::filesystem;

std::vector<std::string> paths_of(const std::vector<device_entry>& devices) {
  std::vector<std::string> paths;
  for (const device_entry& d : devices) paths.push_back(d.device_path.value_or("<unreadable>"));
  return paths;
}

std::string usb(const std::string& ids, const std::string& instance) {
  return "\\\\?\\usb#" + ids + "#" + instance + "#" + capture_guid + "\\global";
}

TEST(devprobe_list_capture_devices, one_path_per_capture_node_in_node_order) {
  temp_dir dir;
  const std::string sysfs = dir.path();
  add_usb_node(sysfs, {.node = 10, .port = "3-1", .pid = "DC02", .serial = "SN-77"});
  add_usb_node(sysfs, {.node = 11, .port = "3-1", .pid = "DC02", .serial = "SN-77", .index = "1"});  // metadata
  add_usb_node(sysfs, {.node = 2, .port = "1-2.4", .vid = "5a", .pid = "1", .iface = "2"});
  add_virtual_node(sysfs, 0);
  add_platform_node(sysfs, 3);
  add_usb_node(sysfs, {.node = 4, .port = "1-3", .index = std::nullopt});  // no index: capture node
  fs::create_directories(sysfs + "/class/video4linux/radio0");
  fs::create_directories(sysfs + "/class/video4linux/v4l-subdev0");
  fs::create_directory_symlink("../../devices/gone/video7", sysfs + "/class/video4linux/video7");  // dangling

  std::vector<device_entry> devices;
  ASSERT_TRUE(list_capture_devices(sysfs, devices));
  EXPECT_EQ(paths_of(devices),
            (std::vector<std::string>{
                "\\\\?\\root#video4linux#video0#" + capture_guid + "\\global",
                usb("vid_005a&pid_0001&mi_02", "1-2.4"),
                "\\\\?\\root#video4linux#video3#" + capture_guid + "\\global",
                usb("vid_abcd&pid_dc01&mi_00", "1-3"),
                usb("vid_abcd&pid_dc02&mi_00", "sn-77"),
            }));
}

TEST(devprobe_list_capture_devices, odd_usb_entries_are_listed_without_a_path) {
  struct row {
    const char* what;
    usb_node node;
    std::string expected;
  };
  const row rows[] = {
      {"missing idProduct", {.pid = ""}, "<unreadable>"},
      {"missing idVendor", {.vid = ""}, "<unreadable>"},
      {"idVendor not hexadecimal", {.vid = "zz12"}, "<unreadable>"},
      {"idProduct too long", {.pid = "12345"}, "<unreadable>"},
      {"port name unusable and no serial", {.port = "bad port"}, "<unreadable>"},
      {"serial with a brace: port instead", {.serial = "ab{cd"}, usb("vid_abcd&pid_dc01&mi_00", "1-2")},
      {"serial with slashes: port instead", {.serial = "../../etc"}, usb("vid_abcd&pid_dc01&mi_00", "1-2")},
      {"serial with a product token: port instead", {.serial = "XPID_DC02"}, usb("vid_abcd&pid_dc01&mi_00", "1-2")},
      {"serial with a space: port instead", {.serial = "A B"}, usb("vid_abcd&pid_dc01&mi_00", "1-2")},
      {"empty serial: port instead", {.serial = ""}, usb("vid_abcd&pid_dc01&mi_00", "1-2")},
  };
  for (const row& r : rows) {
    temp_dir dir;
    add_usb_node(dir.path(), r.node);
    std::vector<device_entry> devices;
    ASSERT_TRUE(list_capture_devices(dir.path(), devices)) << r.what;
    EXPECT_EQ(paths_of(devices), std::vector<std::string>{r.expected}) << r.what;
  }

  temp_dir dangling;  // the node exists, its device link does not lead anywhere
  add_usb_node(dangling.path(), {});
  const std::string link = dangling.path() + "/class/video4linux/video0/device";
  fs::remove(link);
  fs::create_directory_symlink("../../nowhere", link);
  std::vector<device_entry> devices;
  ASSERT_TRUE(list_capture_devices(dangling.path(), devices));
  EXPECT_EQ(paths_of(devices), std::vector<std::string>{"<unreadable>"});
}

TEST(devprobe_list_capture_devices, no_class_folder_is_no_category) {
  temp_dir dir;
  std::vector<device_entry> devices{{"stale"}};
  EXPECT_FALSE(list_capture_devices(dir.path(), devices));
  EXPECT_TRUE(devices.empty());
  add_class_folder(dir.path());
  EXPECT_TRUE(list_capture_devices(dir.path(), devices));
  EXPECT_TRUE(devices.empty());
}

TEST(devprobe_list_capture_devices, keeps_the_lowest_numbered_nodes_of_a_crowded_folder) {
  temp_dir dir;
  const std::size_t count = 2 * max_video_nodes + 50;
  for (std::size_t i = count; i-- > 0;) fs::create_directories(dir.path() + "/class/video4linux/video" + std::to_string(i));
  std::vector<device_entry> devices;
  ASSERT_TRUE(list_capture_devices(dir.path(), devices));
  ASSERT_EQ(devices.size(), max_video_nodes);
  EXPECT_EQ(devices.front().device_path, "\\\\?\\root#video4linux#video0#" + capture_guid + "\\global");
  EXPECT_EQ(devices.back().device_path,
            "\\\\?\\root#video4linux#video" + std::to_string(max_video_nodes - 1) + "#" + capture_guid + "\\global");
}

const std::string key = "SYSTEM\\Control\\{g}\\##?#usb#x{g}\\#GLOBAL\\Device Parameters";

TEST(devprobe_set_registry_string, writes_the_text_and_its_nul_into_the_key_folder) {
  temp_dir dir;
  make_key(dir.path(), key);
  ASSERT_EQ(set_registry_string(dir.path(), key, "FriendlyName", "Desk Cam"), write_status::written);
  EXPECT_EQ(read_file(key_folder(dir.path(), key) + "/FriendlyName"), std::string("Desk Cam\0", 9));
  ASSERT_EQ(set_registry_string(dir.path(), key, "FriendlyName", "New"), write_status::written);
  EXPECT_EQ(read_file(key_folder(dir.path(), key) + "/FriendlyName"), std::string("New\0", 4));
  EXPECT_EQ(files_below(dir.path()).size(), 1u);  // no temporary file left behind
}

TEST(devprobe_set_registry_string, finds_key_and_value_names_whatever_their_case) {
  temp_dir dir;
  make_key(dir.path(), "system\\CONTROL\\{G}\\##?#USB#X{G}\\#global\\device parameters");
  const std::string folder = key_folder(dir.path(), "system\\CONTROL\\{G}\\##?#USB#X{G}\\#global\\device parameters");
  ASSERT_TRUE(test_support::write_file(folder + "/friendlyname", "old"));
  ASSERT_EQ(set_registry_string(dir.path(), key, "FriendlyName", "Cam"), write_status::written);
  EXPECT_EQ(read_file(folder + "/friendlyname"), std::string("Cam\0", 4));
  EXPECT_EQ(files_below(dir.path()).size(), 1u);
}

TEST(devprobe_set_registry_string, cannot_open_what_is_missing_unsafe_or_read_only) {
  struct row {
    const char* what;
    std::string key_path;
  };
  const row rows[] = {
      {"missing key", "SYSTEM\\Nowhere"},
      {"step up", "SYSTEM\\..\\..\\outside"},
      {"current folder", "SYSTEM\\.\\Control"},
      {"empty segment", "SYSTEM\\\\Control"},
      {"slash inside a name", "SYSTEM/Control"},
      {"empty key path", ""},
      {"name above the folder-name limit", "SYSTEM\\" + std::string(300, 'n')},
  };
  temp_dir dir;
  const std::string registry = dir.file("registry");
  make_key(registry, "SYSTEM\\Control");
  fs::create_directories(dir.file("outside"));
  for (const row& r : rows)
    EXPECT_EQ(set_registry_string(registry, r.key_path, "FriendlyName", "x"), write_status::key_not_opened) << r.what;
  EXPECT_EQ(set_registry_string(dir.file("no-registry"), "SYSTEM", "FriendlyName", "x"),
            write_status::key_not_opened);

  // A key folder reached through a symbolic link may lie outside the root.
  fs::create_directory_symlink(dir.file("outside"), registry + "/SYSTEM/Linked");
  EXPECT_EQ(set_registry_string(registry, "SYSTEM\\Linked", "FriendlyName", "x"), write_status::key_not_opened);

  // Read-only key folder: its bits hold even for root.
  ASSERT_EQ(chmod((registry + "/SYSTEM/Control").c_str(), 0555), 0);
  EXPECT_EQ(set_registry_string(registry, "SYSTEM\\Control", "FriendlyName", "x"), write_status::key_not_opened);
  EXPECT_TRUE(files_below(dir.path()).empty());
}

TEST(devprobe_set_registry_string, a_folder_in_the_value_place_is_a_failed_write) {
  temp_dir dir;
  make_key(dir.path(), "K\\FriendlyName");
  EXPECT_EQ(set_registry_string(dir.path(), "K", "FriendlyName", "x"), write_status::write_failed);
  EXPECT_TRUE(files_below(dir.path()).empty());
}

TEST(devprobe_parse_major_version, takes_the_major_number_or_a_modern_system) {
  struct row {
    const char* text;
    int major;
  };
  const row rows[] = {{nullptr, modern_major_version}, {"", modern_major_version}, {"5", 5}, {"5.1", 5},
                      {"6.0.6002", 6},                 {"10", 10},                 {"0", 0}, {"x5", modern_major_version},
                      {"5x", modern_major_version},    {"-5", modern_major_version}, {"123456", modern_major_version}};
  for (const row& r : rows) EXPECT_EQ(parse_major_version(r.text), r.major) << (r.text ? r.text : "(unset)");
}

}  // namespace
