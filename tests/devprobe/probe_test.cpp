// The platform-free core: matching, path cutting and key building, and the
// main sequence over a scripted platform.
#include "devprobe/probe.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using namespace devprobe;

const std::string guid = "{65e8773d-8f56-11d0-a3b9-00a0c9223196}";
const std::string prefix = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\";
const std::string suffix = "\\#GLOBAL\\Device Parameters";

TEST(devprobe_build_key_path, cuts_and_joins_as_a_table_of_cases) {
  const std::string cam = "\\\\?\\usb#vid_abcd&pid_dc01&mi_00#sn0042#" + guid + "\\global";
  struct row {
    const char* what;
    std::string path;
    key_status status;
    std::string key;  // when ok
  };
  const row rows[] = {
      {"realistic USB camera", cam, key_status::ok,
       prefix + guid + "\\##?#usb#vid_abcd&pid_dc01&mi_00#sn0042#" + guid + suffix},
      {"upper case kept as it is", "\\\\?\\USB#VID_ABCD&PID_DC01#X#{G}\\GLOBAL", key_status::ok,
       prefix + "{G}\\##?#USB#VID_ABCD&PID_DC01#X#{G}" + suffix},
      {"every backslash of the instance replaced", "a\\b\\\\c{g}", key_status::ok,
       prefix + "{g}\\a#b##c{g}" + suffix},
      {"runs of braces separate, empty pieces skipped", "{{a\\b}}{{c}}}tail", key_status::ok,
       prefix + "{c}\\a#b{c}" + suffix},
      {"pieces after the second ignored", "x\\y{c1}mid{c2}", key_status::ok, prefix + "{c1}\\x#y{c1}" + suffix},
      {"no backslash before the first brace", "usb#vid_abcd&pid_dc01{" + guid + "}\\global",
       key_status::no_backslash, ""},
      {"backslash only after the first brace", "abc{x\\y}", key_status::no_backslash, ""},
      {"empty path", "", key_status::no_backslash, ""},
      {"braces only", "{}}{", key_status::no_backslash, ""},
      {"no class identifier", "\\\\?\\usb#vid_abcd&pid_dc01", key_status::no_class, ""},
      {"no class after trailing braces", "\\\\?\\usb{}}", key_status::no_class, ""},
      {"instance of 255 bytes", "\\" + std::string(254, 'i') + "{g}", key_status::ok,
       prefix + "{g}\\#" + std::string(254, 'i') + "{g}" + suffix},
      {"instance of 256 bytes", "\\" + std::string(255, 'i') + "{g}", key_status::piece_too_long, ""},
      {"braced class of 255 bytes", "a\\{" + std::string(253, 'c') + "}", key_status::key_too_long, ""},
      {"braced class of 256 bytes", "a\\{" + std::string(254, 'c') + "}", key_status::piece_too_long, ""},
  };
  for (const row& r : rows) {
    std::string key = "untouched";
    EXPECT_EQ(build_key_path(r.path, key), r.status) << r.what;
    EXPECT_EQ(key, r.status == key_status::ok ? r.key : "untouched") << r.what;
  }
}

TEST(devprobe_build_key_path, key_path_holds_at_most_511_bytes) {
  // Fixed part: prefix (47) + "\" + suffix (26) = 74; two braced classes of
  // 100 bytes leave 237 instance bytes for 511.
  const std::string cls(98, 'c');
  const auto path_with = [&](std::size_t instance) { return "\\" + std::string(instance - 1, 'i') + "{" + cls + "}"; };
  std::string key;
  ASSERT_EQ(build_key_path(path_with(237), key), key_status::ok);
  EXPECT_EQ(key.size(), 511u);
  std::string other = "untouched";
  EXPECT_EQ(build_key_path(path_with(238), other), key_status::key_too_long);
  EXPECT_EQ(other, "untouched");
}

