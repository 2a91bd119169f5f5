// Fuzzes the field operations and the line search on arbitrary bytes.
//
// Input: byte 0 picks read_field's capacity, byte 1 the starting cursor; the
// rest is one line (cut to what a record can hold) and, whole, a run of lines
// for find_record. Every way of finding line ends must give the same answer.
#include "check.h"
#include "scanner.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

bool trimmed_at_ends(std::string_view text) {
    return text.empty() ||
           (text.front() != ' ' && text.front() != '"' && text.back() != ' ' && text.back() != '"');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::size_t capacity = 1 + data[0] % TEXT_BUF_SIZE;
    const std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::string_view line = rest.substr(0, LINE_BUF_SIZE - 1);

    // Fields from any cursor: always terminated within capacity, the cursor
    // never goes back or past the line, and once it stops it stays.
    std::size_t cursor = data[1] < line.size() ? data[1] : line.size();
    char out[TEXT_BUF_SIZE];
    for (std::size_t i = 0; i <= line.size() + 1; ++i) {
        const std::size_t before = cursor;
        std::memset(out, 'x', sizeof out);
        read_field(line, cursor, std::span(out, capacity));
        CHECK(std::memchr(out, '\0', capacity) != nullptr);
        CHECK(cursor >= before && cursor <= line.size());
        const std::string field(out);
        CHECK(field.find_first_of(std::string_view(",\n\r", 3)) == std::string_view::npos);
        trim_field(out);
        CHECK(trimmed_at_ends(out));
        CHECK(field.find(out) != std::string::npos);
        CHECK(trimmed(field) == std::string_view(out));
    }

    // The key match is symmetric and a field always matches itself.
    const std::string_view a = rest.substr(0, rest.size() / 2);
    const std::string_view b = rest.substr(rest.size() / 2);
    CHECK(key_matches(a, b) == key_matches(b, a));
    CHECK(key_matches(a, a));

    // All ways of finding line ends agree, on the record as on the verdict.
    const std::string_view key = trimmed(a.substr(0, 12));
    std::string_view expected;
    const bool found = find_record_with(LineEndSearch::BYTES, rest, key, expected);
    for (const LineEndSearch search : {LineEndSearch::SSE2, LineEndSearch::AVX2}) {
        if (line_end_search_available(search)) {
            std::string_view record;
            CHECK(find_record_with(search, rest, key, record) == found);
            CHECK(!found || (record.data() == expected.data() && record.size() == expected.size()));
        }
    }
    if (found) {
        CHECK(first_field_matches(expected, key));
        CHECK(expected.size() < LINE_BUF_SIZE);
    }
    return 0;
}
