// A program run as its own process, as a script runs it: its exit status and what it wrote to
// standard output and standard error (kept in files of `dir` meanwhile).
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

struct Ran {
    int status;
    std::string out, err;
};

inline std::string FileBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

// Started, not waited for: the process's id, or -1. `tag` tells its output files apart; `input`,
// when given, is the file its standard input reads.
inline pid_t StartProgram(std::vector<std::string> args, const std::filesystem::path& dir,
                          const std::string& tag = "", const std::string& input = "") {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const std::string out = (dir / ("stdout" + tag)).string();
    const std::string err = (dir / ("stderr" + tag)).string();
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!input.empty()) posix_spawn_file_actions_addopen(&files, 0, input.c_str(), O_RDONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    return spawned == 0 ? pid : -1;
}

inline Ran WaitForProgram(pid_t pid, const std::filesystem::path& dir,
                          const std::string& tag = "") {
    int status = -1;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return {-1, {}, {}};
    return {WEXITSTATUS(status), FileBytes(dir / ("stdout" + tag)),
            FileBytes(dir / ("stderr" + tag))};
}

inline Ran RunProgram(std::vector<std::string> args, const std::filesystem::path& dir,
                      const std::string& input = "") {
    return WaitForProgram(StartProgram(std::move(args), dir, "", input), dir);
}
