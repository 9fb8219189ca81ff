// Path functions and wildcard file lists. Paths are UTF-8 with '/' between
// folders.
#pragma once

#include <string>
#include <vector>

// Text after the last '/'; the whole path when there is none.
std::string path_file_name(const std::string& path);
// Text before the last '/' (without it); empty when there is none.
std::string path_folder(const std::string& path);
// Text after the last '.' of the file name; empty when the file name has no dot.
std::string path_extension(const std::string& path);
// The file name up to its last '.'; empty when the file name has no dot.
std::string path_title(const std::string& path);
// The path without its extension and dot, followed by suffix.
std::string replace_extension(const std::string& path, const std::string& suffix);
// Appends the paths of the regular files (and links to them) in the
// pattern's folder whose names match its file-name part ('*' and '?' only,
// ASCII case folded), ordered by lower-cased title. A pattern without '/'
// searches the current folder and yields bare names. The list is not cleared.
void list_matching_files(const std::string& pattern, std::vector<std::string>& list);
// Text in the process locale's narrow encoding: with a UTF-8 locale, the text itself.
std::string to_ansi(const std::string& text);
