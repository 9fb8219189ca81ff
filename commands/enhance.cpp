// "enhance;P;A;B" (a file, or a pattern when P holds '*') and
// "enhance;X;O;A;B" (the clipboard, saved at O). Always answers: one progress
// line per listed file, then "locateFinished" when the last image handled
// succeeded, else "locateError" (also for any other field count).
#include "commands/enhance.h"

#include <vector>

#include "analysis/binarize.h"
#include "commands/command_fields.h"
#include "commands/processors.h"
#include "commands/recognize.h"
#include "platform/step_trace.h"
#include "raster/bmp_helper.h"
#include "raster/image_files.h"
#include "raster/paths.h"

int enhance_bitmap(platform::bitmap* image, const std::string& output_path, std::int32_t low_percent,
                   std::int32_t high_percent) {
  if (!image) return 0;
  trace_begin();
  const std::uint32_t start = tick_count();
  {
    gdi_plus_kv::bmp_helper helper(image);
    raster_view view = helper.get_image();
    stretch_colors(view, low_percent, high_percent);
    view.release();
  }
  const std::uint32_t save_start = tick_count();
  save_bitmap_jpeg(image, output_path, markd_jpeg_quality);
  trace_step("_________save2jpg:", elapsed_ms(save_start));
  trace_end(elapsed_ms(start));
  return 1;
}

int enhance_file(const std::string& path, std::int32_t low_percent, std::int32_t high_percent) {
  if (!file_exists(path)) return 0;
  auto image = load_bitmap_file(path);
  return enhance_bitmap(image.get(), replace_extension(path, "_enhance.jpg"), low_percent, high_percent);
}

int processor_enhance::process(arg_list& args) {
  int result = 0;
  if (args.size() == 4) {
    const std::string& target = args[1];
    const std::int32_t low = leading_int(args[2]);
    const std::int32_t high = leading_int(args[3]);
    if (target.find('*') != std::string::npos) {
      std::vector<std::string> files;
      list_matching_files(target, files);
      for (std::size_t i = 0; i < files.size(); ++i) {
        const std::uint32_t start = tick_count();
        result = enhance_file(files[i], low, high);
        write_reply(progress_line(i + 1, files.size(), to_ansi(path_file_name(files[i])), elapsed_ms(start)));
      }
    } else {
      result = enhance_file(target, low, high);
    }
  } else if (args.size() == 5) {
    const std::uint32_t start = tick_count();
    if (auto image = read_clipboard_bitmap()) {
      trace_step("______________enhance.from_clipboard:", elapsed_ms(start), "");
      result = enhance_bitmap(image.get(), args[2], leading_int(args[3]), leading_int(args[4]));
      image.reset();
      trace_step("______________enhance.from_clipboard_total:", elapsed_ms(start), "");
    }
  }
  write_reply(format_reply(256, result ? "locateFinished" : "locateError"));
  return 1;
}
