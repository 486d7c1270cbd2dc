#include "sim/YmodemReceiver.h"

#include "sim/Checksums.h"

#include <algorithm>
#include <cstdlib>

namespace {
constexpr uint8_t SOH = 0x01, STX = 0x02, EOT = 0x04, ACK = 0x06, NAK = 0x15, CAN = 0x18;
constexpr char kAskCrc = 'C';
constexpr char kStray = 'X';

constexpr auto kPromptInterval = seconds(1);   // "C" while waiting for a header or first block
// The first "C" for the next header follows the ACK of EOT once the file is
// closed, as a module (or rb) asks: not at once.
constexpr auto kEndOfBatchAsk = milliseconds(150);
constexpr auto kDataSilence = seconds(10);     // NAK when a sender goes quiet mid-file
constexpr auto kBlockGap = seconds(1);         // a block whose bytes stop this long is dropped
constexpr int kMaxCPrompts = 60;
constexpr int kMaxNakPrompts = 6;
constexpr int kMaxEndPrompts = 10;
constexpr uint64_t kMaxImage = 64u << 20;

bool IsText(uint8_t b) { return (b >= 0x20 && b <= 0x7E) || b == '\r' || b == '\n'; }
} // namespace

void YmodemReceiver::Start(SimTime now)
{
    phase_ = Phase::Header;
    silent_ = false;
    blockLength_ = 0;
    block_.clear();
    item_ = 0;
    naksDone_ = 0;
    strayDone_ = false;
    prompts_ = 0;
    size_.reset();
    image_ = ReceivedImage{};
    Send(kAskCrc);
    ArmPrompt(now);
}

void YmodemReceiver::ArmPrompt(SimTime now)
{
    nextPrompt_ = now + (phase_ == Phase::Data ? kDataSilence : kPromptInterval);
}

bool YmodemReceiver::Feed(uint8_t byte, SimTime now)
{
    if (phase_ == Phase::Idle)
        return false;
    lastByte_ = now;
    if (blockLength_ != 0) {
        block_.push_back(static_cast<char>(byte));
        if (block_.size() == blockLength_)
            HandleBlock(now);
        return true;
    }
    switch (byte) {
    case SOH:
    case STX:
        block_.assign(1, static_cast<char>(byte));
        blockLength_ = (byte == SOH ? 128 : 1024) + 5;
        return true;
    case EOT:
        HandleEot(now);
        return true;
    case CAN:
        Finish("download cancelled by the sender");
        return true;
    case '1':
        notes_.push_back("download restarted");
        Start(now);
        return true;
    default:
        break;
    }
    if ((phase_ == Phase::Header && IsText(byte)) || (phase_ == Phase::EndOfBatch && byte == '2')) {
        Finish(phase_ == Phase::Header ? "no download: text instead of a header" : "");
        return false;
    }
    ArmPrompt(now); // noise between blocks: keep waiting
    return true;
}

void YmodemReceiver::HandleBlock(SimTime now)
{
    const size_t size = blockLength_ - 5;
    blockLength_ = 0;
    if (silent_)
        return;
    const auto *raw = reinterpret_cast<const uint8_t *>(block_.data());
    const uint8_t number = raw[1];
    const std::string payload = block_.substr(3, size);
    const uint16_t crc = static_cast<uint16_t>(raw[3 + size] << 8 | raw[4 + size]);
    if (static_cast<uint8_t>(number ^ raw[2]) != 0xFF)
        return Nak("block number and complement disagree", now);
    if (Crc16XmodemBitwise(raw + 3, size) != crc)
        return Nak("bad CRC in block " + std::to_string(number), now);

    switch (phase_) {
    case Phase::Header:
    case Phase::EndOfBatch:
        if (number == 0)
            return HandleHeaderBlock(payload, now);
        break;
    case Phase::FirstData:
    case Phase::Data:
        // A repeat means our ACK was lost: say it again (after the header,
        // with the request for the first data block).
        if (phase_ == Phase::FirstData && number == 0) {
            Send(ACK);
            Send(kAskCrc);
            return ArmPrompt(now);
        }
        if (phase_ == Phase::Data && number == lastBlock_) {
            Send(ACK);
            return ArmPrompt(now);
        }
        if (number == expectedBlock_) {
            if (ClaimNewItem())
                HandleDataBlock(payload);
            return ArmPrompt(now);
        }
        break;
    case Phase::Idle:
        return;
    }
    Nak("unexpected block " + std::to_string(number), now);
}

void YmodemReceiver::HandleHeaderBlock(const std::string &payload, SimTime now)
{
    if (!ClaimNewItem())
        return ArmPrompt(now);
    const std::string name = payload.substr(0, payload.find('\0'));
    if (name.empty()) {
        Send(ACK);
        return Finish(phase_ == Phase::EndOfBatch ? "batch complete" : "empty batch");
    }
    size_.reset();
    const size_t sizeAt = name.size() + 1;
    if (sizeAt < payload.size() && payload[sizeAt] >= '0' && payload[sizeAt] <= '9')
        size_ = std::strtoull(payload.c_str() + sizeAt, nullptr, 10);
    if (size_ && *size_ > kMaxImage) {
        out_ += "\x18\x18";
        return Finish("download refused: image of " + std::to_string(*size_) + " bytes is too large");
    }
    image_ = ReceivedImage{name, {}};
    image_.bytes.reserve(static_cast<size_t>(size_.value_or(0)));
    notes_.push_back("receiving " + name + (size_ ? ", " + std::to_string(*size_) + " bytes" : ""));
    Send(ACK);
    Send(kAskCrc);
    phase_ = Phase::FirstData;
    expectedBlock_ = 1;
    lastBlock_ = 0;
    prompts_ = 0;
    ArmPrompt(now);
}

