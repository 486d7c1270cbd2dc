#include "EmulatedLine.h"

EmulatedLine::EmulatedLine(int baud, int latencyMs, const QString &program)
{
    if (!m_links.isValid())
        return;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program.isEmpty() ? QStringLiteral(VERRIN_BIN_DIR "/sim/verrin-line") : program,
                    {"--rate", QString::number(baud), "--latency", QString::number(latencyMs),
                     "--link-a", m_links.filePath("a"), "--link-b", m_links.filePath("b")});
    if (!m_process.waitForStarted(5000))
        return;
    QString paths[2];
    for (QString &path : paths) {
        while (!m_process.canReadLine() && m_process.waitForReadyRead(5000)) {
        }
        path = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    m_endA = paths[0];
    m_endB = paths[1];
}

EmulatedLine::~EmulatedLine()
{
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished(2000);
}
