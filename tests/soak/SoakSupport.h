#pragma once
// What the fault soak needs beside the window: its length, waiting while the
// event loop runs, the virtual module as a process that can be killed,
// stopped and started again on the same path, and a small disk for capture.

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/mount.h>
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

// Runs the event loop until pred() holds or timeoutMs pass; returns pred().
template <typename Pred> bool WaitFor(Pred pred, int timeoutMs = 10000)
{
    QElapsedTimer t;
    t.start();
    while (!pred() && t.elapsed() < timeoutMs)
        QTest::qWait(10);
    return pred();
}

// The virtual module, published at a fixed link path across restarts.
class Module {
public:
    explicit Module(QString link) : m_link(std::move(link)) {}
    ~Module() { Kill(); }
    Module(const Module &) = delete;
    Module &operator=(const Module &) = delete;

    // Starts a new module on the link with the given options; false when it
    // did not publish the link.
    bool Start(const QStringList &options = {})
    {
        Kill();
        m_process.start(QStringLiteral(VERRIN_BIN_DIR "/sim/verrin-sim"), QStringList{"--link", m_link} + options);
        if (!m_process.waitForStarted(10000))
            return false;
        return WaitFor([&] { return m_process.canReadLine(); }) &&
               QString::fromLocal8Bit(m_process.readLine()).trimmed() == m_link;
    }
    // The device vanishes at once, as a pulled cable does.
    void Kill()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        Signal(SIGCONT);
        m_process.kill();
        m_process.waitForFinished(10000);
    }
    void Signal(int signal)
    {
        if (m_process.state() != QProcess::NotRunning)
            ::kill(pid_t(m_process.processId()), signal);
    }
    bool Running() const { return m_process.state() == QProcess::Running; }

private:
    QString m_link;
    QProcess m_process;
};

// A folder whose file system holds only `bytes`: a tmpfs of that size when
// this process may mount one, otherwise a file size limit on this process
// (writes past it fail with "File too large" instead of "No space left").
class SmallDisk {
public:
    SmallDisk(const QString &path, size_t bytes) : m_path(path.toLocal8Bit())
    {
        QDir().mkpath(path);
        const QByteArray options = "size=" + QByteArray::number(qulonglong(bytes)) + ",mode=0700";
        m_mounted = ::mount("tmpfs", m_path.constData(), "tmpfs", 0, options.constData()) == 0;
        if (m_mounted)
            return;
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limited = m_saved;
        limited.rlim_cur = bytes;
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~SmallDisk()
    {
        if (m_mounted) {
            ::umount2(m_path.constData(), MNT_DETACH);
        } else {
            setrlimit(RLIMIT_FSIZE, &m_saved);
            std::signal(SIGXFSZ, m_savedHandler);
        }
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool Mounted() const { return m_mounted; }

private:
    QByteArray m_path;
    bool m_mounted = false;
    rlimit m_saved{};
    void (*m_savedHandler)(int) = SIG_DFL;
};

} // namespace soak
