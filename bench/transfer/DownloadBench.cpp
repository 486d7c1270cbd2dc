// The firmware download over an emulated serial line (verrin-line), sent by
// CSerialPort and YmodemSender stepped as the main window steps them.
//
//  - to the virtual module: the time from the "1" to the "2" as the sender
//    writes them, with the module's boot banner checked against the image;
//    target at least 95% of the line's byte rate with 1024-byte blocks.
//  - to lrzsz's rb, and lrzsz's sb to the same rb over the same line in the
//    same run: both timed at rb from the header block coming in to rb's ACK
//    of EOT; target ours no slower than 1.03 x sb.
//
//   build/bench/transfer/download_bench [--runs N] [--rate BAUD] [--latency MS]
//       [--size BYTES] [--peer sim|rb|all] [--blocks 1k|128|all] [--line-program PATH]

#include "BenchSystem.h"
#include "EmulatedLine.h"
#include "PortDownload.h"
#include "RbPeer.h"
#include "ReceiverTap.h"
#include "SbProcess.h"
#include "support/SimProcess.h"
#include "transfer/YmodemBlock.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <random>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;
const std::string kFileName = "image.bin";

struct Options {
    int runs = 2;
    int baud = 115200;
    int latencyMs = 1;
    uint32_t size = 262144;
    QString lineProgram; // empty: the build's verrin-line
    bool sim = true, rb = true;
    std::vector<bool> smallPackets{false, true};
};

double Seconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

std::vector<uint8_t> MakeImage(uint32_t size)
{
    std::mt19937 random(20251126);
    std::vector<uint8_t> image(size);
    for (uint8_t &byte : image)
        byte = static_cast<uint8_t>(random());
    return image;
}

uint32_t Crc32(const std::vector<uint8_t> &data)
{
    uint32_t crc = 0xFFFFFFFF;
    for (const uint8_t byte : data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
    }
    return ~crc;
}

// The best a stop-and-wait sender can do on this line: each block's bytes
// and its one-byte ACK at the byte rate, plus the latency both ways.
double CeilingFraction(const Options &o, bool small)
{
    const double payload = small ? kSmallPayload : kLargePayload;
    const double perBlock =
        (payload + kBlockOverhead + 1) * 10.0 / o.baud + 2 * o.latencyMs / 1000.0;
    return payload / perBlock / (o.baud / 10.0);
}

const char *BlocksName(bool small) { return small ? "128" : "1K"; }

// Ideal time from one block's first byte to the next one's at the receiver.
double IdealCycleMs(const Options &o, bool small)
{
    const double payload = small ? kSmallPayload : kLargePayload;
    return (payload + kBlockOverhead + 1) * 10000.0 / o.baud + 2 * o.latencyMs;
}

struct Figure {
    bool ok = false;
    double seconds = 0;
    uint32_t naks = 0;
    double cycleMs = 0;              // mean data block cycle at the receiver
    double turnMeanMs = -1, turnMaxMs = 0; // our sender's turnaround (-1: not ours)
    std::string note;
};

// The receiver's view: mean time between the first bytes of data blocks.
void TakeMarks(Figure &f, const ReceiverTap::Marks &marks)
{
    f.naks = marks.naks;
    if (marks.dataBlocks > 1)
        f.cycleMs = std::chrono::duration<double, std::milli>(*marks.lastData - *marks.firstData).count() /
                    (marks.dataBlocks - 1);
}

void TakeTurnaround(Figure &f, const PortDownloadResult &r)
{
    f.turnMeanMs = r.turnaroundMeanMs;
    f.turnMaxMs = r.turnaroundMaxMs;
}

// Why a run of ours failed: the loader's status and the end of the trace.
std::string FailureNote(const PortDownloadResult &r)
{
    const size_t tail = std::min<size_t>(r.trace.size(), 300);
    std::string note = "failed: \"" + r.status + "\", trace ends \"" +
                       r.trace.substr(r.trace.size() - tail) + "\"";
    for (const RecordedMessage &m : r.messages)
        note += ", message \"" + m.text + "\"";
    return note;
}

