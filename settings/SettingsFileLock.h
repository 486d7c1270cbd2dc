#pragma once
// Makes one batch of accesses to the settings file (read, merge, write) a
// unit between processes, and keeps the modification times of its successive
// contents distinct.
//
// QSettings locks the file only while it writes and decides whether to read it
// again from its size and modification time, to the millisecond. Two
// processes saving different profiles could then each write over the other's
// newest values: a process reads the file, another writes it, and the first
// merges its change into what it read. Holding this lock from the opening of a
// QSettings to its last sync, and moving the modification time on by a
// millisecond when a write left it where it was, make every batch start from
// the file's latest contents.

#include "common/LockBusy.h"

#include <QDateTime>
#include <QString>

#include <optional>

class SettingsFileLock {
public:
    // Waits up to kLockWaitBound for the lock next to `settingsFile`. Where
    // the lock cannot be made (a read-only folder) the batch goes ahead
    // without it: nothing can be written there either.
    explicit SettingsFileLock(const QString &settingsFile);
    ~SettingsFileLock();
    SettingsFileLock(const SettingsFileLock &) = delete;
    SettingsFileLock &operator=(const SettingsFileLock &) = delete;

    // Set when another process held the lock all that time: the file must
    // then be neither read nor written.
    const std::optional<LockBusy> &Busy() const { return busy_; }

    // Call after each write of the settings file while the lock is held.
    void AfterWrite();

private:
    QString file_;
    int fd_ = -1;
    QDateTime lastModified_;
    std::optional<LockBusy> busy_;
};
