// The firmware sender's rules that its fuzz target (which checks every
// block's format, CRC, offset and number, the retry limit and the results
// against a model) cannot know: the exact order on the wire and the block
// sizes it picks, each transfer's result, the trace's texts, the timing of the
// end of the batch, the header built at Start. The cli tests run it against
// lrzsz's rb.

#include "RecordingSinks.h"

#include "transfer/YmodemBlock.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <optional>

namespace {

using Answer = std::function<std::optional<std::string>(const std::string &frame, size_t i)>;

// A fake port with a receiver behind it. It cuts the sender's writes into
// frames, named by first byte and block number ("1", "SOH0", "STX1", "EOT",
// "CAN", "2"; the fuzz target checks the blocks' contents), and answers each
// as a well-mannered receiver does ("C" to the "1", ACK "C" to the header,
// ACK to data blocks, ACK "C" to EOT, nothing after the end of the batch)
// unless `answer` has a reply for frame i (the "1" is frame 0).
struct ScriptedReceiver : SerialLink {
    std::deque<uint8_t> input;
    std::string wire; // the frames so far: "1 SOH0 STX1 ..."
    size_t frames = 0;
    Answer answer;
    std::vector<uint8_t> pending;

    int32_t BytesWaiting() override { return static_cast<int32_t>(input.size()); }
    int32_t ReadByte() override
    {
        if (input.empty())
            return -1;
        const int8_t byte = static_cast<int8_t>(input.front()); // the port reads 0x80..0xFF as nothing
        input.pop_front();
        return byte;
    }
    uint32_t ReadBlock(uint8_t *, int32_t) override { return 0; }
    void SetRtsHandshake(bool) override {}
    int32_t WriteBytes(const uint8_t *bytes, uint32_t count) override
    {
        pending.insert(pending.end(), bytes, bytes + count);
        const uint8_t first = pending[0];
        const size_t payload = first == WireByte::Soh ? kSmallPayload : first == WireByte::Stx ? kLargePayload : 0;
        if (pending.size() < (payload ? payload + kBlockOverhead : 1))
            return static_cast<int32_t>(count);
        const bool eotSeen = wire.find("EOT") != std::string::npos; // block 0: the header before, the batch end after
        const std::string f = payload ? (payload == kSmallPayload ? "SOH" : "STX") + std::to_string(pending[1])
                              : first == WireByte::Eot ? "EOT"
                              : first == WireByte::Can ? "CAN"
                                                       : std::string(1, char(first));
        wire += (wire.empty() ? "" : " ") + f;
        pending.clear();
        const std::optional<std::string> reply = answer ? answer(f, frames++) : std::nullopt;
        const std::string bytesBack = reply         ? *reply
                                      : f == "1"    ? "C"
                                      : f == "EOT"  ? "\x06" "C"
                                      : f == "SOH0" ? (eotSeen ? "" : "\x06" "C")
                                      : payload     ? "\x06"
                                                    : "";
        input.insert(input.end(), bytesBack.begin(), bytesBack.end());
        return static_cast<int32_t>(count);
    }
};

// Answers `count` frames from frame `first` on with `reply`.
Answer AnswerFrames(size_t first, std::string reply, size_t count = 1)
{
    return [=](const std::string &, size_t i) { return i - first < count ? std::optional(reply) : std::nullopt; };
}

struct ManualClock : TickClock {
    uint32_t now = 0;
    uint32_t TickCount() override { return now; }
};

// A started transfer of an image of `size` bytes (whose contents the fuzz
// target checks).
struct Rig {
    explicit Rig(size_t size, Answer answer = {}, bool smallPackets = false)
    {
        link.answer = std::move(answer);
        settings.smallPackets = smallPackets ? 1 : 0;
        EXPECT_EQ(sender.Start(std::vector<uint8_t>(size, 0xA5), state), StartResult::Started);
    }
    // Steps until the transfer ends or a waiting state finds nothing; a wait
    // for time at the end of the batch is let pass a tick at a time.
    void Run()
    {
        for (int ticks = 0; ticks < 10; ++ticks) {
            sender.RunReadySteps(state, {1000000, std::chrono::hours(1)});
            if (state != SenderState::SendEndOfBatch && state != SenderState::Finish)
                return;
            clock.now += kEndOfBatchWaitMs;
        }
    }

    ScriptedReceiver link;
    Sinks sinks;
    Settings settings;
    ManualClock clock;
    YmodemSender sender{link, sinks, sinks, settings, clock};
    int32_t state = 0;
};

} // namespace

