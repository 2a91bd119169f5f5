// The tool from the outside: exact output bytes and exit status.
#include "run_tool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

using Args = std::vector<std::string>;

const std::string NOT_FOUND = "data=not found&end=1\n";
constexpr char CTRL_Z_BYTE = '\x1a';
constexpr std::size_t FIELD_VALUE_LIMIT = 255;
const std::string OPEN_FAILED = "Error - File open failed\ndata=not found&end=1\n";

const std::string RECORDS = "id,name,city\n"
                            "1234, Smith ,London\n"
                            "\"42\" ,\"Smith, John\",Paris,\n"
                            "ABC,upper,x\n"
                            ",empty key,y\n"
                            "1234,second,Rome\n";

struct Case {
    const char* what;
    Args args; // after the record file path
    std::string out;
    int status;
};

class Lookup : public ::testing::Test {
  protected:
    // Runs the tool on `content` with `args` after the path and checks every
    // byte it prints and its exit status.
    void expect_lookup(const std::string& content, const Args& args, const std::string& out,
                       int status, const char* what = "") {
        Args all{dir_.write("records.csv", content)};
        all.insert(all.end(), args.begin(), args.end());
        const ToolRun run = run_tool(all);
        EXPECT_EQ(run.out, lines(out)) << what;
        EXPECT_EQ(run.status, status) << what;
    }

    ScratchDir dir_;
};

TEST_F(Lookup, EveryOutcomeOfAGoodFile) {
    const Case cases[] = {
        {"defaults", {"1234"}, "data=found&end=1\n", 0},
        {"not found", {"999"}, NOT_FOUND, 1},
        {"own texts", {"1234", "r", "yes", "no"}, "r=yes&end=1\n", 0},
        {"own not-found text", {"999", "r", "yes", "no"}, "r=no&end=1\n", 1},
        {"extras",
         {"1234", "data", "found", "nf", "name", "city"},
         "data=found&name=Smith&city=London&end=1\n",
         0},
        {"first line wins", {"1234", "d", "f", "n", "name"}, "d=f&name=Smith&end=1\n", 0},
        {"header is a record", {"ID", "d", "f", "n", "c2"}, "d=f&c2=name&end=1\n", 0},
        {"case folded", {"abc", "d", "f", "n", "v"}, "d=f&v=upper&end=1\n", 0},
        {"key trimmed",
         {" \"42\"  ", "d", "f", "n", "a", "b", "c", "gone"},
         "d=f&a=Smith&b=John&c=Paris&gone=&end=1\n",
         0},
        {"empty key", {"\" \"", "d", "f", "n", "v"}, "d=f&v=empty key&end=1\n", 0},
        {"more names than fields",
         {"ABC", "d", "f", "n", "a", "b", "c", "d"},
         "d=f&a=upper&b=x&c=&d=&end=1\n",
         0},
        {"a name twice", {"1234", "d", "f", "n", "v", "v"}, "d=f&v=Smith&v=London&end=1\n", 0},
        {"five arguments, no extras", {"1234", "d", "f", "n"}, "d=f&end=1\n", 0},
        {"empty names", {"1234", "", "f", "n", ""}, "=f&=Smith&end=1\n", 0},
        {"nothing escaped", {"1234", "a&b", "x=y z", "n", "k=&"}, "a&b=x=y z&k=&=Smith&end=1\n", 0},
    };
    for (const Case& c : cases) {
        expect_lookup(RECORDS, c.args, c.out, c.status, c.what);
    }
}

TEST_F(Lookup, TooFewArgumentsOpenNothing) {
    EXPECT_EQ(run_tool({}).out, lines(NOT_FOUND));
    EXPECT_EQ(run_tool({}).status, 1);
    const ToolRun only_file = run_tool({dir_.path("missing.csv")});
    EXPECT_EQ(only_file.out, lines(NOT_FOUND));
    EXPECT_EQ(only_file.status, 1);
    EXPECT_LT(only_file.seconds, 1.0 + startup_allowance()); // no retries: nothing was opened
}

