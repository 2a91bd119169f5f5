#include "platform.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

// FILETIME counts 100 ns steps from 1601, a whole number of seconds before
// 1970, so its seconds tick together with time().
constexpr ULONGLONG FILETIME_TICKS_PER_SECOND = 10'000'000ULL;
constexpr ULONGLONG FILETIME_TICKS_PER_MILLI = 10'000ULL;
constexpr ULONGLONG MILLIS_PER_SECOND = 1'000ULL;
// Standard output is text mode on Windows: LF leaves as CR LF. Pieces are
// translated through this much stack at a time, so a piece up to this long
// (nearly all are) leaves in one write.
constexpr std::size_t OUTPUT_CHUNK = 4096;

[[nodiscard]] ULONGLONG wall_ticks() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

void write_all(HANDLE out, const char* data, std::size_t size) {
    while (size > 0) {
        DWORD wrote = 0;
        if (!WriteFile(out, data, static_cast<DWORD>(size), &wrote, nullptr) || wrote == 0) {
            return;
        }
        data += wrote;
        size -= wrote;
    }
}

} // namespace

RecordFile open_record_file(const char* path) {
    // Full sharing: writers, renamers and deleters of the file are not ours
    // to stop. Without FILE_FLAG_BACKUP_SEMANTICS a directory does not open.
    const HANDLE file =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return RecordFile{NO_FILE};
    }
    return RecordFile{reinterpret_cast<std::intptr_t>(file)};
}

std::size_t read_record_file(RecordFile file, std::span<char> into) {
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(file.handle), into.data(),
                  static_cast<DWORD>(into.size()), &got, nullptr)) {
        return 0;
    }
    return got;
}

void close_record_file(RecordFile& file) {
    if (is_open(file)) {
        CloseHandle(reinterpret_cast<HANDLE>(file.handle));
        file.handle = NO_FILE;
    }
}

void wait_for_clock_tick() {
    const ULONGLONG start = wall_ticks() / FILETIME_TICKS_PER_SECOND;
    const ULONGLONG give_up = GetTickCount64() + MILLIS_PER_SECOND;
    for (;;) {
        const ULONGLONG wall = wall_ticks();
        if (wall / FILETIME_TICKS_PER_SECOND > start) {
            return;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= give_up) {
            return; // the wall clock went back: a tick is owed, not a long wait
        }
        ULONGLONG nap = (FILETIME_TICKS_PER_SECOND - wall % FILETIME_TICKS_PER_SECOND +
                         FILETIME_TICKS_PER_MILLI - 1) /
                        FILETIME_TICKS_PER_MILLI;
        if (nap > give_up - now) {
            nap = give_up - now;
        }
        Sleep(static_cast<DWORD>(nap));
    }
}

void output_init() {}

void write_piece(std::span<const std::string_view> parts) {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    char chunk[OUTPUT_CHUNK];
    std::size_t used = 0;
    for (const std::string_view part : parts) {
        for (const char c : part) {
            if (used + 2 > sizeof chunk) {
                write_all(out, chunk, used);
                used = 0;
            }
            if (c == '\n') {
                chunk[used++] = '\r';
            }
            chunk[used++] = c;
        }
    }
    write_all(out, chunk, used);
}
