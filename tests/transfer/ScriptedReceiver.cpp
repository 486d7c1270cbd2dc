#include "ScriptedReceiver.h"

#include "transfer/TraceNames.h"
#include "transfer/YmodemBlock.h"

#include <algorithm>
#include <cstring>

ScriptedReceiver::ScriptedReceiver()
{
    input.push_back(WireByte::CrcRequest);
}

int32_t ScriptedReceiver::ReadByte()
{
    if (input.empty())
        return -1;
    const uint8_t byte = input.front();
    input.pop_front();
    return static_cast<int8_t>(byte);
}

uint32_t ScriptedReceiver::ReadBlock(uint8_t *buffer, int32_t max)
{
    uint32_t n = 0;
    while (!input.empty() && static_cast<int32_t>(n) < max) {
        buffer[n++] = input.front();
        input.pop_front();
    }
    return n;
}

int32_t ScriptedReceiver::WriteBytes(const uint8_t *buffer, uint32_t count)
{
    if (!pending_) {
        Frame frame;
        frame.byte = buffer[0];
        frame.writes = 1;
        frame.isBlock = frame.byte == WireByte::Soh || frame.byte == WireByte::Stx;
        frame.payloadSize = frame.byte == WireByte::Stx ? kLargePayload : kSmallPayload;
        if (frame.isBlock)
            pending_ = frame;
        else
            Complete(frame);
    } else {
        // Blocks arrive as: number, complement, payload, CRC high, CRC low.
        Frame &f = *pending_;
        switch (f.writes++) {
        case 1: f.number = buffer[0]; break;
        case 2: f.complement = buffer[0]; break;
        case 3: f.payload.assign(buffer, buffer + count); break;
        case 4: f.crc = static_cast<uint16_t>(buffer[0] << 8); break;
        default:
            f.crc |= buffer[0];
            Frame done = std::move(f);
            pending_.reset();
            Complete(std::move(done));
            break;
        }
    }
    if (onWrite)
        onWrite();
    return static_cast<int32_t>(count);
}

void ScriptedReceiver::Complete(Frame frame)
{
    frames.push_back(frame);
    const size_t index = frames.size() - 1;
    std::optional<std::string> reply;
    if (answer)
        reply = answer(frames.back(), index);
    Queue(reply ? *reply : DefaultAnswer(frames.back()));
}

std::string ScriptedReceiver::DefaultAnswer(const Frame &frame)
{
    if (!frame.isBlock) {
        eotSeen_ = eotSeen_ || frame.byte == WireByte::Eot;
        return frame.byte == WireByte::Eot ? "\x06" : "";
    }
    if (!headerSeen_) {
        headerSeen_ = true;
        return "\x06" "C";
    }
    return eotSeen_ ? "" : "\x06";
}

void ScriptedReceiver::Queue(const std::string &bytes)
{
    if (holdReplies)
        held += bytes;
    else
        input.insert(input.end(), bytes.begin(), bytes.end());
}

void ScriptedReceiver::ReleaseReplies()
{
    input.insert(input.end(), held.begin(), held.end());
    held.clear();
}

std::vector<const Frame *> ScriptedReceiver::DataBlocks() const
{
    // Everything between the header and EOT; a resent block counts once.
    std::vector<const Frame *> blocks;
    bool afterHeader = false;
    for (const Frame &f : frames) {
        if (!f.isBlock && f.byte == WireByte::Eot)
            break;
        if (f.isBlock && afterHeader) {
            if (!blocks.empty() && blocks.back()->number == f.number)
                blocks.back() = &f;
            else
                blocks.push_back(&f);
        }
        afterHeader = afterHeader || f.isBlock;
    }
    return blocks;
}

std::string ScriptedReceiver::ReceivedName() const
{
    for (const Frame &f : frames)
        if (f.isBlock)
            return reinterpret_cast<const char *>(f.payload.data());
    return {};
}

std::vector<uint8_t> ScriptedReceiver::ReceivedFile() const
{
    std::vector<uint8_t> file;
    for (const Frame *f : DataBlocks())
        file.insert(file.end(), f->payload.begin(), f->payload.end());
    const Frame *header = nullptr;
    for (const Frame &f : frames)
        if (f.isBlock) {
            header = &f;
            break;
        }
    if (!header)
        return {};
    const char *sizeText = reinterpret_cast<const char *>(header->payload.data()) +
                           std::strlen(reinterpret_cast<const char *>(header->payload.data())) + 1;
    file.resize(std::min<size_t>(file.size(), std::strtoul(sizeText, nullptr, 10)));
    return file;
}

void TraceRecorder::TraceControlByte(uint8_t byte)
{
    log += ControlByteName(byte);
}
