// Throughput of the firmware download sender against lrzsz's rb over a pty,
// stepped on every reply as the main window steps it. The timed part is the
// run of data blocks from the first block's ACK to the ACK of the one before
// the last: rb holds its answer to the last block for a second, and the
// start and the end of the batch are rb's time as well.
//
// Arguments: small packets (0/1), and the delay in microseconds before the
// sender answers a reply. At 0 rb on a pty loses the start of a block now and
// then and stalls for one to six seconds before its NAK (see FdSerialLink.h);
// the "retries" counter shows how often that happened. Small packets at 0
// take minutes for that reason and are left out.

#include "FdSerialLink.h"
#include "RbPeer.h"
#include "transfer/YmodemBlock.h"

#include <benchmark/benchmark.h>

namespace {

constexpr uint32_t kImageSize = 262144;

// Times the ACKs of data blocks: the first, and the one before the last.
class TimedProgress : public TransferProgress {
public:
    std::chrono::steady_clock::time_point first{}, beforeLast{}, last{};
    uint32_t firstBytes = 0, beforeLastBytes = 0, lastBytes = 0;
    void ShowBytesSent(uint32_t bytes) override
    {
        if (bytes == 0)
            return;
        beforeLast = last;
        beforeLastBytes = lastBytes;
        last = std::chrono::steady_clock::now();
        lastBytes = bytes;
        if (firstBytes == 0) {
            first = last;
            firstBytes = bytes;
        }
    }
    void ShowStatusText(const std::string &) override {}
    void ShowImageName(const std::string &) override {}
    void ShowFileSize(uint32_t) override {}
    void ShowPacket(uint32_t) override {}
    void ShowFinishedView() override {}
    void RunOkAction() override {}
    void UpdateControlStates() override {}
};

// Counts the NAKs: blocks that rb lost and the sender sent again.
class NakCounter : public TraceSink {
public:
    uint64_t naks = 0;
    void TraceText(std::string_view) override {}
    void TraceControlByte(uint8_t byte) override { naks += byte == WireByte::Nak; }
};

void SenderToRb(benchmark::State &state)
{
    Settings settings;
    settings.smallPackets = static_cast<uint32_t>(state.range(0));
    const std::chrono::microseconds answerDelay(state.range(1));
    const std::vector<uint8_t> image(kImageSize, 0x5A);
    uint64_t timedBytes = 0;
    uint64_t retries = 0;
    for (auto _ : state) {
        RbPeer rb;
        FdSerialLink link(rb.SenderFd(), answerDelay, std::chrono::milliseconds(50));
        TimedProgress progress;
        NakCounter trace;
        SteadyTickClock clock;
    YmodemSender sender(link, progress, trace, settings, clock);
        int32_t transferState = 0;
        sender.Start(image, transferState);
        sender.Step(transferState);
        if (!rb.ok() || !rb.Launch()) {
            state.SkipWithError("could not start rb on a pty");
            break;
        }
        if (!DriveTransfer(sender, transferState, rb.SenderFd(), std::chrono::seconds(120)) ||
            sender.Result() != TransferResult::Success) {
            state.SkipWithError("transfer failed");
            break;
        }
        state.SetIterationTime(
            std::chrono::duration<double>(progress.beforeLast - progress.first).count());
        timedBytes += progress.beforeLastBytes - progress.firstBytes;
        retries += trace.naks;
    }
    state.SetBytesProcessed(static_cast<int64_t>(timedBytes));
    state.counters["retries"] = static_cast<double>(retries);
}

} // namespace

BENCHMARK(SenderToRb)
    ->ArgNames({"small", "delay_us"})
    ->Args({0, 0})
    ->Args({0, 200})
    ->Args({1, 200})
    ->Args({0, 1000})
    ->Args({1, 1000})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
