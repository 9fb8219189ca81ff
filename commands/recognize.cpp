#include "commands/recognize.h"

#include <climits>
#include <vector>

#include "analysis/normalize.h"
#include "commands/command_fields.h"
#include "commands/match_step.h"
#include "commands/processors.h"
#include "host/config.h"
#include "platform/step_trace.h"
#include "raster/bmp_helper.h"
#include "raster/image_files.h"
#include "raster/paths.h"

bool save_markd_jpeg(platform::bitmap* image, const std::string& path, const sheet_command_options& options) {
  return options.record_resolution ? save_bitmap_jpeg(image, path, markd_jpeg_quality)
                                   : save_bitmap_jpeg_keep_resolution(image, path, markd_jpeg_quality);
}

std::unique_ptr<platform::bitmap> cut_upright(platform::bitmap* straightened, std::int32_t orientation,
                                              const rect& area) {
  const std::int64_t w = gdi_plus_kv::image_width(straightened);
  const std::int64_t h = gdi_plus_kv::image_height(straightened);
  // The half-open area [left, right) x [top, bottom) of the turned image
  // comes from this area of the unturned one (codes turn clockwise).
  std::int64_t x0 = area.left, x1 = area.right, y0 = area.top, y1 = area.bottom;
  switch (orientation) {
    case 0:
      break;
    case 1:  // (x, y) -> (h - 1 - y, x)
      x0 = area.top, x1 = area.bottom, y0 = h - area.right, y1 = h - area.left;
      break;
    case 2:  // (x, y) -> (w - 1 - x, h - 1 - y)
      x0 = w - area.right, x1 = w - area.left, y0 = h - area.bottom, y1 = h - area.top;
      break;
    case 3:  // (x, y) -> (y, w - 1 - x)
      x0 = w - area.bottom, x1 = w - area.top, y0 = area.left, y1 = area.right;
      break;
    default: {  // no such orientation code: turn the whole image as asked
      gdi_plus_kv::rotate_flip(straightened, orientation);
      return gdi_plus_kv::crop_bitmap(straightened, area.left, area.top, area.right - area.left,
                                      area.bottom - area.top);
    }
  }
  const auto fits = [](std::int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; };
  if (!fits(x0) || !fits(y0) || !fits(x1 - x0) || !fits(y1 - y0)) return nullptr;
  auto cut = gdi_plus_kv::crop_bitmap(straightened, static_cast<std::int32_t>(x0), static_cast<std::int32_t>(y0),
                                      static_cast<std::int32_t>(x1 - x0), static_cast<std::int32_t>(y1 - y0));
  if (cut) gdi_plus_kv::rotate_flip(cut.get(), orientation);
  return cut;
}

int recognize_sheet(const std::string& base, platform::bitmap* photo, const sheet_command_options& options) {
  if (!photo) return 0;
  trace_begin();
  const std::uint32_t start = tick_count();

  gdi_plus_kv::bmp_helper straight(gdi_plus_kv::image_width(photo), gdi_plus_kv::image_height(photo));
  float angle = 0.0f;
  sheet_frame frame;
  if (!normalize_sheet(photo, straight, angle, frame, options.analysis)) return 0;

  const bool debug = options.extra_images == debug_images::always || read_output_type() != 0;
  if (debug) save_markd_jpeg(straight.bitmap(), base + "_cut2.jpg", options);

  // A frame without positive size cuts nothing: the sheet still counts as
  // located, but there is no cut image and no result file.
  gdi_plus_kv::bmp_helper cut(cut_upright(straight.bitmap(), frame.orientation, frame.upright_rect));
  if (cut.bitmap()) {
    save_markd_jpeg(cut.bitmap(), base + "_cut.jpg", options);
    sheet_template working = current_template();
    if (match_sheet(working, cut.bitmap(), options.grouping)) {
      if (debug) save_markd_jpeg(cut.bitmap(), base + "_org_binary.jpg", options);
      working.write_template(base + ".txt", options.result_boxes);
    }
  }
  trace_end(elapsed_ms(start));
  return 1;
}

int recognize_file(const std::string& path, const sheet_command_options& options) {
  if (!file_exists(path)) return 0;
  auto photo = load_bitmap_file(path);
  return recognize_sheet(recognize_base_path(path), photo.get(), options);
}

int processor_recognize::process(arg_list& args) {
  if (args.size() == 2) {
    const std::string& target = args[1];
    if (target.find('*') != std::string::npos) {
      std::vector<std::string> files;
      list_matching_files(target, files);
      for (std::size_t i = 0; i < files.size(); ++i) {
        const std::uint32_t start = tick_count();
        recognize_file(files[i], options_);
        write_reply(progress_line(i + 1, files.size(), to_ansi(path_file_name(files[i])), elapsed_ms(start)));
      }
    } else {
      recognize_file(target, options_);
    }
    write_reply(format_reply(255, "recognizeFinished"));
    return 1;
  }
  if (args.size() == 3) {
    auto photo = read_clipboard_bitmap();
    if (!photo) return 0;
    // No output path names no files: nothing is written (rather than
    // hidden ".txt" and "_cut.jpg" files in the current folder).
    if (!args[2].empty()) recognize_sheet(recognize_base_path(args[2]), photo.get(), options_);
    photo.reset();
    write_reply(format_reply(255, "recognizeFinished"));
    return 1;
  }
  return 0;
}
