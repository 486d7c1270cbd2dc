#pragma once
// What the main window tells the user about profiles: the refused switch,
// "Clear Profiles", and why an instance cannot start.

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
