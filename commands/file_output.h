// Whole-file text output for the commands' result files (the template writer's
// result file, the locate file): a reader never finds one half-written.
#pragma once

#include <string>

// Writes `bytes` to a scratch file beside `path` and moves it into place, so
// the file at `path` is either the old one (or none) or the complete new one.
// Refuses, as opening it for writing would, a path that names a folder, a
// read-only file or a place in a folder that cannot be written. A path that
// is a symbolic link is written through (the link stays). True when written.
bool write_whole_file(const std::string& path, const std::string& bytes);
