// The real program over pipes, on fake sysfs and registry trees.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/devprobe/fake_trees.h"
#include "tests/support/pipe_driver.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace devprobe_test;
using test_support::child_options;
using test_support::child_process;
using test_support::program_path;
using test_support::read_file;
using test_support::temp_dir;
using test_support::write_file;
namespace fs = std::filesystem;

// Exit statuses as the parent reads them back.
constexpr int status_ok = 0;
constexpr int status_no_devices = 254;  // -2
constexpr int status_none_known = 253;  // -3
constexpr int status_bad_path = 248;    // -8

const std::string models_text =
    "# test cameras\n"
    "pid_DC01=Desk Camera One\n"
    "pid_dc0a=Desk Camera Ten\n"
    "pid_00FF=Visualiser 255\n";

// One scratch world: sysfs, registry and models file, and a run of the program in it.
struct world {
  temp_dir dir;
  std::string sysfs = dir.file("sys");
  std::string registry = dir.file("registry");
  std::string models = dir.file("models.txt");
  std::string version;  // "" leaves DEVPROBE_SYSTEM_VERSION unset

  world() {
    fs::create_directories(sysfs);
    fs::create_directories(registry);
    write_file(models, models_text);
  }

  child_options options() const {
    child_options o;
    o.env = {{"DEVPROBE_SYSFS", sysfs},
             {"DEVPROBE_REGISTRY", registry},
             {"DEVPROBE_MODELS", models},
             {"DEVPROBE_SYSTEM_VERSION", version}};
    return o;
  }

  // Runs to the end without writing to standard input; checks that nothing is printed.
  int run() const {
    child_process child;
    EXPECT_TRUE(child.start(program_path("devprobe"), options()));
    const std::optional<int> status = child.wait_exit(10000);
    EXPECT_TRUE(status.has_value()) << "devprobe did not end by itself";
    EXPECT_EQ(child.read_quiet(50), "");
    return status.value_or(-1);
  }

  // Every file the run may have made: all below the scratch folder but the inputs.
  std::vector<std::string> written() const {
    std::vector<std::string> files;
    for (const std::string& f : files_below(dir.path()))
      if (f.rfind("sys/", 0) != 0 && f != "models.txt") files.push_back(f);
    return files;
  }

  std::string name_of(const std::string& key_path) const {
    return read_file(key_folder(registry, key_path) + "/FriendlyName");
  }
};

std::string value(const std::string& name) { return name + std::string(1, '\0'); }

TEST(devprobe_program, no_capture_device_waits_for_one_character_then_gives_minus_2) {
  struct row {
    const char* what;
    void (*build)(const std::string& sysfs);
  };
  const row rows[] = {
      {"no video4linux class", [](const std::string&) {}},
      {"empty class", [](const std::string& s) { add_class_folder(s); }},
      {"only other node kinds",
       [](const std::string& s) {
         fs::create_directories(s + "/class/video4linux/radio0");
         fs::create_directories(s + "/class/video4linux/v4l-subdev1");
         fs::create_directories(s + "/class/video4linux/videoX");
       }},
      {"only a metadata node", [](const std::string& s) { add_usb_node(s, {.node = 1, .index = "1"}); }},
      {"only a dangling class link",
       [](const std::string& s) {
         add_class_folder(s);
         fs::create_directory_symlink("../../devices/gone", s + "/class/video4linux/video0");
       }},
  };
  for (const row& r : rows) {
    world w;
    r.build(w.sysfs);
    make_key(w.registry, camera_key("abcd", "dc01", "00", "1-2"));
    child_process child;
    ASSERT_TRUE(child.start(program_path("devprobe"), w.options()));
    EXPECT_EQ(child.wait_exit(300), std::nullopt) << r.what << ": ended before reading a character";
    ASSERT_TRUE(child.write("xy"));
    EXPECT_EQ(child.wait_exit(5000), status_no_devices) << r.what;
    EXPECT_EQ(child.read_quiet(50), "") << r.what;
    EXPECT_TRUE(files_below(w.registry).empty()) << r.what;
  }

  world closed;  // end of input counts as the read
  child_process child;
  ASSERT_TRUE(child.start(program_path("devprobe"), closed.options()));
  child.close_stdin();
  EXPECT_EQ(child.wait_exit(5000), status_no_devices);
}

