#pragma once
// A pseudo-terminal pair for tests, raw: the test holds the master side and
// plays the module (or hands the slave to lrzsz's rb); Verrin opens the
// slave path as its port.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <termios.h>
#include <unistd.h>

class PtyPair {
public:
    PtyPair()
    {
        termios raw{};
        // The slave stays open, so that the master never reads EIO between openings.
        if (openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0 || tcgetattr(m_slave, &raw) != 0)
            return;
        cfmakeraw(&raw);
        tcsetattr(m_slave, TCSANOW, &raw);
        m_path = ttyname(m_slave);
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPair()
    {
        CloseMaster();
        CloseSlave();
    }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool ok() const { return m_master >= 0; }
    const std::string &path() const { return m_path; }
    int master() const { return m_master; }
    int slave() const { return m_slave; }

    void Write(const std::string &bytes)
    {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
            if (n > 0)
                done += size_t(n);
            else
                WaitWritable(100);
        }
    }
    // Whatever arrived within timeoutMs (returns early once something came
    // and the line then stayed quiet for quietMs).
    std::string Read(int timeoutMs = 1000, int quietMs = 50)
    {
        std::string out;
        int waited = 0;
        while (waited < timeoutMs) {
            pollfd p{m_master, POLLIN, 0};
            const int step = out.empty() ? 10 : quietMs;
            if (::poll(&p, 1, step) > 0 && (p.revents & POLLIN)) {
                char buf[65536];
                const ssize_t n = ::read(m_master, buf, sizeof buf);
                if (n > 0) {
                    out.append(buf, size_t(n));
                    continue;
                }
            }
            if (!out.empty())
                break;
            waited += step;
        }
        return out;
    }
    void CloseMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }
    void CloseSlave()
    {
        if (m_slave >= 0)
            ::close(m_slave);
        m_slave = -1;
    }

private:
    void WaitWritable(int ms)
    {
        pollfd p{m_master, POLLOUT, 0};
        ::poll(&p, 1, ms);
    }
    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
};
