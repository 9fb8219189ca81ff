// Reading small files that someone else controls (sysfs attributes, the
// models file) without ever hanging or reading without bound.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

// The first max_bytes bytes of a regular file, opened without blocking (a FIFO
// or device named here must not hang the probe); none for anything else.
std::optional<std::string> read_regular_file_prefix(const std::string& path, std::size_t max_bytes);
