#pragma once
// What the fault soak needs beside the window: its length, how long it waits,
// and a small disk for capture.

#include "support/WaitFor.h"

#include <csignal>
#include <cstdlib>
#include <sys/resource.h>

namespace soak {

// The length of a soak run in seconds: VERRIN_SOAK_SECONDS (scripts/soak.sh
// sets it), else the short run of the test suite.
inline int Seconds(int shortRun)
{
    const char *text = std::getenv("VERRIN_SOAK_SECONDS");
    const int seconds = text ? std::atoi(text) : 0;
    return seconds > 0 ? seconds : shortRun;
}

// Children built with the sanitizers start and answer slower: every wait of
// the soak allows this long.
inline constexpr int kPatienceMs = 10000;

// A small disk for the files this process writes: a file size limit, past
// which a write fails ("File too large") as it would on a full disk.
class SmallDisk {
public:
    explicit SmallDisk(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limited = m_saved;
        limited.rlim_cur = bytes;
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~SmallDisk()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }
private:
    rlimit m_saved{};
    void (*m_savedHandler)(int) = SIG_DFL;
};

} // namespace soak
