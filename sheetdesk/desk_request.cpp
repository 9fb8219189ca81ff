#include "sheetdesk/desk_request.h"

#include "platform/clipboard.h"
#include "platform/image_codec.h"
#include "sheetdesk/align_sheet.h"
#include "sheetdesk/desk_template.h"

namespace sheetdesk {

namespace {

constexpr int jpeg_quality = 100;

}  // namespace

std::optional<platform::bitmap> clipboard_photo_source::take_photo() {
  std::optional<platform::bitmap> photo = platform::read_clipboard_image(timeout_ms_);
  if (photo && !photo->has_image()) photo.reset();
  return photo;
}

void work_request(const platform::bitmap& photo, const std::string& image_path, const std::string& template_path) {
  const std::optional<platform::bitmap> aligned = align_sheet(photo);
  if (!aligned) return;
  if (!image_path.empty()) platform::save_jpeg_file(*aligned, image_path, jpeg_quality);
  write_desk_result(*aligned, template_path, result_path_for(image_path));
}

std::optional<request_line> read_request_line(std::FILE* in) {
  request_line line;
  int c = std::getc(in);
  if (c == EOF) return std::nullopt;
  for (; c != EOF && c != '\n'; c = std::getc(in)) {
    if (line.text.size() <= max_request_bytes)
      line.text.push_back(static_cast<char>(c));  // one byte past the limit tells "too long" from a final CR
  }
  if (!line.text.empty() && line.text.back() == '\r') line.text.pop_back();
  if (line.text.size() > max_request_bytes) {
    line.too_long = true;
    line.text.resize(max_request_bytes);
  }
  // The path is a C string to the file functions: it ends at a NUL byte.
  line.text.resize(line.text.find('\0') == std::string::npos ? line.text.size() : line.text.find('\0'));
  return line;
}

int run_request_loop(std::FILE* in, std::FILE* out, i_photo_source& source, const std::string& template_path) {
  while (const std::optional<request_line> line = read_request_line(in)) {
    if (line->text.compare(0, 4, "exit") == 0) break;
    // A path cut at the limit would name some other file: drop the request.
    if (line->too_long) continue;
    const std::optional<platform::bitmap> photo = source.take_photo();
    if (!photo) continue;
    work_request(*photo, line->text, template_path);
    std::fputs(reply_complete, out);
    std::fputc('\n', out);
    std::fflush(out);
  }
  return 0;
}

}  // namespace sheetdesk
