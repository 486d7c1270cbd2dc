#pragma once
// The instance store on a plain buffer: the lock is always free and there is
// no other process. `bytes` may be damaged at will.

#include "instance/SharedStore.h"

#include <vector>

class BufferStore : public SharedStore {
public:
    explicit BufferStore(bool open = true, size_t size = 1024) : bytes(size), open_(open)
    {
        InitRegion({bytes.data(), bytes.size()});
    }

    std::vector<uint8_t> bytes;
    bool created = true;

    bool IsOpen() const override { return open_; }
    bool IsCreated() const override { return created; }

protected:
    StoreError WithLockedRegion(const std::function<StoreError(RegionBytes)> &operation) override
    {
        return open_ ? operation({bytes.data(), bytes.size()}) : StoreError::NotOpen;
    }

private:
    bool open_;
};
