#include "transfer/YmodemSender.h"

#include "common/PollDispatch.h"
#include "transfer/YmodemBlock.h"

#include <algorithm>

const char *ResultText(TransferResult result)
{
    switch (result) {
    case TransferResult::Success: return "Successful";
    case TransferResult::RetryLimit: return "Too many retries";
    case TransferResult::Aborted: return "Aborted";
    case TransferResult::ProtocolError: return "Protocol Error";
    case TransferResult::PortLost: return "Port lost";
    }
    return "";
}

YmodemSender::YmodemSender(SerialLink &link, TransferProgress &progress, TraceSink &trace,
                           const Settings &settings, TickClock &clock)
    : link_(link), progress_(progress), trace_(trace), settings_(settings), clock_(clock)
{
}

StartResult YmodemSender::Start(std::vector<uint8_t> image, int32_t &state)
{
    const uint32_t size = static_cast<uint32_t>(image.size());
    if (!HeaderFits(settings_.downloadFilename, size))
        return StartResult::FileNameTooLong;
    imageName_ = settings_.downloadFilename;
    header_ = HeaderData(imageName_, size);
    image_ = std::move(image);
    abortRequested_ = false;
    state = SenderState::Start;
    return StartResult::Started;
}

bool YmodemSender::Step(int32_t &state)
{
    if (inStep_)
        return false;
    inStep_ = true;
    bool progressed = false;
    switch (state) {
    case SenderState::Start: progressed = StartStep(state); break;
    case SenderState::AwaitHeaderRequest: progressed = AwaitRequest(state, false); break;
    case SenderState::AwaitFirstDataRequest: progressed = AwaitRequest(state, true); break;
    case SenderState::SendData: progressed = SendDataStep(state, SenderState::SendData); break;
    case SenderState::SendEndOfBatch: progressed = SendEndOfBatchStep(state); break;
    case SenderState::Finish: progressed = FinishStep(state); break;
    case SenderState::AwaitReply: progressed = AwaitReplyStep(state); break;
    case SenderState::RetryLimit:
        trace_.TraceText("eRetryError\r\n");
        progressed = EndWith(state, TransferResult::RetryLimit);
        break;
    case SenderState::ProtocolError:
        trace_.TraceText("eProtocol\r\n");
        trace_.TraceText("SyncError\r\n");
        progressed = EndWith(state, TransferResult::ProtocolError);
        break;
    case SenderState::Abort: progressed = AbortStep(state); break;
    case SenderState::SendEot: progressed = SendEotStep(state); break;
    default: break;
    }
    inStep_ = false;
    return progressed;
}

int YmodemSender::RunReadySteps(int32_t &state, StepBudget budget)
{
    const auto deadline = std::chrono::steady_clock::now() + budget.maxTime;
    int steps = 0;
    while (steps < budget.maxSteps) {
        if (abortRequested_ && state != SenderState::Idle)
            state = SenderState::Abort;
        if (!IsTransferState(state))
            break;
        ++steps;
        if (!Step(state) || std::chrono::steady_clock::now() >= deadline)
            break;
    }
    return steps;
}

void YmodemSender::EndOnPortLost(int32_t &state, const std::string &message)
{
    if (!IsTransferState(state))
        return;
    lossMessage_ = message;
    result_ = TransferResult::PortLost;
    state = SenderState::Finish;
    Step(state);
}

bool YmodemSender::StartStep(int32_t &state)
{
    link_.SetRtsHandshake(false);
    WriteByte(WireByte::TransferStart);
    progress_.ShowStatusText(kLoadingImageText);
    bytesAcknowledged_ = 0;
    blockNumber_ = 0;
    pendingLength_ = 0;
    retryCount_ = 0;
    counts_ = {};
    progress_.ShowImageName(imageName_);
    progress_.ShowFileSize(ImageSize());
    progress_.ShowBytesSent(0);
    progress_.ShowPacket(0);
    state = SenderState::AwaitHeaderRequest;
    return true;
}

// States 2 and 3 wait for the receiver's "C". Only CAN and "C" count; any
// other byte (NAK included) is dropped, so the sender never starts without a
// CRC request. The byte that asks for the header is not traced.
bool YmodemSender::AwaitRequest(int32_t &state, bool traced)
{
    const int32_t reply = link_.ReadByte();
    if (reply < 0)
        return NothingRead();
    if (traced)
        trace_.TraceControlByte(static_cast<uint8_t>(reply));
    if (reply == WireByte::Can) {
        state = SenderState::Abort;
    } else if (reply == WireByte::CrcRequest) {
        if (state == SenderState::AwaitHeaderRequest) {
            bytesAcknowledged_ = 0;
            blockNumber_ = 0;
            SendBlock(kSmallPayload, header_.data(), static_cast<uint32_t>(header_.size()));
            pendingLength_ = 0;
            resumeState_ = SenderState::AwaitHeaderRequest;
            state = SenderState::AwaitReply;
        } else {
            SendDataStep(state, SenderState::AwaitFirstDataRequest);
        }
    }
    return true;
}

bool YmodemSender::SendDataStep(int32_t &state, int32_t resumeState)
{
    pendingLength_ = SendNextDataBlock();
    resumeState_ = resumeState;
    state = SenderState::AwaitReply;
    return true;
}

bool YmodemSender::SendEotStep(int32_t &state)
{
    counts_.retries += retryCount_ > 0;
    WriteByte(WireByte::Eot);
    trace_.TraceText(" EOT ");
    resumeState_ = SenderState::SendEot;
    state = SenderState::AwaitReply;
    return true;
}

