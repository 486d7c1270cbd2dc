#include "instance/ProfileSession.h"

#include "settings/SettingsStore.h"

ProfileSession::ProfileSession(SharedStore &store, Registry &registry, uint32_t instanceId)
    : store_(store), registry_(registry), instanceId_(instanceId)
{
}

StartOutcome ProfileSession::Start(Settings &settings)
{
    const ClaimResult claim = ClaimFirstFree(store_, instanceId_);
    if (claim.error != StoreError::None)
        return StartOutcome::StoreUnavailable;
    if (claim.profile < 0)
        return StartOutcome::AllProfilesInUse;
    profile_ = claim.profile;
    LoadSettings(registry_, ProfileName(), settings);
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
    // The new profile is taken before the old one is saved and freed, so that
    // no other instance can take it in between.
    if (ClaimIfFree(store_, index, instanceId_).profile != index)
        return SwitchOutcome::InUse;
    // One opening of the settings for the save and the load. It is kept until
    // both are done, so an instance that takes the old profile as soon as it
    // is free loads what is saved here.
    Registry::Hold hold(registry_);
    SaveSettings(registry_, ProfileName(), settings);
    ReleaseProfile(store_, profile_);
    profile_ = index;
    LoadSettings(registry_, ProfileName(), settings);
    return SwitchOutcome::Switched;
}

void ProfileSession::Save(const Settings &settings)
{
    if (HasProfile())
        SaveSettings(registry_, ProfileName(), settings);
}

void ProfileSession::SaveDownloadChoice(const Settings &settings)
{
    if (HasProfile())
        ::SaveDownloadChoice(registry_, ProfileName(), settings);
}

void ProfileSession::ReleaseAndSave(const Settings &settings)
{
    if (!HasProfile())
        return;
    SaveSettings(registry_, ProfileName(), settings);
    ReleaseProfile(store_, profile_);
    profile_ = -1;
}

void ProfileSession::ClearProfiles() { AddMissingFreeMarks(store_); }
