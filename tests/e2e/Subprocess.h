#pragma once
// A child process of a test: started with the test's environment plus
// changes, in a process group of its own so that whatever it starts in turn
// (a bus daemon's activated services) ends with it, and sent SIGTERM if the
// test process dies first. Its output goes to a log file, if one is given.

#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// Variables to set; a nullopt value removes the variable.
using EnvChanges = std::map<std::string, std::optional<std::string>>;

class Subprocess {
public:
    struct Options {
        std::vector<std::string> argv;
        EnvChanges env;
        std::string logPath;  // stdout and stderr; /dev/null when empty
        int passFd = -1;      // handed to the child as its descriptor 3
    };

    Subprocess() = default;
    ~Subprocess() { Stop(); }
    Subprocess(const Subprocess &) = delete;
    Subprocess &operator=(const Subprocess &) = delete;

    bool Start(const Options &options);
    pid_t Pid() const { return m_pid; }
    bool Running();
    // The wait status once the process ended within timeoutMs, else nullopt.
    std::optional<int> Wait(int timeoutMs);
    void Signal(int sig);
    // SIGTERM to the whole group, then SIGKILL after graceMs.
    void Stop(int graceMs = 3000);

private:
    pid_t m_pid = -1;
    std::optional<int> m_status;
};

// "exit status 0", "killed by signal 9", "still running".
std::string DescribeStatus(std::optional<int> waitStatus);

// Runs a program to its end (at most timeoutMs) and gives its wait status.
std::optional<int> RunProgram(const std::vector<std::string> &argv, int timeoutMs,
                              const std::string &logPath = {});

// Whether an executable of that name is on PATH (or at that path).
bool HaveProgram(const std::string &name);
