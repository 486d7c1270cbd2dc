#include "e2e/Subprocess.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {
std::vector<std::string> ChildEnvironment(const EnvChanges &changes)
{
    std::map<std::string, std::string> vars;
    for (char **e = environ; *e; ++e) {
        const std::string entry = *e;
        const size_t eq = entry.find('=');
        if (eq != std::string::npos)
            vars[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto &[name, value] : changes) {
        if (value)
            vars[name] = *value;
        else
            vars.erase(name);
    }
    std::vector<std::string> out;
    for (const auto &[name, value] : vars)
        out.push_back(name + "=" + value);
    return out;
}

std::vector<char *> Pointers(std::vector<std::string> &strings)
{
    std::vector<char *> out;
    for (std::string &s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}
} // namespace

bool Subprocess::Start(const Options &options)
{
    if (options.argv.empty() || m_pid > 0)
        return false;
    std::vector<std::string> argv = options.argv, envp = ChildEnvironment(options.env);
    std::vector<char *> argvPtr = Pointers(argv), envpPtr = Pointers(envp);
    const std::string log = options.logPath.empty() ? "/dev/null" : options.logPath;
    const int logFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (logFd < 0 || devNull < 0)
        return false;
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls from here to exec.
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        ::dup2(devNull, 0);
        ::dup2(logFd, 1);
        ::dup2(logFd, 2);
        int firstToClose = 3;
        if (options.passFd >= 0) {
            ::dup2(options.passFd, 3);
            firstToClose = 4;
        }
        // Nothing else of the test's (its pseudo-terminals above all) reaches the child.
        ::close_range(unsigned(firstToClose), ~0u, 0);
        ::execvpe(argvPtr[0], argvPtr.data(), envpPtr.data());
        ::_exit(127);
    }
    ::close(logFd);
    ::close(devNull);
    if (pid < 0)
        return false;
    ::setpgid(pid, pid); // also from here, so the group exists before Start returns
    m_pid = pid;
    m_status.reset();
    return true;
}

bool Subprocess::Running() { return m_pid > 0 && !Wait(0); }

std::optional<int> Subprocess::Wait(int timeoutMs)
{
    if (m_status || m_pid <= 0)
        return m_status;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        const pid_t r = ::waitpid(m_pid, &status, WNOHANG);
        if (r == m_pid || (r < 0 && errno == ECHILD)) {
            m_status = r == m_pid ? status : 255 << 8;
            return m_status;
        }
        if (std::chrono::steady_clock::now() >= end)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void Subprocess::Signal(int sig)
{
    if (m_pid > 0 && !m_status)
        ::kill(m_pid, sig);
}

void Subprocess::Stop(int graceMs)
{
    if (m_pid <= 0 || Wait(0))
        return;
    // The whole group: it outlives its leader when the leader started others.
    ::kill(-m_pid, SIGTERM);
    const bool ended = Wait(graceMs).has_value();
    ::kill(-m_pid, SIGKILL);
    if (!ended)
        Wait(graceMs);
}

std::string DescribeStatus(std::optional<int> status)
{
    if (!status)
        return "still running";
    if (WIFEXITED(*status))
        return "exit status " + std::to_string(WEXITSTATUS(*status));
    if (WIFSIGNALED(*status))
        return "killed by signal " + std::to_string(WTERMSIG(*status));
    return "wait status " + std::to_string(*status);
}

std::optional<int> RunProgram(const std::vector<std::string> &argv, int timeoutMs,
                              const std::string &logPath)
{
    Subprocess p;
    if (!p.Start({argv, {}, logPath, -1}))
        return std::nullopt;
    return p.Wait(timeoutMs);
}

bool HaveProgram(const std::string &name)
{
    if (name.find('/') != std::string::npos)
        return ::access(name.c_str(), X_OK) == 0;
    const char *path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}
