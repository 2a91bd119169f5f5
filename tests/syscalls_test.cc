// What the tool asks of the kernel, seen through strace: it opens the record
// file for reading only, never locks or writes it, retries a failed open the
// set number of times, and writes each piece of output in one call.
#include "run_tool.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

class Syscalls : public ::testing::Test {
  protected:
    void SetUp() override {
        if (tool_is_wrapped() || run_program({"strace", "-V"}).status != 0) {
            GTEST_SKIP() << "needs strace and a native tool";
        }
    }

    // Runs the tool under strace; returns the trace, one system call a line.
    std::vector<std::string> trace(const std::vector<std::string>& args, ToolRun& run) {
        const std::string log = dir_.path("trace.log");
        std::vector<std::string> argv{"strace", "-f", "-qq", "-s", "64", "-o", log, tool_path()};
        argv.insert(argv.end(), args.begin(), args.end());
        run = run_program(argv);
        std::vector<std::string> calls;
        std::ifstream in(log);
        for (std::string line; std::getline(in, line);) {
            calls.push_back(line);
        }
        return calls;
    }

    static int count(const std::vector<std::string>& calls, const std::regex& pattern) {
        int n = 0;
        for (const std::string& call : calls) {
            n += std::regex_search(call, pattern) ? 1 : 0;
        }
        return n;
    }

    ScratchDir dir_;
};

TEST_F(Syscalls, MissingFileIsTriedSixTimes) {
    const std::string missing = dir_.path("missing.csv");
    ToolRun run;
    const auto calls = trace({missing, "k"}, run);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(count(calls, std::regex("open(at)?\\(.*\"" + missing + "\"")), 6);
}

TEST_F(Syscalls, RecordFileIsOnlyReadAndEachPieceIsOneWrite) {
    const std::string file = dir_.write("records.csv", "a,1\nk,2,3\n");
    ToolRun run;
    const auto calls = trace({file, "k", "d", "f", "n", "x", "y"}, run);
    EXPECT_EQ(run.out, "d=f&x=2&y=3&end=1\n");

    const std::regex open_call("open(at)?\\(.*\"" + file + "\", ([A-Z_|]+).*= (\\d+)");
    std::string fd;
    for (const std::string& call : calls) {
        std::smatch m;
        if (std::regex_search(call, m, open_call)) {
            EXPECT_NE(m[2].str().find("O_RDONLY"), std::string::npos) << call;
            EXPECT_EQ(m[2].str().find("O_CREAT"), std::string::npos) << call;
            EXPECT_EQ(m[2].str().find("O_TRUNC"), std::string::npos) << call;
            fd = m[3].str();
        }
    }
    ASSERT_FALSE(fd.empty()) << "the record file was never opened";
    EXPECT_EQ(count(calls, std::regex("\\b(flock|lockf)\\(")), 0);
    EXPECT_EQ(count(calls, std::regex("fcntl\\(.*F_(OFD_)?SETLKW?")), 0);
    EXPECT_EQ(count(calls, std::regex("\\b(p?writev?|pwrite64|ftruncate|fallocate)\\(" + fd + ",")),
              0);
    // First pair, two extra pairs, trailer: four pieces, four writes.
    EXPECT_EQ(count(calls, std::regex("\\b(write|writev)\\(1,")), 4);
}

} // namespace
