// The locate pipeline: where a sheet lies in a photograph, without reading
// marks. The locate file (".locate" beside the photograph) holds five lines:
//   fAngle=%.3f            the skew in degrees
//   corder%d=[%d,%d]       the anchor-centre rectangle's corners in the
//                          photograph: 0 left-top, 1 right-top,
//                          2 right-bottom, 3 left-bottom
#pragma once

#include <string>

#include "commands/command_options.h"
#include "platform/bitmap.h"

// 0 when the file does not exist, else locate_sheet's result for
// replace_extension(path, ".locate").
int locate_file(const std::string& path, const sheet_command_options& options = full_build_commands());
// 1 when the sheet was located (the locate file is then written if it can
// be), 0 otherwise (also for no bitmap).
int locate_sheet(const std::string& locate_path, platform::bitmap* photo,
                 const sheet_command_options& options = full_build_commands());