TEST(devprobe_program, devices_but_none_known_give_minus_3_or_0_on_an_old_system) {
  struct row {
    std::string version;
    int status;
  };
  const row rows[] = {{"", status_none_known},   {"6", status_none_known}, {"10.0", status_none_known},
                      {"6.1", status_none_known}, {"5", status_ok},         {"5.1", status_ok},
                      {"4.0", status_ok},         {"junk", status_none_known}};
  for (const row& r : rows) {
    world w;
    w.version = r.version;
    add_usb_node(w.sysfs, {.node = 0, .pid = "1234"});
    add_virtual_node(w.sysfs, 1);
    make_key(w.registry, camera_key("abcd", "1234", "00", "1-2"));
    EXPECT_EQ(w.run(), r.status) << "version '" << r.version << "'";
    EXPECT_TRUE(files_below(w.registry).empty());
  }
}

TEST(devprobe_program, writes_the_exact_key_and_bytes_for_a_usb_camera) {
  world w;
  add_usb_node(w.sysfs, {.node = 0, .port = "1-4", .vid = "abcd", .pid = "dc01", .iface = "00", .serial = "SN0042"});
  const std::string key = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\"
                          "{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\"
                          "##?#usb#vid_abcd&pid_dc01&mi_00#sn0042#{65e8773d-8f56-11d0-a3b9-00a0c9223196}"
                          "\\#GLOBAL\\Device Parameters";
  make_key(w.registry, key);
  EXPECT_EQ(w.run(), status_ok);
  EXPECT_EQ(files_below(w.registry),
            std::vector<std::string>{"SYSTEM/CurrentControlSet/Control/DeviceClasses/"
                                     "{65e8773d-8f56-11d0-a3b9-00a0c9223196}/"
                                     "##?#usb#vid_abcd&pid_dc01&mi_00#sn0042#{65e8773d-8f56-11d0-a3b9-00a0c9223196}/"
                                     "#GLOBAL/Device Parameters/FriendlyName"});
  EXPECT_EQ(w.name_of(key), std::string("Desk Camera One\0", 16));
}

TEST(devprobe_program, key_folders_named_in_capitals_are_found) {
  world w;
  add_usb_node(w.sysfs, {.node = 0, .pid = "DC0A", .serial = "abc"});
  const std::string upper = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\" + capture_guid +
                            "\\##?#USB#VID_ABCD&PID_DC0A&MI_00#ABC#" + capture_guid + "\\#GLOBAL\\Device Parameters";
  make_key(w.registry, upper);
  EXPECT_EQ(w.run(), status_ok);
  // The token "pid_dc0a" was written in lower case in the models file, and in the path.
  EXPECT_EQ(w.name_of(upper), value("Desk Camera Ten"));
}

TEST(devprobe_program, two_known_cameras_both_get_their_names) {
  world w;
  add_usb_node(w.sysfs, {.node = 0, .port = "1-1", .pid = "00ff"});
  add_usb_node(w.sysfs, {.node = 1, .port = "1-1", .pid = "00ff", .index = "1"});
  add_usb_node(w.sysfs, {.node = 2, .port = "2-3", .pid = "dc01", .iface = "2", .serial = "Q7"});
  add_usb_node(w.sysfs, {.node = 3, .port = "2-5", .pid = "7777"});
  make_key(w.registry, camera_key("abcd", "00ff", "00", "1-1"));
  make_key(w.registry, camera_key("abcd", "dc01", "02", "q7"));
  make_key(w.registry, camera_key("abcd", "7777", "00", "2-5"));
  EXPECT_EQ(w.run(), status_ok);
  EXPECT_EQ(w.name_of(camera_key("abcd", "00ff", "00", "1-1")), value("Visualiser 255"));
  EXPECT_EQ(w.name_of(camera_key("abcd", "dc01", "02", "q7")), value("Desk Camera One"));
  EXPECT_EQ(files_below(w.registry).size(), 2u);
}

