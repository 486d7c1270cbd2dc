#include "RbPeer.h"

#include "support/WaitUntil.h"

#include <filesystem>
#include <fstream>
#include <iterator>

bool RbPeer::Launch()
{
    return rb_.Start({{"rb", "--ymodem", "-v"}, {}, dir_.path() + "/rb.log", -1, pty_.slave(), dir_.Sub("recv")});
}

std::vector<uint8_t> RbPeer::ReceivedFile(const std::string &name, size_t size, std::chrono::milliseconds limit)
{
    const std::string path = dir_.Sub("recv") + "/" + name;
    std::error_code error;
    WaitUntil([&] { return std::filesystem::file_size(path, error) == size; }, int(limit.count()));
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

std::string RbPeer::Log() const
{
    std::ifstream file(dir_.path() + "/rb.log");
    return std::string(std::istreambuf_iterator<char>(file), {});
}

bool DriveTransfer(YmodemSender &sender, int32_t &state, int fd, std::chrono::milliseconds limit)
{
    return WaitUntil([&] { return state == 0; }, int(limit.count()), [&] {
        pollfd p{fd, POLLIN, 0};
        poll(&p, 1, 100);
        sender.RunReadySteps(state);
    });
}