// Ours to the virtual module, "1" to "2".
Figure SenderToSim(const Options &o, const std::vector<uint8_t> &image, bool small)
{
    Figure f;
    EmulatedLine line(o.baud, o.latencyMs, o.lineProgram);
    SimProcess sim({});
    const int simFd = sim.Port().isEmpty() ? -1 : OpenRaw(sim.Port());
    if (!line.ok() || simFd < 0) {
        f.note = "could not start the line or the module";
        return f;
    }
    {
        ReceiverTap tap(line.EndB().toStdString(), simFd);
        PortDownloadSetup setup;
        setup.port = line.EndA();
        setup.baud = o.baud;
        setup.fileName = kFileName;
        setup.smallPackets = small;
        setup.awaitText = "Version";
        const PortDownloadResult r = RunPortDownload(setup, image);
        f.seconds = Seconds(r.startSent, r.doneSent);
        TakeMarks(f, tap.Snapshot());
        TakeTurnaround(f, r);
        char banner[96];
        std::snprintf(banner, sizeof banner, "Boot: image %u bytes, CRC32 %08X", o.size, Crc32(image));
        f.ok = r.ended && r.result == TransferResult::Success &&
               r.afterDone.find(banner) != std::string::npos && r.messages.empty();
        if (!f.ok)
            f.note = FailureNote(r) + ", module said \"" + r.afterDone + "\"";
    }
    ::close(simFd);
    return f;
}

// Ours to rb, header to rb's ACK of EOT.
Figure SenderToRb(const Options &o, const std::vector<uint8_t> &image, bool small)
{
    Figure f;
    EmulatedLine line(o.baud, o.latencyMs, o.lineProgram);
    RbPeer rb;
    if (!line.ok() || !rb.ok()) {
        f.note = "could not start the line or rb";
        return f;
    }
    ReceiverTap tap(line.EndB().toStdString(), rb.SenderFd());
    PortDownloadSetup setup;
    setup.port = line.EndA();
    setup.baud = o.baud;
    setup.fileName = kFileName;
    setup.smallPackets = small;
    // rb throws away what waits when it starts: the "1" is gone by then.
    setup.afterStart = [&rb] { rb.Launch(); };
    setup.afterStartDelay = std::chrono::milliseconds(200);
    const PortDownloadResult r = RunPortDownload(setup, image);
    const bool received = rb.ReceivedFile(kFileName, image.size(), std::chrono::seconds(5)) == image;
    const ReceiverTap::Marks marks = tap.Snapshot();
    f.ok = r.ended && r.result == TransferResult::Success && received && marks.header && marks.eotAck;
    if (f.ok)
        f.seconds = Seconds(*marks.header, *marks.eotAck);
    else
        f.note = FailureNote(r) + (received ? "" : ", file differs") + "\n" + rb.Log();
    TakeMarks(f, marks);
    TakeTurnaround(f, r);
    return f;
}

// lrzsz's sb to rb, header to rb's ACK of EOT.
Figure SbToRb(const Options &o, const std::vector<uint8_t> &image, bool small)
{
    Figure f;
    QTemporaryDir folder;
    QFile file(folder.filePath(QString::fromStdString(kFileName)));
    if (!folder.isValid() || !file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char *>(image.data()), image.size()) != qint64(image.size())) {
        f.note = "could not write the image";
        return f;
    }
    file.close();
    EmulatedLine line(o.baud, o.latencyMs, o.lineProgram);
    RbPeer rb;
    if (!line.ok() || !rb.ok()) {
        f.note = "could not start the line or rb";
        return f;
    }
    ReceiverTap tap(line.EndB().toStdString(), rb.SenderFd());
    SbProcess sb(folder.path().toStdString(), kFileName, line.EndA().toStdString(), o.baud, !small);
    QThread::msleep(200);
    rb.Launch();
    const bool received = rb.ReceivedFile(kFileName, image.size(), std::chrono::seconds(180)) == image;
    // The file is complete before rb ACKs EOT; wait for that ACK.
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!tap.Snapshot().eotAck && Clock::now() < deadline)
        QThread::msleep(5);
    sb.Wait(std::chrono::seconds(5));
    const ReceiverTap::Marks marks = tap.Snapshot();
    f.ok = received && marks.header && marks.eotAck;
    if (f.ok)
        f.seconds = Seconds(*marks.header, *marks.eotAck);
    else
        f.note = std::string("failed") + (received ? "" : ", file differs") + "\n" + rb.Log();
    TakeMarks(f, marks);
    return f;
}

bool Parse(QCoreApplication &app, Options &o)
{
    QCommandLineParser parser;
    parser.setApplicationDescription("Times the firmware download over an emulated serial line.");
    parser.addHelpOption();
    const QCommandLineOption runs("runs", "Runs of each measurement; default 2.", "N", "2");
    const QCommandLineOption rate("rate", "Line rate in baud; default 115200.", "BAUD", "115200");
    const QCommandLineOption latency("latency", "One-way latency in ms; default 1.", "MS", "1");
    const QCommandLineOption size("size", "Image size in bytes; default 262144.", "BYTES", "262144");
    const QCommandLineOption peer("peer", "sim, rb or all; default all.", "PEER", "all");
    const QCommandLineOption blocks("blocks", "1k, 128 or all; default all.", "SIZE", "all");
    const QCommandLineOption line("line-program",
                                  "Line emulator to run instead of verrin-line (same options).", "PATH");
    parser.addOptions({runs, rate, latency, size, peer, blocks, line});
    parser.process(app);
    o.runs = parser.value(runs).toInt();
    o.baud = parser.value(rate).toInt();
    o.latencyMs = parser.value(latency).toInt();
    o.size = parser.value(size).toUInt();
    o.lineProgram = parser.value(line);
    const QString p = parser.value(peer), b = parser.value(blocks);
    o.sim = p == "sim" || p == "all";
    o.rb = p == "rb" || p == "all";
    if (b == "1k")
        o.smallPackets = {false};
    else if (b == "128")
        o.smallPackets = {true};
    return o.runs > 0 && o.baud > 0 && o.latencyMs >= 0 && o.size > 0 && (o.sim || o.rb) &&
           (b == "1k" || b == "128" || b == "all");
}

