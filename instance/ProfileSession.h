#pragma once
// The profile an instance holds, from start-up to exit: claims it in the
// instance store, loads and saves its settings, switches to another free one
// and gives it back. The main window owns one and shows what it returns.
//
// When another process keeps the store's or the settings file's lock past
// the wait (kLockWaitBound), an operation says so (LockBusy) and changes
// nothing more; the window asks the user and calls it again, or gives up.

#include "instance/ProfileLock.h"
#include "settings/Registry.h"
#include "settings/Settings.h"

#include <optional>
#include <string>

enum class StartOutcome {
    Claimed,          // a profile is held and its settings are loaded
    AllProfilesInUse, // every profile is marked by a running (or crashed) instance
    StoreUnavailable, // the instance store could not be opened or used
    LockBusy,         // a lock was not had in time (see Busy); Start again goes on
    Cancelled,        // the user gave up waiting for a lock; nothing was changed
};

enum class SwitchOutcome {
    Same,     // the chosen profile is the current one: nothing saved or loaded
    Switched, // old settings saved, old profile freed, new profile held and loaded
    InUse,    // another instance holds it: the current profile and settings stay
    LockBusy, // a lock was not had in time (see Busy): the current profile and settings stay
};

class ProfileSession {
public:
    ProfileSession(SharedStore &store, Registry &registry, uint32_t instanceId);

    // Claims the first free profile and loads its settings into `settings`,
    // whose "AppendLF" and "FlowEnabled" fields give the values of a profile
    // that has none yet (1 at start). Without a claim nothing is loaded and no
    // profile's settings are touched. After LockBusy, a claim already made is
    // kept and Start goes on with the load.
    StartOutcome Start(Settings &settings);

    bool HasProfile() const { return profile_ >= 0; }
    int ProfileIndex() const { return profile_; }
    // "A".."H"; empty without a profile.
    std::string ProfileName() const;

    // A choice in the profile list (index into kProfileNames). On InUse and
    // LockBusy the current profile and its settings stay.
    SwitchOutcome SelectProfile(int index, Settings &settings);

    // The lock found busy by the last Start or SelectProfile that said LockBusy.
    const LockBusy &Busy() const { return busy_; }

    // Saves all settings of the current profile (after a dialog's OK, and at
    // exit before Release).
    std::optional<LockBusy> Save(const Settings &settings);
    // The choice of an image file: "DownloadPath" and "DownloadFilename" only.
    std::optional<LockBusy> SaveDownloadChoice(const Settings &settings);

    // Frees the profile; the instance then holds none. At exit the settings
    // are saved first, so that an instance taking the profile next loads
    // what was saved. Does nothing without a profile.
    std::optional<LockBusy> Release();
    // Holds no profile from now on, leaving its mark as it is.
    void Abandon() { profile_ = -1; }

    // "Clear Profiles": adds the free marks that are missing.
    std::optional<LockBusy> ClearProfiles();

private:
    SharedStore &store_;
    Registry &registry_;
    uint32_t instanceId_;
    int profile_ = -1;
    bool loaded_ = false; // the held profile's settings are loaded
    LockBusy busy_;
};
