// Reads a record file as a stream of text-mode lines, the same on every
// operating system: a Ctrl-Z byte ends the file, CR LF reads as LF, a lone CR
// stays. The file is read in large blocks into storage the caller owns, and
// every line is handed out as a view into that storage: no copy per line.
#pragma once

#include "platform.h"
#include "scanner.h"

#include <cstddef>
#include <span>
#include <string_view>

// Bytes asked of the operating system per read: large enough that the cost
// of a read call vanishes, small enough to stay in the CPU's cache while the
// lines in it are looked at.
inline constexpr std::size_t READ_BLOCK_SIZE = 64 * 1024;
// Storage for the reader: room to carry the start of a line over from one
// block to the next, then the block itself.
inline constexpr std::size_t READER_STORAGE_SIZE = LINE_BUF_SIZE + READ_BLOCK_SIZE;

inline constexpr char CTRL_Z = '\x1a';

struct TextReader {
    RecordFile file;
    std::span<char> storage; // LINE_BUF_SIZE bytes of carry room, then the block
    std::size_t next;        // first byte not yet handed out
    std::size_t end;         // one past the last byte read
    bool at_end;             // the file has nothing more to give
};

// `storage` must be larger than LINE_BUF_SIZE; its size past that is the
// block size. The file stays the caller's to close.
[[nodiscard]] TextReader text_reader_start(RecordFile file, std::span<char> storage);

// Hands out the record of the next line: its first LINE_BUF_SIZE - 1 bytes,
// without the line end. The rest of a longer line is passed over. The view
// lasts until the next call. False when no line is left.
[[nodiscard]] bool next_line(TextReader& reader, std::string_view& record);
