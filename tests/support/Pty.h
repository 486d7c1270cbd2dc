#pragma once
// Pseudo-terminals for tests, raw. PtyPair: a pair of which the test holds
// the master side and plays the module (or hands the slave to lrzsz's rb);
// Verrin opens the slave path as its port. PortClient: the other end of a
// published port (the virtual module's, the emulated line's), opened as a
// serial library opens it.

#include "support/WaitUntil.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <termios.h>
#include <unistd.h>

// The end the test reads and writes: non-blocking.
class PtyEnd {
public:
    PtyEnd() = default;
    ~PtyEnd() { Close(m_fd); }
    PtyEnd(const PtyEnd &) = delete;
    PtyEnd &operator=(const PtyEnd &) = delete;

    // All of bytes, waiting for room as needed.
    void Write(const std::string &bytes)
    {
        for (size_t done = 0; m_fd >= 0 && done < bytes.size();) {
            const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
            if (n > 0)
                done += size_t(n);
            else
                Poll(POLLOUT, 100);
        }
    }
    // Whatever arrived within timeoutMs (returns early once something came
    // and the line then stayed quiet for quietMs).
    std::string Read(int timeoutMs = 1000, int quietMs = 50)
    {
        std::string out;
        if (WaitUntil([&] { return Take(out); }, timeoutMs, [&] { Poll(POLLIN, 10); }))
            while (Poll(POLLIN, quietMs) && Take(out)) {
            }
        return out;
    }
    // Reads until `what` has come after the first byte (the line end that
    // opens a reply ends nothing) or timeoutMs has passed.
    std::string ReadUntil(const std::string &what, int timeoutMs)
    {
        std::string got;
        WaitUntil([&] { return Take(got), got.find(what, 1) != std::string::npos; }, timeoutMs,
                  [&] { Poll(POLLIN, 10); });
        return got;
    }

protected:
    bool Poll(short events, int ms)
    {
        pollfd p{m_fd, events, 0};
        return ::poll(&p, 1, ms) > 0 && (p.revents & events);
    }
    // Appends what is waiting; false when nothing was.
    bool Take(std::string &out)
    {
        char buf[65536];
        bool any = false;
        for (ssize_t n; (n = ::read(m_fd, buf, sizeof buf)) > 0; any = true)
            out.append(buf, size_t(n));
        return any;
    }
    static bool MakeRaw(int fd)
    {
        termios mode{};
        if (fd < 0 || ::tcgetattr(fd, &mode) != 0)
            return false;
        ::cfmakeraw(&mode);
        return ::tcsetattr(fd, TCSANOW, &mode) == 0;
    }
    static void Close(int &fd)
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    int m_fd = -1;
};

class PtyPair : public PtyEnd {
public:
    PtyPair()
    {
        // The slave stays open, so that the master never reads EIO between openings.
        if (openpty(&m_fd, &m_slave, nullptr, nullptr, nullptr) != 0 || !MakeRaw(m_slave))
            return;
        m_path = ttyname(m_slave);
        fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPair() { CloseSlave(); }

    bool ok() const { return m_fd >= 0; }
    const std::string &path() const { return m_path; }
    int master() const { return m_fd; }
    int slave() const { return m_slave; }
    void CloseMaster() { Close(m_fd); }
    void CloseSlave() { Close(m_slave); }

private:
    int m_slave = -1;
    std::string m_path;
};

class PortClient : public PtyEnd {
public:
    explicit PortClient(const std::string &path)
    {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        MakeRaw(m_fd);
    }
};
