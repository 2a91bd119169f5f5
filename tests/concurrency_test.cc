// Lookups while another process keeps changing the record file under them.
// Whatever moment a lookup catches the file in, its output is one whole
// result line and its exit status agrees with it.
#include "run_tool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Thousands of lookups natively; a wrapped tool (Wine) or a sanitizer build
// starts far slower, so the lookups also stop after a while.
int lookups() {
    return tool_is_wrapped() ? 200 : 2000;
}
constexpr auto LOOKUP_TIME_LIMIT = std::chrono::seconds(40);

// The writer process stops by itself after this long, should the test die.
constexpr int WRITER_SECONDS_LIMIT = 300;

std::string version(char tag) {
    std::string content;
    for (int i = 0; i < 3000; ++i) {
        content += "row" + std::to_string(i) + ",filler " + tag + "," + std::to_string(i) + "\n";
        if (i == 1500) {
            content += "needle,value-";
            content += tag;
            content += ",tail\n";
        }
    }
    return content;
}

void write_all(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote <= 0) {
            return;
        }
        done += static_cast<std::size_t>(wrote);
    }
}

// Runs `change` over and over in a child process until stop_writer().
pid_t start_writer(void (*change)(const std::string& path, unsigned round),
                   const std::string& path) {
    const pid_t pid = fork();
    if (pid == 0) {
        const auto until =
            std::chrono::steady_clock::now() + std::chrono::seconds(WRITER_SECONDS_LIMIT);
        for (unsigned round = 0; std::chrono::steady_clock::now() < until; ++round) {
            change(path, round);
        }
        _exit(0);
    }
    return pid;
}

void stop_writer(pid_t pid) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// Rewrites the file in place: truncates it, writes a version in pieces,
// appends, cuts it short at odd lengths.
void rewrite_in_place(const std::string& path, unsigned round) {
    const std::string content = version(round % 2 == 0 ? 'A' : 'B');
    const int fd = open(path.c_str(), O_WRONLY | O_TRUNC);
    if (fd < 0) {
        return;
    }
    const std::size_t half = content.size() / 2;
    write_all(fd, content.substr(0, half));
    write_all(fd, content.substr(half));
    write_all(fd, "appended,row\n");
    if (round % 3 == 0) {
        if (ftruncate(fd, static_cast<off_t>((round * 7919U) % content.size())) != 0) {
            // a failed cut is just one version fewer
        }
    }
    close(fd);
}

// Replaces the file whole: a new version is written aside and renamed over.
void replace_atomically(const std::string& path, unsigned round) {
    const std::string staged = path + ".tmp";
    const int fd = open(staged.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        return;
    }
    write_all(fd, version(round % 2 == 0 ? 'A' : 'B'));
    close(fd);
    std::rename(staged.c_str(), path.c_str());
}

// A found line carries the needle's field as one of the versions wrote it,
// or cut short where a writer cut the file; a miss is the not-found line.
bool whole_result(const ToolRun& run, bool may_miss) {
    if (run.status == 1) {
        return may_miss && run.out == lines("d=n&end=1\n");
    }
    for (const std::string value : {"value-A", "value-B"}) {
        for (std::size_t size = may_miss ? 0 : value.size(); size <= value.size(); ++size) {
            if (run.status == 0 &&
                run.out == lines("d=f&v=" + value.substr(0, size) + "&end=1\n")) {
                return true;
            }
        }
    }
    return false;
}

class ConcurrentWriter : public ::testing::Test {
  protected:
    // Looks the needle up again and again while `change` runs in another
    // process; every result must be whole. Returns how many found it.
    int lookups_while(void (*change)(const std::string& path, unsigned round), bool may_miss) {
        const std::string file = dir_.write("records.csv", version('A'));
        const pid_t writer = start_writer(change, file);
        int found = 0;
        const auto until = std::chrono::steady_clock::now() + LOOKUP_TIME_LIMIT;
        for (int i = 0; i < lookups() && std::chrono::steady_clock::now() < until; ++i) {
            const ToolRun run = run_tool({file, "needle", "d", "f", "n", "v"});
            if (!whole_result(run, may_miss)) {
                ADD_FAILURE() << "lookup " << i << ": status " << run.status << ", output "
                              << testing::PrintToString(run.out);
                break;
            }
            found += run.status == 0 ? 1 : 0;
        }
        stop_writer(writer);
        return found;
    }

    ScratchDir dir_;
};

TEST_F(ConcurrentWriter, InPlaceRewritesGiveWholeResultLines) {
    // Some lookups must have found it: the writer did not keep it out of all.
    EXPECT_GT(lookups_while(rewrite_in_place, true), 0);
}

TEST_F(ConcurrentWriter, AtomicReplacementNeverHidesAKeyBothVersionsHold) {
    lookups_while(replace_atomically, false);
}

} // namespace
