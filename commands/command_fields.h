// Small helpers the image commands share: reading a number field, naming
// outputs after an input, and the progress line of the pattern forms.
#pragma once

#include <cstdint>
#include <string>

// A field read as a decimal integer the way the C library does it: leading
// white space, an optional sign, digits up to the first non-digit; no digits
// give 0. Values beyond 32 bits saturate instead of being undefined.
std::int32_t leading_int(const std::string& field);

// The image path without its last four characters (a three-letter extension
// and its dot: photo.jpg -> photo, photo.jpeg -> photo.). When the file-name
// part has four characters or fewer nothing is cut, so the outputs never lose
// their name or land in another folder ("ab" -> "ab", "d/scan" -> "d/scan").
// Characters are UTF-8 code points, never parts of one.
std::string recognize_base_path(const std::string& image_path);

// Bytes a reply line may have: the fixed 255-byte reply buffers hold 254.
constexpr std::size_t reply_line_limit = 254;

// "%d/%d[%s] timecost=%dms" within reply_line_limit bytes: a file name too
// long for the line is cut (at a character boundary), the rest of the line
// keeps its form.
std::string progress_line(std::size_t index, std::size_t count, const std::string& file_name, std::uint32_t ms);

// A prefix of text of at most max_bytes that does not split a UTF-8 sequence.
std::string cut_utf8(const std::string& text, std::size_t max_bytes);
