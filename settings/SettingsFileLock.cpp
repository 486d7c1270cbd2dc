#include "settings/SettingsFileLock.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

SettingsFileLock::SettingsFileLock(const QString &settingsFile)
    : file_(settingsFile)
{
    const QByteArray lockPath = QFile::encodeName(settingsFile + QStringLiteral(".access"));
    fd_ = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0)
        fd_ = ::open(lockPath.constData(), O_RDONLY | O_CLOEXEC);
    if (fd_ >= 0) {
        while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    lastModified_ = QFileInfo(file_).lastModified();
}

SettingsFileLock::~SettingsFileLock()
{
    if (fd_ >= 0)
        ::close(fd_); // releases the lock
}

void SettingsFileLock::AfterWrite()
{
    const QDateTime written = QFileInfo(file_).lastModified();
    if (lastModified_.isValid() && written.isValid() && written <= lastModified_) {
        QFile file(file_);
        if (file.open(QIODevice::ReadWrite))
            file.setFileTime(lastModified_.addMSecs(1), QFileDevice::FileModificationTime);
    }
    lastModified_ = QFileInfo(file_).lastModified();
}
