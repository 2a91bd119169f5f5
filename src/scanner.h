// Record scanner: how one line of a record file is taken apart into fields,
// and when its first field is the one the caller asked for.
//
// A line is a view of at most LINE_BUF_SIZE - 1 bytes. Its end reads like a
// NUL byte: nothing past it is ever looked at.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

// Bytes in the field buffers of the driver: at most 259 characters.
inline constexpr std::size_t TEXT_BUF_SIZE = 260;
// Bytes of a line that take part in its record, plus one for a terminator:
// the record of a line is its first 511 bytes.
inline constexpr std::size_t LINE_BUF_SIZE = 512;
// Capacity passed to read_field: at most 255 bytes of a field are kept.
inline constexpr std::size_t FIELD_LIMIT = 256;

// Copies the field that starts at `cursor` into `out` (always NUL-terminated,
// at most out.size() - 1 bytes kept, the surplus dropped) and leaves `cursor`
// past the comma that ended it, or on the byte that ended the line (LF, CR,
// NUL or the end of the view), where it stays: reading on yields empty fields.
// `out` must hold at least one byte.
void read_field(std::string_view line, std::size_t& cursor, std::span<char> out);

// Strips spaces and double quotes from both ends of a NUL-terminated text, in
// place. Nothing between the first and last kept byte is touched.
void trim_field(char* text);

// The same trim as a view, for texts that are not ours to change (the key).
[[nodiscard]] std::string_view trimmed(std::string_view text);

// True when a trimmed field equals a trimmed key: same length, and the same
// bytes once ASCII 'A'..'Z' are read as 'a'..'z'. No other byte is folded.
[[nodiscard]] bool key_matches(std::string_view field, std::string_view key);

// True when the first field of `line`, trimmed, matches the trimmed `key`.
// A first field of more than FIELD_LIMIT - 1 bytes matches nothing: its cut
// form could equal a key that the whole field does not.
[[nodiscard]] bool first_field_matches(std::string_view line, std::string_view key);

// Finds the first line of `lines` whose first field matches the trimmed
// `key` and gives its record. `lines` is a run of whole lines as the text
// reader hands them out: each ends in LF but for the file's last.
[[nodiscard]] bool find_record(std::string_view lines, std::string_view key,
                               std::string_view& record);

struct TextReader;

// Reads on through `reader` to the first line whose first field matches the
// trimmed `key` and gives its record, a view into the reader's storage.
[[nodiscard]] bool find_record_in(TextReader& reader, std::string_view key,
                                  std::string_view& record);

// The ways find_record can look for line ends: it takes the fastest that the
// processor has. Each can be asked for by name, so that tests cover them all;
// one the processor lacks falls back to BYTES.
enum class LineEndSearch { BYTES, SSE2, AVX2 };
[[nodiscard]] bool line_end_search_available(LineEndSearch search);
[[nodiscard]] bool find_record_with(LineEndSearch search, std::string_view lines,
                                    std::string_view key, std::string_view& record);
