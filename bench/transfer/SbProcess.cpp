#include "SbProcess.h"

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {
speed_t SpeedOf(int baud)
{
    switch (baud) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return B115200;
    }
}
} // namespace

SbProcess::SbProcess(const std::string &folder, const std::string &fileName,
                     const std::string &port, int baud, bool largeBlocks)
{
    // The child only makes system calls: other threads may hold the heap.
    const std::string logPath = folder + "/sb.log";
    pid_ = fork();
    if (pid_ != 0)
        return;
    const int fd = open(port.c_str(), O_RDWR | O_NOCTTY);
    const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || log < 0 || chdir(folder.c_str()) != 0)
        _exit(127);
    termios raw{};
    if (tcgetattr(fd, &raw) == 0) {
        cfmakeraw(&raw);
        cfsetspeed(&raw, SpeedOf(baud));
        tcsetattr(fd, TCSANOW, &raw);
    }
    dup2(fd, STDIN_FILENO);
    dup2(fd, STDOUT_FILENO);
    dup2(log, STDERR_FILENO);
    if (largeBlocks)
        execlp("sb", "sb", "-k", fileName.c_str(), static_cast<char *>(nullptr));
    else
        execlp("sb", "sb", fileName.c_str(), static_cast<char *>(nullptr));
    _exit(127);
}

SbProcess::~SbProcess()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool SbProcess::Wait(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (pid_ > 0) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}
