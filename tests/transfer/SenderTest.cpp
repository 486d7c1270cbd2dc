// The sender's state machine against a scripted receiver: what goes on the
// wire, in which order, and how each failure ends.

#include "ScriptedReceiver.h"

#include "transfer/Crc16.h"
#include "transfer/YmodemBlock.h"
#include "transfer/YmodemSender.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

std::vector<uint8_t> TestImage(size_t size)
{
    std::vector<uint8_t> image(size);
    for (size_t i = 0; i < size; ++i)
        image[i] = static_cast<uint8_t>(i * 7 + 3);
    return image;
}

using Answer = std::function<std::optional<std::string>(const Frame &, size_t)>;

// Answers frame `index` with `reply`, every other frame as usual.
Answer AnswerFrame(size_t index, std::string reply)
{
    return [=](const Frame &, size_t i) { return i == index ? std::optional(reply) : std::nullopt; };
}

struct Rig {
    ScriptedReceiver link;
    ProgressRecorder progress;
    TraceRecorder trace;
    Settings settings;
    YmodemSender sender{link, progress, trace, settings};
    int32_t state = 0;

    void Start(size_t size) { ASSERT_EQ(sender.Start(TestImage(size), state), StartResult::Started); }
    // Steps until the transfer ends or a waiting state finds nothing.
    void Run()
    {
        for (int i = 0; i < 100000 && state != 0 && sender.Step(state); ++i) {
        }
    }
    size_t Count(uint8_t byte) const
    {
        return std::count_if(link.frames.begin(), link.frames.end(),
                             [&](const Frame &f) { return !f.isBlock && f.byte == byte; });
    }
    bool Called(const std::string &call) const
    {
        return std::count(progress.calls.begin(), progress.calls.end(), call) > 0;
    }
    bool TraceEndsWith(const std::string &tail) const
    {
        return trace.log.size() >= tail.size() &&
               trace.log.compare(trace.log.size() - tail.size(), tail.size(), tail) == 0;
    }
};

} // namespace

TEST(SenderCleanRun, WritesStartHeaderDataEotEndOfBatchAndDone)
{
    Rig rig;
    rig.Start(1025);
    rig.Run();

    ASSERT_EQ(rig.state, 0);
    const std::vector<Frame> &f = rig.link.frames;
    // first byte, block number (or -1 for a single byte)
    const std::vector<std::pair<uint8_t, int>> expected{
        {'1', -1}, {WireByte::Soh, 0}, {WireByte::Stx, 1}, {WireByte::Soh, 2},
        {WireByte::Eot, -1}, {WireByte::Soh, 0}, {'2', -1}};
    ASSERT_EQ(f.size(), expected.size());
    for (size_t i = 0; i < f.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(f[i].byte, expected[i].first);
        EXPECT_EQ(f[i].isBlock ? f[i].number : -1, expected[i].second);
        if (f[i].isBlock) {
            EXPECT_EQ(f[i].writes, 6);
            EXPECT_EQ(f[i].complement, static_cast<uint8_t>(~f[i].number));
            EXPECT_EQ(f[i].crc, Crc16Xmodem(f[i].payload.data(), f[i].payload.size()));
        }
    }
    std::vector<uint8_t> header = HeaderData("fwimg.bin", 1025);
    header.resize(128, 0x00);
    EXPECT_EQ(f[1].payload, header);
    EXPECT_EQ(f[5].payload, std::vector<uint8_t>(128, 0x00));
    EXPECT_EQ(rig.link.ReceivedFile(1025), TestImage(1025));

    EXPECT_EQ(rig.sender.Result(), TransferResult::Success);
    EXPECT_EQ(rig.progress.bytesSent, 1025u);
    const std::vector<std::string> calls{"status Loading Image", "image fwimg.bin", "size 1025",
                                         "finished", "controls", "status Successful", "ok"};
    EXPECT_EQ(rig.progress.calls, calls);
    EXPECT_EQ(rig.link.rts, (std::vector<bool>{false, true})); // off, then the flow setting
}

TEST(SenderCleanRun, TraceNamesEveryStep)
{
    Rig rig;
    rig.Start(1025);
    rig.Run();
    // The "C" that asks for the header is not traced; the one for block 1 is.
    EXPECT_EQ(rig.trace.log, "<SOH> 17 <ACK>\r\n"
                             " First-Block <C>\r\n"
                             "<STX> 1024 <ACK>\r\n"
                             " Next-Block <SOH> 1 <ACK>\r\n"
                             " End-File  EOT <ACK>\r\n"
                             " Last-Block <SOH> 0 ");
}