TEST_F(Lookup, OddFilesReadAsText) {
    const Case cases[] = {
        {"empty file", {"k"}, NOT_FOUND, 1},
        {"empty file, empty key", {""}, NOT_FOUND, 1},
    };
    for (const Case& c : cases) {
        expect_lookup("", c.args, c.out, c.status, c.what);
    }
    const Args extras{"k", "d", "f", "n", "a", "b"};
    expect_lookup("k,1,2\r\n", extras, "d=f&a=1&b=2&end=1\n", 0, "CR LF");
    expect_lookup("x\r\nk\r\n", {"k", "d", "f", "n", "a"}, "d=f&a=&end=1\n", 0, "CR LF, one field");
    expect_lookup("k,1\r2\n", extras, "d=f&a=1&b=&end=1\n", 0, "lone CR");
    expect_lookup("j,0\r\nk,1,2", extras, "d=f&a=1&b=2&end=1\n", 0, "no LF at the end");
    expect_lookup("j,0\n\x1a"
                  "k,1\n",
                  {"k"}, NOT_FOUND, 1, "Ctrl-Z ends the file");
    expect_lookup(std::string("k,1\0,2\nk2,3\n", 12), extras, "d=f&a=1&b=&end=1\n", 0, "NUL");
    expect_lookup("k,\xe9t\xe9\n", {"K", "d", "f", "n", "a"}, "d=f&a=\xe9t\xe9&end=1\n", 0,
                  "8-bit bytes pass as they are");
    expect_lookup("\xc9,1\n", {"\xe9"}, NOT_FOUND, 1, "only ASCII is folded");
}

// Arguments longer than any buffer of the tool.
TEST_F(Lookup, LongArgumentsAreTakenWhole) {
    const std::string pad(argument_limit() / 3, ' ');
    expect_lookup("k,v\n", {pad + "k" + pad, "d", "f", "n", "a"}, "d=f&a=v&end=1\n", 0,
                  "padded key");
    const std::string long_key(300, 'k');
    expect_lookup(long_key + ",v\n", {long_key}, NOT_FOUND, 1, "key longer than a field");
    expect_lookup(long_key.substr(0, 259) + ",v\n", {long_key}, NOT_FOUND, 1, "no cut-off key");
    const std::string found(argument_limit() / 2, 'F');
    const std::string not_found(argument_limit(), 'N');
    expect_lookup("k\n", {"k", "d", found}, "d=" + found + "&end=1\n", 0, "long found text");
    expect_lookup("k\n", {"x", "d", found, not_found}, "d=" + not_found + "&end=1\n", 1,
                  "long not-found text");
    const std::string long_name(argument_limit(), 'n');
    expect_lookup("k,v\n", {"k", "d", "f", "n", long_name}, "d=f&" + long_name + "=v&end=1\n", 0,
                  "long field name");
}

TEST_F(Lookup, LongLinesMakeOneRecordEach) {
    const std::string x511(511, 'x');
    // The tail of a long line is never read as a record of its own.
    const std::string phantom = std::string(511, 'a') + "k2,tail\n";
    expect_lookup(phantom, {"k2"}, NOT_FOUND, 1, "text past 511 bytes");
    expect_lookup(x511 + "\n", {""}, NOT_FOUND, 1, "511 bytes and LF: no empty record after");
    expect_lookup(x511 + "\nk,1\n", {"k", "d", "f", "n", "a"}, "d=f&a=1&end=1\n", 0,
                  "the next line is found");
    // Extra fields of a long matching line come from its first 511 bytes.
    const std::string value(300, 'v');
    const std::string line = "k," + value + "," + std::string(300, 'w') + ",z\n";
    expect_lookup(line, {"k", "d", "f", "n", "a", "b", "c"},
                  "d=f&a=" + value.substr(0, 255) + "&b=" + std::string(511 - 303, 'w') +
                      "&c=&end=1\n",
                  0, "long matching line");
    // A first field cut at 255 bytes must not pass for its first 255 bytes.
    const std::string field(300, 'k');
    expect_lookup(field + ",v\n", {field.substr(0, 255)}, NOT_FOUND, 1, "no prefix match");
    expect_lookup(std::string(255, 'k') + ",v\n", {field.substr(0, 255), "d", "f", "n", "a"},
                  "d=f&a=v&end=1\n", 0, "a first field of 255 bytes");
}

