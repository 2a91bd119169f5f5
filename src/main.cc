// reclookup FILE KEY [NAME [FOUND [NOT_FOUND [FIELD_NAME...]]]]
//
// Finds the first line of FILE whose first field is KEY and prints one
// result line, NAME=FOUND followed by &FIELD_NAME=value for the next fields
// of that line, or NAME=NOT_FOUND; the line always ends in the trailer pair.
// Exits 0 when the key was found, 1 otherwise.
#include "platform.h"
#include "result.h"
#include "scanner.h"
#include "text_reader.h"

#include <cstddef>
#include <string_view>

namespace {

constexpr int EXIT_FOUND = 0;
constexpr int EXIT_NOT_FOUND = 1;

// Further attempts after a failed open, each after the seconds clock ticks:
// a writer that holds the file a moment, or replaces it, gets a few seconds.
constexpr int OPEN_RETRIES = 5;

constexpr std::string_view DEFAULT_RESULT_NAME = "data";
constexpr std::string_view DEFAULT_FOUND_TEXT = "found";
constexpr std::string_view DEFAULT_NOT_FOUND_TEXT = "not found";

// Argument positions; each one counts only when the arguments reach it.
constexpr int ARG_FILE = 1;
constexpr int ARG_KEY = 2;
constexpr int ARG_RESULT_NAME = 3;
constexpr int ARG_FOUND_TEXT = 4;
constexpr int ARG_NOT_FOUND_TEXT = 5;
constexpr int ARG_FIRST_FIELD_NAME = 6;

[[nodiscard]] std::string_view argument_or(int argc, char** argv, int index,
                                           std::string_view fallback) {
    return argc > index ? std::string_view(argv[index]) : fallback;
}

[[nodiscard]] RecordFile open_with_retries(const char* path) {
    RecordFile file = open_record_file(path);
    for (int attempt = 0; !is_open(file) && attempt < OPEN_RETRIES; ++attempt) {
        wait_for_clock_tick();
        file = open_record_file(path);
    }
    return file;
}

int report_not_found(std::string_view result_name, std::string_view not_found_text) {
    write_first_pair(result_name, not_found_text);
    write_trailer();
    return EXIT_NOT_FOUND;
}

} // namespace

int main(int argc, char** argv) {
    result_init();

    const std::string_view result_name =
        argument_or(argc, argv, ARG_RESULT_NAME, DEFAULT_RESULT_NAME);
    const std::string_view found_text = argument_or(argc, argv, ARG_FOUND_TEXT, DEFAULT_FOUND_TEXT);
    const std::string_view not_found_text =
        argument_or(argc, argv, ARG_NOT_FOUND_TEXT, DEFAULT_NOT_FOUND_TEXT);

    if (argc <= ARG_KEY) {
        return report_not_found(result_name, not_found_text);
    }
    // Trimmed over its whole length and never copied: a key of any length
    // is compared whole.
    const std::string_view key = trimmed(argv[ARG_KEY]);

    RecordFile file = open_with_retries(argv[ARG_FILE]);
    if (!is_open(file)) {
        write_error_line();
        return report_not_found(result_name, not_found_text);
    }

    char storage[READER_STORAGE_SIZE];
    TextReader reader = text_reader_start(file, storage);
    std::string_view record;
    const bool found = find_record_in(reader, key, record);
    // The record lives in our storage: the file is done with before any
    // output, so a slow reader of our output never holds it open.
    close_record_file(file);
    if (!found) {
        return report_not_found(result_name, not_found_text);
    }
    write_first_pair(result_name, found_text);
    char field[TEXT_BUF_SIZE];
    std::size_t cursor = 0;
    read_field(record, cursor, std::span(field, FIELD_LIMIT)); // the key itself
    for (int i = ARG_FIRST_FIELD_NAME; i < argc; ++i) {
        read_field(record, cursor, std::span(field, FIELD_LIMIT));
        trim_field(field);
        write_extra_pair(argv[i], field);
    }
    write_trailer();
    return EXIT_FOUND;
}