void Report(const char *what, bool small, int run, const Figure &f, uint32_t size, int baud)
{
    if (!f.ok) {
        std::printf("%-12s %-4s run %d: %s\n", what, BlocksName(small), run, f.note.c_str());
        return;
    }
    const double rate = size / f.seconds;
    std::printf("%-12s %-4s run %d: %7.3f s  %6.0f B/s  %5.1f%% of the line  NAKs %u  block cycle %.2f ms",
                what, BlocksName(small), run, f.seconds, rate, 100.0 * rate / (baud / 10.0), f.naks,
                f.cycleMs);
    if (f.turnMeanMs >= 0)
        std::printf("  our turnaround %.3f ms (max %.1f)", f.turnMeanMs, f.turnMaxMs);
    std::printf("\n");
}

double Mean(const std::vector<double> &values)
{
    double sum = 0;
    for (const double v : values)
        sum += v;
    return values.empty() ? 0 : sum / values.size();
}
} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir scratch;
    qputenv("XDG_RUNTIME_DIR", scratch.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    Options o;
    if (!Parse(app, o)) {
        std::fprintf(stderr, "download_bench: bad arguments (see --help)\n");
        return 2;
    }
    const std::vector<uint8_t> image = MakeImage(o.size);
    std::printf("line %d baud (%d B/s), %d ms one way; image %u bytes; load %s\n", o.baud,
                o.baud / 10, o.latencyMs, o.size, LoadAverage().c_str());
    bool allOk = true;
    for (const bool small : o.smallPackets) {
        std::printf("-- %s blocks: stop-and-wait ceiling %.1f%% of the line, ideal block cycle %.2f ms\n",
                    BlocksName(small), 100 * CeilingFraction(o, small), IdealCycleMs(o, small));
        std::vector<double> sim, ours, sb, simCycle, ourCycle, sbCycle;
        for (int run = 1; run <= o.runs; ++run) {
            if (o.sim) {
                const Figure f = SenderToSim(o, image, small);
                Report("to module", small, run, f, o.size, o.baud);
                allOk &= f.ok;
                if (f.ok) {
                    sim.push_back(f.seconds);
                    simCycle.push_back(f.cycleMs);
                }
            }
            if (o.rb) {
                // Alternate which goes first, so that a change in the
                // machine's load does not favour one of them.
                Figure ourRun, sbRun;
                if (run % 2 == 1) {
                    ourRun = SenderToRb(o, image, small);
                    sbRun = SbToRb(o, image, small);
                } else {
                    sbRun = SbToRb(o, image, small);
                    ourRun = SenderToRb(o, image, small);
                }
                Report("ours to rb", small, run, ourRun, o.size, o.baud);
                Report(small ? "sb to rb" : "sb -k to rb", small, run, sbRun, o.size, o.baud);
                allOk &= ourRun.ok && sbRun.ok;
                if (ourRun.ok && sbRun.ok) {
                    ours.push_back(ourRun.seconds);
                    sb.push_back(sbRun.seconds);
                    ourCycle.push_back(ourRun.cycleMs);
                    sbCycle.push_back(sbRun.cycleMs);
                }
            }
        }
        if (!sim.empty()) {
            const double rate = o.size / Mean(sim);
            std::printf("   module, \"1\" to \"2\": mean %.3f s, %.0f B/s, %.1f%% of the line "
                        "(target >= 95%%); block cycle %.2f ms\n",
                        Mean(sim), rate, 100 * rate / (o.baud / 10.0), Mean(simCycle));
        }
        if (!ours.empty())
            std::printf("   rb, header to ACK of EOT: ours %.3f s, sb %.3f s, ratio %.3f "
                        "(target <= 1.03); block cycle ours %.2f ms, sb %.2f ms\n",
                        Mean(ours), Mean(sb), Mean(ours) / Mean(sb), Mean(ourCycle), Mean(sbCycle));
    }
    std::printf("load %s\n", LoadAverage().c_str());
    return allOk ? 0 : 1;
}