TEST(SenderBlocks, DataBlockSizesFollowTheRemainingBytes)
{
    struct Case {
        const char *name;
        size_t size;
        bool small;
        std::vector<size_t> payloads;
    };
    const Case cases[] = {
        {"1025 bytes: STX full, SOH with 1", 1025, false, {1024, 128}},
        {"2000 bytes: second STX has 976 and padding", 2000, false, {1024, 1024}},
        {"1024 bytes: a last SOH with no image bytes", 1024, false, {1024, 128}},
        {"1 byte: fits block 1, one more empty block", 1, false, {128, 128}},
        {"small packets: SOH only", 300, true, {128, 128, 128}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.settings.smallPackets = c.small ? 1 : 0;
        rig.Start(c.size);
        rig.Run();
        std::vector<size_t> payloads;
        std::vector<uint8_t> sent;
        for (const Frame *f : rig.link.DataBlocks()) {
            payloads.push_back(f->payload.size());
            sent.insert(sent.end(), f->payload.begin(), f->payload.end());
        }
        EXPECT_EQ(payloads, c.payloads);
        std::vector<uint8_t> padded = TestImage(c.size);
        padded.resize(sent.size(), 0x00);
        EXPECT_EQ(sent, padded);
    }
}

TEST(SenderBlocks, BlockNumbersWrapAfter255)
{
    Rig rig;
    rig.settings.smallPackets = 1;
    rig.Start(256 * 128);
    rig.Run();
    const std::vector<const Frame *> blocks = rig.link.DataBlocks();
    ASSERT_EQ(blocks.size(), 256u);
    EXPECT_EQ(blocks[254]->number, 0xFF);
    EXPECT_EQ(blocks[255]->number, 0x00);
    EXPECT_EQ(blocks[255]->complement, 0xFF);
    EXPECT_EQ(rig.link.ReceivedFile(256 * 128), TestImage(256 * 128));
}

TEST(SenderRetries, NakResendsTheSameThing)
{
    // Frames: 0 "1", 1 header, 2 block 1, 3 block 2, 4 EOT. The header and
    // block 1 go again only after a new "C"; block 2 and EOT at once. The
    // trace goes on after the NAK with what is sent again (and a traced "C").
    const char *traceAfterNak[] = {"", "<SOH>", "<C>\r\n<STX>", "<SOH>", " EOT "};
    for (size_t nakFrame : {1u, 2u, 3u, 4u}) {
        SCOPED_TRACE(nakFrame);
        Rig rig;
        rig.link.answer = AnswerFrame(nakFrame, "\x15");
        rig.Start(1025);
        rig.Run();
        if (nakFrame <= 2) {
            EXPECT_EQ(rig.link.frames.size(), nakFrame + 1);
            EXPECT_EQ(rig.state, static_cast<int32_t>(nakFrame + 1)); // awaiting "C" again
            rig.link.input.push_back('C');
            rig.Run();
        }
        const std::vector<Frame> &f = rig.link.frames;
        ASSERT_GT(f.size(), nakFrame + 1);
        EXPECT_EQ(f[nakFrame + 1].byte, f[nakFrame].byte);
        EXPECT_EQ(f[nakFrame + 1].number, f[nakFrame].number);
        EXPECT_EQ(f[nakFrame + 1].payload, f[nakFrame].payload);
        EXPECT_EQ(rig.sender.Result(), TransferResult::Success);
        EXPECT_EQ(rig.link.ReceivedFile(1025), TestImage(1025));
        EXPECT_NE(rig.trace.log.find(std::string("<NAK>\r\n") + traceAfterNak[nakFrame]),
                  std::string::npos);
    }
}

TEST(SenderRetries, TenNaksInARowEndTheTransfer)
{
    for (int naks : {9, 10}) {
        SCOPED_TRACE(naks);
        Rig rig;
        int given = 0;
        rig.link.answer = [&](const Frame &f, size_t) -> std::optional<std::string> {
            if (f.isBlock && f.number == 2 && given < naks) {
                ++given;
                return "\x15";
            }
            return std::nullopt;
        };
        rig.Start(3000);
        rig.Run();
        EXPECT_EQ(std::count_if(rig.link.frames.begin(), rig.link.frames.end(),
                                [](const Frame &f) { return f.isBlock && f.number == 2; }),
                  10);
        EXPECT_EQ(rig.state, 0);
        if (naks == 9) {
            EXPECT_EQ(rig.sender.Result(), TransferResult::Success);
            continue;
        }
        EXPECT_EQ(rig.sender.Result(), TransferResult::RetryLimit);
        EXPECT_EQ(rig.link.frames.back().number, 2); // nothing sent after it, no CAN
        EXPECT_TRUE(rig.Called("status Too many retries"));
        EXPECT_FALSE(rig.Called("ok"));
        EXPECT_TRUE(rig.TraceEndsWith("<NAK>\r\neRetryError\r\n"));
    }
}

TEST(SenderFailures, CanInAnyWaitingStateAborts)
{
    // frame: whose answer is the CAN; 0 means the CAN comes instead of "C".
    const std::tuple<const char *, size_t, const char *> cases[] = {
        {"awaiting the header request", 0, ""},
        {"awaiting the first data request", 1, "\x06\x18"},
        {"awaiting a reply", 2, "\x18"},
    };
    for (const auto &[name, frame, reply] : cases) {
        SCOPED_TRACE(name);
        Rig rig;
        if (frame == 0)
            rig.link.input.assign({WireByte::Can});
        else
            rig.link.answer = AnswerFrame(frame, reply);
        rig.Start(2000);
        rig.Run();
        EXPECT_EQ(rig.state, 0);
        EXPECT_EQ(rig.sender.Result(), TransferResult::Aborted);
        ASSERT_EQ(rig.link.frames.size(), frame + 3);
        EXPECT_EQ(rig.Count(WireByte::Can), 2u);
        EXPECT_EQ(rig.link.frames.back().byte, WireByte::Can);
        EXPECT_TRUE(rig.Called("status Aborted"));
        EXPECT_FALSE(rig.Called("ok"));
        EXPECT_EQ(rig.Count('2'), 0u);
        EXPECT_TRUE(rig.TraceEndsWith("eAbort\r\n"));
    }
}

TEST(SenderFailures, StrayReplyIsAProtocolError)
{
    Rig rig;
    rig.link.answer = AnswerFrame(2, "C");
    rig.Start(2000);
    rig.Run();
    EXPECT_EQ(rig.state, 0);
    EXPECT_EQ(rig.sender.Result(), TransferResult::ProtocolError);
    EXPECT_EQ(rig.link.frames.size(), 3u); // nothing written after block 1
    EXPECT_TRUE(rig.Called("status Protocol Error"));
    EXPECT_TRUE(rig.TraceEndsWith("<C>\r\neProtocol\r\nSyncError\r\n"));
}

TEST(SenderFailures, OnlyCStartsTheTransfer)
{
    Rig rig;
    rig.link.input.assign({WireByte::Nak, 'x', WireByte::Ack, 'C'});
    rig.Start(10);
    rig.Run();
    EXPECT_EQ(rig.sender.Result(), TransferResult::Success);
    EXPECT_EQ(rig.trace.log.rfind("<SOH> 15 <ACK>", 0), 0u); // dropped bytes untraced
}

TEST(SenderFailures, AbortRequestEndsAtTheNextStep)
{
    Rig rig;
    rig.link.holdReplies = true;
    rig.Start(2000);
    rig.sender.RunReadySteps(rig.state);
    ASSERT_EQ(rig.state, SenderState::AwaitReply);
    rig.sender.RequestAbort();
    rig.sender.RunReadySteps(rig.state);
    EXPECT_EQ(rig.state, 0);
    EXPECT_EQ(rig.sender.Result(), TransferResult::Aborted);
    EXPECT_FALSE(rig.sender.AbortRequested());
    EXPECT_EQ(rig.Count(WireByte::Can), 2u);
}

TEST(SenderStart, RefusesAFileNameTheHeaderCannotHold)
{
    Rig rig;
    rig.settings.downloadFilename = std::string(120, 'a'); // 120 + 5 digits + 4 > 128
    rig.sender.RequestAbort();
    EXPECT_EQ(rig.sender.Start(TestImage(65536), rig.state), StartResult::FileNameTooLong);
    EXPECT_EQ(rig.state, 0);
    EXPECT_TRUE(rig.sender.AbortRequested());
    rig.sender.RunReadySteps(rig.state);
    EXPECT_TRUE(rig.link.frames.empty());
}

TEST(SenderFastStepping, AReplyLetsTheNextBlockGoAtOnce)
{
    Rig rig;
    rig.link.holdReplies = true;
    rig.link.answer = AnswerFrame(2, "\xC3\xFF\x06"); // bytes above 0x7F read as nothing
    rig.Start(4000);
    // "1", then the waiting "C" is read and the header goes; its ACK is held.
    EXPECT_EQ(rig.sender.RunReadySteps(rig.state), 3);
    EXPECT_EQ(rig.link.frames.size(), 2u);
    EXPECT_EQ(rig.sender.RunReadySteps(rig.state), 1); // nothing to read: one look
    for (size_t frames = 3; frames <= 5; ++frames) {
        rig.link.ReleaseReplies();
        rig.sender.RunReadySteps(rig.state);
        EXPECT_EQ(rig.link.frames.size(), frames);
        EXPECT_EQ(rig.state, SenderState::AwaitReply);
    }
}

TEST(SenderFastStepping, EachCallIsBounded)
{
    Rig rig;
    rig.Start(100000);
    EXPECT_EQ(rig.sender.RunReadySteps(rig.state, {5, std::chrono::seconds(10)}), 5);
    EXPECT_NE(rig.state, 0);
    for (int calls = 0; rig.state != 0 && calls < 1000; ++calls)
        EXPECT_LE(rig.sender.RunReadySteps(rig.state), StepBudget{}.maxSteps);
    EXPECT_EQ(rig.link.ReceivedFile(100000), TestImage(100000));
}

TEST(SenderFastStepping, AStepEnteredFromInsideAWriteDoesNothing)
{
    // As when a write error's message box runs the poll timer.
    Rig rig;
    int nested = 0;
    rig.link.onWrite = [&] { nested += rig.sender.Step(rig.state) ? 1 : 0; };
    rig.Start(2000);
    rig.Run();
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(rig.link.ReceivedFile(2000), TestImage(2000));
}
