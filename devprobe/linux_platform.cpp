#include "devprobe/linux_platform.h"

#include "devprobe/bounded_read.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace devprobe {

namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_folded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

bool all_hex(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
  });
}

// One sysfs attribute: its first max_attribute_bytes bytes without the line
// feed. Only regular files are read, without blocking.
std::optional<std::string> read_attribute(const std::string& path) {
  std::optional<std::string> text = read_regular_file_prefix(path, max_attribute_bytes);
  if (!text) return std::nullopt;
  while (!text->empty() && (text->back() == '\n' || text->back() == '\r')) text->pop_back();
  return text;
}

// A hexadecimal id of exactly `digits` digits after leading zeros are added
// (sysfs prints "%04x" and "%02x"), lower case; none when it is not one.
std::optional<std::string> hex_id(const std::optional<std::string>& text, std::size_t digits) {
  if (!text || !all_hex(*text) || text->size() > digits) return std::nullopt;
  std::string id(digits - text->size(), '0');
  for (char c : *text) id.push_back(lower(c));
  return id;
}

// A serial number usable as the instance part: printable ASCII without the
// characters that structure a device path or a key, and without a product-id
// token of its own, which would make the device match a model it is not.
std::optional<std::string> usable_serial(const std::optional<std::string>& serial) {
  if (!serial || serial->empty()) return std::nullopt;
  std::string text;
  for (char c : *serial) {
    if (c <= 0x20 || c > 0x7e) return std::nullopt;
    if (c == '{' || c == '}' || c == '\\' || c == '/' || c == '#' || c == '&' || c == ',') return std::nullopt;
    text.push_back(lower(c));
  }
  if (text.find("pid_") != std::string::npos) return std::nullopt;
  return text;
}

std::optional<std::string> usable_port(std::string_view name) {
  if (name.empty()) return std::nullopt;
  std::string text;
  for (char c : name) {
    const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' ||
                    c == '.' || c == ':';
    if (!ok) return std::nullopt;
    text.push_back(lower(c));
  }
  return text;
}

