#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "host/build_description.h"
#include "host/config.h"
#include "host/process_man.h"
#include "platform/memory_policy.h"
#include "platform/text.h"

namespace {

constexpr const char* exit_word = "exit";

void print_usage(const build_description& build, std::FILE* to) {
  std::fprintf(to,
               "usage: markd [--help | --version]\n"
               "\n"
               "Reads photographed answer sheets for a capture application (%s build).\n"
               "Without arguments it reads one command per line on standard input and\n"
               "answers on standard output, until \"exit\" or the end of input.\n"
               "Settings: config.txt beside the executable. Step trace: MARKD_TRACE=stderr|PATH.\n",
               build.name);
}

}  // namespace

int run_markd(const build_description& build, int argc, char** argv) {
  if (argc > 1) {
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
      print_usage(build, stdout);
      return 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
      std::printf("markd %s (%s build)\n", MARKD_VERSION, build.name);
      return 0;
    }
    print_usage(build, stderr);
    return 2;
  }

  std::setlocale(LC_ALL, "");
  // A parent that closes our output must not kill us before the settings are written back.
  std::signal(SIGPIPE, SIG_IGN);
  platform::keep_freed_image_memory();

  const std::string settings_path = collapse_separators(module_dir() + "/config.txt");
  if (build.uses_settings) start_config(settings_path);
  // The imaging layer needs no start-up here.
  if (build.before_processors) build.before_processors();

  auto manager = std::make_unique<process_man>(stdin, build.answers_unknown, 100);
  for (auto& processor : build.make_processors()) manager->add_processor(processor.release());
  manager->run(exit_word);

  if (build.uses_settings) stop_config();
  manager.reset();
  return 0;
}
