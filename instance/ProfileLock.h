#pragma once
// The marks in the instance store that keep two running instances off the
// same profile: one 4-byte value per profile, named by the profile, 0 when the
// profile is free and the holder's process id otherwise.

#include "instance/SharedStore.h"

#include <array>
#include <cstdint>

inline constexpr int kProfileCount = 8;
inline constexpr std::array<const char *, kProfileCount> kProfileNames = {"A", "B", "C", "D",
                                                                          "E", "F", "G", "H"};

struct ClaimResult {
    StoreError error = StoreError::None; // the store could not be used (LockBusy: see BusyLock)
    int profile = -1;                    // index of the claimed profile; -1 when none was free
};

// Under one hold of the lock: adds the free mark of every profile that has
// none (a store just created has none yet), then marks the first free profile
// with `instanceId`. Two instances starting together can never both take it.
ClaimResult ClaimFirstFree(SharedStore &store, uint32_t instanceId);

// Under one hold of the lock: marks `to` with `instanceId` if it is free, and
// then `from` free. Nothing changes unless both do.
ClaimResult SwitchClaim(SharedStore &store, int from, int to, uint32_t instanceId);

// Marks the profile free. The error of the store, when it could not.
StoreError ReleaseProfile(SharedStore &store, int profile);

// Adds a free mark for each profile that has none, in table order, each an
// operation of its own; marks that exist, a running instance's or a stale
// one, are kept. Stops at LockBusy and returns it.
StoreError AddMissingFreeMarks(SharedStore &store);