TEST(devprobe_program, a_key_that_cannot_be_opened_writes_nothing_and_still_gives_0) {
  struct row {
    const char* what;
    void (*prepare)(const world& w, const std::string& key);
  };
  const row rows[] = {
      {"no key at all", [](const world&, const std::string&) {}},
      {"class key only",
       [](const world& w, const std::string&) {
         make_key(w.registry, "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\" + capture_guid);
       }},
      {"read-only key folder",
       [](const world& w, const std::string& key) {
         make_key(w.registry, key);
         chmod(key_folder(w.registry, key).c_str(), 0555);
       }},
      {"registry root missing", [](const world& w, const std::string&) { fs::remove(w.registry); }},
      {"key reached through a link leading out",
       [](const world& w, const std::string& key) {
         const std::string outside = w.dir.file("outside");
         make_key(outside, key);
         make_key(w.registry, "SYSTEM\\CurrentControlSet\\Control");
         fs::create_directory_symlink(outside + "/SYSTEM/CurrentControlSet/Control/DeviceClasses",
                                      w.registry + "/SYSTEM/CurrentControlSet/Control/DeviceClasses");
       }},
  };
  for (const row& r : rows) {
    world w;
    add_usb_node(w.sysfs, {.node = 0, .pid = "dc01"});
    r.prepare(w, camera_key("abcd", "dc01", "00", "1-2"));
    EXPECT_EQ(w.run(), status_ok) << r.what;
    EXPECT_TRUE(w.written().empty()) << r.what;
  }
}

TEST(devprobe_program, odd_sysfs_entries_are_skipped_and_the_good_camera_named) {
  world w;
  add_usb_node(w.sysfs, {.node = 0, .port = "1-1", .pid = ""});               // no product id
  add_usb_node(w.sysfs, {.node = 1, .port = "1-2", .vid = "", .pid = "dc01"});  // no vendor id
  add_platform_node(w.sysfs, 2);
  add_virtual_node(w.sysfs, 3);
  add_usb_node(w.sysfs, {.node = 4, .port = "1-5", .pid = "dc01"});
  fs::remove(w.sysfs + "/class/video4linux/video4/device");
  fs::create_directory_symlink("../../gone", w.sysfs + "/class/video4linux/video4/device");  // dangling device
  fs::create_directory_symlink("../../devices/gone", w.sysfs + "/class/video4linux/video5");  // dangling node
  add_usb_node(w.sysfs, {.node = 6, .port = "1-6", .pid = "dc0a", .serial = "../../../../outside"});
  make_key(w.registry, camera_key("abcd", "dc01", "00", "1-2"));
  make_key(w.registry, camera_key("abcd", "dc01", "00", "1-5"));
  make_key(w.registry, camera_key("abcd", "dc0a", "00", "1-6"));
  EXPECT_EQ(w.run(), status_ok);
  EXPECT_EQ(w.name_of(camera_key("abcd", "dc0a", "00", "1-6")), value("Desk Camera Ten"));
  EXPECT_EQ(files_below(w.registry).size(), 1u);

  world odd_only;
  add_usb_node(odd_only.sysfs, {.node = 0, .pid = ""});
  add_platform_node(odd_only.sysfs, 1);
  EXPECT_EQ(odd_only.run(), status_none_known);
}

TEST(devprobe_program, over_long_paths_are_refused_and_nothing_lands_outside_the_registry) {
  // A 3000-byte serial makes a path above 2047 bytes: not read, so none known.
  world too_long;
  add_usb_node(too_long.sysfs, {.node = 0, .pid = "dc01", .serial = std::string(3000, 's')});
  EXPECT_EQ(too_long.run(), status_none_known);
  EXPECT_TRUE(files_below(too_long.registry).empty());

  // A 300-byte serial fits the path but not the 255-byte instance part: matched, nothing written.
  world long_piece;
  add_usb_node(long_piece.sysfs, {.node = 0, .pid = "dc01", .serial = std::string(300, 's')});
  make_key(long_piece.registry, "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\" + capture_guid);
  EXPECT_EQ(long_piece.run(), status_ok);
  EXPECT_TRUE(long_piece.written().empty());

  // A key name is one folder name, at most 255 bytes: the per-interface key
  // holds the instance part (33 bytes and the serial) and the braced class (38).
  world longest;
  const std::string serial(255 - 33 - 38, 'k');
  add_usb_node(longest.sysfs, {.node = 0, .pid = "dc01", .serial = serial});
  make_key(longest.registry, camera_key("abcd", "dc01", "00", serial));
  EXPECT_EQ(longest.run(), status_ok);
  EXPECT_EQ(longest.name_of(camera_key("abcd", "dc01", "00", serial)), value("Desk Camera One"));
  EXPECT_EQ(longest.written().size(), 1u);
}

TEST(devprobe_program, a_models_file_with_bad_lines_keeps_its_good_rows) {
  world w;
  write_file(w.models,
             "pid_DC01\n"                      // no name
             "pid_XYZ1=Bad token\n"            // not hexadecimal
             "pid_0001=" + std::string(200, 'n') + "\n"  // name too long
             "pid_0002=Ok Two\r\n"
             "pid_0002=Repeated\n"
             "\x01\x02garbage\n");
  add_usb_node(w.sysfs, {.node = 0, .port = "1-1", .pid = "0002"});
  add_usb_node(w.sysfs, {.node = 1, .port = "1-2", .pid = "0001"});
  add_usb_node(w.sysfs, {.node = 2, .port = "1-3", .pid = "dc01"});
  for (const char* port : {"1-1", "1-2", "1-3"}) {
    make_key(w.registry, camera_key("abcd", "0002", "00", port));
    make_key(w.registry, camera_key("abcd", "0001", "00", port));
    make_key(w.registry, camera_key("abcd", "dc01", "00", port));
  }
  EXPECT_EQ(w.run(), status_ok);
  EXPECT_EQ(w.name_of(camera_key("abcd", "0002", "00", "1-1")), value("Ok Two"));
  EXPECT_EQ(files_below(w.registry).size(), 1u);
}

TEST(devprobe_program, models_file_rows_beyond_ten_are_ignored) {
  world w;
  std::string text;
  for (int i = 1; i <= 11; ++i) text += "pid_" + std::string(i < 10 ? "000" : "00") + std::to_string(i) + "=M" + std::to_string(i) + "\n";
  write_file(w.models, text);
  add_usb_node(w.sysfs, {.node = 0, .port = "1-1", .pid = "0011"});
  make_key(w.registry, camera_key("abcd", "0011", "00", "1-1"));
  EXPECT_EQ(w.run(), status_none_known);
  EXPECT_TRUE(files_below(w.registry).empty());
}

TEST(devprobe_program, without_a_usable_models_file_the_shipped_rows_apply) {
  for (const std::string& models : {std::string("pid_=\n# nothing usable\n"), std::string()}) {
    world w;
    if (models.empty())
      fs::remove(w.models);  // DEVPROBE_MODELS names a missing file
    else
      write_file(w.models, models);
    add_usb_node(w.sysfs, {.node = 0, .pid = "dc0a"});
    make_key(w.registry, camera_key("abcd", "dc0a", "00", "1-2"));
    EXPECT_EQ(w.run(), status_ok);
    EXPECT_EQ(w.name_of(camera_key("abcd", "dc0a", "00", "1-2")), value("Document Camera DC-10"));
  }
}

}  // namespace
