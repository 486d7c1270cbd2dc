// The sender's state machine against a scripted receiver: what goes on the
// wire, in which order, and how each failure ends.

#include "ScriptedReceiver.h"

#include "transfer/Crc16.h"
#include "transfer/YmodemBlock.h"
#include "transfer/YmodemSender.h"

#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> TestImage(size_t size)
{
    std::vector<uint8_t> image(size);
    for (size_t i = 0; i < size; ++i)
        image[i] = static_cast<uint8_t>(i * 7 + 3);
    return image;
}

struct Rig {
    ScriptedReceiver link;
    ProgressRecorder progress;
    TraceRecorder trace;
    Settings settings;
    YmodemSender sender{link, progress, trace, settings};
    int32_t state = 0;

    void Start(size_t size)
    {
        ASSERT_EQ(sender.Start(TestImage(size), state), StartResult::Started);
    }
    // Steps until the transfer ends or stalls in a waiting state.
    void Run()
    {
        for (int i = 0; i < 100000 && state != 0; ++i)
            if (!sender.Step(state))
                return;
    }
    size_t Count(uint8_t byte) const
    {
        size_t n = 0;
        for (const Frame &f : link.frames)
            n += !f.isBlock && f.byte == byte;
        return n;
    }
    bool Called(const std::string &call) const
    {
        return std::find(progress.calls.begin(), progress.calls.end(), call) !=
               progress.calls.end();
    }
};

// Every block is well formed: six writes, complement, CRC over the payload.
void ExpectWellFormed(const Frame &f)
{
    EXPECT_EQ(f.writes, 6);
    EXPECT_EQ(f.payload.size(), f.payloadSize);
    EXPECT_EQ(f.complement, static_cast<uint8_t>(~f.number));
    EXPECT_EQ(f.crc, Crc16Xmodem(f.payload.data(), f.payload.size()));
}

} // namespace

