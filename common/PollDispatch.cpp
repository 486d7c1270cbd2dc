#include "common/PollDispatch.h"

bool IsTransferState(int32_t state)
{
    return (state >= 1 && state <= 4) || (state >= 6 && state <= 11) || state == 13;
}

PollAction DecidePoll(int32_t &transferState, bool abortRequested)
{
    if (abortRequested && transferState != 0)
        transferState = kAbortTransferState;
    if (transferState == 0)
        return PollAction::TerminalReceive;
    return IsTransferState(transferState) ? PollAction::TransferStep : PollAction::InvalidState;
}
