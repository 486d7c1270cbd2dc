#include "RbPeer.h"

#include "support/WaitUntil.h"

#include <filesystem>

bool RbPeer::Launch()
{
    return rb_.Start({{"rb", "--ymodem", "-v"}, {}, dir_.path() + "/rb.log", -1, pty_.slave(), dir_.Sub("recv")});
}

std::vector<uint8_t> RbPeer::ReceivedFile(const std::string &name, size_t size, std::chrono::milliseconds limit)
{
    const std::string path = dir_.Sub("recv") + "/" + name;
    std::error_code error;
    WaitUntil([&] { return std::filesystem::file_size(path, error) == size; }, int(limit.count()));
    const std::string bytes = ReadFile(path);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

std::string RbPeer::Log() const { return ReadFile(dir_.path() + "/rb.log"); }

bool DriveTransfer(YmodemSender &sender, int32_t &state, int fd, std::chrono::milliseconds limit)
{
    return WaitUntil([&] { return state == 0; }, int(limit.count()), [&] {
        pollfd p{fd, POLLIN, 0};
        poll(&p, 1, 100);
        sender.RunReadySteps(state);
    });
}
