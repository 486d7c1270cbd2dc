#pragma once
// What the transfer benchmarks ask of the system: a serial end in raw mode,
// and the load average to print beside their figures.

#include <QFile>
#include <QString>

#include <fcntl.h>
#include <string>
#include <termios.h>
#include <unistd.h>

inline int OpenRaw(const QString &path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw{};
    if (fd >= 0 && tcgetattr(fd, &raw) == 0) {
        cfmakeraw(&raw);
        tcsetattr(fd, TCSANOW, &raw);
    }
    return fd;
}

inline std::string LoadAverage()
{
    QFile file("/proc/loadavg");
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toStdString() : "?";
}
