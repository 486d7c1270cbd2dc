// The sender against a real receiver: lrzsz's rb over a pty, driven as the
// main window drives it (a step on every reply, and on a 100 ms tick). What
// rb writes must be the image, byte for byte: the header's size cuts off the
// padding of the last block.

#include "FdSerialLink.h"
#include "RbPeer.h"
#include "ScriptedReceiver.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

std::vector<uint8_t> NoisyImage(size_t size)
{
    std::vector<uint8_t> image(size);
    uint32_t x = 12345;
    for (uint8_t &b : image) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    return image;
}

struct InteropCase {
    size_t size;
    bool smallPackets;
};

class InteropWithRb : public ::testing::TestWithParam<InteropCase> {};

} // namespace

TEST_P(InteropWithRb, ReceivesTheImageByteForByte)
{
    if (std::system("command -v rb >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "lrzsz's rb is not installed";
    RbPeer rb;
    ASSERT_TRUE(rb.ok());
    FdSerialLink link(rb.SenderFd(), std::chrono::milliseconds(2), std::chrono::milliseconds(50));
    ProgressRecorder progress;
    TraceRecorder trace;
    Settings settings;
    settings.smallPackets = GetParam().smallPackets ? 1 : 0;
    YmodemSender sender(link, progress, trace, settings);
    int32_t state = 0;
    const std::vector<uint8_t> image = NoisyImage(GetParam().size);
    ASSERT_EQ(sender.Start(image, state), StartResult::Started);
    sender.Step(state); // the "1", before rb runs
    ASSERT_TRUE(rb.Launch());

    const bool ended = DriveTransfer(sender, state, rb.SenderFd(), std::chrono::seconds(60));
    const std::string trail = trace.log.substr(trace.log.size() - std::min<size_t>(trace.log.size(), 200));
    ASSERT_TRUE(ended) << rb.Log() << "\ntrace ends: " << trail;
    EXPECT_EQ(ResultText(sender.Result()), std::string("Successful"))
        << rb.Log() << "\ntrace ends: " << trail;
    EXPECT_EQ(rb.ReceivedFile("fwimg.bin", image.size(), std::chrono::seconds(5)), image);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, InteropWithRb,
    ::testing::Values(InteropCase{1, false}, InteropCase{128, false}, InteropCase{129, false},
                      InteropCase{1024, false}, InteropCase{1025, false},
                      InteropCase{300000, false}, InteropCase{1, true}, InteropCase{128, true},
                      InteropCase{129, true}, InteropCase{1024, true}, InteropCase{1025, true},
                      InteropCase{300000, true}),
    [](const ::testing::TestParamInfo<InteropCase> &info) {
        return std::to_string(info.param.size) + (info.param.smallPackets ? "_small" : "_large");
    });
