#include "text_reader.h"

#include <algorithm>
#include <cstring>

namespace {

// Bytes of `storage` behind the carry room: the most one read can bring.
[[nodiscard]] std::size_t block_capacity(std::span<char> storage) {
    return storage.size() - LINE_BUF_SIZE;
}

// Of a line that goes on past this, only the first bytes are kept: one byte
// more than a record, so that a record whose line ends in CR LF is still told
// apart from a longer line.
constexpr std::size_t KEPT_OF_LONG_LINE = LINE_BUF_SIZE;
constexpr std::size_t RECORD_LIMIT = LINE_BUF_SIZE - 1;

// Reads the next block behind the carry room. A Ctrl-Z ends the file in the
// middle of a block.
void refill(TextReader& reader) {
    const std::span<char> block = reader.storage.subspan(LINE_BUF_SIZE).first(reader.read_size);
    std::size_t got = read_record_file(reader.file, block);
    reader.read_size = std::min(2 * reader.read_size, block_capacity(reader.storage));
    if (const void* stop = std::memchr(block.data(), CTRL_Z, got)) {
        got = static_cast<std::size_t>(static_cast<const char*>(stop) - block.data());
        reader.at_end = true;
    }
    if (got == 0) {
        reader.at_end = true;
    }
    reader.end = LINE_BUF_SIZE + got;
}

// Position of the last LF in [from, to), or `to` when there is none. The
// search starts from the end, where the last LF of a block of lines is near.
[[nodiscard]] std::size_t last_lf(const char* base, std::size_t from, std::size_t to) {
    for (std::size_t at = to; at > from; --at) {
        if (base[at - 1] == '\n') {
            return at - 1;
        }
    }
    return to;
}

} // namespace

TextReader text_reader_start(RecordFile file, std::span<char> storage) {
    return TextReader{file,
                      storage,
                      LINE_BUF_SIZE,
                      LINE_BUF_SIZE,
                      std::min(FIRST_READ_SIZE, block_capacity(storage)),
                      false};
}

bool next_lines(TextReader& reader, std::string_view& lines) {
    char* const base = reader.storage.data();
    bool long_line = false; // the pending line goes on past what is kept of it
    for (;;) {
        // [next, end) is the start of a line that has not ended yet.
        if (reader.at_end) {
            const std::size_t size = long_line ? KEPT_OF_LONG_LINE : reader.end - reader.next;
            lines = std::string_view(base + reader.next, size);
            reader.next = reader.end;
            return size > 0;
        }
        if (!long_line) {
            // Carry it to just before the block, so that it reads as one piece.
            const std::size_t pending = reader.end - reader.next;
            const std::size_t keep = pending < KEPT_OF_LONG_LINE ? pending : KEPT_OF_LONG_LINE;
            long_line = pending > KEPT_OF_LONG_LINE;
            std::memmove(base + LINE_BUF_SIZE - keep, base + reader.next, keep);
            reader.next = LINE_BUF_SIZE - keep;
        }
        refill(reader);
        const void* first = std::memchr(base + LINE_BUF_SIZE, '\n', reader.end - LINE_BUF_SIZE);
        if (first == nullptr) {
            continue;
        }
        const std::size_t lf = static_cast<std::size_t>(static_cast<const char*>(first) - base);
        if (long_line) {
            // What is kept of the long line goes right before its LF, over
            // the bytes passed over, and the line reads as if it were short.
            reader.next = lf - KEPT_OF_LONG_LINE;
            std::memmove(base + reader.next, base, KEPT_OF_LONG_LINE);
        }
        const std::size_t stop = last_lf(base, lf, reader.end) + 1;
        lines = std::string_view(base + reader.next, stop - reader.next);
        reader.next = stop;
        return true;
    }
}

std::string_view record_of(std::string_view line, bool ended_by_lf) {
    std::size_t size = line.size();
    if (ended_by_lf && size > 0 && line[size - 1] == '\r') {
        --size; // CR LF is one line end
    }
    return {line.data(), size < RECORD_LIMIT ? size : RECORD_LIMIT};
}
