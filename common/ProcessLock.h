#pragma once
// Exclusive locks between processes on a lock file (flock), taken with a
// bounded wait, and the process that holds one when the wait ends.

#include "common/LockBusy.h"

enum class LockWait {
    Held,   // this process holds the lock
    Busy,   // another process held it for all of kLockWaitBound
    Failed, // flock failed (errno says why)
};

// Takes the exclusive lock on fd, trying again for up to kLockWaitBound.
LockWait LockWithinBound(int fd);

// The lock on fd (whose file is `file`) and its holder, as the kernel's table
// of locks and the holder's /proc entry tell them.
LockBusy DescribeBusyLock(int fd, const std::string &file);
