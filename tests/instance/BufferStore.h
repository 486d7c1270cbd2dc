#pragma once
// The instance store on a plain buffer: the lock is always free and there is
// no other process. `bytes` may be damaged at will.

#include "instance/SharedStore.h"

#include <vector>

class BufferStore : public SharedStore {
public:
    BufferStore() : bytes(1024) { InitRegion({bytes.data(), bytes.size()}); }

    std::vector<uint8_t> bytes;

    bool IsOpen() const override { return true; }
    bool IsCreated() const override { return true; }

protected:
    StoreError WithLockedRegion(const std::function<StoreError(RegionBytes)> &operation) override
    {
        return operation({bytes.data(), bytes.size()});
    }
};
