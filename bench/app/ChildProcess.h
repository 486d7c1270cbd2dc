#pragma once
// A program under measurement, started as a child with extra environment and
// its output in a log file, and what /proc tells about it from outside.

#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

class ChildProcess {
public:
    // Starts argv[0] (looked up on PATH) with the given variables added to
    // this process's environment; stdout and stderr go to logPath. Check
    // Running() for whether it started.
    ChildProcess(const std::vector<std::string> &argv,
                 const std::vector<std::pair<std::string, std::string>> &environment,
                 const std::string &logPath);
    // Stops the program: SIGTERM, then SIGKILL after 5 seconds.
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // False once the program has ended; ExitText then tells how.
    bool Running();
    std::string ExitText() const;

    // Whether the program holds the file at path open.
    bool HasOpen(const std::string &path) const;
    // User and system CPU seconds of all its threads so far.
    double CpuSeconds() const;
    // Peak and current resident set size in kB (VmHWM, VmRSS).
    long PeakRssKb() const;
    long RssKb() const;

private:
    long StatusKb(const char *field) const;

    pid_t m_pid = -1;
    int m_status = 0;
    bool m_ended = false;
};

// The full path of a program name as execvp would find it; empty if none.
std::string FindOnPath(const std::string &name);
