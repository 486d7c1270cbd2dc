#pragma once
// The virtual module as a child process of a test: started with the given
// options, its published port read from the first line it prints, stopped
// (SIGTERM) when the object goes. The waits allow for a sanitizer build.

#include <QProcess>
#include <QString>
#include <QStringList>

#include <csignal>

class SimProcess {
public:
    explicit SimProcess(const QStringList &arguments)
    {
        m_process.start(QStringLiteral(VERRIN_BIN_DIR "/sim/verrin-sim"), arguments);
        if (m_process.waitForStarted(10000) && m_process.waitForReadyRead(10000)) {
            while (!m_process.canReadLine() && m_process.waitForReadyRead(2000)) {
            }
            m_port = QString::fromLocal8Bit(m_process.readLine()).trimmed();
        }
    }
    ~SimProcess()
    {
        m_process.terminate();
        Signal(SIGCONT); // a stopped module takes its SIGTERM once it goes on
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(2000);
    }
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    // The module dies at once, as a device pulled out: its port goes with it.
    void Kill()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    // SIGSTOP makes it fall silent, SIGCONT lets it go on.
    void Signal(int signal)
    {
        if (m_process.state() != QProcess::NotRunning)
            ::kill(pid_t(m_process.processId()), signal);
    }

    // The path of the module's port; empty when it did not start.
    const QString &Port() const { return m_port; }

private:
    QProcess m_process;
    QString m_port;
};
