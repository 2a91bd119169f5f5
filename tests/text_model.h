// The rules of a record file read the slow and obvious way, for tests and
// fuzzers to hold the tool's block reader and scanner against: the bytes up
// to the first Ctrl-Z, each CR LF made an LF, cut into lines at LF, each
// line's record its first LINE_BUF_SIZE - 1 bytes; and the small pieces of
// the obvious reading that they share.
#pragma once

#include "scanner.h"
#include "text_reader.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

inline std::vector<std::string> model_records(std::string_view file) {
    std::string text;
    for (std::size_t i = 0; i < file.size() && file[i] != CTRL_Z; ++i) {
        if (!(file[i] == '\r' && i + 1 < file.size() && file[i + 1] == '\n')) {
            text += file[i];
        }
    }
    std::vector<std::string> records;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t lf = text.find('\n', start);
        const std::size_t end = lf == std::string::npos ? text.size() : lf;
        records.push_back(text.substr(start, std::min(end - start, LINE_BUF_SIZE - 1)));
        start = end + 1;
    }
    return records;
}

// The records of a run of whole lines as the text reader hands them out:
// cut at each LF, each line's record taken by the tool's own record_of.
inline std::vector<std::string> run_records(std::string_view lines) {
    std::vector<std::string> records;
    while (!lines.empty()) {
        const std::size_t lf = lines.find('\n');
        const bool ended = lf != std::string_view::npos;
        const std::size_t size = ended ? lf : lines.size();
        records.emplace_back(record_of(lines.substr(0, size), ended));
        lines.remove_prefix(ended ? size + 1 : size);
    }
    return records;
}

// The first of `records` whose first field matches `key`, or null.
inline const std::string* first_match(const std::vector<std::string>& records,
                                      std::string_view key) {
    const auto match = std::find_if(records.begin(), records.end(), [&](const std::string& r) {
        return first_field_matches(r, key);
    });
    return match != records.end() ? &*match : nullptr;
}
