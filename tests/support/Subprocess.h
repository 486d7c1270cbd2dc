#pragma once
// A child process of a test: a program started with the test's environment
// plus changes, or a function of the test run in a fork. It has a process
// group of its own, so that whatever it starts in turn (a bus daemon's
// activated services) ends with it, and it is sent SIGTERM if the test
// process dies first. A program's output goes to a log file, if one is given.

#include <functional>
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
        EnvChanges env{};
        std::string logPath{}; // stdout and stderr; /dev/null when empty
        int passFd = -1;       // handed to the child as its descriptor 3
        int stdioFd = -1;      // its stdin and stdout instead, when set (a pty)
        std::string workDir{}; // where it runs; the test's own folder when empty
    };

    Subprocess() = default;
    ~Subprocess() { Stop(); }
    Subprocess(const Subprocess &) = delete;
    Subprocess &operator=(const Subprocess &) = delete;

    bool Start(const Options &options);
    // Runs run() in a fork of the test process, which exits with its result.
    // Only what is safe after fork may run there: no Qt, no thread.
    bool Fork(const std::function<int()> &run);
    pid_t Pid() const { return m_pid; }
    bool Running();
    // The wait status once the process ended within timeoutMs, else nullopt.
    std::optional<int> Wait(int timeoutMs);
    // Whether the process stopped itself (SIGSTOP) within timeoutMs.
    bool WaitStopped(int timeoutMs);
    void Signal(int sig);
    // SIGTERM (and SIGCONT, for a stopped one) to the whole group, then
    // SIGKILL after graceMs.
    void Stop(int graceMs = 3000);

private:
    bool Spawn(const std::function<void()> &inChild);
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

// A fork that takes the exclusive lock on lockFile and stops itself, as an
// instance does that is stopped (Ctrl+Z, a debugger) while it holds a lock.
// True once it holds the lock and is stopped.
bool HoldLockStopped(Subprocess &child, const std::string &lockFile);
