#include "app/ProfileMessages.h"

ProfileMessage ProfileInUseMessage()
{
    return {"That profile is in use.\r\nPlease choose another", "", MessageIcon::None};
}

ProfileMessage ClearProfilesMessage()
{
    return {"Exit All Application Instances", "Alert", MessageIcon::Exclamation};
}

ProfileMessage StartFailureMessage(StartOutcome outcome)
{
    switch (outcome) {
    case StartOutcome::AllProfilesInUse:
        return {"All eight profiles (A to H) are in use by other running instances.\r\n"
                "Close one of them and start again.",
                "Error", MessageIcon::Exclamation};
    case StartOutcome::StoreUnavailable:
        return {"The store that running instances share could not be opened, so no "
                "profile can be claimed.\r\nThe program ends.",
                "Error", MessageIcon::Exclamation};
    case StartOutcome::Claimed:
    case StartOutcome::LockBusy:
    case StartOutcome::Cancelled: // the user was asked already
        break;
    }
    return {};
}

ProfileMessage LockBusyQuestion(const LockBusy &busy, LockWaitStep step, const std::string &profile,
                                const std::string &unsavedCopy)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(kLockWaitBound).count();
    std::string text = "Verrin waited " + std::to_string(seconds) + " seconds for a lock that another " +
                       "process keeps:\r\n" + LockBusyText(busy) + ".\r\n";
    if (busy.holderStopped)
        text += "Let it go on (kill -CONT " + std::to_string(busy.holderPid) + ") or end it, then Retry.\r\n";
    text += "Retry waits again; Cancel ";
    switch (step) {
    case LockWaitStep::Start: text += "ends Verrin without changing anything."; break;
    case LockWaitStep::Switch: text += "stays on profile " + profile + "."; break;
    case LockWaitStep::Save:
        text += "writes the settings of profile " + profile + " to " + unsavedCopy + " instead.";
        break;
    case LockWaitStep::Release:
        text += "leaves profile " + profile + " marked as in use until every instance has ended.";
        break;
    case LockWaitStep::ClearProfiles: text += "leaves the marks as they are."; break;
    }
    return {text, "", MessageIcon::Exclamation};
}

ProfileMessage UnsavedCopyFailedMessage(const std::string &profile, const std::string &path,
                                        const std::string &reason)
{
    return {"The settings of profile " + profile + " could not be saved, nor written to " + path + ": " +
                reason,
            "Error", MessageIcon::Exclamation};
}
