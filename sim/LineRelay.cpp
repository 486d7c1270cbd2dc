#include "sim/LineRelay.h"

#include "sim/PacedQueue.h"
#include "sim/PendingWrite.h"
#include "sim/PollTimeout.h"
#include "sim/PseudoTerminal.h"
#include "sim/SignalPipe.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <poll.h>
#include <unistd.h>

namespace {
// One direction: bytes read from one master, on the line, then waiting to be
// written to the other master.
struct Direction {
    Direction(uint32_t rate, nanoseconds latency, size_t window)
        : line(rate, latency), window(window)
    {
    }
    PacedQueue line;
    PendingWrite out;
    size_t window; // bytes the direction holds before the writer is made to wait

    // When to hand bytes on next: the last byte of a burst exactly when it
    // arrives, so the far end can answer on time; the bytes before it a
    // millisecond's worth at a time, which spares a wake-up per byte.
    std::optional<SimTime> NextWake(SimTime now) const
    {
        const std::optional<SimTime> next = line.NextDue();
        if (!next)
            return std::nullopt;
        return std::max(*next, std::min(now + milliseconds(1), *line.BurstEndDue()));
    }

    size_t Room() const
    {
        const size_t held = line.Size() + out.Size();
        return held < window ? window - held : 0;
    }
};

int Fail(const std::string &message)
{
    std::fprintf(stderr, "verrin-line: %s\n", message.c_str());
    return 1;
}
} // namespace

int RunLine(const LineOptions &options)
{
    std::string error;
    std::unique_ptr<LinkFolder> folder;
    std::string paths[2] = {options.linkA, options.linkB};
    if (paths[0].empty() || paths[1].empty()) {
        folder = LinkFolder::Make("verrin-line", error);
        if (!folder)
            return Fail(error);
        if (paths[0].empty())
            paths[0] = folder->Path("a");
        if (paths[1].empty())
            paths[1] = folder->Path("b");
    }
    SignalPipe signals;
    std::unique_ptr<PseudoTerminal> ends[2];
    for (int i = 0; i < 2; ++i) {
        ends[i] = PseudoTerminal::Open(paths[i], error);
        if (!ends[i])
            return Fail(error);
    }
    std::printf("%s\n%s\n", ends[0]->LinkPath().c_str(), ends[1]->LinkPath().c_str());
    std::fflush(stdout);

    // A driver's worth of buffer plus whatever the latency keeps on the wire.
    const nanoseconds latency = milliseconds(options.latencyMs);
    const size_t window = 4096 + static_cast<size_t>(uint64_t(options.rate) / 10 * options.latencyMs / 1000);
    Direction dirs[2] = {{options.rate, latency, window}, {options.rate, latency, window}}; // a to b, b to a
    char buffer[4096];

    while (!signals.Raised()) {
        pollfd fds[5] = {{ends[0]->MasterFd(), 0, 0}, {ends[1]->MasterFd(), 0, 0}, {signals.Fd(), POLLIN, 0},
                         {ends[0]->WatchFd(), POLLIN, 0}, {ends[1]->WatchFd(), POLLIN, 0}};
        for (int i = 0; i < 2; ++i) {
            if (dirs[i].Room() > 0)
                fds[i].events |= POLLIN;
            if (!dirs[1 - i].out.Empty())
                fds[i].events |= POLLOUT;
        }
        const SimTime before = SimClock::now();
        const std::optional<timespec> timeout =
            PreciseTimeout({dirs[0].NextWake(before), dirs[1].NextWake(before)}, before);
        if (::ppoll(fds, 5, timeout ? &*timeout : nullptr, nullptr) < 0 && errno != EINTR)
            return Fail(std::string("ppoll: ") + std::strerror(errno));

        const SimTime now = SimClock::now();
        for (int i = 0; i < 2; ++i)
            if (fds[3 + i].revents & POLLIN)
                ends[i]->ClientClosed();
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & POLLIN))
                continue;
            const ssize_t n = ::read(fds[i].fd, buffer, std::min(sizeof buffer, dirs[i].Room()));
            if (n > 0)
                dirs[i].line.Push(buffer, static_cast<size_t>(n), now);
        }
        for (int i = 0; i < 2; ++i) {
            dirs[i].out.Append(dirs[i].line.TakeDue(now));
            if (!dirs[i].out.Empty() && !dirs[i].out.Flush(ends[1 - i]->MasterFd()))
                return Fail(std::string("cannot write to the pseudo-terminal: ") + std::strerror(errno));
        }
    }
    return 0;
}
