// Starting orvane-ensemble (or mpirun) as a separate process in a test, and
// stopping it midway.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "ensemble_support.h"

extern char** environ;

namespace orvane::ensemble::testing {

inline std::string EnsembleProgram() { return std::string(ORVANE_BIN_DIR) + "/orvane-ensemble"; }

struct TExit {
    int code = -1;  // the exit status, or minus the signal that ended it
    std::string out;
    std::string err;
};

// Sends `signal` once `file` has grown past `bytes` (or after a few seconds).
struct TStop {
    int signal = 0;
    std::string file;
    std::uintmax_t bytes = 0;
};

// Runs args[0] with args, the environment plus `env` ("NAME=value"), and
// standard output and error into files of `dir`.
inline TExit Spawn(std::vector<std::string> args, const TScratch& dir, const std::vector<std::string>& env = {},
                   const TStop& stop = {}) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> vars(env);
    for (char** e = environ; *e; ++e) vars.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& v : vars) envp.push_back(v.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, dir.File("out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&files, 2, dir.File("err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    EXPECT_EQ(posix_spawnp(&pid, argv[0], &files, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&files);
    if (stop.signal) {
        std::error_code ec;
        for (int i = 0; i < 3000; ++i) {
            if (std::filesystem::file_size(stop.file, ec) > stop.bytes && !ec) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        kill(pid, stop.signal);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    TExit r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    r.out = ReadBytes(dir.File("out.txt"));
    r.err = ReadBytes(dir.File("err.txt"));
    return r;
}

}  // namespace orvane::ensemble::testing
