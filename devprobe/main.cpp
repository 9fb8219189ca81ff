// devprobe: names the attached known document cameras for capture
// applications, then reports through its exit code alone (see probe.h).
//
// Environment:
//   DEVPROBE_SYSFS            sysfs root to walk (default /sys)
//   DEVPROBE_REGISTRY         root of the registry folder tree (default /var/lib/devprobe/registry)
//   DEVPROBE_MODELS           models file to use before the default locations
//   DEVPROBE_SYSTEM_VERSION   system version to report, e.g. "5.1" (default: a modern system)
#include <clocale>
#include <cstdlib>

#include "devprobe/linux_platform.h"
#include "devprobe/models_file.h"

namespace {

std::string env_or(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

}  // namespace

int main() {
  std::setlocale(LC_ALL, "");
  const devprobe::model_table table =
      devprobe::choose_model_table(devprobe::models_file_locations(std::getenv("DEVPROBE_MODELS"),
                                                                   devprobe::executable_dir()));
  devprobe::linux_probe_platform platform(env_or("DEVPROBE_SYSFS", devprobe::default_sysfs_root),
                                          env_or("DEVPROBE_REGISTRY", devprobe::default_registry_root),
                                          devprobe::parse_major_version(std::getenv("DEVPROBE_SYSTEM_VERSION")));
  return devprobe::run_probe(platform, table);
}