TEST(devprobe_find_model, first_row_wins_case_folded_on_the_product_token) {
  const model_table table{{{"pid_0A1B", "Alpha"}, {"pid_DC01", "Delta"}, {"pid_00FF", "Omega"}}};
  struct row {
    std::string path;
    const char* name;  // nullptr: no match
  };
  const row rows[] = {
      {"\\\\?\\usb#vid_1111&pid_dc01&mi_00#x#{g}", "Delta"},
      {"\\\\?\\usb#vid_1111&PID_DC01&mi_00#x#{g}", "Delta"},
      {"\\\\?\\usb#vid_1111&Pid_0a1b#x#{g}", "Alpha"},
      {"pid_00ff pid_dc01 pid_0a1b", "Alpha"},  // table order, not path order
      {"ends with pid_00ff", "Omega"},
      {"ends with pid_00f", nullptr},
      {"vid_dc01 only the vendor", nullptr},
      {"pid-dc01", nullptr},
      {"", nullptr},
  };
  for (const row& r : rows) {
    const model_row* found = find_model(table, r.path);
    if (!r.name) {
      EXPECT_EQ(found, nullptr) << r.path;
    } else {
      ASSERT_NE(found, nullptr) << r.path;
      EXPECT_EQ(found->display_name, r.name) << r.path;
    }
  }
}

TEST(devprobe_default_model_table, ten_distinct_capital_tokens) {
  const model_table table = default_model_table();
  ASSERT_EQ(table.rows.size(), max_model_rows);
  for (std::size_t i = 0; i < table.rows.size(); ++i) {
    const std::string& token = table.rows[i].token;
    ASSERT_EQ(token.size(), 8u);
    EXPECT_EQ(token.substr(0, 4), "pid_");
    for (char c : token.substr(4)) EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) << token;
    EXPECT_FALSE(table.rows[i].display_name.empty());
    for (std::size_t j = 0; j < i; ++j) EXPECT_NE(table.rows[j].token, token);
  }
}

TEST(devprobe_convert_device_path, refuses_paths_that_do_not_fit_2048_bytes) {
  EXPECT_EQ(convert_device_path(std::string(2047, 'p')), std::string(2047, 'p'));
  EXPECT_EQ(convert_device_path(std::string(2048, 'p')), std::nullopt);
  EXPECT_EQ(convert_device_path(std::string("ab\0cd", 5)), "ab");
}

// A scripted platform that records what the main sequence asks of it.
class fake_platform : public i_probe_platform {
 public:
  int major = 10;
  bool enumerator = true;
  bool category = true;
  std::vector<device_entry> devices;
  std::map<std::string, write_status> key_results;  // default: written
  std::vector<std::pair<std::string, std::string>> writes;
  int waits = 0;
  int enumerations = 0;

  int system_major_version() override { return major; }
  bool create_device_enumerator() override { return enumerator; }
  bool enumerate_video_inputs(std::vector<device_entry>& out) override {
    ++enumerations;
    out = devices;
    return category && !devices.empty();
  }
  write_status set_string_value(const std::string& key_path, const std::string& value_name,
                                const std::string& text) override {
    EXPECT_EQ(value_name, "FriendlyName");
    const auto it = key_results.find(key_path);
    const write_status result = it == key_results.end() ? write_status::written : it->second;
    if (result == write_status::written) writes.emplace_back(key_path, text);
    return result;
  }
  void wait_for_character() override { ++waits; }
};

std::string usb_path(const std::string& pid, const std::string& instance) {
  return "\\\\?\\usb#vid_abcd&pid_" + pid + "&mi_00#" + instance + "#" + guid + "\\global";
}

std::string usb_key(const std::string& pid, const std::string& instance) {
  return prefix + guid + "\\##?#usb#vid_abcd&pid_" + pid + "&mi_00#" + instance + "#" + guid + suffix;
}

const model_table two_models{{{"pid_DC01", "Delta One"}, {"pid_DC02", "Delta Two"}}};

