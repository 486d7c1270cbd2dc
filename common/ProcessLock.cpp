#include "common/ProcessLock.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>

LockWait LockWithinBound(int fd)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + kLockWaitBound;
    // Short pauses first: a running holder lets go within microseconds or
    // milliseconds. flock has no time-out of its own.
    std::chrono::microseconds pause(100);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return LockWait::Held;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return LockWait::Failed;
        const Clock::time_point now = Clock::now();
        if (now >= deadline)
            return LockWait::Busy;
        std::this_thread::sleep_for(
            std::min<Clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::microseconds(10000));
    }
}

namespace {

// The process holding the exclusive flock on the file (device, inode), from
// lines of /proc/locks such as "1: FLOCK  ADVISORY  WRITE 1234 fe:00:5678 0
// EOF"; waiters ("1: -> FLOCK ...") are left out. 0 when none is listed.
// Where the table names another device than fstat does (an overlay file
// system), the one lock on a file of that inode number stands.
uint32_t FlockHolder(dev_t device, ino_t inode)
{
    std::ifstream locks("/proc/locks");
    uint32_t sameInode = 0;
    int sameInodes = 0;
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string number, kind, advisory, access, file;
        uint32_t pid = 0;
        if (!(fields >> number >> kind >> advisory >> access >> pid >> file) || kind != "FLOCK" ||
            access != "WRITE")
            continue;
        unsigned major = 0, minor = 0;
        uintmax_t ino = 0;
        if (std::sscanf(file.c_str(), "%x:%x:%" SCNuMAX, &major, &minor, &ino) != 3 || ino != inode)
            continue;
        if (makedev(major, minor) == device)
            return pid;
        sameInode = pid;
        ++sameInodes;
    }
    return sameInodes == 1 ? sameInode : 0;
}

} // namespace

LockBusy DescribeBusyLock(int fd, const std::string &file)
{
    LockBusy busy;
    busy.file = file;
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return busy;
    busy.holderPid = FlockHolder(st.st_dev, st.st_ino);
    if (busy.holderPid == 0)
        return busy;
    // "1234 (name) T ...": the name may hold blanks and parentheses, so it
    // ends at the last ')'.
    std::ifstream statFile("/proc/" + std::to_string(busy.holderPid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
    const size_t open = stat.find('('), close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open || close + 2 >= stat.size())
        return busy;
    busy.holderProgram = stat.substr(open + 1, close - open - 1);
    const char state = stat[close + 2];
    busy.holderStopped = state == 'T' || state == 't';
    return busy;
}