TEST_F(Lookup, HostileInputGetsAClearAnswer) {
    // Arguments of 100 KiB each (a fifth of a Windows command line), all at once.
    const std::size_t size = tool_is_wrapped() ? argument_limit() / 5 : argument_limit();
    const std::string big(size, 'x');
    const std::string padded_key = std::string(size / 2, ' ') + "k" + std::string(size / 2, '"');
    expect_lookup("k,v\n", {padded_key, big, big, big, big},
                  big + "=" + big + "&" + big + "=v&end=1\n", 0, "100 KiB arguments");

    // Random bytes, Ctrl-Z left out: the line after them is still found.
    std::mt19937 random(42);
    std::string noise(1 << 20, '\0');
    for (char& c : noise) {
        do {
            c = static_cast<char>(random() & 0xff);
        } while (c == CTRL_Z_BYTE);
    }
    const Args needle{"needle", "d", "f", "n", "v"};
    expect_lookup(noise + "\nneedle,ok\n", needle, "d=f&v=ok&end=1\n", 0, "random bytes");
    noise[noise.size() / 2] = CTRL_Z_BYTE;
    expect_lookup(noise + "\nneedle,ok\n", needle, "d=n&end=1\n", 1, "random bytes, Ctrl-Z");

    // Lines of megabytes, before the match and as the match.
    const std::string megabytes(3 << 20, 'm');
    expect_lookup(megabytes + "\nneedle,ok\n", needle, "d=f&v=ok&end=1\n", 0, "long line first");
    expect_lookup("needle,ok," + megabytes + "\n", {"needle", "d", "f", "n", "v", "w"},
                  "d=f&v=ok&w=" + std::string(FIELD_VALUE_LIMIT, 'm') + "&end=1\n", 0,
                  "long matching line");
    // One line of 20 MB and no LF at all.
    expect_lookup("needle,ok," + std::string(20 << 20, 'z'), needle, "d=f&v=ok&end=1\n", 0,
                  "one huge line");
    expect_lookup(std::string(20 << 20, 'z'), {"z"}, NOT_FOUND, 1, "one huge first field");
    expect_lookup(std::string(1 << 20, '\0'), {""}, "data=found&end=1\n", 0,
                  "NUL bytes: an empty first field");
    expect_lookup(std::string(1 << 20, '\r'), {"k"}, NOT_FOUND, 1, "lone CRs");
}

TEST_F(Lookup, FifoWithoutAWriterDoesNotHang) {
    if (tool_is_wrapped()) {
        GTEST_SKIP() << "a POSIX FIFO";
    }
    const std::string fifo = dir_.path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const ToolRun run = run_tool({fifo, "k"});
    EXPECT_EQ(run.out, NOT_FOUND);
    EXPECT_EQ(run.status, 1);
}

TEST_F(Lookup, ClosedOutputKeepsTheVerdict) {
    const std::string file = dir_.write("records.csv", RECORDS);
    // With nobody at the other end, the very first write fails.
    EXPECT_EQ(run_tool({file, "1234", "d", "f", "n", "name"}, true).status, 0);
    EXPECT_EQ(run_tool({file, "nope"}, true).status, 1);
}

// Opening that fails: retries, each ending when the seconds clock ticks.
class OpenRetries : public ::testing::Test {
  protected:
    ScratchDir dir_;
};

TEST_F(OpenRetries, MissingFileFailsAfterAboutFiveSeconds) {
    const ToolRun run = run_tool({dir_.path("missing.csv"), "k"});
    EXPECT_EQ(run.out, lines(OPEN_FAILED));
    EXPECT_EQ(run.status, 1);
    EXPECT_GE(run.seconds, 3.9);
    EXPECT_LE(run.seconds, 5.9 + startup_allowance());
}

TEST_F(OpenRetries, DirectoryIsAFileThatDoesNotOpen) {
    const ToolRun run = run_tool({dir_.path(""), "k", "d", "f", "n"});
    EXPECT_EQ(run.out, lines("Error - File open failed\nd=n&end=1\n"));
    EXPECT_EQ(run.status, 1);
    EXPECT_GE(run.seconds, 3.9);
}

TEST_F(OpenRetries, FileThatAppearsMeanwhileIsFound) {
    const std::string file = dir_.path("late.csv");
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(2200));
        const std::string staged = dir_.write("staged.tmp", "x,0\nk,late\n");
        std::filesystem::rename(staged, file);
    });
    const ToolRun run = run_tool({file, "k", "d", "f", "n", "a"});
    writer.join();
    EXPECT_EQ(run.out, lines("d=f&a=late&end=1\n"));
    EXPECT_EQ(run.status, 0);
    EXPECT_GE(run.seconds, 1.0);
    EXPECT_LT(run.seconds, 4.5 + startup_allowance());
}

} // namespace
