#include "FdSerialLink.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

FdSerialLink::FdSerialLink(int fd, std::chrono::microseconds answerDelay, std::chrono::microseconds requestAnswerDelay)
    : fd_(fd), answerDelay_(answerDelay), requestAnswerDelay_(requestAnswerDelay)
{
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
}

int32_t FdSerialLink::BytesWaiting()
{
    int waiting = 0;
    return ioctl(fd_, FIONREAD, &waiting) == 0 ? waiting : 0;
}

int32_t FdSerialLink::ReadByte()
{
    uint8_t byte = 0;
    if (read(fd_, &byte, 1) != 1)
        return -1;
    holdUntil_ = std::chrono::steady_clock::now() + (byte == 'C' ? requestAnswerDelay_ : answerDelay_);
    return static_cast<int8_t>(byte);
}

uint32_t FdSerialLink::ReadBlock(uint8_t *buffer, int32_t max)
{
    const ssize_t n = read(fd_, buffer, static_cast<size_t>(max));
    return n > 0 ? static_cast<uint32_t>(n) : 0;
}

int32_t FdSerialLink::WriteBytes(const uint8_t *buffer, uint32_t count)
{
    std::this_thread::sleep_until(holdUntil_);
    for (uint32_t done = 0; done < count;) {
        const ssize_t n = write(fd_, buffer + done, count - done);
        pollfd p{fd_, POLLOUT, 0};
        if (n > 0)
            done += static_cast<uint32_t>(n);
        else if ((n < 0 && errno != EAGAIN && errno != EINTR) || poll(&p, 1, 5000) <= 0)
            return -1; // a failed write, or no room within five seconds
    }
    return static_cast<int32_t>(count);
}
