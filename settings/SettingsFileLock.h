#pragma once
// Makes one access to the settings file (read, merge, write) a unit between
// processes, and keeps the modification times of its successive contents
// distinct.
//
// QSettings locks the file only while it writes and decides whether to read it
// again from its size and modification time, to the millisecond. Two
// processes saving different profiles could then each write over the other's
// newest values: a process reads the file, another writes it, and the first
// merges its change into what it read. Holding this lock from the opening of a
// QSettings to its last sync, and moving the modification time on by a
// millisecond when a write left it where it was, make every access start from
// the file's latest contents.

#include <QDateTime>
#include <QString>

class SettingsFileLock {
public:
    // Blocks until the lock next to `settingsFile` is held. Where the lock
    // cannot be made (a read-only folder) the access goes ahead without it:
    // nothing can be written there either.
    explicit SettingsFileLock(const QString &settingsFile);
    ~SettingsFileLock();
    SettingsFileLock(const SettingsFileLock &) = delete;
    SettingsFileLock &operator=(const SettingsFileLock &) = delete;

    // Call after each write of the settings file while the lock is held.
    void AfterWrite();

private:
    QString file_;
    int fd_ = -1;
    QDateTime lastModified_;
};
