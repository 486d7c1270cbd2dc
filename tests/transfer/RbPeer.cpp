#include "RbPeer.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

RbPeer::RbPeer()
{
    char pattern[] = "/tmp/verrin-rb-XXXXXX";
    termios raw{};
    if (!mkdtemp(pattern) || openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0 ||
        tcgetattr(slave_, &raw) != 0)
        return;
    cfmakeraw(&raw);
    tcsetattr(slave_, TCSANOW, &raw);
    dir_ = pattern;
    std::filesystem::create_directory(dir_ + "/recv");
}

RbPeer::~RbPeer()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    for (int fd : {slave_, master_})
        if (fd >= 0)
            close(fd);
    if (!dir_.empty())
        std::filesystem::remove_all(dir_);
}

bool RbPeer::Launch()
{
    const std::string recv = dir_ + "/recv", log = dir_ + "/rb.log";
    pid_ = fork();
    if (pid_ == 0) {
        const int err = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (chdir(recv.c_str()) != 0 || err < 0)
            _exit(127);
        close(master_);
        dup2(slave_, STDIN_FILENO);
        dup2(slave_, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        execlp("rb", "rb", "--ymodem", "-v", static_cast<char *>(nullptr));
        _exit(127);
    }
    return pid_ > 0;
}

std::vector<uint8_t> RbPeer::ReceivedFile(const std::string &name, size_t size, std::chrono::milliseconds limit)
{
    const std::string path = dir_ + "/recv/" + name;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::error_code error;
    while (std::chrono::steady_clock::now() < deadline && std::filesystem::file_size(path, error) != size)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

std::string RbPeer::Log() const
{
    std::ifstream file(dir_ + "/rb.log");
    return std::string(std::istreambuf_iterator<char>(file), {});
}

bool DriveTransfer(YmodemSender &sender, int32_t &state, int fd, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (state != 0) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        pollfd p{fd, POLLIN, 0};
        poll(&p, 1, 100);
        sender.RunReadySteps(state);
    }
    return true;
}
