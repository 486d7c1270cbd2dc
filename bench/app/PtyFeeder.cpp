#include "PtyFeeder.h"

#include "ChildProcess.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyFeeder::PtyFeeder()
{
    int port = -1;
    if (openpty(&m_master, &port, nullptr, nullptr, nullptr) != 0) {
        m_master = -1;
        return;
    }
    termios mode{};
    tcgetattr(port, &mode);
    cfmakeraw(&mode);
    tcsetattr(port, TCSANOW, &mode);
    m_portPath = ttyname(port);
    close(port);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    fcntl(m_master, F_SETFD, FD_CLOEXEC);

    for (int i = 0; m_lines.size() < (1u << 20); ++i) {
        char line[81];
        std::snprintf(line, sizeof line, "%-78.78s\r\n",
                      ("line " + std::to_string(i) + " the quick brown fox jumps over the lazy dog 0123456789").c_str());
        m_lines += line;
    }
}

PtyFeeder::~PtyFeeder()
{
    if (m_master >= 0)
        close(m_master);
}

PtyFeeder::Outcome PtyFeeder::Feed(size_t count, ChildProcess &program, double stallSeconds, long maxRssKb)
{
    using Clock = std::chrono::steady_clock;
    auto lastProgress = Clock::now();
    auto lastRssCheck = Clock::now();
    for (size_t sent = 0; sent < count;) {
        pollfd p{m_master, POLLOUT | POLLIN, 0};
        poll(&p, 1, 100);
        if (p.revents & POLLIN) {
            char sink[4096];
            while (read(m_master, sink, sizeof sink) > 0) {
            }
        }
        if (p.revents & POLLOUT) {
            const size_t n = std::min(count - sent, m_lines.size() - m_offset);
            const ssize_t w = write(m_master, m_lines.data() + m_offset, n);
            if (w > 0) {
                sent += size_t(w);
                m_written += size_t(w);
                m_offset = (m_offset + size_t(w)) % m_lines.size();
                lastProgress = Clock::now();
            }
        }
        const auto now = Clock::now();
        if (now - lastRssCheck > std::chrono::milliseconds(500)) {
            lastRssCheck = now;
            if (!program.Running())
                return Outcome::Ended;
            if (program.RssKb() > maxRssKb)
                return Outcome::TooLarge;
        }
        if (std::chrono::duration<double>(now - lastProgress).count() > stallSeconds)
            return program.Running() ? Outcome::Stalled : Outcome::Ended;
    }
    return Outcome::Done;
}
