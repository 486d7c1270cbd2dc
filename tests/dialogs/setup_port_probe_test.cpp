// Port discovery on real pseudo-terminals: the virtual module's published
// port is listed while it is free and left out while another process holds
// it, however that process holds it.
#include "dialogs/CPortProber.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class PortProbeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(runtime.isValid());
        ASSERT_TRUE(locks.isValid());
        savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());

        int slave = -1;
        char name[256];
        ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
        ::close(slave); // the pty stays while its master is open
        ptyPath = name;
        ASSERT_TRUE(QDir(runtime.path()).mkpath(QStringLiteral("verrin-sim")));
        virtualPort = CPortProber::VirtualModulePortPath().toStdString();
        ASSERT_EQ(::symlink(name, virtualPort.c_str()), 0);
    }
    void TearDown() override
    {
        ::close(master);
        qputenv("XDG_RUNTIME_DIR", savedRuntime);
    }

    // What the Setup dialog would list, the machine's own ports aside.
    std::vector<std::string> Listed(QStringList lockDirectories)
    {
        CPortProber prober(CPortProber::Options{false, std::move(lockDirectories)});
        std::vector<std::string> paths;
        for (const PortEntry &entry : DiscoverPorts(prober, PortScheme::DevicePaths))
            paths.push_back(entry.devicePath);
        return paths;
    }
    std::vector<std::string> Listed() { return Listed({locks.path()}); }
    std::vector<std::string> JustTheVirtualPort() { return {virtualPort}; }

    QTemporaryDir runtime, locks;
    QByteArray savedRuntime;
    int master = -1;
    std::string ptyPath, virtualPort;
};

TEST_F(PortProbeTest, FreePseudoTerminalIsListedUnderItsPublishedPath)
{
    EXPECT_EQ(Listed(), JustTheVirtualPort());
    CPortProber prober(CPortProber::Options{false, {locks.path()}});
    const auto ports = DiscoverPorts(prober, PortScheme::DevicePaths);
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].displayName, virtualPort) << "a path outside /dev shows whole";
}

TEST_F(PortProbeTest, PortHeldThroughQSerialPortIsLeftOut)
{
    QProcess holder;
    holder.start(QStringLiteral(SETUP_PORT_HOLDER), {QString::fromStdString(virtualPort)});
    ASSERT_TRUE(holder.waitForReadyRead(10000)) << holder.readAllStandardError().toStdString();
    ASSERT_EQ(holder.readLine().trimmed(), "held");

    EXPECT_EQ(Listed(CPortProber::DefaultLockDirectories()), std::vector<std::string>{});
    // Its exclusive mode alone gives it away, also to a privileged prober
    // that the mode does not keep out.
    EXPECT_EQ(Listed(), std::vector<std::string>{}) << "without its lock file";

    holder.closeWriteChannel();
    ASSERT_TRUE(holder.waitForFinished(10000));
    EXPECT_EQ(Listed(CPortProber::DefaultLockDirectories()), JustTheVirtualPort())
        << "free again once the holder has closed it";
}

TEST_F(PortProbeTest, LockFileOfALiveProcessHoldsThePort)
{
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ::waitpid(ended, nullptr, 0);

    // QSerialPort names the lock after the path with '/' turned into '_'.
    QString lockName = QString::fromStdString(virtualPort);
    lockName.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QString lockPath = QDir(locks.path()).filePath(QStringLiteral("LCK..") + lockName);
    struct Case {
        const char *name;
        QByteArray contents;
        bool held;
    } cases[] = {
        {"live holder, QLockFile layout", QByteArray::number(getppid()) + "\nverrin\nhost\n", true},
        {"live holder, UUCP layout", QByteArray::number(getppid()).rightJustified(10) + "\n", true},
        {"holder has ended", QByteArray::number(ended) + "\nverrin\nhost\n", false},
        {"unreadable contents", "garbage\n", false},
    };
    for (const Case &c : cases) {
        QFile lock(lockPath);
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
        lock.write(c.contents);
        lock.close();
        EXPECT_EQ(Listed().empty(), c.held) << c.name;
    }
}

TEST_F(PortProbeTest, ProbeTellsDevicesFromOtherThings)
{
    const QString plainFile = QDir(runtime.path()).filePath(QStringLiteral("plain"));
    QFile(plainFile).open(QIODevice::WriteOnly);
    CPortProber prober(CPortProber::Options{false, {locks.path()}});
    EXPECT_EQ(prober.Probe(ptyPath), PortProbe::Serial);
    EXPECT_EQ(prober.Probe(plainFile.toStdString()), PortProbe::NotSerial);
    EXPECT_EQ(prober.Probe(runtime.path().toStdString() + "/missing"), PortProbe::Unavailable);

    ::unlink(virtualPort.c_str());
    ASSERT_EQ(::symlink("/dev/nonexistent-pty", virtualPort.c_str()), 0);
    EXPECT_EQ(prober.ListDevices(), std::vector<std::string>{})
        << "a port left behind by a virtual module that ended";
}

} // namespace
