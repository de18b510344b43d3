#pragma once
// Programs run as child processes by the benchmarks: started with their
// output in a log file, their memory read from /proc while they run.

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

// The program a benchmark runs: the one the environment variable `env`
// names, otherwise the one built beside the benchmark (`built`, null when it
// was not built).
inline std::optional<std::string> ProgramPath(const char* env, const char* built) {
    if (const char* path = std::getenv(env)) return std::string(path);
    if (built) return std::string(built);
    return std::nullopt;
}

// Starts `args` with standard input from /dev/null and standard output and
// error into `log`; the process id, or nothing when it could not start.
inline std::optional<pid_t> SpawnChild(const std::vector<std::string>& args,
                                       const std::string& log) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return std::nullopt;
    return pid;
}

// A memory line of the child's /proc status in KiB ("VmHWM:" its peak
// resident set so far, "VmRSS:" the current one); 0 once it has gone. The
// rusage of a waited-for child will not do for the peak: a process started
// from this one carries this process's peak over its exec.
inline long ChildMemoryKib(pid_t pid, const std::string& key) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0) return std::strtol(line.c_str() + key.size(), nullptr, 10);
    }
    return 0;
}

inline std::string FileText(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
