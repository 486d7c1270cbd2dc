// Probing a port on Linux and other POSIX systems.
#include "dialogs/CPortProber.h"

#include "common/QtText.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The lock file name QSerialPort and the UUCP tools use: the path below /dev
// (or the whole path) with '/' turned into '_', after "LCK..".
QString LockFileName(const QString &devicePath)
{
    QString name = devicePath.startsWith(QLatin1String("/dev/")) ? devicePath.mid(5) : devicePath;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("LCK..") + name;
}

// A lock file names its holder's process id on its first line; a lock whose
// process has ended is stale and holds nothing.
bool HeldByLockFile(const QString &devicePath, const QStringList &lockDirectories)
{
    const QString fileName = LockFileName(devicePath);
    for (const QString &directory : lockDirectories) {
        QFile lock(directory + QLatin1Char('/') + fileName);
        if (!lock.open(QIODevice::ReadOnly))
            continue;
        bool isNumber = false;
        const qint64 pid = lock.readLine(64).trimmed().toLongLong(&isNumber);
        if (isNumber && pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM))
            return true;
    }
    return false;
}

// Exclusive mode (TIOCEXCL, as QSerialPort sets it) refuses other opens with
// EBUSY, but not for a privileged process; asking for the flag catches both.
bool HeldExclusively(int fd)
{
#ifdef TIOCGEXCL
    int exclusive = 0;
    return ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
#else
    (void)fd;
    return false;
#endif
}

} // namespace

QStringList CPortProber::DefaultLockDirectories()
{
    return {QStringLiteral("/var/lock"),       QStringLiteral("/etc/locks"),
            QStringLiteral("/var/spool/locks"), QStringLiteral("/var/spool/uucp"),
            QStringLiteral("/tmp"),             QStringLiteral("/var/tmp"),
            QStringLiteral("/var/lock/lockdev"), QStringLiteral("/run/lock")};
}

PortProbe CPortProber::Probe(const std::string &devicePath)
{
    // A port with a live lock is not touched at all: opening a serial port
    // can change its modem lines under its holder.
    if (HeldByLockFile(FromCodePage(devicePath), m_options.lockDirectories))
        return PortProbe::Unavailable;
    const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return PortProbe::Unavailable;
    PortProbe result = PortProbe::Serial;
    termios attributes{};
    if (::tcgetattr(fd, &attributes) != 0)
        result = PortProbe::NotSerial;
    else if (HeldExclusively(fd))
        result = PortProbe::Unavailable;
    ::close(fd);
    return result;
}
