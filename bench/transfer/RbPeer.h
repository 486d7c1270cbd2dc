#pragma once
// lrzsz's rb as the receiving end of a pty, run in a temporary folder of its
// own. The sender writes its "1" before rb starts: rb discards input that
// waits when it starts, as the module takes that byte as its start command.

#include "support/Pty.h"
#include "support/Subprocess.h"
#include "support/TempDir.h"
#include "transfer/YmodemSender.h"

#include <chrono>
#include <string>
#include <vector>

class RbPeer {
public:
    bool ok() const { return pty_.ok() && dir_.ok(); }
    int SenderFd() const { return pty_.master(); }
    bool Launch();
    // Waits until rb has written name with size bytes, or the time is up.
    std::vector<uint8_t> ReceivedFile(const std::string &name, size_t size, std::chrono::milliseconds limit);
    // rb's own account of the transfer, for failure messages.
    std::string Log() const;

private:
    PtyPair pty_;
    TempDir dir_{"verrin-rb"};
    Subprocess rb_; // goes first: stopped before its folder is removed
};

// Runs the sender against whatever answers on fd: steps whenever a reply
// arrives and on a 100 ms tick, as the main window does. Returns when the
// transfer state is back to 0 (true) or the limit is reached (false).
bool DriveTransfer(YmodemSender &sender, int32_t &state, int fd, std::chrono::milliseconds limit);