// Waits for the receiver's "C" (any other byte is dropped, untraced), or
// kEndOfBatchWaitMs after the ACK of EOT. The block's reply is not awaited.
bool YmodemSender::SendEndOfBatchStep(int32_t &state)
{
    bool asked = false;
    while (!asked && link_.BytesWaiting() > 0)
        asked = link_.ReadByte() == WireByte::CrcRequest;
    if (!asked && !Elapsed(lastTick_, kEndOfBatchWaitMs))
        return false;
    blockNumber_ = 0;
    SendBlock(kSmallPayload, nullptr, 0);
    result_ = TransferResult::Success;
    lastTick_ = clock_.TickCount();
    state = SenderState::Finish;
    return true;
}

bool YmodemSender::AwaitReplyStep(int32_t &state)
{
    progress_.ShowPacket(blockNumber_);
    const int32_t reply = link_.ReadByte();
    if (reply < 0)
        return NothingRead();
    trace_.TraceControlByte(static_cast<uint8_t>(reply));
    switch (reply) {
    case WireByte::Can:
        state = SenderState::Abort;
        break;
    case WireByte::Nak:
        ++counts_.naks;
        // The resume state sends the same thing again: the header or the
        // first data block after a new "C", the same data block, or EOT.
        state = ++retryCount_ >= kRetryLimit ? SenderState::RetryLimit : resumeState_;
        break;
    case WireByte::Ack:
        OnAck(state);
        break;
    default:
        state = SenderState::ProtocolError;
        break;
    }
    return true;
}

void YmodemSender::OnAck(int32_t &state)
{
    bytesAcknowledged_ += pendingLength_;
    progress_.ShowBytesSent(bytesAcknowledged_);
    retryCount_ = 0;
    progress_.ShowPacket(blockNumber_);
    ++blockNumber_;
    pendingLength_ = 0;
    switch (resumeState_) {
    case SenderState::AwaitHeaderRequest:
        state = SenderState::AwaitFirstDataRequest;
        trace_.TraceText(" First-Block ");
        break;
    case SenderState::AwaitFirstDataRequest:
        // Even an image that fitted in block 1 gets one more, empty, data
        // block before EOT.
        state = SenderState::SendData;
        trace_.TraceText(" Next-Block ");
        break;
    case SenderState::SendData:
        if (bytesAcknowledged_ < ImageSize()) {
            state = SenderState::SendData;
            trace_.TraceText(" Next-Block ");
        } else {
            state = SenderState::SendEot;
            trace_.TraceText(" End-File ");
        }
        break;
    case SenderState::SendEot:
        state = SenderState::SendEndOfBatch;
        lastTick_ = clock_.TickCount();
        trace_.TraceText(" Last-Block ");
        break;
    default:
        state = SenderState::ProtocolError;
        break;
    }
}

bool YmodemSender::EndWith(int32_t &state, TransferResult result)
{
    result_ = result;
    state = SenderState::Finish;
    return true;
}

bool YmodemSender::AbortStep(int32_t &state)
{
    trace_.TraceText("eAbort\r\n");
    WriteByte(WireByte::Can);
    WriteByte(WireByte::Can);
    abortRequested_ = false;
    return EndWith(state, TransferResult::Aborted);
}

bool YmodemSender::FinishStep(int32_t &state)
{
    if (result_ == TransferResult::Success && !Elapsed(lastTick_, kTransferTickMs))
        return false; // "2" goes out a tick after the end-of-batch block
    progress_.ShowFinishedView();
    progress_.UpdateControlStates();
    progress_.ShowStatusText(result_ == TransferResult::PortLost ? lossMessage_ : ResultText(result_));
    if (result_ == TransferResult::Success) {
        WriteByte(WireByte::TransferDone);
        progress_.RunOkAction();
    }
    link_.SetRtsHandshake(settings_.flowEnabled != 0);
    state = SenderState::Idle;
    return true;
}

bool YmodemSender::NothingRead()
{
    return link_.BytesWaiting() > 0;
}

uint16_t YmodemSender::SendBlock(uint16_t payloadSize, const uint8_t *data, uint32_t length)
{
    const std::vector<uint8_t> block = BuildBlock(payloadSize, blockNumber_, data, length);
    const uint16_t carried = static_cast<uint16_t>(std::min<uint32_t>(length, payloadSize));
    ++counts_.blocks;
    counts_.retries += retryCount_ > 0;
    trace_.TraceControlByte(block[0]);
    trace_.TraceText(" " + std::to_string(carried) + " ");
    // Six writes: first byte, number, complement, payload, CRC high, CRC low.
    const uint8_t *p = block.data();
    link_.WriteBytes(p, 1);
    link_.WriteBytes(p + 1, 1);
    link_.WriteBytes(p + 2, 1);
    link_.WriteBytes(p + kPayloadOffset, payloadSize);
    link_.WriteBytes(p + kPayloadOffset + payloadSize, 1);
    link_.WriteBytes(p + kPayloadOffset + payloadSize + 1, 1);
    return carried;
}

uint16_t YmodemSender::SendNextDataBlock()
{
    const uint32_t remaining = ImageSize() - bytesAcknowledged_;
    const uint16_t payloadSize = DataPayloadSize(remaining, settings_.smallPackets != 0);
    return SendBlock(payloadSize, image_.data() + bytesAcknowledged_, remaining);
}

void YmodemSender::WriteByte(uint8_t byte)
{
    link_.WriteBytes(&byte, 1);
}
