// Benchmark baseline only, not part of the tool: the plain way to do the same
// lookup, one fgets line and one byte at a time, for the speed comparison in
// bench/run. Prints "found" or "not found".
#include <cstdio>
#include <cstring>

namespace {

void read_field(const char* line, std::size_t& cursor, char* out, std::size_t capacity) {
    std::size_t count = 0;
    for (;;) {
        const char c = line[cursor];
        if (c == '\0' || c == '\n' || c == '\r') {
            break;
        }
        ++cursor;
        if (c == ',') {
            break;
        }
        if (count + 1 < capacity) {
            out[count++] = c;
        }
    }
    out[count] = '\0';
}

void trim_field(char* text) {
    std::size_t start = std::strspn(text, " \"");
    std::memmove(text, text + start, std::strlen(text + start) + 1);
    std::size_t size = std::strlen(text);
    while (size > 0 && (text[size - 1] == ' ' || text[size - 1] == '"')) {
        text[--size] = '\0';
    }
}

char fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool same(const char* a, const char* b) {
    for (; *a != '\0' && fold(*a) == fold(*b); ++a, ++b) {
    }
    return *a == '\0' && *b == '\0';
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        return 2;
    }
    char key[260];
    std::snprintf(key, sizeof key, "%s", argv[2]);
    trim_field(key);
    std::FILE* file = std::fopen(argv[1], "r");
    if (file == nullptr) {
        return 2;
    }
    char line[512];
    char field[260];
    while (std::fgets(line, sizeof line, file) != nullptr) {
        std::size_t cursor = 0;
        read_field(line, cursor, field, 256);
        trim_field(field);
        if (same(field, key)) {
            std::fclose(file);
            std::puts("found");
            return 0;
        }
    }
    std::fclose(file);
    std::puts("not found");
    return 1;
}
