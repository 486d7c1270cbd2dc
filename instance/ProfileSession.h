#pragma once
// The profile an instance holds, from start-up to exit: claims it in the
// instance store, loads and saves its settings, switches to another free one
// and gives it back. The main window owns one and shows what it returns.

#include "instance/ProfileLock.h"
#include "settings/Registry.h"
#include "settings/Settings.h"

#include <string>

enum class StartOutcome {
    Claimed,          // a profile is held and its settings are loaded
    AllProfilesInUse, // every profile is marked by a running (or crashed) instance
    StoreUnavailable, // the instance store could not be opened or used
};

enum class SwitchOutcome {
    Same,     // the chosen profile is the current one: nothing saved or loaded
    Switched, // old settings saved, old profile freed, new profile held and loaded
    InUse,    // another instance holds it: the current profile and settings stay
};

class ProfileSession {
public:
    ProfileSession(SharedStore &store, Registry &registry, uint32_t instanceId);

    // Claims the first free profile and loads its settings into `settings`,
    // whose "AppendLF" and "FlowEnabled" fields give the values of a profile
    // that has none yet (1 at start). Without a claim nothing is loaded and no
    // profile's settings are touched.
    StartOutcome Start(Settings &settings);

    bool HasProfile() const { return profile_ >= 0; }
    int ProfileIndex() const { return profile_; }
    // "A".."H"; empty without a profile.
    std::string ProfileName() const;

    // A choice in the profile list (index into kProfileNames). On InUse the
    // current profile and its settings stay.
    SwitchOutcome SelectProfile(int index, Settings &settings);

    // Saves all settings of the current profile (after a dialog's OK).
    void Save(const Settings &settings);
    // The choice of an image file: "DownloadPath" and "DownloadFilename" only.
    void SaveDownloadChoice(const Settings &settings);

    // At exit: saves the settings, then frees the profile, so that an instance
    // taking it next loads what was saved. Does nothing without a profile.
    void ReleaseAndSave(const Settings &settings);

    // "Clear Profiles": adds the free marks that are missing.
    void ClearProfiles();

private:
    SharedStore &store_;
    Registry &registry_;
    uint32_t instanceId_;
    int profile_ = -1;
};
