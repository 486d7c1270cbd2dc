#pragma once
// Joins the receiving end of the emulated line to the receiver (rb's pty, the
// virtual module's port) on a thread of its own, and notes when the download
// passes the receiver: the header block coming in, each data block coming
// in, and the receiver's ACK of EOT, which ends the file. Any sender is timed the same way there, whether
// it is ours, lrzsz's sb, or anything else.
//
// The sender's bytes are followed block by block (SOH: 133 bytes, STX: 1029,
// anything else stands alone), so EOT inside a block's payload is not taken
// for the end of the file; the emulated line loses nothing, so the framing
// cannot slip.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

class ReceiverTap {
public:
    using Clock = std::chrono::steady_clock;
    struct Marks {
        std::optional<Clock::time_point> header; // first byte of the header block
        std::optional<Clock::time_point> eotAck; // the receiver's ACK after EOT
        uint32_t naks = 0;                       // NAKs from the receiver
        // First bytes of the first and the latest block between the header
        // and EOT, and how many such blocks came (repeats included).
        std::optional<Clock::time_point> firstData, lastData;
        uint32_t dataBlocks = 0;
    };

    // Opens lineEnd raw; relays between it and receiverFd until destroyed.
    ReceiverTap(const std::string &lineEnd, int receiverFd);
    ~ReceiverTap();
    ReceiverTap(const ReceiverTap &) = delete;
    ReceiverTap &operator=(const ReceiverTap &) = delete;

    bool ok() const { return lineFd_ >= 0; }
    Marks Snapshot() const;

private:
    void Run();
    void FromSender(const char *bytes, size_t count, Clock::time_point when);
    void FromReceiver(const char *bytes, size_t count, Clock::time_point when);

    int lineFd_ = -1;
    int receiverFd_ = -1;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    Marks marks_;
    uint32_t frameLeft_ = 0; // bytes of the current block still to come
    bool eotSent_ = false;
    std::thread thread_;
};
