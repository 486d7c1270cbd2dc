#pragma once
// A fake port with a receiver behind it. The sender's writes are grouped
// into frames (a single byte, or the six writes of one block), and each frame
// is answered by queueing bytes for the sender to read. The default answers
// are a well-mannered receiver's: "C" at the start, ACK and "C" for the
// header, ACK for every data block and for EOT. A test replaces the answer
// to chosen frames through `answer`, and holds replies back with
// `holdReplies` until it releases them.

#include "serial/SerialLink.h"
#include "transfer/TransferSinks.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct Frame {
    bool isBlock = false;
    uint8_t byte = 0; // the single byte, or the block's first byte
    uint8_t number = 0;
    uint8_t complement = 0;
    std::vector<uint8_t> payload;
    uint16_t crc = 0;
    int writes = 0;
};

class ScriptedReceiver : public SerialLink {
public:
    ScriptedReceiver() : input{'C'} {}

    int32_t BytesWaiting() override { return static_cast<int32_t>(input.size()); }
    int32_t ReadByte() override;
    uint32_t ReadBlock(uint8_t *, int32_t) override { return 0; } // the sender never does
    int32_t WriteBytes(const uint8_t *buffer, uint32_t count) override;
    void SetRtsHandshake(bool on) override { rts.push_back(on); }

    // Frame index counts every frame from 0, the "1" included.
    std::function<std::optional<std::string>(const Frame &, size_t index)> answer;
    std::function<void()> onWrite;
    bool holdReplies = false;
    void ReleaseReplies();

    std::deque<uint8_t> input;
    std::string held;
    std::vector<Frame> frames;
    std::vector<bool> rts;

    // The data blocks between the header and the first EOT; a resent block
    // or header counts once.
    std::vector<const Frame *> DataBlocks() const;
    // Their payloads cut to size, as a receiver stores the file.
    std::vector<uint8_t> ReceivedFile(size_t size) const;

private:
    void Complete(const Frame &frame);

    std::optional<Frame> pending_;
    bool headerSeen_ = false;
    bool eotSeen_ = false;
};

class ProgressRecorder : public TransferProgress {
public:
    std::vector<std::string> calls; // "status Loading Image", "size 1025", ...
    uint32_t bytesSent = 0;
    void ShowStatusText(const std::string &text) override { calls.push_back("status " + text); }
    void ShowImageName(const std::string &name) override { calls.push_back("image " + name); }
    void ShowFileSize(uint32_t size) override { calls.push_back("size " + std::to_string(size)); }
    void ShowBytesSent(uint32_t bytes) override { bytesSent = bytes; }
    void ShowPacket(uint32_t) override {}
    void ShowFinishedView() override { calls.push_back("finished"); }
    void RunOkAction() override { calls.push_back("ok"); }
    void UpdateControlStates() override { calls.push_back("controls"); }
};

class TraceRecorder : public TraceSink {
public:
    std::string log;
    void TraceText(std::string_view text) override { log.append(text); }
    void TraceControlByte(uint8_t byte) override;
};
