#include "scanner.h"

#include <cstring>

namespace {

constexpr char FIELD_SEPARATOR = ',';

[[nodiscard]] constexpr bool ends_field(char c) {
    return c == FIELD_SEPARATOR || c == '\n' || c == '\r' || c == '\0';
}

[[nodiscard]] constexpr bool is_trimmed_away(char c) {
    return c == ' ' || c == '"';
}

// string_view::substr checks its position and could throw; these cannot.
[[nodiscard]] constexpr std::string_view prefix(std::string_view text, std::size_t size) {
    return {text.data(), size < text.size() ? size : text.size()};
}

[[nodiscard]] constexpr char fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

} // namespace

void read_field(std::string_view line, std::size_t& cursor, std::span<char> out) {
    std::size_t count = 0;
    while (cursor < line.size()) {
        const char c = line[cursor];
        if (c == '\n' || c == '\r' || c == '\0') {
            break; // the line's fields are over; the cursor stays here
        }
        ++cursor;
        if (c == FIELD_SEPARATOR) {
            break;
        }
        if (count + 1 < out.size()) {
            out[count++] = c;
        }
    }
    out[count] = '\0';
}

std::string_view trimmed(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size() && is_trimmed_away(text[begin])) {
        ++begin;
    }
    std::size_t end = text.size();
    while (end > begin && is_trimmed_away(text[end - 1])) {
        --end;
    }
    return {text.data() + begin, end - begin};
}

void trim_field(char* text) {
    const std::string_view kept = trimmed(text);
    std::memmove(text, kept.data(), kept.size());
    text[kept.size()] = '\0';
}

bool key_matches(std::string_view field, std::string_view key) {
    if (field.size() != key.size()) {
        return false;
    }
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (fold(field[i]) != fold(key[i])) {
            return false;
        }
    }
    return true;
}

bool first_field_matches(std::string_view line, std::string_view key) {
    const std::string_view head = prefix(line, FIELD_LIMIT);
    std::size_t end = 0;
    while (end < head.size() && !ends_field(head[end])) {
        ++end;
    }
    if (end == FIELD_LIMIT) {
        return false; // longer than a field may be: never a key
    }
    return key_matches(trimmed(prefix(head, end)), key);
}
