// The verrin program as a process: its command line, and the termination
// signals where it has no window yet. The end-to-end tests end it from every
// dialog; the instance soak starts and ends it at random; the profile window
// test names a stopped holder of the settings file.
#include "instance/CSharedMemory.h"
#include "instance/ProfileLock.h"
#include "settings/CRegistry.h"
#include "settings/SettingsStore.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <csignal>
#include <unistd.h>

namespace {
// Verrin with these arguments and the test's environment (XDG_RUNTIME_DIR
// changed when runtime is given).
struct Verrin : QProcess {
    explicit Verrin(const QStringList &arguments, const QString &runtime = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!runtime.isEmpty())
            env.insert("XDG_RUNTIME_DIR", runtime);
        setProcessEnvironment(env);
        start(QStringLiteral(VERRIN_BIN_DIR "/verrin"), arguments);
        waitForStarted(10000);
    }
    pid_t Pid() const { return pid_t(processId()); }
    // Its exit code after sig, or -1 when it did not end normally.
    int EndWith(int sig)
    {
        ::kill(Pid(), sig);
        return waitForFinished(10000) && exitStatus() == NormalExit ? exitCode() : -1;
    }
};

std::string SettingsFileBytes() { return ReadFile(QFile::encodeName(CRegistry::FilePath()).toStdString()); }
} // namespace

TEST(Program, BadCommandLineValuesGiveAClearMessage)
{
    const std::pair<QStringList, const char *> cases[] = {
        {{"--baud", "0"}, "invalid baud rate"},     {{"--baud", "fast"}, "invalid baud rate"},
        {{"--port", "/dev/verrin-no-such-port"}, "no such port"},
        {{"--frobnicate"}, "Unknown option"},       {{"stray"}, "unexpected argument"},
        {{"--version"}, nullptr}, // exit code 0
    };
    for (const auto &[args, says] : cases) {
        Verrin p(args);
        ASSERT_TRUE(p.waitForFinished(20000)) << args.join(' ').toStdString();
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        EXPECT_TRUE((p.exitCode() != 0) == (says != nullptr) && (!says || err.contains(QLatin1String(says))))
            << args.join(' ').toStdString() << ": " << p.exitCode() << " " << err.toStdString();
    }
}

// A termination request that comes right after the profile was claimed,
// before the window exists, still closes Verrin cleanly and frees its profile.
// This test keeps the instance store open, so a mark left behind would stay.
// (Once the window runs, SIGTERM closes it as the user does: the end-to-end
// tests end it so from every dialog.)
TEST(Program, TerminationSignalsCloseTheWindowCleanlyAndFreeTheProfile)
{
    CSharedMemory store;
    ASSERT_TRUE(store.IsOpen());
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE("signal " + std::to_string(sig));
        Verrin p({});
        ASSERT_TRUE(WaitUntil([&] { return store.GetDwordValue("A", 0) == uint32_t(p.Pid()); }, 20000,
                              [] { ::usleep(200); })) << "it did not claim a profile";
        EXPECT_EQ(p.EndWith(sig), 0) << p.readAllStandardError().toStdString();
        ASSERT_EQ(store.GetDwordValue("A", 1), 0u);
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
    CRegistry registry;
    (void)SaveSettings(registry, "A", Settings{});
    const std::string settings = SettingsFileBytes();
    const QString notAFolder = QFile::decodeName(qgetenv("XDG_CONFIG_HOME")) + "/Brondel/Verrin.reg/runtime";
    const std::tuple<int, QString, const char *> cases[] = {{SIGTERM, {}, "in use"},
                                                            {SIGINT, notAFolder, "could not be opened"}};
    for (const auto &[sig, runtime, says] : cases) {
        SCOPED_TRACE(says);
        Verrin p({}, runtime);
        QByteArray err;
        ASSERT_TRUE(WaitFor([&] { return (err += p.readAllStandardError()).contains(says); }, 20000)) << err.data();
        EXPECT_EQ(p.EndWith(sig), 1) << "the box stayed up, or the status is not 1";
        EXPECT_EQ(SettingsFileBytes(), settings);
        EXPECT_EQ(store.GetDwordValue("A", 0), uint32_t(::getpid()));
    }
}
