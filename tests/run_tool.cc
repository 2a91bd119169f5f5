#include "run_tool.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// RECLOOKUP_TEST_WINE_EXE names a Windows build to test instead of the
// native one: it runs under Wine, and its lines end in CR LF.
const char* wine_exe() {
    const char* exe = std::getenv("RECLOOKUP_TEST_WINE_EXE");
    return exe != nullptr && *exe != '\0' ? exe : nullptr;
}

} // namespace

const std::string& tool_path() {
    static const std::string path = wine_exe() != nullptr ? wine_exe() : RECLOOKUP_PATH;
    return path;
}

const std::string& line_end() {
    static const std::string end = wine_exe() != nullptr ? "\r\n" : "\n";
    return end;
}

std::string lines(std::string text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n') {
            out += line_end();
        } else {
            out += c;
        }
    }
    return out;
}

bool tool_is_wrapped() {
    return wine_exe() != nullptr;
}

std::size_t argument_limit() {
    return tool_is_wrapped() ? 5000 : 100 * 1024;
}

double startup_allowance() {
    return tool_is_wrapped() ? 3.0 : 0.0;
}

ToolRun run_tool(const std::vector<std::string>& args, bool close_output) {
    std::vector<std::string> argv;
    if (tool_is_wrapped()) {
        argv.push_back("wine");
    }
    argv.push_back(tool_path());
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(argv, close_output);
}

ToolRun run_program(const std::vector<std::string>& argv_in, bool close_output) {
    std::vector<std::string> argv_strings = argv_in;
    std::vector<char*> argv;
    for (std::string& s : argv_strings) {
        argv.push_back(s.data());
    }
    argv.push_back(nullptr);

    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) {
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[1]);
    // The tool must cope with SIGPIPE itself, not inherit our choice.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);

    if (close_output) {
        close(pipe_fds[0]);
    }
    const auto started = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const std::string program = argv_strings[0];
    const int spawned = posix_spawnp(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(pipe_fds[1]);

    ToolRun run;
    if (!close_output) {
        char buf[65536];
        ssize_t got = 0;
        while ((got = read(pipe_fds[0], buf, sizeof buf)) > 0) {
            run.out.append(buf, static_cast<std::size_t>(got));
        }
        close(pipe_fds[0]);
    }
    if (spawned != 0) {
        return run;
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    return run;
}

ScratchDir::ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "reclookup_XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) {
        dir_ = pattern;
    }
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

std::string ScratchDir::path(const std::string& name) const {
    return dir_ + "/" + name;
}

std::string ScratchDir::write(const std::string& name, const std::string& content) const {
    const std::string file = path(name);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << content;
    return file;
}
