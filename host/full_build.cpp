// The full build: six commands, the settings file, "unknownCmd" for the rest.
#include "commands/processors.h"
#include "host/build_description.h"

namespace {

std::vector<std::unique_ptr<i_processor>> full_processors() {
  std::vector<std::unique_ptr<i_processor>> list;
  list.push_back(std::make_unique<processor_readtemplate>());
  list.push_back(std::make_unique<processor_recognize>());
  list.push_back(std::make_unique<processor_match>());
  list.push_back(std::make_unique<processor_locate>());
  list.push_back(std::make_unique<processor_enhance>());
  list.push_back(std::make_unique<processor_set_dpi>());
  return list;
}

}  // namespace

const build_description& full_build() {
  static const build_description build{"full", true, true, nullptr, full_processors};
  return build;
}
