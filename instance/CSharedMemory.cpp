#include "instance/CSharedMemory.h"

#include "common/ProcessLock.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int Flock(int fd, int operation)
{
    int rc;
    while ((rc = ::flock(fd, operation)) != 0 && errno == EINTR) {
    }
    return rc;
}

// Opens or creates a file only this user can read and write; -1 with errno
// set when the path is not such a file.
int OpenPrivateFile(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(fd);
        errno = EPERM;
        return -1;
    }
    if ((st.st_mode & 077) != 0)
        ::fchmod(fd, 0600);
    return fd;
}

// The folder of the store's files: $XDG_RUNTIME_DIR, which must be a folder
// of this user; only where it is not set, a folder of this user's own in the
// temporary folder. A runtime folder that is set but unusable is not replaced:
// instances that disagree on the folder would not see each other.
int RuntimeFolder(std::string &folder)
{
    struct stat st;
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) {
        folder = runtime;
        if (::stat(runtime, &st) != 0)
            return errno;
        return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() ? 0 : EPERM;
    }
    const char *tmp = std::getenv("TMPDIR");
    folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/verrin-runtime-" + std::to_string(::geteuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return errno;
    if (::lstat(folder.c_str(), &st) != 0)
        return errno;
    const bool private_ = S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
    return private_ ? 0 : EPERM;
}

} // namespace

struct CSharedMemory::Impl {
    std::string syncPath; // the operation lock's file
    std::string regionPath;
    uint32_t size = 0;
    int syncFd = -1;   // the operation lock
    int regionFd = -1; // the region, shared-locked for as long as this process uses it
    uint8_t *view = nullptr;
    size_t mapped = 0;
    bool created = true;
    bool open = false;

    // The lock is there but not the region yet: the first operation that
    // gets the lock opens it.
    bool Pending() const { return syncFd >= 0 && !open; }

    // 0, or the errno (or StoreError) of the failure. The region is opened
    // at once when the lock is free; otherwise, so that making the store never
    // waits, by the first operation.
    int Open(const std::string &name, uint32_t regionSize)
    {
        if (regionSize < kRegionHeaderSize)
            return EINVAL;
        std::string folder;
        if (const int error = RuntimeFolder(folder))
            return error;
        regionPath = folder + "/" + name;
        syncPath = regionPath + "_Sync";
        size = regionSize;
        syncFd = OpenPrivateFile(syncPath);
        if (syncFd < 0)
            return errno;
        if (Flock(syncFd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK)
                return errno;
            return 0; // pending
        }
        const int error = OpenRegion();
        Flock(syncFd, LOCK_UN);
        return error;
    }

    // Runs under the operation lock, so no other process opens the store
    // between the test for other users and the downgrade to a shared lock.
    int OpenRegion()
    {
        regionFd = OpenPrivateFile(regionPath);
        if (regionFd < 0)
            return errno;
        if (Flock(regionFd, LOCK_EX | LOCK_NB) == 0) {
            // No other user holds the region, not even one that crashed: the
            // kernel dropped its lock. Start the store afresh.
            created = true;
            if (::ftruncate(regionFd, 0) != 0 || ::ftruncate(regionFd, size) != 0)
                return errno;
        } else if (errno == EWOULDBLOCK) {
            created = false;
        } else {
            return errno;
        }
        if (Flock(regionFd, LOCK_SH) != 0)
            return errno;

        struct stat st;
        if (::fstat(regionFd, &st) != 0)
            return errno;
        if (st.st_size < static_cast<off_t>(kRegionHeaderSize))
            return static_cast<int>(StoreError::Damaged);
        mapped = static_cast<size_t>(st.st_size);
        void *p = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_SHARED, regionFd, 0);
        if (p == MAP_FAILED)
            return errno;
        view = static_cast<uint8_t *>(p);
        if (created)
            InitRegion({view, mapped});
        open = true;
        return 0;
    }

    void Close()
    {
        if (view)
            ::munmap(view, mapped);
        if (regionFd >= 0)
            ::close(regionFd); // gives up this process's part in the store
        if (syncFd >= 0)
            ::close(syncFd);
        view = nullptr;
        regionFd = syncFd = -1;
        open = false;
    }
};

CSharedMemory::CSharedMemory(const std::string &name, uint32_t size)
    : impl_(std::make_unique<Impl>())
{
    if (const int error = impl_->Open(name, size)) {
        impl_->Close();
        SetLastError(static_cast<uint32_t>(error));
    }
}

CSharedMemory::~CSharedMemory() { impl_->Close(); }

bool CSharedMemory::IsOpen() const { return impl_->open || impl_->Pending(); }

bool CSharedMemory::IsCreated() const { return impl_->created; }

StoreError CSharedMemory::WithLockedRegion(const std::function<StoreError(RegionBytes)> &operation)
{
    if (!IsOpen())
        return StoreError::NotOpen;
    switch (LockWithinBound(impl_->syncFd)) {
    case LockWait::Held: break;
    case LockWait::Busy:
        SetBusyLock(DescribeBusyLock(impl_->syncFd, impl_->syncPath));
        return StoreError::LockBusy;
    case LockWait::Failed: return StoreError::NotOpen;
    }
    if (impl_->Pending()) {
        if (const int error = impl_->OpenRegion()) {
            impl_->Close(); // releases the lock too
            SetLastError(static_cast<uint32_t>(error));
            return StoreError::NotOpen;
        }
    }
    // A region file cut short by someone else would fault on access.
    struct stat st;
    const bool whole = ::fstat(impl_->regionFd, &st) == 0 && static_cast<size_t>(st.st_size) >= impl_->mapped;
    const StoreError e = whole ? operation({impl_->view, impl_->mapped}) : StoreError::Damaged;
    Flock(impl_->syncFd, LOCK_UN);
    return e;
}
