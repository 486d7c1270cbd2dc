// Port discovery on a real pseudo-terminal: the virtual module's published
// port is listed, and found free only while no serial port object holds it
// (by its exclusive mode alone, too) and no live process's lock file names it.
#include "dialogs/CPortProber.h"

#include <QDir>
#include <QFile>
#include <QSerialPort>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(PortProbe, FindsThePublishedPortFreeOnlyWhileNothingHoldsIt)
{
    QTemporaryDir locks;
    const QDir folder(CPortProber::VirtualModuleFolder()); // in this test process's own runtime folder
    const QString port = folder.filePath("port");
    const std::string path = port.toStdString(), second = folder.filePath("port2").toStdString();
    int master = -1, slave = -1;
    char pty[256];
    ASSERT_EQ(::openpty(&master, &slave, pty, nullptr, nullptr), 0);
    ::close(slave); // the pty stays while its master is open
    ASSERT_TRUE(folder.mkpath("."));
    // A second module's link, the publisher's lock file, a link being made
    // and one left by a dead run: only the live links are ports.
    for (const std::string &link : {path, second, path + ".new"})
        ASSERT_EQ(::symlink(pty, link.c_str()), 0);
    ASSERT_EQ(::symlink("/dev/pts/nothing", folder.filePath("port3").toLocal8Bit().constData()), 0);
    QFile(port + ".lock").open(QIODevice::WriteOnly);
    const auto probe = [&](const QStringList &lockDirectories) {
        return CPortProber(CPortProber::Options{false, lockDirectories}).Probe(path);
    };
    EXPECT_EQ(CPortProber(CPortProber::Options{false, {}}).ListDevices(), (std::vector<std::string>{path, second}));
    EXPECT_EQ(probe({locks.path()}), PortProbe::Serial);
    {
        QSerialPort holder(port);
        ASSERT_TRUE(holder.open(QIODevice::ReadWrite)) << holder.errorString().toStdString();
        EXPECT_EQ(probe(CPortProber::DefaultLockDirectories()), PortProbe::Unavailable);
        EXPECT_EQ(probe({locks.path()}), PortProbe::Unavailable) << "without its lock file";
    }
    EXPECT_EQ(probe(CPortProber::DefaultLockDirectories()), PortProbe::Serial) << "free again once closed";

    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    // The lock is named after the path with '/' turned into '_'.
    const QString lockPath = locks.filePath(QStringLiteral("LCK..") + QString(port).replace('/', '_'));
    const std::pair<QByteArray, PortProbe> lockFiles[] = {
        {QByteArray::number(getppid()) + "\nverrin\nhost\n", PortProbe::Unavailable}, // as QLockFile writes it
        {QByteArray::number(getppid()).rightJustified(10) + "\n", PortProbe::Unavailable}, // the UUCP layout
        {QByteArray::number(ended) + "\nverrin\nhost\n", PortProbe::Serial}};            // its holder has ended
    for (const auto &[contents, expected] : lockFiles) {
        std::ofstream(lockPath.toStdString(), std::ios::trunc) << contents.toStdString();
        EXPECT_EQ(probe({locks.path()}), expected) << contents.toStdString();
    }

    QFile(locks.filePath("plain")).open(QIODevice::WriteOnly);
    EXPECT_EQ(CPortProber().Probe(locks.filePath("plain").toStdString()), PortProbe::NotSerial);
    ::unlink(path.c_str());
    ::close(master);
}
