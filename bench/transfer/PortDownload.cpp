#include "PortDownload.h"

#include "serial/CSerialPort.h"
#include "transfer/YmodemBlock.h"

#include <QEventLoop>
#include <QTimer>
#include <algorithm>

namespace {
using Clock = std::chrono::steady_clock;

// The port as the sender sees it, noting when the first write (the "1") and
// the latest write (in the end the "2") returned, and how long after the
// latest arrival of bytes the sender wrote again.
class StampedLink : public SerialLink {
public:
    explicit StampedLink(SerialLink &port) : port_(port) {}
    void NoteArrival()
    {
        arrivedAt_ = Clock::now();
        answerPending_ = true;
    }
    int32_t BytesWaiting() override { return port_.BytesWaiting(); }
    int32_t ReadByte() override { return port_.ReadByte(); }
    uint32_t ReadBlock(uint8_t *buffer, int32_t max) override { return port_.ReadBlock(buffer, max); }
    int32_t WriteBytes(const uint8_t *buffer, uint32_t count) override
    {
        if (answerPending_) {
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - arrivedAt_).count();
            turnaroundSumMs += ms;
            turnaroundMaxMs = std::max(turnaroundMaxMs, ms);
            ++turnarounds;
            answerPending_ = false;
        }
        const int32_t written = port_.WriteBytes(buffer, count);
        lastWrite = Clock::now();
        if (firstWrite == Clock::time_point{})
            firstWrite = lastWrite;
        return written;
    }
    void SetRtsHandshake(bool on) override { port_.SetRtsHandshake(on); }

    Clock::time_point firstWrite{}, lastWrite{};
    double turnaroundSumMs = 0, turnaroundMaxMs = 0;
    uint32_t turnarounds = 0;

private:
    SerialLink &port_;
    Clock::time_point arrivedAt_{};
    bool answerPending_ = false;
};

// What the loader window would show; the status line is kept.
class StatusProgress : public TransferProgress {
public:
    void ShowStatusText(const std::string &text) override { status = text; }
    void ShowImageName(const std::string &) override {}
    void ShowFileSize(uint32_t) override {}
    void ShowBytesSent(uint32_t) override {}
    void ShowPacket(uint32_t) override {}
    void ShowFinishedView() override {}
    void RunOkAction() override {}
    void UpdateControlStates() override {}
    std::string status;
};

// Keeps the trace as the debug screen would, and counts the NAKs in it.
class RecordingTrace : public TraceSink {
public:
    void TraceText(std::string_view text) override { trace.append(text); }
    void TraceControlByte(uint8_t byte) override
    {
        naks += byte == WireByte::Nak;
        trace.push_back(static_cast<char>(byte));
    }
    std::string trace;
    uint32_t naks = 0;
};
} // namespace

PortDownloadResult RunPortDownload(const PortDownloadSetup &setup, std::vector<uint8_t> image)
{
    PortDownloadResult out;
    MessageRecorder messages;
    CSerialPort port(messages);
    if (!port.OpenPort(setup.port, setup.baud, false)) {
        out.messages = messages.messages;
        return out;
    }
    Settings settings;
    settings.downloadFilename = setup.fileName;
    settings.smallPackets = setup.smallPackets ? 1 : 0;
    settings.flowEnabled = 0;
    StampedLink link(port);
    StatusProgress progress;
    RecordingTrace trace;
    SteadyTickClock clock;
    YmodemSender sender(link, progress, trace, settings, clock);
    int32_t state = 0;

    QEventLoop loop;
    auto finishedReading = [&] {
        if (state != 0)
            return false;
        if (sender.Result() != TransferResult::Success)
            return true;
        uint8_t buffer[256];
        while (const uint32_t n = port.ReadBlock(buffer, sizeof buffer))
            out.afterDone.append(reinterpret_cast<const char *>(buffer), n);
        return out.afterDone.find(setup.awaitText) != std::string::npos;
    };
    auto step = [&] {
        if (state != 0)
            sender.RunReadySteps(state);
        if (finishedReading())
            loop.quit();
    };
    QObject::connect(&port, &CSerialPort::BytesArrived, &loop, [&link] { link.NoteArrival(); });
    QObject::connect(&port, &CSerialPort::BytesArrived, &loop, step);
    QTimer poll;
    poll.setInterval(100);
    QObject::connect(&poll, &QTimer::timeout, &loop, step);
    QTimer::singleShot(std::chrono::duration_cast<std::chrono::milliseconds>(setup.limit), &loop,
                       &QEventLoop::quit);
    if (setup.afterStart)
        QTimer::singleShot(setup.afterStartDelay, &loop, setup.afterStart);

    sender.Start(std::move(image), state);
    poll.start();
    step();
    loop.exec();

    out.ended = state == 0;
    out.result = sender.Result();
    out.startSent = link.firstWrite;
    out.doneSent = link.lastWrite;
    out.naks = trace.naks;
    out.status = progress.status;
    out.trace = std::move(trace.trace);
    if (link.turnarounds > 0)
        out.turnaroundMeanMs = link.turnaroundSumMs / link.turnarounds;
    out.turnaroundMaxMs = link.turnaroundMaxMs;
    out.messages = messages.messages;
    return out;
}
