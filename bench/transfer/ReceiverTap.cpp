#include "ReceiverTap.h"

#include "transfer/YmodemBlock.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {
// Writes everything, waiting for room: the receiver and the line both read
// all the time, so a full buffer only lasts moments.
void WriteAll(int fd, const char *bytes, size_t count)
{
    while (count > 0) {
        const ssize_t n = ::write(fd, bytes, count);
        if (n > 0) {
            bytes += n;
            count -= static_cast<size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return;
        } else {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 10);
        }
    }
}
} // namespace

ReceiverTap::ReceiverTap(const std::string &lineEnd, int receiverFd) : receiverFd_(receiverFd)
{
    lineFd_ = ::open(lineEnd.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (lineFd_ < 0)
        return;
    termios raw{};
    if (tcgetattr(lineFd_, &raw) == 0) {
        cfmakeraw(&raw);
        tcsetattr(lineFd_, TCSANOW, &raw);
    }
    fcntl(receiverFd_, F_SETFL, fcntl(receiverFd_, F_GETFL) | O_NONBLOCK);
    thread_ = std::thread([this] { Run(); });
}

ReceiverTap::~ReceiverTap()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (lineFd_ >= 0)
        ::close(lineFd_);
}

ReceiverTap::Marks ReceiverTap::Snapshot() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return marks_;
}

void ReceiverTap::Run()
{
    char buffer[4096];
    while (!stop_) {
        pollfd fds[2] = {{lineFd_, POLLIN, 0}, {receiverFd_, POLLIN, 0}};
        if (::poll(fds, 2, 20) <= 0)
            continue;
        const Clock::time_point now = Clock::now();
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(lineFd_, buffer, sizeof buffer);
            if (n > 0) {
                WriteAll(receiverFd_, buffer, static_cast<size_t>(n));
                FromSender(buffer, static_cast<size_t>(n), now);
            }
        }
        if (fds[1].revents & POLLIN) {
            const ssize_t n = ::read(receiverFd_, buffer, sizeof buffer);
            if (n > 0) {
                WriteAll(lineFd_, buffer, static_cast<size_t>(n));
                FromReceiver(buffer, static_cast<size_t>(n), now);
            }
        }
        // A receiver that has gone leaves its pty hung up; do not spin on it.
        if (fds[1].revents & (POLLHUP | POLLERR))
            ::poll(nullptr, 0, 10);
    }
}

void ReceiverTap::FromSender(const char *bytes, size_t count, Clock::time_point when)
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = 0; i < count; ++i) {
        if (frameLeft_ > 0) {
            --frameLeft_;
            continue;
        }
        const auto byte = static_cast<uint8_t>(bytes[i]);
        if (byte == WireByte::Soh || byte == WireByte::Stx) {
            const uint32_t payload = byte == WireByte::Soh ? kSmallPayload : kLargePayload;
            frameLeft_ = payload + kBlockOverhead - 1;
            if (!marks_.header) {
                marks_.header = when;
            } else if (!eotSent_) {
                if (!marks_.firstData)
                    marks_.firstData = when;
                marks_.lastData = when;
                ++marks_.dataBlocks;
            }
        } else if (byte == WireByte::Eot) {
            eotSent_ = true;
        }
    }
}

void ReceiverTap::FromReceiver(const char *bytes, size_t count, Clock::time_point when)
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = 0; i < count; ++i) {
        const auto byte = static_cast<uint8_t>(bytes[i]);
        if (byte == WireByte::Nak)
            ++marks_.naks;
        else if (byte == WireByte::Ack && eotSent_ && !marks_.eotAck)
            marks_.eotAck = when;
    }
}
