#pragma once
// The instance store: named values in a region that every running instance
// of the program shares, with a lock between processes held for each
// operation. An operation waits at most kLockWaitBound for the lock and
// otherwise fails with StoreError::LockBusy. CSharedMemory supplies the
// region and the lock; tests use a plain buffer.

#include "common/LockBusy.h"
#include "instance/StoreRegion.h"

#include <cstdint>
#include <functional>
#include <string>

class SharedStore {
public:
    virtual ~SharedStore() = default;

    // False when the region could not be opened: every operation then fails
    // with StoreError::NotOpen and the getter returns its default.
    virtual bool IsOpen() const = 0;
    // True when this process created the region, which was then empty.
    virtual bool IsCreated() const = 0;

    // The store while its lock is held. Names are the program's 8-bit text.
    class Locked {
    public:
        StoreError AddValue(const std::string &name, uint32_t size, const void *data);
        StoreError AddDwordValue(const std::string &name, uint32_t value);
        StoreError GetDwordValue(const std::string &name, uint32_t &value);
        StoreError SetValue(const std::string &name, const void *data, uint32_t size);
        StoreError SetDwordValue(const std::string &name, uint32_t value);

    private:
        friend class SharedStore;
        Locked(SharedStore &store, RegionBytes region) : store_(store), region_(region) {}
        SharedStore &store_;
        RegionBytes region_;
    };

    // Runs `operation` under one hold of the lock, so that everything it reads
    // and writes is a single step for every other process. Its result becomes
    // the last error when it is not None.
    StoreError Transact(const std::function<StoreError(Locked &)> &operation);

    // Each of these holds the lock for itself alone; false (the getter: the
    // default) on failure, with the code in LastError.
    bool AddValue(const std::string &name, uint32_t size, const void *data);
    bool AddDwordValue(const std::string &name, uint32_t value);
    uint32_t GetDwordValue(const std::string &name, uint32_t defaultValue);
    bool SetValue(const std::string &name, const void *data, uint32_t size);
    bool SetDwordValue(const std::string &name, uint32_t value);

    // The code of the last failure: a StoreError, or the system's own code
    // when the region could not be opened.
    uint32_t LastError() const { return lastError_; }
    // The lock and its holder, when the last failure was StoreError::LockBusy.
    const LockBusy &BusyLock() const { return busyLock_; }

protected:
    // Runs `operation` on the region while holding the lock; NotOpen without
    // a region, LockBusy (after SetBusyLock) when the lock was not had in time.
    virtual StoreError WithLockedRegion(const std::function<StoreError(RegionBytes)> &operation) = 0;
    // Told, under the lock, after a value was added or changed.
    virtual void ValueAdded() {}
    virtual void ValueChanged(const std::string &name) { (void)name; }

    void SetLastError(uint32_t code) { lastError_ = code; }
    void SetBusyLock(LockBusy busy) { busyLock_ = std::move(busy); }

private:
    uint32_t lastError_ = 0;
    LockBusy busyLock_;
};
