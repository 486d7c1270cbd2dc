// The firmware sender's rules that its fuzz target does not pin down: the
// exact order on the wire, the block sizes it picks, what the loader and the
// trace are told, how each transfer ends, and how it steps; the header text
// and the trace names. Then the sender against a real receiver, lrzsz's rb
// over a pty.

#include "FdSerialLink.h"
#include "RbPeer.h"

#include "transfer/Crc16.h"
#include "transfer/TraceNames.h"
#include "transfer/YmodemBlock.h"
#include "transfer/YmodemSender.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <optional>
#include <random>

namespace {

using Answer = std::function<std::optional<std::string>(const std::string &frame, size_t i)>;

// A fake port with a receiver behind it. It cuts the sender's writes into
// frames, named by first byte and block number ("1", "SOH0", "STX1", "EOT",
// "CAN", "2"; a "!" after a block whose complement or CRC is wrong), and
// answers each as a well-mannered receiver does ("C" to the "1", ACK "C" to
// the header, ACK to data blocks, ACK "C" to EOT, nothing after the end of
// the batch) unless `answer` has a reply for frame i (the "1" is frame 0).
struct ScriptedReceiver : SerialLink {
    std::deque<uint8_t> input;
    std::string wire; // the frames so far: "1 SOH0 STX1 ..."
    size_t frames = 0;
    std::vector<bool> rts;
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
    void SetRtsHandshake(bool on) override { rts.push_back(on); }
    int32_t WriteBytes(const uint8_t *bytes, uint32_t count) override
    {
        pending.insert(pending.end(), bytes, bytes + count);
        const uint8_t first = pending[0];
        const size_t payload = first == WireByte::Soh ? kSmallPayload : first == WireByte::Stx ? kLargePayload : 0;
        if (pending.size() < (payload ? payload + kBlockOverhead : 1))
            return static_cast<int32_t>(count);
        const bool eotSeen = wire.find("EOT") != std::string::npos;
        const bool dataSeen = wire.find("SOH1") != std::string::npos || wire.find("STX1") != std::string::npos;
        const bool wellFormed = !payload || (pending[2] == uint8_t(~pending[1]) &&
                                             Crc16Xmodem(&pending[kPayloadOffset], payload) ==
                                                 (pending[kPayloadOffset + payload] << 8 | pending.back()));
        const std::string f = payload ? (payload == kSmallPayload ? "SOH" : "STX") + std::to_string(pending[1]) +
                                            (wellFormed ? "" : "!")
                              : first == WireByte::Eot ? "EOT"
                              : first == WireByte::Can ? "CAN"
                                                       : std::string(1, char(first));
        wire += (wire.empty() ? "" : " ") + f;
        pending.clear();
        const std::optional<std::string> reply = answer ? answer(f, frames++) : std::nullopt;
        const std::string bytesBack = reply                      ? *reply
                                      : f == "1"                 ? "C"
                                      : f == "EOT"               ? "\x06" "C"
                                      : f == "SOH0" && eotSeen   ? ""
                                      : f == "SOH0" && !dataSeen ? "\x06" "C" // the header
                                      : payload                  ? "\x06"
                                                                 : "";
        input.insert(input.end(), bytesBack.begin(), bytesBack.end());
        return static_cast<int32_t>(count);
    }
};

// The loader's and the debug screen's side.
struct Sinks : TransferProgress, TraceSink {
    std::vector<std::string> calls; // "status Loading Image", "size 1025", ...
    uint32_t bytesSent = 0;
    std::string trace;
    void ShowStatusText(const std::string &text) override { calls.push_back("status " + text); }
    void ShowImageName(const std::string &name) override { calls.push_back("image " + name); }
    void ShowFileSize(uint32_t size) override { calls.push_back("size " + std::to_string(size)); }
    void ShowBytesSent(uint32_t bytes) override { bytesSent = bytes; }
    void ShowPacket(uint32_t) override {}
    void ShowFinishedView() override { calls.push_back("finished"); }
    void RunOkAction() override { calls.push_back("ok"); }
    void UpdateControlStates() override { calls.push_back("controls"); }
    void TraceText(std::string_view text) override { trace.append(text); }
    void TraceControlByte(uint8_t byte) override { trace += ControlByteName(byte); }
};

// Answers `count` frames from frame `first` on with `reply`.
Answer AnswerFrames(size_t first, std::string reply, size_t count = 1)
{
    return [=](const std::string &, size_t i) { return i - first < count ? std::optional(reply) : std::nullopt; };
}

std::vector<uint8_t> TestImage(size_t size)
{
    std::mt19937 random(1);
    std::vector<uint8_t> image(size);
    std::generate(image.begin(), image.end(), [&] { return static_cast<uint8_t>(random()); });
    return image;
}

struct ManualClock : TickClock {
    uint32_t now = 0;
    uint32_t TickCount() override { return now; }
};

// A started transfer of an image of `size` bytes.
struct Rig {
    explicit Rig(size_t size, Answer answer = {}, bool smallPackets = false)
    {
        link.answer = std::move(answer);
        settings.smallPackets = smallPackets ? 1 : 0;
        EXPECT_EQ(sender.Start(TestImage(size), state), StartResult::Started);
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

TEST(SenderCleanRun, WireProgressAndTraceInOrder)
{
    Rig rig(1025);
    rig.Run();
    EXPECT_EQ(rig.link.wire, "1 SOH0 STX1 SOH2 EOT SOH0 2");
    EXPECT_EQ(rig.sender.Result(), TransferResult::Success);
    EXPECT_EQ(rig.sinks.bytesSent, 1025u);
    EXPECT_EQ(rig.sinks.calls, (std::vector<std::string>{"status Loading Image", "image fwimg.bin", "size 1025",
                                                         "finished", "controls", "status Successful", "ok"}));
    EXPECT_EQ(rig.link.rts, (std::vector<bool>{false, true})); // off, then the flow setting
    // The "C" that asks for the header is not traced; the one for block 1 is.
    EXPECT_EQ(rig.sinks.trace, "<SOH> 17 <ACK>\r\n First-Block <C>\r\n<STX> 1024 <ACK>\r\n Next-Block <SOH> 1 "
                               "<ACK>\r\n End-File  EOT <ACK>\r\n Last-Block <SOH> 0 ");
}

TEST(SenderCleanRun, BlockSizesFollowTheRemainingBytes)
{
    const std::tuple<size_t, bool, const char *> cases[] = {
        {2000, false, "1 SOH0 STX1 STX2 EOT SOH0 2"}, // 976 bytes still go in 1024
        {1024, false, "1 SOH0 STX1 SOH2 EOT SOH0 2"}, // a last block with no image bytes
        {1, false, "1 SOH0 SOH1 SOH2 EOT SOH0 2"},    // fits block 1, one more empty block
        {300, true, "1 SOH0 SOH1 SOH2 SOH3 EOT SOH0 2"},
    };
    for (const auto &[size, small, wire] : cases) {
        Rig rig(size, {}, small);
        rig.Run();
        EXPECT_EQ(rig.link.wire, wire) << size << (small ? " bytes, small packets" : " bytes");
    }
    Rig wrap(256 * 128, {}, true);
    wrap.Run();
    std::string wire = "1 SOH0";
    for (int n = 1; n <= 256; ++n)
        wire += " SOH" + std::to_string(n % 256); // the 256th data block is number 0
    EXPECT_EQ(wrap.link.wire, wire + " EOT SOH0 2");
}

TEST(SenderEnds, NaksCanAndStrayRepliesEachEndTheirWay)
{
    // Frames: 0 "1", 1 header, 2 block 1, 3 block 2, 4 block 3, 5 EOT. After a
    // NAK the header and block 1 go again only after a new "C" (were they sent
    // at once, that "C" would be a stray reply); block 2 and EOT at once.
    const std::tuple<const char *, Answer, const char *, const char *, const char *> cases[] = {
        {"NAK for the header", AnswerFrames(1, "\x15" "C"), "1 SOH0 SOH0 STX1 STX2 STX3 EOT SOH0 2", "Successful",
         "<NAK>\r\n<SOH> 17 "},
        {"NAK for block 1", AnswerFrames(2, "\x15" "C"), "1 SOH0 STX1 STX1 STX2 STX3 EOT SOH0 2", "Successful",
         "<NAK>\r\n<C>\r\n<STX> 1024 "},
        {"NAK for EOT", AnswerFrames(5, "\x15"), "1 SOH0 STX1 STX2 STX3 EOT EOT SOH0 2", "Successful",
         "<NAK>\r\n EOT <ACK>"},
        {"ten NAKs in a row", AnswerFrames(3, "\x15", 10),
         "1 SOH0 STX1 STX2 STX2 STX2 STX2 STX2 STX2 STX2 STX2 STX2 STX2", "Too many retries",
         "<NAK>\r\neRetryError\r\n"},
        {"CAN instead of the first C", AnswerFrames(0, "\x18"), "1 CAN CAN", "Aborted", "eAbort\r\n"},
        {"CAN instead of the C for block 1", AnswerFrames(1, "\x06\x18"), "1 SOH0 CAN CAN", "Aborted",
         "<CAN>\r\neAbort\r\n"},
        {"CAN for block 1", AnswerFrames(2, "\x18"), "1 SOH0 STX1 CAN CAN", "Aborted", "<CAN>\r\neAbort\r\n"},
        {"a stray reply", AnswerFrames(2, "C"), "1 SOH0 STX1", "Protocol Error", "<C>\r\neProtocol\r\nSyncError\r\n"},
    };
    for (const auto &[name, answer, wire, status, trace] : cases) {
        SCOPED_TRACE(name);
        Rig rig(3000, answer);
        rig.Run();
        EXPECT_EQ(rig.link.wire, wire);
        EXPECT_STREQ(ResultText(rig.sender.Result()), status);
        // The loader shows the result; its OK runs after a success only.
        const std::vector<std::string> &calls = rig.sinks.calls;
        const bool ok = calls.back() == "ok";
        EXPECT_EQ(ok, std::string(status) == "Successful");
        EXPECT_EQ(calls[calls.size() - (ok ? 2 : 1)], std::string("status ") + status);
        EXPECT_NE(rig.sinks.trace.find(trace), std::string::npos) << rig.sinks.trace;
    }

    Rig aborted(3000); // the user aborts while block 1 waits for its reply
    aborted.link.answer = [&](const std::string &, size_t i) {
        if (i == 2)
            aborted.sender.RequestAbort();
        return std::optional<std::string>();
    };
    aborted.Run();
    EXPECT_EQ(aborted.link.wire, "1 SOH0 STX1 CAN CAN");
    EXPECT_STREQ(ResultText(aborted.sender.Result()), "Aborted");
}

TEST(SenderStart, OnlyCStartsTheTransfer)
{
    Rig rig(10, AnswerFrames(0, "\x15x\x06" "C"));
    rig.Run();
    EXPECT_EQ(rig.link.wire, "1 SOH0 SOH1 SOH2 EOT SOH0 2");
    EXPECT_EQ(rig.sinks.trace.rfind("<SOH> 15 <ACK>", 0), 0u); // dropped bytes untraced
}

// After the ACK of EOT the end of the batch waits for the receiver's "C", or
// for a while when none comes; "2" follows a tick after it. A file chosen
// while the transfer waits does not reach its header.
TEST(SenderBatchEnd, WaitsForTheRequestOrATickAndTheHeaderKeepsTheCheckedName)
{
    for (const bool asks : {true, false}) {
        SCOPED_TRACE(asks ? "the receiver asks" : "the receiver stays silent");
        Rig rig(100, [&](const std::string &f, size_t) {
            return f == "EOT" ? std::optional<std::string>(asks ? "\x06" : "\x06\x15") : std::nullopt;
        });
        rig.settings.downloadFilename = std::string(200, 'n'); // chosen after Start
        rig.sender.RunReadySteps(rig.state);
        EXPECT_EQ(rig.link.wire, "1 SOH0 SOH1 SOH2 EOT");
        EXPECT_EQ(rig.state, SenderState::SendEndOfBatch);
        rig.clock.now += kEndOfBatchWaitMs - 1;
        rig.sender.RunReadySteps(rig.state);
        EXPECT_EQ(rig.link.wire, "1 SOH0 SOH1 SOH2 EOT") << "sent before the receiver asked";
        if (asks)
            rig.link.input.push_back('C');
        else
            rig.clock.now += 1;
        rig.sender.RunReadySteps(rig.state);
        EXPECT_EQ(rig.link.wire, "1 SOH0 SOH1 SOH2 EOT SOH0");
        rig.clock.now += kTransferTickMs - 1;
        rig.sender.RunReadySteps(rig.state);
        EXPECT_EQ(rig.link.wire, "1 SOH0 SOH1 SOH2 EOT SOH0") << "\"2\" a tick after the block";
        rig.clock.now += 1;
        rig.sender.RunReadySteps(rig.state);
        EXPECT_EQ(rig.link.wire, "1 SOH0 SOH1 SOH2 EOT SOH0 2");
        EXPECT_EQ(rig.sender.Result(), TransferResult::Success);
        EXPECT_EQ(rig.sinks.calls[1], "image fwimg.bin");
    }
}

TEST(SenderStepping, AReplyLetsTheNextFrameGoAtOnceAndEachCallIsBounded)
{
    Rig rig(4000, [](const std::string &, size_t) { return std::string(); }); // the test replies itself
    EXPECT_EQ(rig.sender.RunReadySteps(rig.state), 2); // the "1", then a look that finds nothing
    EXPECT_EQ(rig.sender.RunReadySteps(rig.state), 1); // nothing to read: one look
    std::string wire = "1";
    // Bytes above 0x7F read as nothing, and the step goes on to the ACK.
    for (const auto &[reply, frame] : {std::pair{"C", " SOH0"}, {"\x06" "C", " STX1"}, {"\xC3\xFF\x06", " STX2"}}) {
        rig.link.input.insert(rig.link.input.end(), reply, reply + std::strlen(reply));
        rig.sender.RunReadySteps(rig.state);
        EXPECT_EQ(rig.link.wire, wire += frame);
    }

    Rig big(100000);
    EXPECT_EQ(big.sender.RunReadySteps(big.state, {5, std::chrono::seconds(10)}), 5);
    for (int calls = 0; big.state != 0 && calls < 1000; ++calls) {
        EXPECT_LE(big.sender.RunReadySteps(big.state), StepBudget{}.maxSteps);
        big.clock.now += kEndOfBatchWaitMs;
    }
    EXPECT_EQ(big.sender.Result(), TransferResult::Success);
}

TEST(SenderStepping, AStepEnteredFromInsideAWriteDoesNothing)
{
    Rig rig(2000); // as when a write error's message box runs the poll timer
    int nested = 0;
    rig.link.answer = [&](const std::string &, size_t) {
        nested += rig.sender.Step(rig.state);
        return std::nullopt;
    };
    rig.Run();
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(rig.sender.Result(), TransferResult::Success);
}

// The CRC's check value; the scripted receiver checks every block's CRC. The
// tests above show the trace names of C, ACK, NAK, CAN, SOH and STX.
TEST(BlockLayout, HeaderTextAndTheOtherTraceNames)
{
    EXPECT_EQ(Crc16Xmodem(reinterpret_cast<const uint8_t *>("123456789"), 9), 0x31C3);
    const std::vector<uint8_t> header = HeaderData("fwimg.bin", 65536);
    EXPECT_EQ(std::string(header.begin(), header.end()), std::string("fwimg.bin\0" "65536 0\0", 18));
    // name + size digits + 4 must not exceed 128.
    EXPECT_TRUE(HeaderFits(std::string(119, 'n'), 65536));
    EXPECT_FALSE(HeaderFits(std::string(120, 'n'), 65536));
    EXPECT_EQ(HeaderData(std::string(119, 'n'), 65536).size(), 128u);

    for (const auto &[byte, name] : {std::pair<uint8_t, const char *>{' ', "< >\r\n"}, {'~', "<~>\r\n"},
                                     {0x04, "<EOT>\r\n"}, {0x00, "<00>\r\n"}, {0x1B, "<1B>\r\n"}, {0x7F, "<7F>\r\n"}})
        EXPECT_EQ(ControlByteName(byte), name) << "byte " << int(byte);
}

// The sender driven as the main window drives it (a step on every reply, and
// on a 100 ms tick). What rb writes must be the image, byte for byte: the
// header's size cuts off the padding of the last block.
class InteropWithRb : public ::testing::TestWithParam<std::tuple<size_t, bool>> {};

TEST_P(InteropWithRb, ReceivesTheImageByteForByte)
{
    if (std::system("command -v rb >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "lrzsz's rb is not installed";
    RbPeer rb;
    ASSERT_TRUE(rb.ok());
    FdSerialLink link(rb.SenderFd(), std::chrono::milliseconds(2), std::chrono::milliseconds(50));
    Sinks sinks;
    Settings settings;
    settings.smallPackets = std::get<1>(GetParam()) ? 1 : 0;
    SteadyTickClock clock;
    YmodemSender sender(link, sinks, sinks, settings, clock);
    int32_t state = 0;
    const std::vector<uint8_t> image = TestImage(std::get<0>(GetParam()));
    ASSERT_EQ(sender.Start(image, state), StartResult::Started);
    sender.Step(state); // the "1", before rb runs
    ASSERT_TRUE(rb.Launch());

    ASSERT_TRUE(DriveTransfer(sender, state, rb.SenderFd(), std::chrono::seconds(60))) << rb.Log();
    EXPECT_EQ(sender.Result(), TransferResult::Success) << rb.Log();
    EXPECT_EQ(rb.ReceivedFile("fwimg.bin", image.size(), std::chrono::seconds(5)), image);
}

// 300000 bytes in 128-byte blocks take the block number past 255 several times.
INSTANTIATE_TEST_SUITE_P(Sizes, InteropWithRb,
                         ::testing::Combine(::testing::Values(1, 128, 129, 1024, 1025, 300000), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<size_t, bool>> &info) {
                             return std::to_string(std::get<0>(info.param)) +
                                    (std::get<1>(info.param) ? "_small" : "_large");
                         });
