#pragma once
// What the main window tells the user about profiles: the refused switch,
// "Clear Profiles", why an instance cannot start, and a lock between
// processes that another process keeps.

#include "common/LockBusy.h"
#include "common/UserMessages.h"
#include "instance/ProfileSession.h"

#include <string>

struct ProfileMessage {
    std::string text;
    std::string caption; // empty: the application's name
    MessageIcon icon = MessageIcon::None;
};

ProfileMessage ProfileInUseMessage();
ProfileMessage ClearProfilesMessage();
ProfileMessage StartFailureMessage(StartOutcome outcome);

// The step that waited for a lock, which decides what Cancel does.
enum class LockWaitStep { Start, Switch, Save, Release, ClearProfiles };

// Retry or Cancel, when a lock was not had within kLockWaitBound. `profile`
// is the current profile; `unsavedCopy` where a cancelled save is kept.
ProfileMessage LockBusyQuestion(const LockBusy &busy, LockWaitStep step, const std::string &profile,
                                const std::string &unsavedCopy);
// A cancelled save whose settings could not be kept beside the file either.
ProfileMessage UnsavedCopyFailedMessage(const std::string &profile, const std::string &path,
                                        const std::string &reason);
