// What the tool asks of the kernel, seen through strace: it opens the record
// file for reading only, never locks or writes it, retries a failed open the
// set number of times, and writes each piece of output in one call.
#include "run_tool.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

// One line of `strace -f` output: "PID name(arguments) = result".
struct Call {
    std::string name;
    std::string args;
    std::string result;
};

Call parse(const std::string& line) {
    Call call;
    const std::size_t open = line.find('(');
    const std::size_t close = line.rfind(") = ");
    if (open == std::string::npos || close == std::string::npos || close < open) {
        return call;
    }
    const std::size_t space = line.rfind(' ', open);
    const std::size_t name_start = space == std::string::npos ? 0 : space + 1;
    call.name = line.substr(name_start, open - name_start);
    call.args = line.substr(open + 1, close - open - 1);
    call.result = line.substr(close + 4);
    return call;
}

bool is_open_of(const Call& call, const std::string& path) {
    return (call.name == "open" || call.name == "openat") &&
           call.args.find("\"" + path + "\"") != std::string::npos;
}

std::string first_arg(const Call& call) {
    return call.args.substr(0, call.args.find(','));
}

class Syscalls : public ::testing::Test {
  protected:
    void SetUp() override {
        if (tool_is_wrapped() || run_program({"strace", "-V"}).status != 0) {
            GTEST_SKIP() << "needs strace and a native tool";
        }
    }

    // Runs the tool under strace and returns the system calls it made.
    std::vector<Call> trace(const std::vector<std::string>& args, ToolRun& run) {
        const std::string log = dir_.path("trace.log");
        // A sanitizer build's leak check cannot run under ptrace: not asked for.
        std::vector<std::string> argv{
            "strace", "-f", "-qq",      "-s", "256", "-E", "ASAN_OPTIONS=detect_leaks=0",
            "-o",     log,  tool_path()};
        argv.insert(argv.end(), args.begin(), args.end());
        run = run_program(argv);
        std::vector<Call> calls;
        std::ifstream in(log);
        for (std::string line; std::getline(in, line);) {
            calls.push_back(parse(line));
        }
        return calls;
    }

    ScratchDir dir_;
};

TEST_F(Syscalls, MissingFileIsTriedSixTimes) {
    const std::string missing = dir_.path("missing.csv");
    ToolRun run;
    int opens = 0;
    for (const Call& call : trace({missing, "k"}, run)) {
        opens += is_open_of(call, missing) ? 1 : 0;
    }
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(opens, 6);
}

TEST_F(Syscalls, RecordFileIsOnlyReadAndEachPieceIsOneWrite) {
    const std::string file = dir_.write("records.csv", "a,1\nk,2,3\n");
    ToolRun run;
    const std::vector<Call> calls = trace({file, "k", "d", "f", "n", "x", "y"}, run);
    EXPECT_EQ(run.out, "d=f&x=2&y=3&end=1\n");

    std::string fd;
    for (const Call& call : calls) {
        if (is_open_of(call, file)) {
            EXPECT_NE(call.args.find("O_RDONLY"), std::string::npos) << call.args;
            EXPECT_EQ(call.args.find("O_CREAT"), std::string::npos) << call.args;
            EXPECT_EQ(call.args.find("O_TRUNC"), std::string::npos) << call.args;
            fd = call.result;
        }
    }
    ASSERT_FALSE(fd.empty()) << "the record file was never opened";
    int output_writes = 0;
    for (const Call& call : calls) {
        EXPECT_NE(call.name, "flock");
        // F_SETLK, F_SETLKW, F_OFD_SETLK and F_OFD_SETLKW: every lock fcntl takes.
        EXPECT_FALSE(call.name == "fcntl" && call.args.find("SETLK") != std::string::npos)
            << call.args;
        const bool writes = call.name == "write" || call.name == "writev" ||
                            call.name == "pwrite64" || call.name == "pwritev" ||
                            call.name == "ftruncate" || call.name == "fallocate";
        EXPECT_FALSE(writes && first_arg(call) == fd) << call.name << "(" << call.args << ")";
        output_writes += writes && first_arg(call) == "1" ? 1 : 0;
    }
    // First pair, two extra pairs, trailer: four pieces, four writes.
    EXPECT_EQ(output_writes, 4);
}

} // namespace
