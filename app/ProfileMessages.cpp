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
        break;
    }
    return {};
}