TEST(SenderCleanRun, WritesStartHeaderDataEotEndOfBatchAndDone)
{
    Rig rig;
    rig.Start(1025);
    rig.Run();

    ASSERT_EQ(rig.state, 0);
    const std::vector<Frame> &f = rig.link.frames;
    ASSERT_EQ(f.size(), 7u);
    EXPECT_FALSE(f[0].isBlock);
    EXPECT_EQ(f[0].byte, '1');
    std::vector<uint8_t> header = HeaderData("fwimg.bin", 1025);
    header.resize(128, 0x00);
    EXPECT_EQ(f[1].byte, WireByte::Soh);
    EXPECT_EQ(f[1].number, 0);
    EXPECT_EQ(f[1].payload, header);
    EXPECT_EQ(f[2].byte, WireByte::Stx);
    EXPECT_EQ(f[2].number, 1);
    EXPECT_EQ(f[3].byte, WireByte::Soh);
    EXPECT_EQ(f[3].number, 2);
    EXPECT_EQ(f[4].byte, WireByte::Eot);
    EXPECT_EQ(f[4].writes, 1);
    EXPECT_EQ(f[5].byte, WireByte::Soh);
    EXPECT_EQ(f[5].number, 0);
    EXPECT_EQ(f[5].payload, std::vector<uint8_t>(128, 0x00));
    EXPECT_EQ(f[5].crc, 0x0000);
    EXPECT_EQ(f[6].byte, '2');
    for (const Frame &frame : f)
        if (frame.isBlock)
            ExpectWellFormed(frame);

    EXPECT_EQ(rig.link.ReceivedName(), "fwimg.bin");
    EXPECT_EQ(rig.link.ReceivedFile(), TestImage(1025));
    EXPECT_EQ(rig.sender.Result(), TransferResult::Success);
    EXPECT_EQ(rig.progress.bytesSent, 1025u);
    const std::vector<std::string> expected{"status Loading Image", "image fwimg.bin", "size 1025",
                                            "finished", "controls", "status Successful", "ok"};
    EXPECT_EQ(rig.progress.calls, expected);
    EXPECT_EQ(rig.link.rts, (std::vector<bool>{false, true}));
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

TEST(SenderCleanRun, RestoresRtsFromFlowSetting)
{
    Rig rig;
    rig.settings.flowEnabled = 0;
    rig.Start(10);
    rig.Run();
    EXPECT_EQ(rig.link.rts, (std::vector<bool>{false, false}));
}

TEST(SenderBlocks, DataBlockSizesFollowTheRemainingBytes)
{
    struct Case {
        const char *name;
        size_t size;
        bool small;
        std::vector<uint32_t> payloads;
    };
    const Case cases[] = {
        {"1025 bytes: STX full, SOH with 1", 1025, false, {1024, 128}},
        {"2000 bytes: second STX has 976 and padding", 2000, false, {1024, 1024}},
        {"1024 bytes: a last SOH with no image bytes", 1024, false, {1024, 128}},
        {"129 bytes: STX, then an empty SOH", 129, false, {1024, 128}},
        {"1 byte: fits block 1, one more empty block", 1, false, {128, 128}},
        {"small packets: SOH only", 300, true, {128, 128, 128}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.settings.smallPackets = c.small ? 1 : 0;
        rig.Start(c.size);
        rig.Run();
        std::vector<uint32_t> payloads;
        std::vector<uint8_t> sent;
        for (const Frame *f : rig.link.DataBlocks()) {
            ExpectWellFormed(*f);
            payloads.push_back(f->payloadSize);
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
    EXPECT_EQ(rig.link.ReceivedFile(), TestImage(256 * 128));
}

TEST(SenderRetries, NakResendsWhatItAnswers)
{
    // Frames: 0 "1", 1 header, 2 block 1, 3 block 2, 4 EOT.
    struct Case {
        const char *name;
        size_t nakFrame;
    };
    const Case cases[] = {{"data block 2", 3}, {"EOT", 4}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.link.answer = [&](const Frame &, size_t index) -> std::optional<std::string> {
            if (index == c.nakFrame)
                return std::string("\x15");
            return std::nullopt;
        };
        rig.Start(1025);
        rig.Run();
        const std::vector<Frame> &f = rig.link.frames;
        ASSERT_GT(f.size(), c.nakFrame + 1);
        EXPECT_EQ(f[c.nakFrame + 1].byte, f[c.nakFrame].byte);
        EXPECT_EQ(f[c.nakFrame + 1].number, f[c.nakFrame].number);
        EXPECT_EQ(f[c.nakFrame + 1].payload, f[c.nakFrame].payload);
        EXPECT_EQ(rig.sender.Result(), TransferResult::Success);
        EXPECT_EQ(rig.link.ReceivedFile(), TestImage(1025));
        EXPECT_NE(rig.trace.log.find("<NAK>\r\n" + std::string(c.nakFrame == 4 ? " EOT " : "<SOH>")),
                  std::string::npos);
    }
}

TEST(SenderRetries, NakBeforeBlockTwoWaitsForANewRequest)
{
    // Frames: 0 "1", 1 header, 2 block 1. Each is sent again only after a "C".
    for (size_t nakFrame : {1u, 2u}) {
        SCOPED_TRACE(nakFrame);
        Rig rig;
        rig.link.answer = [&](const Frame &, size_t index) -> std::optional<std::string> {
            if (index == nakFrame)
                return std::string("\x15");
            return std::nullopt;
        };
        rig.Start(10);
        rig.Run();
        EXPECT_EQ(rig.state, nakFrame == 1 ? SenderState::AwaitHeaderRequest
                                           : SenderState::AwaitFirstDataRequest);
        EXPECT_EQ(rig.link.frames.size(), nakFrame + 1);
        rig.link.input.push_back('C');
        rig.Run();
        ASSERT_GT(rig.link.frames.size(), nakFrame + 1);
        EXPECT_EQ(rig.link.frames[nakFrame + 1].number, rig.link.frames[nakFrame].number);
        EXPECT_EQ(rig.sender.Result(), TransferResult::Success);
    }
}

TEST(SenderRetries, TenNaksInARowEndTheTransfer)
{
    struct Case {
        int naks;
        TransferResult result;
    };
    for (const Case &c : {Case{9, TransferResult::Success}, Case{10, TransferResult::RetryLimit}}) {
        SCOPED_TRACE(c.naks);
        Rig rig;
        int naked = 0;
        rig.link.answer = [&](const Frame &f, size_t) -> std::optional<std::string> {
            if (f.isBlock && f.number == 2 && naked < c.naks) {
                ++naked;
                return std::string("\x15");
            }
            return std::nullopt;
        };
        rig.Start(3000);
        rig.Run();
        size_t block2 = 0;
        for (const Frame &f : rig.link.frames)
            block2 += f.isBlock && f.number == 2;
        EXPECT_EQ(block2, 10u);
        EXPECT_EQ(rig.sender.Result(), c.result);
        EXPECT_EQ(rig.state, 0);
        if (c.result == TransferResult::RetryLimit) {
            EXPECT_EQ(rig.link.frames.back().number, 2);
            EXPECT_EQ(rig.Count(WireByte::Can), 0u);
            EXPECT_TRUE(rig.Called("status Too many retries"));
            EXPECT_FALSE(rig.Called("ok"));
            EXPECT_EQ(rig.trace.log.substr(rig.trace.log.size() - 13), "eRetryError\r\n");
        }
    }
}

TEST(SenderFailures, CanInAnyWaitingStateAborts)
{
    struct Case {
        const char *name;
        size_t frame; // the frame whose answer is CAN; 0 for the start
        const char *reply;
    };
    const Case cases[] = {
        {"awaiting the header request", 0, ""},
        {"awaiting the first data request", 1, "\x06\x18"},
        {"awaiting a reply", 2, "\x18"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        if (c.frame == 0) {
            rig.link.input.assign({WireByte::Can});
        } else {
            rig.link.answer = [&](const Frame &, size_t index) -> std::optional<std::string> {
                if (index == c.frame)
                    return std::string(c.reply);
                return std::nullopt;
            };
        }
        rig.Start(2000);
        rig.Run();
        EXPECT_EQ(rig.state, 0);
        EXPECT_EQ(rig.sender.Result(), TransferResult::Aborted);
        ASSERT_EQ(rig.link.frames.size(), c.frame + 3);
        EXPECT_EQ(rig.Count(WireByte::Can), 2u);
        EXPECT_EQ(rig.link.frames.back().byte, WireByte::Can);
        EXPECT_TRUE(rig.Called("status Aborted"));
        EXPECT_FALSE(rig.Called("ok"));
        EXPECT_EQ(rig.Count('2'), 0u);
        EXPECT_EQ(rig.trace.log.substr(rig.trace.log.size() - 8), "eAbort\r\n");
    }
}

TEST(SenderFailures, StrayReplyIsAProtocolError)
{
    Rig rig;
    rig.link.answer = [](const Frame &, size_t index) -> std::optional<std::string> {
        if (index == 2)
            return std::string("C");
        return std::nullopt;
    };
    rig.Start(2000);
    rig.Run();
    EXPECT_EQ(rig.state, 0);
    EXPECT_EQ(rig.sender.Result(), TransferResult::ProtocolError);
    EXPECT_EQ(rig.link.frames.size(), 3u); // nothing written after block 1
    EXPECT_TRUE(rig.Called("status Protocol Error"));
    EXPECT_NE(rig.trace.log.find("<C>\r\neProtocol\r\nSyncError\r\n"), std::string::npos);
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
    rig.Start(3000);
    // "1", then the waiting "C" is read and the header goes; its ACK is held.
    EXPECT_EQ(rig.sender.RunReadySteps(rig.state), 3);
    EXPECT_EQ(rig.link.frames.size(), 2u);
    EXPECT_EQ(rig.state, SenderState::AwaitReply);
    EXPECT_EQ(rig.sender.RunReadySteps(rig.state), 1); // nothing to read: one look
    for (size_t blocks = 3; blocks <= 5; ++blocks) {
        rig.link.ReleaseReplies();
        rig.sender.RunReadySteps(rig.state);
        EXPECT_EQ(rig.link.frames.size(), blocks);
        EXPECT_EQ(rig.state, SenderState::AwaitReply);
    }
}

TEST(SenderFastStepping, BytesAbove7FDoNotStallIt)
{
    Rig rig;
    rig.link.holdReplies = true;
    rig.link.answer = [](const Frame &, size_t index) -> std::optional<std::string> {
        if (index == 2)
            return std::string("\xC3\xFF\x06");
        return std::nullopt;
    };
    rig.Start(3000);
    rig.sender.RunReadySteps(rig.state);
    rig.link.ReleaseReplies();
    rig.sender.RunReadySteps(rig.state); // header ACK, "C", block 1
    rig.link.ReleaseReplies();
    rig.sender.RunReadySteps(rig.state); // two dropped bytes, ACK, block 2
    EXPECT_EQ(rig.link.frames.size(), 4u);
    EXPECT_EQ(rig.link.frames.back().number, 2);
}

TEST(SenderFastStepping, EachCallIsBounded)
{
    Rig rig;
    rig.Start(100000);
    EXPECT_EQ(rig.sender.RunReadySteps(rig.state, {5, std::chrono::seconds(10)}), 5);
    EXPECT_NE(rig.state, 0);
    int calls = 1;
    while (rig.state != 0 && calls < 1000) {
        EXPECT_LE(rig.sender.RunReadySteps(rig.state), StepBudget{}.maxSteps);
        ++calls;
    }
    EXPECT_EQ(rig.sender.Result(), TransferResult::Success);
    EXPECT_EQ(rig.link.ReceivedFile(), TestImage(100000));
}

TEST(SenderFastStepping, AStepEnteredFromInsideAWriteDoesNothing)
{
    Rig rig;
    int nested = 0;
    rig.link.onWrite = [&] { nested += rig.sender.Step(rig.state) ? 1 : 0; };
    rig.Start(2000);
    rig.Run();
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(rig.sender.Result(), TransferResult::Success);
    EXPECT_EQ(rig.link.ReceivedFile(), TestImage(2000));
}
