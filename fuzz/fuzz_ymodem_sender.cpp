// The firmware sender against a receiver that answers anything at all: reply
// bytes arrive in arbitrary runs between steps, the user may abort, and the
// packet size may change under the transfer. Checked on every write and at
// the end:
//   - the bytes written are "1", then whole well-formed blocks (first byte,
//     number and complement, a payload of the size the first byte names, a
//     correct CRC), single EOT or CAN bytes, and "2" only after a success;
//   - a data block carries the image bytes at the acknowledged offset and
//     zeros after the image's end, never anything from outside it; the header
//     names the file and its size; the end-of-batch block is empty;
//   - no more than the retry limit of blocks go out without an ACK between;
//   - once the replies stop, the transfer either ends in one of its results
//     or waits in a waiting state, and a success means every byte was
//     acknowledged.

#include "common/PollDispatch.h"
#include "transfer/YmodemBlock.h"
#include "transfer/YmodemSender.h"
#include "FuzzCheck.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <deque>
#include <string>
#include <vector>

namespace {

uint16_t Crc16(const uint8_t *data, size_t count)
{
    uint16_t crc = 0;
    for (size_t i = 0; i < count; ++i) {
        crc ^= static_cast<uint16_t>(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

struct NullProgress : TransferProgress {
    void ShowStatusText(const std::string &) override {}
    void ShowImageName(const std::string &) override {}
    void ShowFileSize(uint32_t) override {}
    void ShowBytesSent(uint32_t) override {}
    void ShowPacket(uint32_t) override {}
    void ShowFinishedView() override {}
    void RunOkAction() override {}
    void UpdateControlStates() override {}
};

struct NullTrace : TraceSink {
    void TraceText(std::string_view) override {}
    void TraceControlByte(uint8_t) override {}
};

// The port: replies queued by the fuzzer, and a checker of every write that
// knows the sender's state and image at the moment of the write.
class CheckingLink : public SerialLink {
public:
    CheckingLink(const std::vector<uint8_t> &image, const Settings &settings, const int32_t &state)
        : image_(image), settings_(settings), state_(state)
    {
    }
    void Attach(const YmodemSender &sender) { sender_ = &sender; }

    std::deque<uint8_t> replies;
    int blocksSinceAck = 0;
    bool startSent = false, doneSent = false, eotAcked = false;
    uint32_t dataAcks = 0; // data blocks acknowledged so far

    int32_t BytesWaiting() override { return static_cast<int32_t>(replies.size()); }
    int32_t ReadByte() override
    {
        if (replies.empty())
            return -1;
        const uint8_t b = replies.front();
        replies.pop_front();
        if (state_ == SenderState::AwaitReply && b == WireByte::Ack) {
            blocksSinceAck = 0;
            if (awaiting_ == Awaiting::Data)
                ++dataAcks;
            eotAcked = eotAcked || awaiting_ == Awaiting::Eot;
        }
        return static_cast<int8_t>(b);
    }
    uint32_t ReadBlock(uint8_t *, int32_t) override { return 0; }
    void SetRtsHandshake(bool) override {}

    int32_t WriteBytes(const uint8_t *bytes, uint32_t count) override
    {
        FUZZ_CHECK(count > 0, "an empty write");
        if (pending_.empty())
            WriteOutsideBlock(bytes, count);
        else
            pending_.insert(pending_.end(), bytes, bytes + count);
        if (!pending_.empty() && pending_.size() >= BlockSize())
            CheckBlock();
        return static_cast<int32_t>(count);
    }

    bool InsideBlock() const { return !pending_.empty(); }

private:
    enum class Awaiting { Nothing, Header, Data, Eot };

    size_t BlockSize() const
    {
        return kBlockOverhead + (pending_[0] == WireByte::Soh ? kSmallPayload : kLargePayload);
    }

    void WriteOutsideBlock(const uint8_t *bytes, uint32_t count)
    {
        FUZZ_CHECK(count == 1, "a write of %u bytes outside a block", count);
        FUZZ_CHECK(!doneSent, "a write after the final \"2\"");
        switch (bytes[0]) {
        case WireByte::TransferStart:
            FUZZ_CHECK(!startSent, "\"1\" sent twice");
            startSent = true;
            break;
        case WireByte::TransferDone:
            FUZZ_CHECK(eotAcked && sender_->BytesAcknowledged() == image_.size(), "\"2\" before the image was taken");
            doneSent = true;
            break;
        case WireByte::Eot:
            FUZZ_CHECK(sender_->BytesAcknowledged() == image_.size(), "EOT at %u of %zu bytes",
                       sender_->BytesAcknowledged(), image_.size());
            awaiting_ = Awaiting::Eot;
            break;
        case WireByte::Can:
            break;
        case WireByte::Soh:
        case WireByte::Stx:
            FUZZ_CHECK(startSent, "a block before \"1\"");
            pending_.push_back(bytes[0]);
            break;
        default:
            FUZZ_CHECK(false, "stray byte %02X written", bytes[0]);
        }
    }

    void CheckBlock()
    {
        FUZZ_CHECK(pending_.size() == BlockSize(), "a block of %zu bytes, %zu expected", pending_.size(), BlockSize());
        const size_t payloadSize = BlockSize() - kBlockOverhead;
        const uint8_t *payload = pending_.data() + kPayloadOffset;
        FUZZ_CHECK(pending_[2] == uint8_t(~pending_[1]), "block number %02X with complement %02X", pending_[1],
                   pending_[2]);
        const uint16_t crc = Crc16(payload, payloadSize);
        FUZZ_CHECK(pending_[kPayloadOffset + payloadSize] == (crc >> 8) &&
                       pending_[kPayloadOffset + payloadSize + 1] == (crc & 0xFF),
                   "bad CRC");
        FUZZ_CHECK(++blocksSinceAck <= int(kRetryLimit), "%d blocks without an ACK", blocksSinceAck);

        std::vector<uint8_t> expected(payloadSize, 0);
        uint8_t number = 0;
        if (state_ == SenderState::AwaitHeaderRequest) {
            const std::string text = settings_.downloadFilename + '\0' + std::to_string(image_.size());
            std::copy(text.begin(), text.end(), expected.begin());
            // What follows the size is the header's own business, up to its NUL.
            for (size_t i = text.size(); i < payloadSize && payload[i] != 0; ++i)
                expected[i] = payload[i];
            awaiting_ = Awaiting::Header;
        } else if (state_ == SenderState::SendEndOfBatch) {
            awaiting_ = Awaiting::Nothing;
        } else {
            FUZZ_CHECK(state_ == SenderState::SendData || state_ == SenderState::AwaitFirstDataRequest,
                       "a block sent in state %d", state_);
            const size_t offset = sender_->BytesAcknowledged();
            FUZZ_CHECK(offset <= image_.size(), "offset %zu past an image of %zu", offset, image_.size());
            const size_t carried = std::min(payloadSize, image_.size() - offset);
            std::copy(image_.begin() + long(offset), image_.begin() + long(offset + carried), expected.begin());
            FUZZ_CHECK(payloadSize == kSmallPayload || !settings_.smallPackets, "a large block with small packets on");
            number = static_cast<uint8_t>(dataAcks + 1);
            awaiting_ = Awaiting::Data;
        }
        FUZZ_CHECK(pending_[1] == number, "block number %u, expected %u", pending_[1], number);
        FUZZ_CHECK(std::equal(expected.begin(), expected.end(), payload), "block %u carries the wrong bytes", number);
        pending_.clear();
    }

    const std::vector<uint8_t> &image_;
    const Settings &settings_;
    const int32_t &state_;
    const YmodemSender *sender_ = nullptr;
    std::vector<uint8_t> pending_;
    Awaiting awaiting_ = Awaiting::Nothing;
};

// Time moves only when the input says so, and at the end.
struct FuzzClock : TickClock {
    uint32_t now = 0;
    uint32_t TickCount() override { return now; }
};

bool Waiting(int32_t state)
{
    return state == SenderState::AwaitHeaderRequest || state == SenderState::AwaitFirstDataRequest ||
           state == SenderState::AwaitReply;
}

// Replies: mostly the bytes a receiver sends, sometimes anything.
uint8_t Reply(FuzzedDataProvider &in)
{
    static const uint8_t usual[] = {WireByte::CrcRequest, WireByte::Ack, WireByte::Nak, WireByte::Can};
    const uint8_t pick = in.ConsumeIntegral<uint8_t>();
    return pick < 224 ? usual[pick % 4] : in.ConsumeIntegral<uint8_t>();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    Settings settings;
    settings.smallPackets = in.ConsumeBool();
    settings.downloadFilename = in.ConsumeRandomLengthString(130);
    std::vector<uint8_t> image = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 5000));
    const std::vector<uint8_t> imageCopy = image;

    int32_t state = SenderState::Idle;
    CheckingLink link(imageCopy, settings, state);
    NullProgress progress;
    NullTrace trace;
    FuzzClock clock;
    YmodemSender sender(link, progress, trace, settings, clock);
    link.Attach(sender);
    if (sender.Start(std::move(image), state) != StartResult::Started) {
        FUZZ_CHECK(state == SenderState::Idle, "a refused start changed the state");
        return 0;
    }
    FUZZ_CHECK(sender.ImageSize() == imageCopy.size(), "image of %u bytes taken as %zu", sender.ImageSize(),
               imageCopy.size());

    while (in.remaining_bytes() > 0 && state != SenderState::Idle) {
        switch (in.ConsumeIntegralInRange(0, 9)) {
        case 0:
        case 1:
        case 2:
            sender.Step(state);
            break;
        case 3:
            sender.RunReadySteps(state, StepBudget{in.ConsumeIntegralInRange(1, 64), std::chrono::hours(1)});
            break;
        case 4:
            if (in.ConsumeIntegralInRange(0, 15) == 0)
                sender.RequestAbort();
            break;
        case 5:
            if (in.ConsumeIntegralInRange(0, 7) == 0)
                settings.smallPackets = !settings.smallPackets;
            break;
        case 6:
            clock.now += in.ConsumeIntegralInRange<uint32_t>(0, 2 * kEndOfBatchWaitMs);
            break;
        default:
            for (int n = in.ConsumeIntegralInRange(1, 8); n > 0; --n)
                link.replies.push_back(Reply(in));
            break;
        }
        FUZZ_CHECK(state == SenderState::Idle || IsTransferState(state), "state %d", state);
        FUZZ_CHECK(!link.InsideBlock(), "a step ended inside a block");
    }

    // The replies have stopped: the transfer ends, or waits for a reply.
    for (size_t i = 0, steps = link.replies.size() + 64; i < steps && state != SenderState::Idle; ++i) {
        clock.now += kEndOfBatchWaitMs; // the longest wait of the end of the batch
        const int32_t before = state;
        const bool moved = sender.Step(state);
        if (!moved && link.replies.empty()) {
            FUZZ_CHECK(Waiting(before) && state == before, "stuck in state %d", before);
            break;
        }
    }
    FUZZ_CHECK(state == SenderState::Idle || Waiting(state), "neither ended nor waiting: state %d", state);
    if (state == SenderState::Idle) {
        const TransferResult r = sender.Result();
        FUZZ_CHECK(r == TransferResult::Success || r == TransferResult::RetryLimit || r == TransferResult::Aborted ||
                       r == TransferResult::ProtocolError,
                   "result %d", int(r));
        FUZZ_CHECK((r == TransferResult::Success) == link.doneSent, "\"2\" and the result disagree");
        if (r == TransferResult::Success)
            FUZZ_CHECK(sender.BytesAcknowledged() == imageCopy.size(), "success at %u of %zu bytes",
                       sender.BytesAcknowledged(), imageCopy.size());
    }
    return 0;
}
