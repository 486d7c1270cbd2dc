#pragma once
// verrin-line as a child process: two pseudo-terminals joined by a line with
// the given rate and one-way latency. End a is the sender's port, end b the
// receiver's. Stopped (SIGTERM) when the object goes. Another program that
// takes the same options may stand in for it.

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class EmulatedLine {
public:
    // program: empty for the build's verrin-line.
    EmulatedLine(int baud, int latencyMs, const QString &program = {});
    ~EmulatedLine();
    EmulatedLine(const EmulatedLine &) = delete;
    EmulatedLine &operator=(const EmulatedLine &) = delete;

    bool ok() const { return !m_endA.isEmpty() && !m_endB.isEmpty(); }
    const QString &EndA() const { return m_endA; }
    const QString &EndB() const { return m_endB; }

private:
    QTemporaryDir m_links;
    QProcess m_process;
    QString m_endA, m_endB;
};
