// The verrin program as a process: its command line, and the termination
// signals.
#include "instance/CSharedMemory.h"
#include "instance/ProfileLock.h"
#include "settings/CRegistry.h"
#include "settings/SettingsStore.h"
#include "support/Pty.h"
#include "support/Subprocess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>
#include <csignal>
#include <unistd.h>

namespace {
QString Verrin() { return QStringLiteral(VERRIN_BIN_DIR "/verrin"); }

// How many descriptors of process pid are open on the file at path.
int OpenCount(qint64 pid, const std::string &path)
{
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    int count = 0;
    for (const QFileInfo &fd : fds.entryInfoList(QDir::Files | QDir::System))
        count += fd.symLinkTarget().toStdString() == path;
    return count;
}

QByteArray SettingsFileBytes()
{
    QFile file(CRegistry::FilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What the program prints on stderr until it has printed `text`.
QByteArray WaitForError(QProcess &p, const char *text, int timeoutMs = 20000)
{
    QElapsedTimer t;
    t.start();
    p.setReadChannel(QProcess::StandardError);
    QByteArray err;
    while (!err.contains(text) && t.elapsed() < timeoutMs && p.state() == QProcess::Running)
        if (p.waitForReadyRead(100))
            err += p.readAllStandardError();
    return err;
}
} // namespace

TEST(Program, BadCommandLineValuesGiveAClearMessage)
{
    const struct {
        QStringList args;
        const char *says; // on stderr, with a failing exit code; null: exit code 0
    } cases[] = {
        {{"--baud", "0"}, "invalid baud rate"},     {{"--baud", "fast"}, "invalid baud rate"},
        {{"--port", "/dev/verrin-no-such-port"}, "no such port"},
        {{"--frobnicate"}, "Unknown option"},       {{"stray"}, "unexpected argument"},
        {{"--version"}, nullptr},
    };
    for (const auto &c : cases) {
        QProcess p;
        p.start(Verrin(), c.args);
        ASSERT_TRUE(p.waitForFinished(20000)) << c.args.join(' ').toStdString();
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        EXPECT_EQ(p.exitCode() != 0, c.says != nullptr) << c.args.join(' ').toStdString();
        EXPECT_TRUE(!c.says || err.contains(QLatin1String(c.says))) << err.toStdString();
    }
}

// A termination request closes Verrin cleanly and frees its profile, whether
// it comes right after the profile was claimed, while the window is still
// being built, or once the window runs and holds its port. This test keeps the
// instance store open, so a mark left behind would stay.
TEST(Program, TerminationSignalsCloseTheWindowCleanlyAndFreeTheProfile)
{
    CSharedMemory store;
    ASSERT_TRUE(store.IsOpen());
    PtyPair pty;
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
        for (const bool running : {false, true}) {
            SCOPED_TRACE("signal " + std::to_string(sig) + (running ? " once it runs" : " at the claim"));
            QProcess p;
            p.start(Verrin(), {"--port", QString::fromStdString(pty.path()), "--connect"});
            ASSERT_TRUE(p.waitForStarted(10000));
            const uint32_t pid = uint32_t(p.processId());
            QElapsedTimer t;
            t.start();
            // Verrin inherits this test's descriptor of the pty; the second is its port.
            while (!(running ? OpenCount(pid, pty.path()) > 1 : store.GetDwordValue("A", 0) == pid) &&
                   t.elapsed() < 20000)
                ::usleep(200);
            ASSERT_LT(t.elapsed(), 20000) << "it neither claimed a profile nor opened its port";
            ::kill(pid_t(pid), sig);
            ASSERT_TRUE(p.waitForFinished(10000));
            EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
            ASSERT_EQ(store.GetDwordValue("A", 1), 0u);
        }
    }
}

// While the box that refuses a start is up (every profile held, or no usable
// instance store), a termination signal ends the program with status 1 and
// writes nothing.
TEST(Program, TerminationSignalEndsARefusedStartWithStatus1)
{
    CSharedMemory store;
    ASSERT_TRUE(store.IsOpen());
    for (const char *profile : kProfileNames)
        store.AddDwordValue(profile, uint32_t(::getpid()));
    {
        CRegistry registry;
        (void)SaveSettings(registry, "A", Settings{});
    }
    const QByteArray settings = SettingsFileBytes();
    const QString notAFolder = QFile::decodeName(qgetenv("XDG_CONFIG_HOME")) + "/Brondel/Verrin.reg/runtime";
    const struct {
        int sig;
        const char *runtime; // null: the test's store, all eight held
        const char *says;
    } cases[] = {{SIGTERM, nullptr, "in use"}, {SIGINT, "unusable", "could not be opened"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.says);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (c.runtime)
            env.insert("XDG_RUNTIME_DIR", notAFolder);
        p.setProcessEnvironment(env);
        p.start(Verrin(), {});
        ASSERT_TRUE(p.waitForStarted(10000));
        ASSERT_TRUE(WaitForError(p, c.says).contains(c.says));
        ::kill(pid_t(p.processId()), c.sig);
        ASSERT_TRUE(p.waitForFinished(10000)) << "the box stayed up";
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 1);
        EXPECT_EQ(SettingsFileBytes(), settings);
        EXPECT_EQ(store.GetDwordValue("A", 0), uint32_t(::getpid()));
    }
}

// A start that finds the settings file locked by a stopped process names that
// process once the wait ends; a termination signal then ends the start with
// status 1, the claimed profile given back and the file unwritten.
TEST(Program, AStoppedHolderOfTheSettingsFileIsNamedAndTheStartEndsCleanly)
{
    CSharedMemory store;
    {
        CRegistry registry;
        (void)SaveSettings(registry, "A", Settings{});
    }
    const QByteArray settings = SettingsFileBytes();
    Subprocess holder;
    ASSERT_TRUE(HoldLockStopped(holder, QFile::encodeName(CRegistry::FilePath() + ".access").toStdString()));
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(Verrin(), {});
    ASSERT_TRUE(p.waitForStarted(10000));
    const QByteArray err = WaitForError(p, "which is stopped");
    EXPECT_LT(t.elapsed(), kLockWaitBound.count() + 5000) << "the start and the wait";
    EXPECT_TRUE(err.contains("Verrin.reg.access is held by process " + QByteArray::number(holder.Pid()) + " ("))
        << err.toStdString();
    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_EQ(store.GetDwordValue("A", 1), 0u);
    EXPECT_EQ(SettingsFileBytes(), settings);
}
