// Fuzzes a whole lookup: an arbitrary record file, written to disk and read
// back through the tool's own text-mode reader in blocks of a size the input
// picks, must give the record that the plain reading of the rules gives.
//
// Input: byte 0 picks the block size, byte 1 the key's length; then the key,
// then the file.
#include "check.h"
#include "platform.h"
#include "scanner.h"
#include "text_model.h"
#include "text_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

const std::string& scratch_path() {
    static const std::string path = [] {
        char name[] = "/tmp/reclookup_fuzz_XXXXXX";
        const int fd = mkstemp(name);
        CHECK(fd >= 0);
        close(fd);
        return std::string(name);
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::size_t block = data[0] < 250 ? 1 + data[0] : READ_BLOCK_SIZE;
    const std::size_t key_size = std::min<std::size_t>(data[1] % 32, size - 2);
    const std::string_view input(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::string_view key = trimmed(input.substr(0, key_size));
    const std::string_view file = input.substr(key_size);

    std::FILE* out = std::fopen(scratch_path().c_str(), "wb");
    CHECK(out != nullptr);
    CHECK(std::fwrite(file.data(), 1, file.size(), out) == file.size());
    CHECK(std::fclose(out) == 0);

    RecordFile record_file = open_record_file(scratch_path().c_str());
    CHECK(is_open(record_file));
    std::vector<char> storage(LINE_BUF_SIZE + block);
    TextReader reader = text_reader_start(record_file, storage);
    std::string_view record;
    const bool found = find_record_in(reader, key, record);
    close_record_file(record_file);

    // The first record of the plain reading whose first field matches.
    const std::vector<std::string> records = model_records(file);
    const std::string* expected = first_match(records, key);
    CHECK(found == (expected != nullptr));
    if (found) {
        CHECK(record == *expected);
        // The driver's reading of the extra fields, on to well past the end.
        char field[TEXT_BUF_SIZE];
        std::size_t cursor = 0;
        for (int i = 0; i < 16; ++i) {
            read_field(record, cursor, std::span(field, FIELD_LIMIT));
            trim_field(field);
        }
    }
    return 0;
}
