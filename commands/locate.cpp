#include "commands/locate.h"

#include <cstdio>
#include <vector>

#include "analysis/normalize.h"
#include "commands/command_fields.h"
#include "commands/file_output.h"
#include "commands/processors.h"
#include "platform/step_trace.h"
#include "raster/bmp_helper.h"
#include "raster/image_files.h"
#include "raster/paths.h"

namespace {

std::string locate_text(float angle, const std::vector<point>& corners) {
  char line[64];
  // A skew of zero is written 0.000 whatever its sign bit.
  std::snprintf(line, sizeof line, "fAngle=%.3f\n", angle == 0.0f ? 0.0 : static_cast<double>(angle));
  std::string text = line;
  for (std::size_t i = 0; i < corners.size() && i < 4; ++i) {
    std::snprintf(line, sizeof line, "corder%d=[%d,%d]\n", static_cast<int>(i), corners[i].x, corners[i].y);
    text += line;
  }
  return text;
}

}  // namespace

int locate_sheet(const std::string& locate_path, platform::bitmap* photo, const sheet_command_options& options) {
  if (!photo) return 0;
  trace_begin();
  const std::uint32_t start = tick_count();
  {
    gdi_plus_kv::bmp_helper straight(gdi_plus_kv::image_width(photo), gdi_plus_kv::image_height(photo));
    float angle = 0.0f;
    sheet_frame frame;
    if (!normalize_sheet(photo, straight, angle, frame, options.analysis)) return 0;
    // A file that cannot be written is not reported: the sheet was located.
    write_whole_file(locate_path, locate_text(angle, frame.corner_points));
  }
  trace_end(elapsed_ms(start));
  return 1;
}

int locate_file(const std::string& path, const sheet_command_options& options) {
  if (!file_exists(path)) return 0;
  auto photo = load_bitmap_file(path);
  return locate_sheet(replace_extension(path, ".locate"), photo.get(), options);
}

int processor_locate::process(arg_list& args) {
  int result = 0;
  if (args.size() == 2) {
    const std::string& target = args[1];
    if (target.find('*') != std::string::npos) {
      std::vector<std::string> files;
      list_matching_files(target, files);
      for (std::size_t i = 0; i < files.size(); ++i) {
        const std::uint32_t start = tick_count();
        result = locate_file(files[i], options_);
        write_reply(progress_line(i + 1, files.size(), to_ansi(path_file_name(files[i])), elapsed_ms(start)));
      }
    } else {
      result = locate_file(target, options_);
    }
  } else if (args.size() == 3) {
    if (auto photo = read_clipboard_bitmap()) result = locate_sheet(args[2], photo.get(), options_);
  }
  write_reply(format_reply(255, result ? "locateFinished" : "locateError"));
  return 1;
}
