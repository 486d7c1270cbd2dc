#include "ProcessHarness.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>

extern char **environ;

namespace {
using Clock = std::chrono::steady_clock;

// Reads fd into got until done(got), end of file or the time-out; done(got).
bool ReadUntil(int fd, std::string &got, const std::function<bool(const std::string &)> &done, Millis timeout)
{
    char buf[4096];
    for (const auto end = Clock::now() + timeout; !done(got);) {
        pollfd p{fd, POLLIN, 0};
        const auto left = std::chrono::duration_cast<Millis>(end - Clock::now()).count();
        if (fd < 0 || ::poll(&p, 1, static_cast<int>(std::max<long long>(left, 0))) <= 0)
            return false;
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0 || (n < 0 && errno != EAGAIN))
            return false;
        got.append(buf, static_cast<size_t>(std::max<ssize_t>(n, 0)));
    }
    return true;
}
} // namespace

Child::Child(const std::vector<std::string> &argv, const std::vector<std::string> &env)
{
    std::vector<char *> args, envp;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    for (const std::string &e : env)
        envp.push_back(const_cast<char *>(e.c_str()));
    for (char **e = environ; *e; ++e) { // inherited entries, unless replaced above
        const std::string name(*e, std::strcspn(*e, "=") + 1);
        if (std::none_of(env.begin(), env.end(), [&](const std::string &mine) { return mine.rfind(name, 0) == 0; }))
            envp.push_back(*e);
    }
    args.push_back(nullptr);
    envp.push_back(nullptr);
    int pipeFds[2] = {-1, -1};
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return;
    pid_ = ::fork();
    if (pid_ == 0) { // only calls that are safe between fork and exec
        ::dup2(::open("/dev/null", O_RDONLY), 0);
        ::dup2(pipeFds[1], 1);
        ::execve(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    out_ = pipeFds[0];
}

Child::~Child()
{
    if (pid_ > 0 && !status_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0)
        ::close(out_);
}

std::string Child::ReadLine(Millis timeout)
{
    const auto hasLine = [](const std::string &got) { return got.find('\n') != std::string::npos; };
    if (!ReadUntil(out_, buffered_, hasLine, timeout))
        return {};
    const std::string line = buffered_.substr(0, buffered_.find('\n'));
    buffered_.erase(0, line.size() + 1);
    return line;
}

std::optional<int> Child::Wait(Millis timeout, int signal)
{
    if (pid_ > 0 && !status_ && signal != 0)
        ::kill(pid_, signal);
    for (const auto end = Clock::now() + timeout; pid_ > 0 && !status_ && Clock::now() < end; ::usleep(10000)) {
        if (int status = 0; ::waitpid(pid_, &status, WNOHANG) == pid_)
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return status_;
}

PortClient::PortClient(const std::string &path)
    : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
{
    termios mode{};
    if (fd_ >= 0 && ::tcgetattr(fd_, &mode) == 0) {
        ::cfmakeraw(&mode);
        ::tcsetattr(fd_, TCSANOW, &mode);
    }
}

std::string PortClient::ReadUntil(const std::function<bool(const std::string &)> &done, Millis timeout)
{
    std::string got;
    ::ReadUntil(fd_, got, done, timeout);
    return got;
}
