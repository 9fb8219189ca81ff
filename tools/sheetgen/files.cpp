// The generator's files: the photo, the template and the truth record.
//
// Truth file, text, one "key=value" per line:
//   seed=12
//   photo=3264x2448
//   skew=-1.25          reader's sense, degrees
//   turn=90             clockwise turn of the sheet on the desk
//   orientation=3       reader's orientation code
//   anchor_side=38.0    printed anchor side in photo pixels
//   corner0=[812.4,403.1] .. corner3   anchor centres, photo view order
//                        (left-top, right-top, right-bottom, left-bottom)
//   sheet_corner0=[..] .. sheet_corner3  the same in the sheet's own order
//   then one line per box in template order:
//   12.C=1 pen [1620.5,1033.2]   mark, style ("-" for empty), photo centre
#include <cstdio>
#include <cstring>
#include <sstream>

#include "platform/image_codec.h"
#include "tools/sheetgen/internal.h"

namespace sheetgen {

namespace {

bool ends_with(const std::string& s, const std::string& tail) {
  if (s.size() < tail.size()) return false;
  for (std::size_t i = 0; i < tail.size(); ++i) {
    char c = s[s.size() - tail.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != tail[i]) return false;
  }
  return true;
}

bool parse_point(const char* s, point_d& p) { return std::sscanf(s, "[%lf,%lf]", &p.x, &p.y) == 2; }

}  // namespace

std::string format_truth(const sheet_truth& t) {
  std::string out;
  char line[256];
  std::snprintf(line, sizeof line, "seed=%llu\nphoto=%dx%d\nskew=%.2f\nturn=%d\norientation=%d\nanchor_side=%.1f\n",
                static_cast<unsigned long long>(t.seed), t.photo_width, t.photo_height, t.skew_degrees,
                t.turn_degrees, t.orientation, t.anchor_side_pixels);
  out += line;
  for (int i = 0; i < 4; ++i) {
    std::snprintf(line, sizeof line, "corner%d=[%.1f,%.1f]\n", i, t.corners[i].x, t.corners[i].y);
    out += line;
  }
  for (int i = 0; i < 4; ++i) {
    std::snprintf(line, sizeof line, "sheet_corner%d=[%.1f,%.1f]\n", i, t.sheet_corners[i].x, t.sheet_corners[i].y);
    out += line;
  }
  for (const box_truth& b : t.boxes) {
    std::snprintf(line, sizeof line, "%s=%d %s [%.1f,%.1f]\n", b.name.c_str(), b.marked,
                  b.style.empty() ? "-" : b.style.c_str(), b.photo_center.x, b.photo_center.y);
    out += line;
  }
  return out;
}

bool parse_truth(const std::string& text, sheet_truth& t) {
  t = sheet_truth{};
  std::istringstream in(text);
  std::string line;
  int seen = 0;  // bit per required key
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) return false;
    const std::string key = line.substr(0, eq);
    const char* v = line.c_str() + eq + 1;
    unsigned long long seed = 0;
    int i = -1;
    if (key == "seed") {
      if (std::sscanf(v, "%llu", &seed) != 1) return false;
      t.seed = seed;
      seen |= 1;
    } else if (key == "photo") {
      if (std::sscanf(v, "%dx%d", &t.photo_width, &t.photo_height) != 2) return false;
      seen |= 2;
    } else if (key == "skew") {
      if (std::sscanf(v, "%lf", &t.skew_degrees) != 1) return false;
      seen |= 4;
    } else if (key == "turn") {
      if (std::sscanf(v, "%d", &t.turn_degrees) != 1) return false;
    } else if (key == "orientation") {
      if (std::sscanf(v, "%d", &t.orientation) != 1) return false;
      seen |= 8;
    } else if (key == "anchor_side") {
      if (std::sscanf(v, "%lf", &t.anchor_side_pixels) != 1) return false;
    } else if (std::sscanf(key.c_str(), "corner%d", &i) == 1 && key == "corner" + std::to_string(i) && i >= 0 && i < 4) {
      if (!parse_point(v, t.corners[i])) return false;
      seen |= 16 << i;
    } else if (std::sscanf(key.c_str(), "sheet_corner%d", &i) == 1 && key == "sheet_corner" + std::to_string(i) &&
               i >= 0 && i < 4) {
      if (!parse_point(v, t.sheet_corners[i])) return false;
    } else {
      box_truth b;
      b.name = key;
      char style[16] = {0};
      if (std::sscanf(v, "%d %15s [%lf,%lf]", &b.marked, style, &b.photo_center.x, &b.photo_center.y) < 1) return false;
      if (b.marked != 0 && b.marked != 1) return false;
      b.style = std::strcmp(style, "-") == 0 ? "" : style;
      t.boxes.push_back(b);
    }
  }
  return seen == (1 | 2 | 4 | 8 | 16 | 32 | 64 | 128);
}

bool write_photo(const std::string& path, const platform::bitmap& photo, int jpeg_quality) {
  if (ends_with(path, ".png")) return platform::save_png_file(photo, path);
  return platform::save_jpeg_file(photo, path, jpeg_quality);
}

bool write_text_file(const std::string& path, const std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  const bool closed = std::fclose(f) == 0;
  return written && closed;
}

bool write_sheet_files(const std::string& base, const rendered_sheet& sheet, int jpeg_quality, bool png,
                       std::string& error) {
  const std::string photo_path = base + (png ? ".png" : ".jpg");
  if (!write_photo(photo_path, sheet.photo, jpeg_quality)) {
    error = "cannot write " + photo_path;
    return false;
  }
  if (!write_text_file(base + "_template.txt", sheet.template_text)) {
    error = "cannot write " + base + "_template.txt";
    return false;
  }
  if (!write_text_file(base + "_truth.txt", format_truth(sheet.truth))) {
    error = "cannot write " + base + "_truth.txt";
    return false;
  }
  return true;
}

}  // namespace sheetgen
