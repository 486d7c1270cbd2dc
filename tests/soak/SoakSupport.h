#pragma once
// What the fault soak needs beside the window: its length, how long it waits,
// the virtual module as a process that can be killed, stopped and started
// again on the same path, and a small disk for capture.

#include "support/WaitFor.h"

#include <QProcess>

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

// The virtual module, published at a fixed link path across restarts.
class Module {
public:
    explicit Module(QString link) : m_link(std::move(link)) {}
    ~Module() { Kill(); }

    // Starts a new module on the link with the given options; false when it
    // did not publish the link.
    bool Start(const QStringList &options = {})
    {
        Kill();
        m_process.start(QStringLiteral(VERRIN_BIN_DIR "/sim/verrin-sim"), QStringList{"--link", m_link} + options);
        return m_process.waitForStarted(10000) && WaitFor([&] { return m_process.canReadLine(); }, kPatienceMs) &&
               QString::fromLocal8Bit(m_process.readLine()).trimmed() == m_link;
    }
    // The device vanishes at once, as a pulled cable does.
    void Kill()
    {
        Signal(SIGCONT); // a stopped process would not die until it goes on
        m_process.kill();
        m_process.waitForFinished(10000);
    }
    void Signal(int signal)
    {
        if (m_process.state() != QProcess::NotRunning)
            ::kill(pid_t(m_process.processId()), signal);
    }

private:
    QString m_link;
    QProcess m_process;
};

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
