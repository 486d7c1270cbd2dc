#include "ScriptedReceiver.h"

#include "transfer/TraceNames.h"
#include "transfer/YmodemBlock.h"

int32_t ScriptedReceiver::ReadByte()
{
    if (input.empty())
        return -1;
    const uint8_t byte = input.front();
    input.pop_front();
    return static_cast<int8_t>(byte);
}

int32_t ScriptedReceiver::WriteBytes(const uint8_t *buffer, uint32_t count)
{
    if (!pending_) {
        Frame frame;
        frame.byte = buffer[0];
        frame.writes = 1;
        frame.isBlock = frame.byte == WireByte::Soh || frame.byte == WireByte::Stx;
        if (frame.isBlock)
            pending_ = frame;
        else
            Complete(frame);
    } else {
        // A block goes on as: number, complement, payload, CRC high, CRC low.
        Frame &f = *pending_;
        switch (f.writes++) {
        case 1: f.number = buffer[0]; break;
        case 2: f.complement = buffer[0]; break;
        case 3: f.payload.assign(buffer, buffer + count); break;
        case 4: f.crc = static_cast<uint16_t>(buffer[0] << 8); break;
        default:
            f.crc |= buffer[0];
            Complete(f);
            pending_.reset();
            break;
        }
    }
    if (onWrite)
        onWrite();
    return static_cast<int32_t>(count);
}

void ScriptedReceiver::Complete(const Frame &frame)
{
    frames.push_back(frame);
    std::optional<std::string> reply;
    if (answer)
        reply = answer(frame, frames.size() - 1);
    if (!reply) {
        if (frame.isBlock && !headerSeen_)
            reply = "\x06" "C";
        else if (frame.isBlock)
            reply = eotSeen_ ? "" : "\x06";
        else
            reply = frame.byte == WireByte::Eot ? "\x06" : "";
        headerSeen_ = headerSeen_ || frame.isBlock;
        eotSeen_ = eotSeen_ || (!frame.isBlock && frame.byte == WireByte::Eot);
    }
    if (holdReplies)
        held += *reply;
    else
        input.insert(input.end(), reply->begin(), reply->end());
}

void ScriptedReceiver::ReleaseReplies()
{
    input.insert(input.end(), held.begin(), held.end());
    held.clear();
}

std::vector<const Frame *> ScriptedReceiver::DataBlocks() const
{
    std::vector<const Frame *> blocks;
    bool afterHeader = false;
    for (const Frame &f : frames) {
        if (!f.isBlock && f.byte == WireByte::Eot)
            break;
        if (f.isBlock && afterHeader && !(blocks.empty() && f.number == 0)) {
            if (!blocks.empty() && blocks.back()->number == f.number)
                blocks.back() = &f;
            else
                blocks.push_back(&f);
        }
        afterHeader = afterHeader || f.isBlock;
    }
    return blocks;
}

std::vector<uint8_t> ScriptedReceiver::ReceivedFile(size_t size) const
{
    std::vector<uint8_t> file;
    for (const Frame *f : DataBlocks())
        file.insert(file.end(), f->payload.begin(), f->payload.end());
    file.resize(std::min(file.size(), size));
    return file;
}

void TraceRecorder::TraceControlByte(uint8_t byte)
{
    log += ControlByteName(byte);
}
