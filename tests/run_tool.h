// Runs the built tool as its callers do and captures exactly what it prints.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct ToolRun {
    std::string out;    // every byte written to standard output
    int status = -1;    // exit status, or -1 when it did not exit normally
    double seconds = 0; // wall time from start to exit
};

// The line end the tool writes: CR LF where it runs as a Windows program.
const std::string& line_end();

// Replaces each LF of `text` with line_end().
std::string lines(std::string text);

// Runs the tool with `args` (argument 0 is added). With `close_output`, its
// standard output is a pipe that nobody reads.
ToolRun run_tool(const std::vector<std::string>& args, bool close_output = false);

// Runs any program, looked up on PATH, with `argv` (argument 0 first).
ToolRun run_program(const std::vector<std::string>& argv, bool close_output = false);

// True when the tool runs under a wrapper (a Windows build under Wine).
bool tool_is_wrapped();

// The longest single argument the tests give the tool: a Windows command
// line holds 32,767 characters in all.
std::size_t argument_limit();

// Seconds a wrapper may add to the tool's own time (Wine starting up).
double startup_allowance();

// Path of the tool binary under test: the native build, or the Windows build
// named by RECLOOKUP_TEST_WINE_EXE (which takes the same file paths).
const std::string& tool_path();

// A fresh directory for one test's files, removed with the object.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    // Writes `content` byte for byte to `name` in the directory; returns its path.
    std::string write(const std::string& name, const std::string& content) const;
    std::string path(const std::string& name) const;

  private:
    std::string dir_;
};
