#pragma once
// A lock between processes that another process kept longer than an instance
// waits for it, and what is known of that process.

#include <chrono>
#include <cstdint>
#include <string>

// How long an instance waits for a lock between processes (the instance
// store's, the settings file's) before it asks the user what to do. A running
// holder keeps the store's lock for microseconds and the settings file's for
// one read and one write of a small file, tens of milliseconds on a slow
// disk; one that keeps either for seconds is stopped (Ctrl+Z, a debugger) or
// hung, and every other instance's window would freeze behind it.
inline constexpr std::chrono::milliseconds kLockWaitBound{3000};

struct LockBusy {
    std::string file;          // the lock's file, or its kernel object's name
    uint32_t holderPid = 0;    // 0: not known
    std::string holderProgram; // the holder's program name; empty: not known
    bool holderStopped = false;
};

// "<file> is held by process 1234 (verrin), which is stopped", or as much of
// that as is known.
std::string LockBusyText(const LockBusy &busy);
