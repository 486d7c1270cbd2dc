#pragma once
// The module's firmware receiver: a YMODEM batch with CRC-16, blocks of 128
// (SOH) and 1024 (STX) bytes, one file at a time.
//
// The exchange it expects: it sends "C" until the header block (block 0:
// file name, NUL, size as decimal text, NUL) arrives, ACKs it and sends "C"
// again; ACKs every good data block, NAKs a block with a bad CRC, a bad
// complement or an unexpected number, and ACKs a repeat of the last block
// again without taking its data twice; ACKs EOT and then the end-of-batch
// block (block 0 with an empty name). The image is the first <size> bytes of
// the data, so the padding byte does not matter.
//
// A sender that sends the end-of-batch block without waiting gets it
// acknowledged at once; one that waits for "C" gets it after a second of
// silence. Stepped from outside: bytes in with Feed, time with Tick, bytes out
// with TakeOutput.

#include "sim/SimClock.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Faults the receiver can be told to make. Each number counts what the sender
// sends that awaits an answer: 0 is the header block, 1, 2, ... the data
// blocks in order (not wrapped at 256), then EOT, then the end-of-batch block.
// A repeat of an item already accepted does not count. -1 means off.
struct TransferFaults {
    long nakAt = -1;   // answer this item with NAK nakCount times, then accept it
    int nakCount = 1;
    long cancelAt = -1; // answer this item with CAN CAN and leave receive mode
    long strayAt = -1;  // answer this item (once) with the stray byte 'X' and keep waiting
    long silentAt = -1; // from this item on, answer nothing and send no prompts
};

struct ReceivedImage {
    std::string name;
    std::vector<uint8_t> bytes;
};

class YmodemReceiver {
public:
    explicit YmodemReceiver(TransferFaults faults) : faults_(faults) {}

    // Enters receive mode (again, if it was active) and sends the first "C".
    void Start(SimTime now);
    bool Active() const { return phase_ != Phase::Idle; }

    // One byte from the sender. Returns false when the byte does not belong
    // to the transfer: receive mode has ended and the byte is the command
    // side's (text before any header, or "2" after a complete file).
    bool Feed(uint8_t byte, SimTime now);
    // Time-outs: "C" prompts, NAK after a silent sender, a block cut short.
    void Tick(SimTime now);
    std::optional<SimTime> NextDeadline() const;

    std::string TakeOutput();
    // The image of a file whose EOT was acknowledged; handed out once.
    std::optional<ReceivedImage> TakeImage();
    // Human-readable notes about the transfer (for the program's log).
    std::vector<std::string> TakeNotes();

private:
    enum class Phase { Idle, Header, FirstData, Data, EndOfBatch };

    void HandleBlock(SimTime now);
    void HandleHeaderBlock(const std::string &payload, SimTime now);
    void HandleDataBlock(const std::string &payload);
    void HandleEot(SimTime now);
    bool ClaimNewItem(); // applies the faults; true when the item is to be accepted
    void Nak(const std::string &why, SimTime now);
    void Send(char c) { out_.push_back(c); }
    void Finish(const std::string &note);
    void ArmPrompt(SimTime now);

    TransferFaults faults_;
    Phase phase_ = Phase::Idle;
    bool silent_ = false;
    std::string block_;     // block being collected, from its first byte
    size_t blockLength_ = 0; // full length of that block, 0 when none
    SimTime lastByte_{};
    SimTime nextPrompt_{};
    int prompts_ = 0;       // prompts sent since the sender last made progress
    long item_ = 0;         // number of the next new item
    int naksDone_ = 0;
    bool strayDone_ = false;
    uint8_t expectedBlock_ = 0;
    uint8_t lastBlock_ = 0;
    std::optional<uint64_t> size_;
    ReceivedImage image_;
    std::optional<ReceivedImage> finished_;
    std::string out_;
    std::vector<std::string> notes_;
};