TEST(devprobe_run_probe, early_failures_wait_for_one_character) {
  fake_platform no_enumerator;
  no_enumerator.enumerator = false;
  EXPECT_EQ(run_probe(no_enumerator, two_models), -1);
  EXPECT_EQ(no_enumerator.waits, 1);
  EXPECT_EQ(no_enumerator.enumerations, 0);

  fake_platform empty;
  EXPECT_EQ(run_probe(empty, two_models), -2);
  EXPECT_EQ(empty.waits, 1);

  fake_platform old_and_empty;  // -2 does not depend on the version
  old_and_empty.major = 5;
  EXPECT_EQ(run_probe(old_and_empty, two_models), -2);
}

TEST(devprobe_run_probe, none_known_depends_on_the_major_version) {
  for (const auto& [major, code] : std::vector<std::pair<int, int>>{{4, 0}, {5, 0}, {6, -3}, {10, -3}}) {
    fake_platform p;
    p.major = major;
    p.devices = {{usb_path("1234", "a")}, {std::nullopt}};
    EXPECT_EQ(run_probe(p, two_models), code) << "major " << major;
    EXPECT_EQ(p.waits, 0);
    EXPECT_TRUE(p.writes.empty());
  }
}

TEST(devprobe_run_probe, names_every_known_device_and_skips_the_unreadable) {
  fake_platform p;
  p.devices = {{usb_path("dc02", "b")}, {std::nullopt}, {usb_path("5555", "c")},
               {"\\\\?\\usb#" + std::string(2100, 'x') + "pid_dc01{g}"},  // too long: skipped
               {usb_path("DC01", "a")}};
  EXPECT_EQ(run_probe(p, two_models), 0);
  ASSERT_EQ(p.writes.size(), 2u);
  EXPECT_EQ(p.writes[0], std::make_pair(usb_key("dc02", "b"), std::string("Delta Two")));
  EXPECT_EQ(p.writes[1].first, prefix + guid + "\\##?#usb#vid_abcd&pid_DC01&mi_00#a#" + guid + suffix);
  EXPECT_EQ(p.writes[1].second, "Delta One");
}

TEST(devprobe_run_probe, a_match_counts_even_when_nothing_could_be_written) {
  for (write_status result : {write_status::key_not_opened, write_status::write_failed}) {
    fake_platform p;
    p.devices = {{usb_path("dc01", "a")}};
    p.key_results[usb_key("dc01", "a")] = result;
    EXPECT_EQ(run_probe(p, two_models), 0);
    EXPECT_TRUE(p.writes.empty());
  }
  fake_platform unnamed;  // matched, but no key can be built from it
  unnamed.devices = {{"\\\\?\\usb#pid_dc01#no-class"}, {"\\" + std::string(300, 'i') + "pid_dc01{g}"}};
  EXPECT_EQ(run_probe(unnamed, two_models), 0);
  EXPECT_TRUE(unnamed.writes.empty());
}

TEST(devprobe_run_probe, a_matched_path_without_backslash_ends_at_once_with_minus_8) {
  fake_platform p;
  p.devices = {{"usb#vid_abcd&pid_dc01#a#" + guid + "\\global"}, {usb_path("dc02", "b")}};
  EXPECT_EQ(run_probe(p, two_models), -8);
  EXPECT_TRUE(p.writes.empty());
  EXPECT_EQ(p.waits, 0);

  fake_platform after_a_write;  // an earlier device keeps its name
  after_a_write.devices = {{usb_path("dc02", "b")}, {"pid_dc01{" + guid + "}"}};
  EXPECT_EQ(run_probe(after_a_write, two_models), -8);
  EXPECT_EQ(after_a_write.writes.size(), 1u);

  fake_platform unmatched;  // the check belongs to naming: unknown devices never reach it
  unmatched.devices = {{"usb#pid_9999{g}"}};
  EXPECT_EQ(run_probe(unmatched, two_models), -3);
}

}  // namespace