// Frames of a 3000-byte image: 0 "1", 1 header, 2 block 1, 3 block 2, 4 block
// 3, 5 EOT. After a NAK the header and block 1 go again only after a new "C"
// (were they sent at once, that "C" would be a stray reply); block 2 and EOT
// at once. The loader shows the result; its OK runs after a success only.
TEST(Sender, EachRunHasItsWireOrderResultAndTrace)
{
    const struct {
        const char *name;
        size_t size;
        bool small;
        Answer answer;
        const char *wire, *status, *trace; // the trace: a part of it
    } cases[] = {
        {"clean", 1025, false, {}, "1 SOH0 STX1 SOH2 EOT SOH0 2", "Successful",
         // The "C" that asks for the header is not traced; the one for block 1 is.
         "<SOH> 17 <ACK>\r\n First-Block <C>\r\n<STX> 1024 <ACK>\r\n Next-Block <SOH> 1 "
         "<ACK>\r\n End-File  EOT <ACK>\r\n Last-Block <SOH> 0 "},
        {"976 bytes still go in 1024", 2000, false, {}, "1 SOH0 STX1 STX2 EOT SOH0 2", "Successful", ""},
        {"a last block with no image bytes", 1024, false, {}, "1 SOH0 STX1 SOH2 EOT SOH0 2", "Successful", ""},
        {"one byte, one more empty block", 1, false, {}, "1 SOH0 SOH1 SOH2 EOT SOH0 2", "Successful", ""},
        {"small packets", 300, true, {}, "1 SOH0 SOH1 SOH2 SOH3 EOT SOH0 2", "Successful", ""},
        {"only C starts it", 10, false, AnswerFrames(0, "\x15x\x06" "C"), "1 SOH0 SOH1 SOH2 EOT SOH0 2", "Successful",
         "<SOH> 15 <ACK>"},
        {"NAK for the header", 3000, false, AnswerFrames(1, "\x15" "C"), "1 SOH0 SOH0 STX1 STX2 STX3 EOT SOH0 2",
         "Successful", "<NAK>\r\n<SOH> 17 "},
        {"NAK for block 1", 3000, false, AnswerFrames(2, "\x15" "C"), "1 SOH0 STX1 STX1 STX2 STX3 EOT SOH0 2",
         "Successful", "<NAK>\r\n<C>\r\n<STX> 1024 "},
        {"NAK for EOT", 3000, false, AnswerFrames(5, "\x15"), "1 SOH0 STX1 STX2 STX3 EOT EOT SOH0 2", "Successful",
         "<NAK>\r\n EOT <ACK>"},
        {"ten NAKs in a row", 3000, false, AnswerFrames(3, "\x15", 10),
         "1 SOH0 STX1 STX2 STX2 STX2 STX2 STX2 STX2 STX2 STX2 STX2 STX2", "Too many retries",
         "<NAK>\r\neRetryError\r\n"},
        {"CAN instead of the first C", 3000, false, AnswerFrames(0, "\x18"), "1 CAN CAN", "Aborted", "eAbort\r\n"},
        {"CAN instead of the C for block 1", 3000, false, AnswerFrames(1, "\x06\x18"), "1 SOH0 CAN CAN", "Aborted",
         "<CAN>\r\neAbort\r\n"},
        {"a stray reply", 3000, false, AnswerFrames(2, "C"), "1 SOH0 STX1", "Protocol Error",
         "<C>\r\neProtocol\r\nSyncError\r\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(c.size, c.answer, c.small);
        rig.Run();
        EXPECT_EQ(rig.link.wire, c.wire);
        EXPECT_EQ(rig.sinks.status, c.status);
        EXPECT_EQ(rig.sinks.ok, std::string(c.status) == "Successful");
        EXPECT_NE(rig.sinks.trace.find(c.trace), std::string::npos) << rig.sinks.trace;
    }

    // A step entered from inside a write (a write error's message box runs
    // the poll timer) does nothing.
    Rig nested(2000);
    int nestedSteps = 0;
    nested.link.answer = [&](const std::string &, size_t) {
        nestedSteps += nested.sender.Step(nested.state);
        return std::nullopt;
    };
    nested.Run();
    EXPECT_EQ(nestedSteps, 0);
    EXPECT_EQ(nested.sinks.status, "Successful");
}

// After the ACK of EOT the end of the batch waits for the receiver's "C", or
// for a while when none comes; "2" follows a tick after it. A file chosen
// while the transfer waits does not reach its header: the header is built
// from the name that Start checked (name + size digits + 4 within 128).
TEST(Sender, TheBatchEndWaitsForTheRequestOrATickAndTheHeaderKeepsTheCheckedName)
{
    EXPECT_TRUE(HeaderFits(std::string(119, 'n'), 65536));
    EXPECT_FALSE(HeaderFits(std::string(120, 'n'), 65536));
    for (const bool asks : {true, false}) {
        SCOPED_TRACE(asks ? "the receiver asks" : "the receiver stays silent");
        Rig rig(100, [&](const std::string &f, size_t) {
            return f == "EOT" ? std::optional<std::string>(asks ? "\x06" : "\x06\x15") : std::nullopt;
        });
        rig.settings.downloadFilename = std::string(200, 'n'); // chosen after Start
        const auto stepAfter = [&](uint32_t ms, const char *wire) {
            rig.clock.now += ms;
            rig.sender.RunReadySteps(rig.state);
            EXPECT_EQ(rig.link.wire, wire) << rig.clock.now << " ms";
        };
        stepAfter(0, "1 SOH0 SOH1 SOH2 EOT");
        stepAfter(kEndOfBatchWaitMs - 1, "1 SOH0 SOH1 SOH2 EOT");
        if (asks)
            rig.link.input.push_back('C');
        stepAfter(asks ? 0 : 1, "1 SOH0 SOH1 SOH2 EOT SOH0");
        stepAfter(kTransferTickMs - 1, "1 SOH0 SOH1 SOH2 EOT SOH0");
        stepAfter(1, "1 SOH0 SOH1 SOH2 EOT SOH0 2");
        EXPECT_EQ(rig.sinks.status, "Successful");
        EXPECT_EQ(rig.sinks.image, "fwimg.bin");
    }
}
