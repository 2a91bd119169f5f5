// The result line: name=value pairs joined by '&', closed by the trailer
// pair. Each function writes one piece, straight out, with nothing escaped.
#pragma once

#include <string_view>

// Closes every result line, found or not; callers look for it to know the
// line is whole.
inline constexpr std::string_view TRAILER_PAIR = "&end=1\n";
// Precedes the not-found line when the record file never opened.
inline constexpr std::string_view ERROR_LINE = "Error - File open failed\n";

// Call once, before any output.
void result_init();
void write_first_pair(std::string_view name, std::string_view text);
void write_extra_pair(std::string_view name, std::string_view value);
void write_trailer();
void write_error_line();
