#pragma once
// One firmware download through CSerialPort, driven the way the main window
// drives it: RunReadySteps whenever the port reports arriving bytes and on a
// 100 ms poll tick, inside the Qt event loop.

#include "support/MessageRecorder.h"
#include "transfer/YmodemSender.h"

#include <QString>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

struct PortDownloadSetup {
    QString port;
    int baud = 115200;
    std::string fileName = "image.bin";
    bool smallPackets = false;
    // Called once, this long after the "1" went out (to start a receiver
    // that must not see the "1").
    std::function<void()> afterStart;
    std::chrono::milliseconds afterStartDelay{0};
    // After the transfer, keep reading what the module says until it
    // contains this text (empty: stop at once).
    std::string awaitText;
    std::chrono::seconds limit{120};
};

struct PortDownloadResult {
    bool ended = false; // the transfer state came back to 0 within the limit
    TransferResult result = TransferResult::Aborted;
    // When the write of "1" and the write of "2" returned.
    std::chrono::steady_clock::time_point startSent{}, doneSent{};
    uint32_t naks = 0;
    // From the port reporting a reply to the sender's next write: the
    // sender's own share of each turn of the line.
    double turnaroundMeanMs = 0, turnaroundMaxMs = 0;
    std::string status;    // the loader's status line at the end
    std::string trace;     // the debug screen's trace
    std::string afterDone; // what arrived after the transfer
    std::vector<RecordedMessage> messages;
};

PortDownloadResult RunPortDownload(const PortDownloadSetup &setup, std::vector<uint8_t> image);
