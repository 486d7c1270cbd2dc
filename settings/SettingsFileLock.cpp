#include "settings/SettingsFileLock.h"

#include "common/ProcessLock.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

SettingsFileLock::SettingsFileLock(const QString &settingsFile)
    : file_(settingsFile)
{
    const QString lockFile = settingsFile + QStringLiteral(".access");
    const QByteArray lockPath = QFile::encodeName(lockFile);
    fd_ = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0)
        fd_ = ::open(lockPath.constData(), O_RDONLY | O_CLOEXEC);
    if (fd_ >= 0 && LockWithinBound(fd_) == LockWait::Busy) {
        busy_ = DescribeBusyLock(fd_, lockFile.toStdString());
        ::close(fd_);
        fd_ = -1;
        return;
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
