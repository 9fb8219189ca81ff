// The match step on a bitmap, and "match;PATH", which runs it on an image
// file as stored and only reports that it has finished.
#include "commands/match_step.h"
#include "commands/processors.h"
#include "platform/step_trace.h"
#include "raster/bmp_helper.h"
#include "raster/image_files.h"

int match_sheet(sheet_template& working, platform::bitmap* sheet, box_grouping grouping) {
  if (!sheet) return 0;
  const std::uint32_t start = tick_count();
  {
    gdi_plus_kv::bmp_helper helper(sheet);
    raster_view image = helper.get_image();
    if (image.width != 0 && image.height != 0 && image.stride != 0 && image.pixels) {
      match_groups(image, working, grouping);
    }
    image.release();
    helper.unlock();
  }
  trace_step("_________match:", elapsed_ms(start));
  return 1;
}

int processor_match::process(arg_list& args) {
  if (args.size() != 2) return 0;
  if (!file_exists(args[1])) return 0;
  auto sheet = load_bitmap_file(args[1]);
  sheet_template working = current_template();
  match_sheet(working, sheet.get(), options_.grouping);
  write_reply(format_reply(255, "matchFinished"));
  return 1;
}
