#pragma once
// The virtual module as a child process of a test: started with the given
// options, its published port read from the first line it prints, stopped
// (SIGTERM) when the object goes.

#include <QProcess>
#include <QString>
#include <QStringList>

class SimProcess {
public:
    explicit SimProcess(const QStringList &arguments)
    {
        m_process.start(QStringLiteral(VERRIN_BIN_DIR "/sim/verrin-sim"), arguments);
        if (m_process.waitForStarted(5000) && m_process.waitForReadyRead(5000)) {
            while (!m_process.canReadLine() && m_process.waitForReadyRead(2000)) {
            }
            m_port = QString::fromLocal8Bit(m_process.readLine()).trimmed();
        }
    }
    ~SimProcess()
    {
        m_process.terminate();
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

    // The path of the module's port; empty when it did not start.
    const QString &Port() const { return m_port; }

private:
    QProcess m_process;
    QString m_port;
};
