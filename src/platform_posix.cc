#include "platform.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr long NANOS_PER_SECOND = 1'000'000'000L;
// Most parts a piece is made of (the extra pair has four).
constexpr std::size_t MAX_PIECE_PARTS = 8;

[[nodiscard]] long long nanoseconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<long long>(now.tv_sec) * NANOS_PER_SECOND + now.tv_nsec;
}

} // namespace

RecordFile open_record_file(const char* path) {
    // O_NONBLOCK keeps a FIFO without a writer from hanging the open; reads
    // go back to blocking below, so a pipe with a writer is read in full.
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return RecordFile{NO_FILE};
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(fd);
        return RecordFile{NO_FILE};
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) {
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    return RecordFile{fd};
}

std::size_t read_record_file(RecordFile file, std::span<char> into) {
    for (;;) {
        const ssize_t got = read(static_cast<int>(file.handle), into.data(), into.size());
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            return 0;
        }
    }
}

void close_record_file(RecordFile& file) {
    if (is_open(file)) {
        close(static_cast<int>(file.handle));
        file.handle = NO_FILE;
    }
}

void wait_for_clock_tick() {
    // Both readings from one clock: time() may run on a coarser clock that
    // lags a tick behind, which would end the next wait at once.
    const long long start = nanoseconds(CLOCK_REALTIME) / NANOS_PER_SECOND;
    const long long give_up = nanoseconds(CLOCK_MONOTONIC) + NANOS_PER_SECOND;
    for (;;) {
        const long long wall = nanoseconds(CLOCK_REALTIME);
        if (wall / NANOS_PER_SECOND > start) {
            return;
        }
        const long long left = give_up - nanoseconds(CLOCK_MONOTONIC);
        if (left <= 0) {
            return; // the wall clock went back: a tick is owed, not a long wait
        }
        long long nap = NANOS_PER_SECOND - wall % NANOS_PER_SECOND;
        if (nap > left) {
            nap = left;
        }
        const timespec pause{static_cast<time_t>(nap / NANOS_PER_SECOND),
                             static_cast<long>(nap % NANOS_PER_SECOND)};
        nanosleep(&pause, nullptr);
    }
}

void output_init() {
    signal(SIGPIPE, SIG_IGN);
}

void write_piece(std::span<const std::string_view> parts) {
    iovec vec[MAX_PIECE_PARTS];
    int count = 0;
    for (const std::string_view part : parts) {
        if (!part.empty() && count < static_cast<int>(MAX_PIECE_PARTS)) {
            vec[count++] = iovec{const_cast<char*>(part.data()), part.size()};
        }
    }
    // One writev for the whole piece; only a short write takes another turn.
    int first = 0;
    while (first < count) {
        ssize_t wrote = writev(STDOUT_FILENO, vec + first, count - first);
        if (wrote < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        while (first < count && static_cast<std::size_t>(wrote) >= vec[first].iov_len) {
            wrote -= static_cast<ssize_t>(vec[first].iov_len);
            ++first;
        }
        if (first < count) {
            vec[first].iov_base = static_cast<char*>(vec[first].iov_base) + wrote;
            vec[first].iov_len -= static_cast<std::size_t>(wrote);
        }
    }
}
