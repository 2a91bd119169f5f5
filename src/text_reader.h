// Reads a record file as text-mode lines, the same on every operating
// system: a Ctrl-Z byte ends the file, CR LF reads as LF, a lone CR stays.
// The file is read in large blocks into storage the caller owns and handed
// out as runs of whole lines, views into that storage: no copy per line.
#pragma once

#include "platform.h"
#include "scanner.h"

#include <cstddef>
#include <span>
#include <string_view>

// Bytes asked of the operating system per read: large enough that the cost
// of a read call vanishes, small enough to stay in the CPU's cache while the
// lines in it are looked at.
inline constexpr std::size_t READ_BLOCK_SIZE = 256 * 1024;
// The first read is this small, and each one after it twice the one before,
// up to the block size: a key near the top of a file costs no more than a
// few pages of memory touched.
inline constexpr std::size_t FIRST_READ_SIZE = 4 * 1024;
// Storage for the reader: room to carry the start of a line over from one
// block to the next, then the block itself.
inline constexpr std::size_t READER_STORAGE_SIZE = LINE_BUF_SIZE + READ_BLOCK_SIZE;

inline constexpr char CTRL_Z = '\x1a';

struct TextReader {
    RecordFile file;
    std::span<char> storage; // LINE_BUF_SIZE bytes of carry room, then the block
    std::size_t next;        // first byte not yet handed out
    std::size_t end;         // one past the last byte read
    std::size_t read_size;   // bytes the next read asks for
    bool at_end;             // the file has nothing more to give
};

// `storage` must be larger than LINE_BUF_SIZE; its size past that is the
// block size. The file stays the caller's to close.
[[nodiscard]] TextReader text_reader_start(RecordFile file, std::span<char> storage);

// Hands out the next run of whole lines, in file order. Each line ends in LF
// but for the file's last, which may have none. A line longer than
// LINE_BUF_SIZE bytes may come shortened to its first LINE_BUF_SIZE bytes (no
// more of it can be part of its record) when it did not fit in one read. The
// view lasts until the next call.
// False when the file has no more lines.
[[nodiscard]] bool next_lines(TextReader& reader, std::string_view& lines);

// The record of one line handed out by next_lines, given without its LF
// (`ended_by_lf` says whether it had one): the line's first LINE_BUF_SIZE - 1
// bytes, a CR that came before the LF not counted.
[[nodiscard]] std::string_view record_of(std::string_view line, bool ended_by_lf);
