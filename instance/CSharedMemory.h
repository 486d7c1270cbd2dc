#pragma once
// The instance store of the program: a region of shared memory that every
// running instance maps, and a lock between processes of count 1 held for
// each operation.
//
// Linux: the region is the file <runtime dir>/<name> (mode 0600, mapped), the
// lock an exclusive flock on <name>_Sync; the runtime dir is $XDG_RUNTIME_DIR,
// or, when that is unset, the private folder verrin-runtime-<uid> in $TMPDIR
// (or /tmp). Every user holds a
// shared flock on the region file for its life, and the kernel drops both
// locks of a process that dies. An instance that opens the store while no
// other user holds it, crashed ones included, starts it afresh: empty.
// Making the store never waits: while another process holds the lock, the
// region is opened by the first operation that gets it.
// Windows: a named mapping on the page file and a named semaphore
// "<name>_Sync", which vanish with their last user.

#include "instance/SharedStore.h"

#include <memory>
#include <string>

class CSharedMemory : public SharedStore {
public:
    explicit CSharedMemory(const std::string &name = "shMemInstance", uint32_t size = 1024);
    ~CSharedMemory() override;
    CSharedMemory(const CSharedMemory &) = delete;
    CSharedMemory &operator=(const CSharedMemory &) = delete;

    bool IsOpen() const override;
    bool IsCreated() const override;

protected:
    StoreError WithLockedRegion(const std::function<StoreError(RegionBytes)> &operation) override;
#ifdef _WIN32
    void ValueAdded() override;
    void ValueChanged(const std::string &name) override;
#endif

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
