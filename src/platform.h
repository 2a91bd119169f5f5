// The few things the tool needs from the operating system, behind one small
// interface so that the rest of the code reads the same on Linux and Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// An open record file, or none (handle NO_FILE).
struct RecordFile {
    std::intptr_t handle;
};
inline constexpr std::intptr_t NO_FILE = -1;

[[nodiscard]] inline bool is_open(RecordFile file) {
    return file.handle != NO_FILE;
}

// Opens `path` for reading only, in binary mode, without locking it or
// keeping anyone else from reading, writing, renaming or deleting it. A
// directory is not a record file: it does not open.
[[nodiscard]] RecordFile open_record_file(const char* path);

// Reads up to into.size() bytes. Returns 0 at end of file and on any error:
// a file that cannot be read on is a file that has ended.
[[nodiscard]] std::size_t read_record_file(RecordFile file, std::span<char> into);

void close_record_file(RecordFile& file);

// Returns when the wall clock's whole seconds have moved on from where they
// were at the call, sleeping meanwhile. A clock set back does not hold it up
// for much more than a second.
void wait_for_clock_tick();

// Makes standard output ready: nothing is buffered, and a reader that went
// away must not kill the process before it can return its exit status.
void output_init();

// Writes the parts, in order, as one piece of output and at once. Each LF
// goes out as the platform's line end. Failures are ignored: the exit status
// tells the lookup's outcome, not the output's.
void write_piece(std::span<const std::string_view> parts);
