// The recognize pipeline: straighten a sheet photograph, turn it upright, cut
// it to the anchor rectangle, read its boxes against a copy of the loaded
// template, and write beside it (base = the photograph path without its last
// four characters, see recognize_base_path):
//   base.txt              result file: the cut area's size, then every matched box
//   base_cut.jpg          the cut sheet area, upright, before matching
//   base_cut2.jpg         the whole straightened photograph  (debug images only)
//   base_org_binary.jpg   the cut area with the match step's tints  (debug images only)
#pragma once

#include <memory>
#include <string>

#include "analysis/geometry.h"

#include "commands/command_options.h"
#include "platform/bitmap.h"

// JPEG quality of every image markd writes.
constexpr int markd_jpeg_quality = 85;

// 0 when the file does not exist, else recognize_sheet's result.
int recognize_file(const std::string& path, const sheet_command_options& options = full_build_commands());
// 1 when the sheet was located, 0 otherwise (also for no bitmap).
int recognize_sheet(const std::string& base, platform::bitmap* photo,
                    const sheet_command_options& options = full_build_commands());

// The upright sheet area: what turning the straightened image by the
// orientation code (rotate_flip) and cutting [left, right) x [top, bottom)
// out of it gives, made by cutting first and turning only the cut, so the
// whole photograph is never turned. Null when the area is empty or reaches
// outside the image. The straightened image is not changed (for codes 0..3).
std::unique_ptr<platform::bitmap> cut_upright(platform::bitmap* straightened, std::int32_t orientation,
                                              const rect& upright_area);

// Saves with quality 85, recording the "setdpi" resolution when the build does.
bool save_markd_jpeg(platform::bitmap* image, const std::string& path, const sheet_command_options& options);
