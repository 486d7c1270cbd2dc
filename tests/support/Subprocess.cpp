#include "support/Subprocess.h"

#include "support/WaitUntil.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {
// The strings as an exec argument list, ending in a null pointer.
std::vector<char *> Pointers(std::vector<std::string> &strings)
{
    std::vector<char *> out;
    for (std::string &s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}
} // namespace

// Forks; the child gets a group of its own and its end with the test, and
// runs inChild, which must not return (only async-signal-safe calls there).
bool Subprocess::Spawn(const std::function<void()> &inChild)
{
    if (m_pid > 0)
        return false;
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) // the test has already gone
            ::_exit(127);
        inChild();
    }
    if (pid < 0)
        return false;
    ::setpgid(pid, pid); // also from here, so the group exists before Start returns
    m_pid = pid;
    m_status.reset();
    return true;
}

bool Subprocess::Start(const Options &options)
{
    if (options.argv.empty())
        return false;
    // The test's environment with the changes made: built before the fork, as
    // nothing that allocates may run between fork and exec.
    std::vector<std::string> argv = options.argv, envp;
    for (char **e = environ; *e; ++e)
        if (!options.env.count(std::string(*e, std::strcspn(*e, "="))))
            envp.push_back(*e);
    for (const auto &[name, value] : options.env)
        if (value)
            envp.push_back(name + "=" + *value);
    std::vector<char *> argvPtr = Pointers(argv), envpPtr = Pointers(envp);
    const std::string log = options.logPath.empty() ? "/dev/null" : options.logPath;
    const int logFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const bool started = logFd >= 0 && devNull >= 0 && Spawn([&] {
        ::dup2(options.stdioFd >= 0 ? options.stdioFd : devNull, 0);
        ::dup2(options.stdioFd >= 0 ? options.stdioFd : logFd, 1);
        ::dup2(logFd, 2);
        // dup2 onto itself keeps close-on-exec: a descriptor that is already 3 drops the flag instead.
        if (options.passFd == 3)
            ::fcntl(3, F_SETFD, 0);
        else if (options.passFd >= 0)
            ::dup2(options.passFd, 3);
        // Nothing else of the test's (its pseudo-terminals above all) reaches the child.
        ::close_range(options.passFd >= 0 ? 4u : 3u, ~0u, 0);
        if (options.workDir.empty() || ::chdir(options.workDir.c_str()) == 0)
            ::execvpe(argvPtr[0], argvPtr.data(), envpPtr.data());
        ::_exit(127);
    });
    ::close(logFd);
    ::close(devNull);
    return started;
}

bool Subprocess::Fork(const std::function<int()> &run) { return Spawn([&] { ::_exit(run()); }); }

bool Subprocess::Running() { return m_pid > 0 && !Wait(0); }

std::optional<int> Subprocess::Wait(int timeoutMs)
{
    if (m_status || m_pid <= 0)
        return m_status;
    WaitUntil([&] {
        int status = 0;
        const pid_t r = ::waitpid(m_pid, &status, WNOHANG);
        if (r == m_pid || (r < 0 && errno == ECHILD))
            m_status = r == m_pid ? status : 255 << 8;
        return m_status.has_value();
    }, timeoutMs, [] { ::usleep(5000); });
    return m_status;
}

bool Subprocess::WaitStopped(int timeoutMs)
{
    return m_pid > 0 && WaitUntil([&] {
        int status = 0;
        return ::waitpid(m_pid, &status, WNOHANG | WUNTRACED) == m_pid && WIFSTOPPED(status);
    }, timeoutMs);
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
    ::kill(-m_pid, SIGCONT);
    const bool ended = Wait(graceMs).has_value();
    ::kill(-m_pid, SIGKILL);
    if (!ended)
        Wait(graceMs);
}

std::string DescribeStatus(std::optional<int> status)
{
    return !status                ? "still running"
           : WIFEXITED(*status)   ? "exit status " + std::to_string(WEXITSTATUS(*status))
           : WIFSIGNALED(*status) ? "killed by signal " + std::to_string(WTERMSIG(*status))
                                  : "wait status " + std::to_string(*status);
}

std::optional<int> RunProgram(const std::vector<std::string> &argv, int timeoutMs,
                              const std::string &logPath)
{
    Subprocess p;
    return p.Start({argv, {}, logPath}) ? p.Wait(timeoutMs) : std::nullopt;
}

bool HaveProgram(const std::string &name)
{
    const std::optional<int> status = RunProgram({"sh", "-c", "command -v \"$0\"", name}, 10000);
    return status && *status == 0;
}

bool HoldLockStopped(Subprocess &child, const std::string &lockFile)
{
    return child.Fork([&] {
        const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0 || ::flock(fd, LOCK_EX) != 0)
            return 1;
        ::raise(SIGSTOP);
        return 0;
    }) && child.WaitStopped(10000);
}
