// The verrin program as a process: its command line and its reaction to the
// termination signals.
#include "instance/CSharedMemory.h"
#include "support/Pty.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <csignal>
#include <unistd.h>

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

// A termination request that comes while the window is still being built,
// right after the profile was claimed, still closes Verrin cleanly. This test
// keeps the instance store open, so a mark left behind would stay.
TEST(Program, TerminationRightAfterTheClaimFreesTheProfile)
{
    CSharedMemory store;
    ASSERT_TRUE(store.IsOpen());
    for (int attempt = 0; attempt < 5; ++attempt) {
        QProcess p;
        p.start(Verrin(), {});
        ASSERT_TRUE(p.waitForStarted(10000));
        const uint32_t pid = uint32_t(p.processId());
        QElapsedTimer t;
        t.start();
        while (store.GetDwordValue("A", 0) != pid && t.elapsed() < 20000)
            ::usleep(200);
        ::kill(pid_t(pid), SIGTERM);
        ASSERT_TRUE(p.waitForFinished(10000)) << "attempt " << attempt;
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << "attempt " << attempt;
        ASSERT_EQ(store.GetDwordValue("A", 1), 0u) << "attempt " << attempt;
    }
}
