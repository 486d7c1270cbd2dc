#include "instance/ProfileLock.h"

namespace {

// What a mark that cannot be read counts as: not free.
constexpr uint32_t kUnreadableMark = 0xFFFFFFFF;

bool IsFree(SharedStore::Locked &store, int profile, StoreError &hardError)
{
    uint32_t mark = kUnreadableMark;
    const StoreError e = store.GetDwordValue(kProfileNames[profile], mark);
    if (e == StoreError::Damaged)
        hardError = e;
    return e == StoreError::None && mark == 0;
}

} // namespace

ClaimResult ClaimFirstFree(SharedStore &store, uint32_t instanceId)
{
    ClaimResult result;
    const StoreError e = store.Transact([&](SharedStore::Locked &s) {
        for (const char *name : kProfileNames)
            s.AddDwordValue(name, 0); // kept when it exists
        StoreError hardError = StoreError::None;
        for (int i = 0; i < kProfileCount && hardError == StoreError::None; ++i) {
            if (IsFree(s, i, hardError)) {
                const StoreError set = s.SetDwordValue(kProfileNames[i], instanceId);
                if (set == StoreError::None)
                    result.profile = i;
                return set;
            }
        }
        return hardError;
    });
    result.error = e;
    return result;
}

ClaimResult SwitchClaim(SharedStore &store, int from, int to, uint32_t instanceId)
{
    ClaimResult result;
    result.error = store.Transact([&](SharedStore::Locked &s) {
        StoreError hardError = StoreError::None;
        if (!IsFree(s, to, hardError))
            return hardError;
        StoreError e = s.SetDwordValue(kProfileNames[to], instanceId);
        if (e != StoreError::None)
            return e;
        e = s.SetDwordValue(kProfileNames[from], 0);
        if (e != StoreError::None) {
            s.SetDwordValue(kProfileNames[to], 0);
            return e;
        }
        result.profile = to;
        return e;
    });
    return result;
}

StoreError ReleaseProfile(SharedStore &store, int profile)
{
    return store.Transact([&](SharedStore::Locked &s) { return s.SetDwordValue(kProfileNames[profile], 0); });
}

StoreError AddMissingFreeMarks(SharedStore &store)
{
    for (const char *name : kProfileNames)
        if (store.Transact([&](SharedStore::Locked &s) { return s.AddDwordValue(name, 0); }) ==
            StoreError::LockBusy)
            return StoreError::LockBusy;
    return StoreError::None;
}