void YmodemReceiver::HandleDataBlock(const std::string &payload)
{
    const uint64_t room = size_ ? *size_ - std::min<uint64_t>(*size_, image_.bytes.size())
                                : kMaxImage - image_.bytes.size();
    if (!size_ && payload.size() > room) {
        out_ += "\x18\x18";
        return Finish("download cancelled: image larger than " + std::to_string(kMaxImage) + " bytes");
    }
    const size_t take = static_cast<size_t>(std::min<uint64_t>(room, payload.size()));
    image_.bytes.insert(image_.bytes.end(), payload.begin(), payload.begin() + static_cast<long>(take));
    Send(ACK);
    lastBlock_ = expectedBlock_;
    ++expectedBlock_;
    phase_ = Phase::Data;
    prompts_ = 0;
}

void YmodemReceiver::HandleEot(SimTime now)
{
    if (silent_)
        return;
    if (phase_ == Phase::EndOfBatch) { // our ACK of EOT was lost
        Send(ACK);
        return ArmPrompt(now);
    }
    if (phase_ != Phase::FirstData && phase_ != Phase::Data)
        return ArmPrompt(now);
    if (!ClaimNewItem())
        return ArmPrompt(now);
    Send(ACK);
    notes_.push_back("received " + image_.name + ", " + std::to_string(image_.bytes.size()) + " bytes");
    finished_ = image_;
    phase_ = Phase::EndOfBatch;
    prompts_ = 0;
    nextPrompt_ = now + kEndOfBatchAsk;
}

bool YmodemReceiver::ClaimNewItem()
{
    const long item = item_;
    if (item == faults_.silentAt) {
        silent_ = true;
        notes_.push_back("fault: silent from item " + std::to_string(item));
        return false;
    }
    if (item == faults_.cancelAt) {
        out_ += "\x18\x18";
        Finish("fault: cancelled at item " + std::to_string(item));
        return false;
    }
    if (item == faults_.strayAt && !strayDone_) {
        strayDone_ = true;
        Send(kStray);
        notes_.push_back("fault: stray byte for item " + std::to_string(item));
        return false;
    }
    if (item == faults_.nakAt && naksDone_ < faults_.nakCount) {
        ++naksDone_;
        Send(NAK);
        notes_.push_back("fault: NAK " + std::to_string(naksDone_) + " of " + std::to_string(faults_.nakCount) +
                         " for item " + std::to_string(item));
        return false;
    }
    ++item_;
    return true;
}

void YmodemReceiver::Nak(const std::string &why, SimTime now)
{
    notes_.push_back("NAK: " + why);
    Send(NAK);
    ArmPrompt(now);
}

void YmodemReceiver::Finish(const std::string &note)
{
    if (!note.empty())
        notes_.push_back(note);
    phase_ = Phase::Idle;
    blockLength_ = 0;
    block_.clear();
}

void YmodemReceiver::Tick(SimTime now)
{
    if (phase_ == Phase::Idle || silent_)
        return;
    if (blockLength_ != 0) {
        if (now - lastByte_ >= kBlockGap) {
            blockLength_ = 0;
            Nak("block cut short", now);
        }
        return;
    }
    if (now < nextPrompt_)
        return;
    const bool nakPrompt = phase_ == Phase::Data;
    const int limit = nakPrompt ? kMaxNakPrompts : phase_ == Phase::EndOfBatch ? kMaxEndPrompts : kMaxCPrompts;
    if (++prompts_ > limit) {
        if (phase_ == Phase::EndOfBatch) // the file is complete; only the batch's close is missing
            return Finish("no end-of-batch block");
        out_ += "\x18\x18";
        return Finish("download given up: the sender is silent");
    }
    Send(nakPrompt ? static_cast<char>(NAK) : kAskCrc);
    ArmPrompt(now);
}

std::optional<SimTime> YmodemReceiver::NextDeadline() const
{
    if (phase_ == Phase::Idle || silent_)
        return std::nullopt;
    if (blockLength_ != 0)
        return lastByte_ + kBlockGap;
    return nextPrompt_;
}

std::string YmodemReceiver::TakeOutput()
{
    std::string out;
    out.swap(out_);
    return out;
}

std::optional<ReceivedImage> YmodemReceiver::TakeImage()
{
    std::optional<ReceivedImage> image;
    image.swap(finished_);
    return image;
}

std::vector<std::string> YmodemReceiver::TakeNotes()
{
    std::vector<std::string> notes;
    notes.swap(notes_);
    return notes;
}
