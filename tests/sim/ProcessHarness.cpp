#include "ProcessHarness.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char **environ;

namespace {
using Clock = std::chrono::steady_clock;

int RemoveEntry(const char *path, const struct stat *, int, struct FTW *) { return ::remove(path); }

int MillisLeft(Clock::time_point end)
{
    const auto left = std::chrono::duration_cast<Millis>(end - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}
} // namespace

TempFolder::TempFolder()
{
    std::string pattern = "/tmp/verrin-sim-test-XXXXXX";
    if (::mkdtemp(pattern.data()))
        path_ = pattern;
}

TempFolder::~TempFolder()
{
    if (!path_.empty())
        ::nftw(path_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

Child::Child(const std::vector<std::string> &argv, const std::vector<std::string> &env, int stdio)
{
    int pipeFds[2] = {-1, -1};
    if (stdio < 0 && ::pipe2(pipeFds, O_CLOEXEC) != 0)
        return;
    std::vector<std::string> environment(env);
    for (char **e = environ; *e; ++e) {
        const std::string entry(*e);
        bool overridden = false;
        for (const std::string &mine : env)
            overridden = overridden || entry.compare(0, mine.find('=') + 1, mine, 0, mine.find('=') + 1) == 0;
        if (!overridden)
            environment.push_back(entry);
    }
    std::vector<char *> args, envp;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string &e : environment)
        envp.push_back(const_cast<char *>(e.c_str()));
    envp.push_back(nullptr);

    pid_ = ::fork();
    if (pid_ == 0) {
        if (stdio >= 0) {
            ::dup2(stdio, 0);
            ::dup2(stdio, 1);
        } else {
            const int null = ::open("/dev/null", O_RDONLY);
            ::dup2(null, 0);
            ::dup2(pipeFds[1], 1);
        }
        ::execve(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    if (stdio < 0) {
        ::close(pipeFds[1]);
        out_ = pipeFds[0];
    }
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
    const auto end = Clock::now() + timeout;
    for (;;) {
        const size_t lf = buffered_.find('\n');
        if (lf != std::string::npos) {
            std::string line = buffered_.substr(0, lf);
            buffered_.erase(0, lf + 1);
            return line;
        }
        pollfd p{out_, POLLIN, 0};
        if (out_ < 0 || ::poll(&p, 1, MillisLeft(end)) <= 0)
            return {};
        char buf[256];
        const ssize_t n = ::read(out_, buf, sizeof buf);
        if (n <= 0)
            return {};
        buffered_.append(buf, static_cast<size_t>(n));
    }
}

std::optional<int> Child::Wait(Millis timeout)
{
    const auto end = Clock::now() + timeout;
    while (pid_ > 0 && !status_) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_)
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        else if (Clock::now() >= end)
            break;
        else
            ::usleep(10000);
    }
    return status_;
}

std::optional<int> Child::Stop(Millis timeout)
{
    if (pid_ > 0 && !status_)
        ::kill(pid_, SIGTERM);
    return Wait(timeout);
}

PortClient::PortClient(const std::string &path)
{
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios mode{};
    if (fd_ >= 0 && ::tcgetattr(fd_, &mode) == 0) {
        ::cfmakeraw(&mode);
        ::tcsetattr(fd_, TCSANOW, &mode);
    }
}

PortClient::~PortClient()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void PortClient::Write(const std::string &bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd_, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else {
            return;
        }
    }
}

std::string PortClient::ReadUntil(const std::function<bool(const std::string &)> &done, Millis timeout)
{
    std::string got;
    const auto end = Clock::now() + timeout;
    while (!done(got)) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, MillisLeft(end)) <= 0)
            break;
        char buf[4096];
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n > 0)
            got.append(buf, static_cast<size_t>(n));
    }
    return got;
}

std::string PortClient::ReadQuiet(Millis quiet)
{
    std::string got;
    for (;;) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(quiet.count())) <= 0)
            return got;
        char buf[4096];
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n <= 0)
            return got;
        got.append(buf, static_cast<size_t>(n));
    }
}
