// The verrin program as a process: its command line and its reaction to the
// termination signals.
#include "support/Pty.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <csignal>

namespace {
QString Verrin() { return QStringLiteral(VERRIN_BIN_DIR "/verrin"); }

struct ProcessResult {
    int exitCode;
    QString err;
};

ProcessResult RunVerrin(const QStringList &args)
{
    QProcess p;
    p.start(Verrin(), args);
    p.waitForFinished(20000);
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardError())};
}
} // namespace

TEST(Program, BadCommandLineValuesGiveAClearMessage)
{
    struct Case {
        QStringList args;
        const char *says;
    };
    const Case cases[] = {
        {{"--baud", "0"}, "invalid baud rate"},
        {{"--baud", "fast"}, "invalid baud rate"},
        {{"--port", "/dev/verrin-no-such-port"}, "no such port"},
        {{"--frobnicate"}, "Unknown option"},
        {{"stray"}, "unexpected argument"},
    };
    for (const Case &c : cases) {
        const ProcessResult r = RunVerrin(c.args);
        EXPECT_NE(r.exitCode, 0) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String(c.says))) << r.err.toStdString();
    }
    const ProcessResult version = RunVerrin({"--version"});
    EXPECT_EQ(version.exitCode, 0);
}

TEST(Program, TerminationSignalsCloseTheWindowCleanly)
{
    PtyPair pty;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        QProcess p;
        p.start(Verrin(), {"--port", QString::fromStdString(pty.path()), "--connect"});
        ASSERT_TRUE(p.waitForStarted(10000));
        QTest::qWait(1500); // time to start and connect
        ::kill(pid_t(p.processId()), sig);
        ASSERT_TRUE(p.waitForFinished(10000)) << "signal " << sig;
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << "signal " << sig;
        EXPECT_EQ(p.exitCode(), 0) << "signal " << sig;
    }
}