std::string parent_of(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string base_of(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::optional<std::string> real_path(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (!resolved) return std::nullopt;
  std::string text(resolved);
  std::free(resolved);
  return text;
}

// The device path of one capture node; none when it cannot be told.
std::optional<std::string> node_device_path(const std::string& node_dir, const std::string& node_name) {
  const std::string tail = std::string("#") + std::string(capture_class_guid) + "\\global";
  const std::string link = node_dir + "/device";
  struct stat st {};
  if (lstat(link.c_str(), &st) != 0) return "\\\\?\\root#video4linux#" + node_name + tail;  // virtual device
  const std::optional<std::string> iface = real_path(link);
  if (!iface) return std::nullopt;  // dangling
  const std::optional<std::string> iface_number = read_attribute(*iface + "/bInterfaceNumber");
  if (!iface_number) return "\\\\?\\root#video4linux#" + node_name + tail;  // not a USB interface
  const std::optional<std::string> mi = hex_id(iface_number, 2);
  const std::string usb_dir = parent_of(*iface);
  const std::optional<std::string> vid = hex_id(read_attribute(usb_dir + "/idVendor"), 4);
  const std::optional<std::string> pid = hex_id(read_attribute(usb_dir + "/idProduct"), 4);
  if (!mi || !vid || !pid) return std::nullopt;
  std::optional<std::string> instance = usable_serial(read_attribute(usb_dir + "/serial"));
  if (!instance) instance = usable_port(base_of(usb_dir));
  if (!instance) return std::nullopt;
  return "\\\\?\\usb#vid_" + *vid + "&pid_" + *pid + "&mi_" + *mi + "#" + *instance + tail;
}

// Node number of "videoN"; none for other names (radio, vbi, v4l-subdev...).
std::optional<unsigned> video_node_number(std::string_view name) {
  constexpr std::string_view prefix = "video";
  if (name.size() <= prefix.size() || name.size() > prefix.size() + 6 || name.substr(0, prefix.size()) != prefix)
    return std::nullopt;
  unsigned number = 0;
  for (char c : name.substr(prefix.size())) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + static_cast<unsigned>(c - '0');
  }
  return number;
}

bool is_capture_node(const std::string& node_dir) {
  const std::optional<std::string> index = read_attribute(node_dir + "/index");
  if (!index || index->empty() || index->size() > 6) return true;
  for (char c : *index)
    if (c < '0' || c > '9') return true;
  return std::atoi(index->c_str()) == 0;
}

struct fd_holder {
  int fd = -1;
  explicit fd_holder(int f) : fd(f) {}
  ~fd_holder() {
    if (fd >= 0) close(fd);
  }
  fd_holder(const fd_holder&) = delete;
  fd_holder& operator=(const fd_holder&) = delete;
  void reset(int f) {
    if (fd >= 0) close(fd);
    fd = f;
  }
};

bool usable_name(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos && name.size() <= NAME_MAX;
}

// The entry of dir_fd whose name equals `name` (exactly, else ASCII folded:
// the alphabetically first such name); none when there is none.
std::optional<std::string> find_entry(int dir_fd, const std::string& name, bool want_dir) {
  struct stat st {};
  if (fstatat(dir_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return name;
  const int scan_fd = openat(dir_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (scan_fd < 0) return std::nullopt;
  DIR* dir = fdopendir(scan_fd);
  if (!dir) {
    close(scan_fd);
    return std::nullopt;
  }
  std::optional<std::string> found;
  while (const dirent* entry = readdir(dir)) {
    const std::string_view candidate(entry->d_name);
    if (!same_folded(candidate, name)) continue;
    if (fstatat(dir_fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (want_dir != S_ISDIR(st.st_mode)) continue;
    if (!found || candidate < *found) found = std::string(candidate);
  }
  closedir(dir);
  return found;
}

bool in_groups(gid_t gid) {
  if (gid == getegid()) return true;
  const int count = getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  const int got = getgroups(count, groups.data());
  return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

bool bits_grant_write(const struct stat& st) {
  if (st.st_uid == geteuid()) return (st.st_mode & S_IWUSR) != 0;
  if (in_groups(st.st_gid)) return (st.st_mode & S_IWGRP) != 0;
  return (st.st_mode & S_IWOTH) != 0;
}

bool write_all(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

bool list_capture_devices(const std::string& sysfs_root, std::vector<device_entry>& devices) {
  devices.clear();
  const std::string class_dir = sysfs_root + "/class/video4linux";
  DIR* dir = opendir(class_dir.c_str());
  if (!dir) return false;
  std::vector<std::pair<unsigned, std::string>> nodes;
  while (const dirent* entry = readdir(dir)) {
    const std::optional<unsigned> number = video_node_number(entry->d_name);
    if (!number) continue;
    nodes.emplace_back(*number, entry->d_name);
    // Only the lowest-numbered nodes are kept, so a crowded folder cannot grow the list.
    if (nodes.size() >= 2 * max_video_nodes) {
      std::sort(nodes.begin(), nodes.end());
      nodes.resize(max_video_nodes);
    }
  }
  closedir(dir);
  std::sort(nodes.begin(), nodes.end());
  if (nodes.size() > max_video_nodes) nodes.resize(max_video_nodes);

  for (const auto& [number, name] : nodes) {
    const std::string node_dir = class_dir + "/" + name;
    struct stat st {};
    if (stat(node_dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;  // dangling or odd entry
    if (!is_capture_node(node_dir)) continue;
    devices.push_back(device_entry{node_device_path(node_dir, name)});
  }
  return true;
}

write_status set_registry_string(const std::string& registry_root, const std::string& key_path,
                                 const std::string& value_name, const std::string& text) {
  if (!usable_name(value_name)) return write_status::key_not_opened;
  fd_holder key(open(registry_root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (key.fd < 0) return write_status::key_not_opened;
  std::size_t at = 0;
  while (at <= key_path.size()) {
    std::size_t end = key_path.find('\\', at);
    if (end == std::string::npos) end = key_path.size();
    const std::string segment = key_path.substr(at, end - at);
    at = end + 1;
    // Never a step up or across: every key stays below the root.
    if (!usable_name(segment)) return write_status::key_not_opened;
    const std::optional<std::string> name = find_entry(key.fd, segment, true);
    if (!name) return write_status::key_not_opened;
    const int child = openat(key.fd, name->c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (child < 0) return write_status::key_not_opened;
    key.reset(child);
  }
  struct stat st {};
  if (fstat(key.fd, &st) != 0 || !bits_grant_write(st)) return write_status::key_not_opened;

  // Written beside and renamed over, so a reader sees the old name or the new, never half.
  const std::string target = find_entry(key.fd, value_name, false).value_or(value_name);
  const std::string temp = "." + value_name + ".new";
  unlinkat(key.fd, temp.c_str(), 0);
  fd_holder out(openat(key.fd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
  if (out.fd < 0) return write_status::write_failed;
  std::string bytes = text;
  bytes.push_back('\0');
  const bool ok = write_all(out.fd, bytes);
  out.reset(-1);
  if (!ok || renameat(key.fd, temp.c_str(), key.fd, target.c_str()) != 0) {
    unlinkat(key.fd, temp.c_str(), 0);
    return write_status::write_failed;
  }
  return write_status::written;
}

int parse_major_version(const char* env_value) {
  if (!env_value || !*env_value) return modern_major_version;
  int major = 0;
  std::size_t digits = 0;
  for (const char* p = env_value; *p >= '0' && *p <= '9'; ++p) {
    if (++digits > 4) return modern_major_version;
    major = major * 10 + (*p - '0');
  }
  if (digits == 0) return modern_major_version;
  const char next = env_value[digits];
  return next == '\0' || next == '.' ? major : modern_major_version;
}

std::string executable_dir() {
  std::optional<std::string> exe = real_path("/proc/self/exe");
  return exe ? parent_of(*exe) : std::string();
}

linux_probe_platform::linux_probe_platform(std::string sysfs_root, std::string registry_root, int major_version)
    : sysfs_root_(std::move(sysfs_root)), registry_root_(std::move(registry_root)), major_version_(major_version) {}

bool linux_probe_platform::enumerate_video_inputs(std::vector<device_entry>& devices) {
  return list_capture_devices(sysfs_root_, devices) && !devices.empty();
}

write_status linux_probe_platform::set_string_value(const std::string& key_path, const std::string& value_name,
                                                    const std::string& text) {
  return set_registry_string(registry_root_, key_path, value_name, text);
}

void linux_probe_platform::wait_for_character() { (void)std::getchar(); }

}  // namespace devprobe
