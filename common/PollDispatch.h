#pragma once
// What one tick of the poll timer does, decided from the transfer state.

#include <cstdint>

enum class PollAction {
    TerminalReceive, // state 0: drain the port into the terminal
    TransferStep,    // 1..4, 6..11, 13: one step of the image transfer
    InvalidState,    // anything else: "Invalid State", restore RTS, back to 0
};

constexpr int32_t kAbortTransferState = 11;

// True for the states that are steps of the image transfer.
bool IsTransferState(int32_t state);

// Applies a pending abort request (any state but 0 becomes the abort step) and
// tells what the tick must run for the resulting state.
PollAction DecidePoll(int32_t &transferState, bool abortRequested);

inline constexpr const char *kInvalidStateMessage = "Invalid State";
