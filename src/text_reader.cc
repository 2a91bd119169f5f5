#include "text_reader.h"

#include <cstring>

namespace {

// Of a line longer than this, only the first bytes are kept while the rest of
// it is read past. One byte more than a record, so that a record that ends in
// the CR of a CR LF can still be told apart from a longer line.
constexpr std::size_t KEPT_OF_LONG_LINE = LINE_BUF_SIZE;
constexpr std::size_t RECORD_LIMIT = LINE_BUF_SIZE - 1;

// `raw` is a line up to (not including) its LF, if it had one.
[[nodiscard]] std::string_view record_of(std::string_view raw, bool ended_by_lf) {
    if (ended_by_lf && !raw.empty() && raw.back() == '\r') {
        raw.remove_suffix(1); // CR LF is one line end
    }
    return {raw.data(), raw.size() < RECORD_LIMIT ? raw.size() : RECORD_LIMIT};
}

// Reads the next block behind the carry room. Returns the bytes read, 0 when
// the file has ended; a Ctrl-Z ends it in the middle of a block.
std::size_t refill(TextReader& reader) {
    const std::span<char> block = reader.storage.subspan(LINE_BUF_SIZE);
    std::size_t got = read_record_file(reader.file, block);
    if (const void* stop = std::memchr(block.data(), CTRL_Z, got)) {
        got = static_cast<std::size_t>(static_cast<const char*>(stop) - block.data());
        reader.at_end = true;
    }
    if (got == 0) {
        reader.at_end = true;
    }
    reader.end = LINE_BUF_SIZE + got;
    return got;
}

} // namespace

TextReader text_reader_start(RecordFile file, std::span<char> storage) {
    return TextReader{file, storage, LINE_BUF_SIZE, LINE_BUF_SIZE, false};
}

bool next_line(TextReader& reader, std::string_view& record) {
    char* const base = reader.storage.data();
    std::size_t start = reader.next; // where this line begins in storage
    std::size_t look_from = start;   // where its LF may still be
    bool long_line = false;          // more of it was read than is kept
    for (;;) {
        const void* lf = std::memchr(base + look_from, '\n', reader.end - look_from);
        if (lf != nullptr) {
            const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(lf) - base);
            reader.next = at + 1;
            const std::size_t length = long_line ? KEPT_OF_LONG_LINE : at - start;
            record = record_of(std::string_view(base + start, length), !long_line);
            return true;
        }
        if (reader.at_end) {
            const std::size_t length = long_line ? KEPT_OF_LONG_LINE : reader.end - start;
            reader.next = reader.end;
            if (length == 0) {
                return false;
            }
            record = record_of(std::string_view(base + start, length), false);
            return true;
        }
        // The line goes on into the next block: keep its start in the carry
        // room, just before the block, so that it reads as one piece.
        if (!long_line) {
            const std::size_t pending = reader.end - start;
            const std::size_t keep = pending < KEPT_OF_LONG_LINE ? pending : KEPT_OF_LONG_LINE;
            long_line = pending > KEPT_OF_LONG_LINE;
            std::memmove(base + LINE_BUF_SIZE - keep, base + start, keep);
            start = LINE_BUF_SIZE - keep;
        }
        refill(reader);
        look_from = LINE_BUF_SIZE;
    }
}
