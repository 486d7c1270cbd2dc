#pragma once
// The sending side of the firmware download: one image, held whole in
// memory, goes to the module as a one-file batch of CRC-16 blocks, framed by
// the byte "1" before it and the byte "2" after a successful transfer.
//
// The sender has no loop of its own. The transfer state is the main window's
// field (0 is terminal receive); the main window hands it to Step or
// RunReadySteps, and each step reads at most one reply byte and writes at most
// one block, then returns. The states:
//    1 start            2 await "C" for the header   3 await "C" for block 1
//    4 send data block  6 send end of batch           7 finish
//    8 await reply      9 retry limit                10 protocol error
//   11 abort           13 send EOT
// A waiting state (2, 3, 8) waits without limit; the user ends it with Abort.
//
// The end of the batch: after the ACK of EOT the receiver asks for the next
// file's header with "C", and it clears its input as it asks, so an
// end-of-batch block sent at once, or just before that "C", is lost. State 6
// therefore sends it when the "C" arrives, or after kEndOfBatchWaitMs for a
// receiver that never asks; "2" follows one tick after it.

#include "common/TickClock.h"
#include "serial/SerialLink.h"
#include "settings/Settings.h"
#include "transfer/TransferSinks.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

enum class TransferResult { Success, RetryLimit, Aborted, ProtocolError, PortLost };

// The loader window's status line for each result.
const char *ResultText(TransferResult result);

enum class StartResult {
    Started,
    FileNameTooLong, // the header block cannot hold the file name and size
};

inline constexpr const char *kLoadingImageText = "Loading Image";
inline constexpr const char *kFileNameTooLongMessage = "File name too long for the download header";

namespace SenderState {
constexpr int32_t Idle = 0;
constexpr int32_t Start = 1;
constexpr int32_t AwaitHeaderRequest = 2;
constexpr int32_t AwaitFirstDataRequest = 3;
constexpr int32_t SendData = 4;
constexpr int32_t SendEndOfBatch = 6;
constexpr int32_t Finish = 7;
constexpr int32_t AwaitReply = 8;
constexpr int32_t RetryLimit = 9;
constexpr int32_t ProtocolError = 10;
constexpr int32_t Abort = 11;
constexpr int32_t SendEot = 13;
} // namespace SenderState

// NAKs in a row that end the transfer.
constexpr uint32_t kRetryLimit = 10;

// One tick of the poll timer: the pause between the end-of-batch block and "2".
constexpr uint32_t kTransferTickMs = 100;
// How long the end of the batch waits for the receiver's "C" after the ACK of
// EOT. A receiver closes the file before it asks (lrzsz's rb asks 100-150 ms
// after its ACK on a quick disk): a block sent a tick after the ACK would
// meet that "C" and be cleared away with the input.
constexpr uint32_t kEndOfBatchWaitMs = 10 * kTransferTickMs;

// What a transfer has cost so far, for a production line's report.
struct TransferCounts {
    uint32_t blocks = 0;  // blocks written: header, data, end of batch, repeats included
    uint32_t naks = 0;    // NAKs received in answer to a block or EOT
    uint32_t retries = 0; // blocks and EOTs written again after a NAK
};

// How much one RunReadySteps call may do before it hands the thread back.
struct StepBudget {
    int maxSteps = 64;
    std::chrono::milliseconds maxTime{20};
};

class YmodemSender {
public:
    // The settings are read live: the download file name at Start, small
    // packets at every data block, flow enabled at the finish.
    YmodemSender(SerialLink &link, TransferProgress &progress, TraceSink &trace,
                 const Settings &settings, TickClock &clock);

    // Takes the image, clears the abort request and sets state to 1; the
    // transfer begins at the next step. Refused, with state and image left as
    // they were, when the header block cannot hold the download file name.
    // The header is made here, from the name that was checked: a file chosen
    // while the transfer waits does not change it.
    StartResult Start(std::vector<uint8_t> image, int32_t &state);

    // The port's device vanished: a running transfer ends at once as failed,
    // with the loss's message as its status; nothing more is written.
    void EndOnPortLost(int32_t &state, const std::string &message);

    // The user's Abort: the next step of any transfer state becomes state 11.
    void RequestAbort() { abortRequested_ = true; }
    bool AbortRequested() const { return abortRequested_; }

    // One step of state; does nothing for states that are not transfer steps.
    // Returns whether it got anywhere: wrote, changed state or took a byte.
    // A step entered again from inside itself (a message box's event loop
    // during a write) returns at once.
    bool Step(int32_t &state);

    // Runs steps for as long as each one gets somewhere, so the next block
    // goes out as soon as its reply is read rather than at the next timer
    // tick. Stops when a waiting state finds nothing to read, when the
    // transfer ends, or when the budget is spent. Applies a pending abort
    // before each step, as the poll does. Returns the number of steps run.
    int RunReadySteps(int32_t &state, StepBudget budget = {});

    uint32_t ImageSize() const { return static_cast<uint32_t>(image_.size()); }
    uint32_t BytesAcknowledged() const { return bytesAcknowledged_; }
    TransferResult Result() const { return result_; }
    // Since the last start.
    const TransferCounts &Counts() const { return counts_; }

private:
    bool StartStep(int32_t &state);
    bool AwaitRequest(int32_t &state, bool traced);
    bool AwaitReplyStep(int32_t &state);
    void OnAck(int32_t &state);
    bool SendDataStep(int32_t &state, int32_t resumeState);
    bool SendEotStep(int32_t &state);
    bool SendEndOfBatchStep(int32_t &state);
    bool EndWith(int32_t &state, TransferResult result);
    bool AbortStep(int32_t &state);
    bool FinishStep(int32_t &state);

    bool Elapsed(uint32_t since, uint32_t ms) { return clock_.TickCount() - since >= ms; }

    // A read that found nothing still counts as progress when more bytes wait:
    // the link drops bytes 0x80..0xFF and reports them as nothing.
    bool NothingRead();

    uint16_t SendBlock(uint16_t payloadSize, const uint8_t *data, uint32_t length);
    uint16_t SendNextDataBlock();
    void WriteByte(uint8_t byte);

    SerialLink &link_;
    TransferProgress &progress_;
    TraceSink &trace_;
    const Settings &settings_;
    TickClock &clock_;

    std::vector<uint8_t> image_;
    std::string imageName_;
    std::vector<uint8_t> header_;
    uint32_t lastTick_ = 0; // the ACK of EOT, then the end-of-batch block
    uint32_t bytesAcknowledged_ = 0;
    uint32_t blockNumber_ = 0;
    uint32_t pendingLength_ = 0;
    uint32_t retryCount_ = 0;
    int32_t resumeState_ = SenderState::Idle;
    TransferResult result_ = TransferResult::Success;
    std::string lossMessage_;
    TransferCounts counts_;
    bool abortRequested_ = false;
    bool inStep_ = false;
};
