#include "instance/ProfileSession.h"

#include "settings/SettingsStore.h"

ProfileSession::ProfileSession(SharedStore &store, Registry &registry, uint32_t instanceId)
    : store_(store), registry_(registry), instanceId_(instanceId)
{
}

StartOutcome ProfileSession::Start(Settings &settings)
{
    if (!HasProfile()) {
        const ClaimResult claim = ClaimFirstFree(store_, instanceId_);
        if (claim.error == StoreError::LockBusy) {
            busy_ = store_.BusyLock();
            return StartOutcome::LockBusy;
        }
        if (claim.error != StoreError::None)
            return StartOutcome::StoreUnavailable;
        if (claim.profile < 0)
            return StartOutcome::AllProfilesInUse;
        profile_ = claim.profile;
        loaded_ = false;
    }
    if (!loaded_) {
        if (const std::optional<LockBusy> busy = LoadSettings(registry_, ProfileName(), settings)) {
            busy_ = *busy;
            return StartOutcome::LockBusy;
        }
        loaded_ = true;
    }
    return StartOutcome::Claimed;
}

std::string ProfileSession::ProfileName() const
{
    return HasProfile() ? kProfileNames[profile_] : std::string();
}

SwitchOutcome ProfileSession::SelectProfile(int index, Settings &settings)
{
    if (!HasProfile() || index < 0 || index >= kProfileCount || index == profile_)
        return SwitchOutcome::Same;
    // One opening of the settings for the save and the load, taken before
    // the marks change and kept until both are done: an instance that takes
    // the old profile as soon as it is free loads what is saved here.
    Registry::Hold hold(registry_);
    if (hold.Busy()) {
        busy_ = *hold.Busy();
        return SwitchOutcome::LockBusy;
    }
    // The new profile is taken and the old one freed in one step, so that no
    // other instance can take the new one in between.
    const ClaimResult claim = SwitchClaim(store_, profile_, index, instanceId_);
    if (claim.error == StoreError::LockBusy) {
        busy_ = store_.BusyLock();
        return SwitchOutcome::LockBusy;
    }
    if (claim.profile != index)
        return SwitchOutcome::InUse;
    SaveSettings(registry_, ProfileName(), settings);
    profile_ = index;
    LoadSettings(registry_, ProfileName(), settings);
    return SwitchOutcome::Switched;
}

std::optional<LockBusy> ProfileSession::Save(const Settings &settings)
{
    return HasProfile() ? SaveSettings(registry_, ProfileName(), settings) : std::nullopt;
}

std::optional<LockBusy> ProfileSession::SaveDownloadChoice(const Settings &settings)
{
    return HasProfile() ? ::SaveDownloadChoice(registry_, ProfileName(), settings) : std::nullopt;
}

std::optional<LockBusy> ProfileSession::Release()
{
    if (!HasProfile())
        return std::nullopt;
    if (ReleaseProfile(store_, profile_) == StoreError::LockBusy)
        return store_.BusyLock();
    profile_ = -1;
    return std::nullopt;
}

std::optional<LockBusy> ProfileSession::ClearProfiles()
{
    if (AddMissingFreeMarks(store_) == StoreError::LockBusy)
        return store_.BusyLock();
    return std::nullopt;
}
