// A tray of virtual modules loaded at once by verrin-cli, against one module
// loaded alone in the same run. Each module sits behind its own emulated line
// (verrin-line, 115200 baud, 1 ms one way by default); all of them are one
// verrin-sim --count N. verrin-cli runs as users run it, and its report gives
// each port's start and end:
//
//   single: one port,  throughput = bytes / (end - start)
//   tray:   N ports,   throughput = N * bytes / (last end - first start)
//
// Target: the tray's throughput at least 0.95 x N x the single port's. The
// CPU time of verrin-cli (user + system, from wait4) is shown per port.
//
//   build/bench/transfer/tray_bench [--ports N] [--runs R] [--size BYTES]
//       [--rate BAUD] [--latency MS]

#include "BenchSystem.h"
#include "EmulatedLine.h"
#include "ReceiverTap.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <random>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {
struct Options {
    int ports = 8;
    int runs = 2;
    int baud = 115200;
    int latencyMs = 1;
    int size = 262144;
};

struct Result {
    bool ok = false;
    double seconds = 0;    // first start to last end, from the report
    double cpuSeconds = 0; // verrin-cli's user + system time
    double slowestRate = 0, fastestRate = 0; // the ports' own rates
    std::string note;
};

// Runs verrin-cli load on the ports to its end; its CPU time from wait4.
Result Load(const QStringList &ports, const QString &image, const QTemporaryDir &files)
{
    Result result;
    const QString report = files.filePath("report");
    QStringList args = {VERRIN_BIN_DIR "/cli/verrin-cli", "load", "--timeout", "10000", "--report", report};
    for (const QString &port : ports)
        args << "--port" << port;
    args << image;
    std::vector<QByteArray> bytes;
    std::vector<char *> argv;
    for (const QString &arg : args)
        bytes.push_back(arg.toLocal8Bit());
    for (QByteArray &arg : bytes)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const QByteArray errors = files.filePath("stderr").toLocal8Bit();
    posix_spawn_file_actions_addopen(&actions, 2, errors.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    if (spawned != 0 || ::wait4(pid, &status, 0, &usage) != pid) {
        result.note = "verrin-cli did not run";
        return result;
    }
    result.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                        (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    QFile file(report);
    if (!file.open(QIODevice::ReadOnly)) {
        result.note = "no report";
        return result;
    }
    qint64 first = 0, last = 0;
    int successful = 0;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.isEmpty())
            continue;
        const qint64 start = QDateTime::fromString(o["start"].toString(), Qt::ISODateWithMs).toMSecsSinceEpoch();
        const qint64 end = QDateTime::fromString(o["end"].toString(), Qt::ISODateWithMs).toMSecsSinceEpoch();
        first = successful == 0 ? start : std::min(first, start);
        last = std::max(last, end);
        const double rate = o["rate"].toDouble();
        result.slowestRate = successful == 0 ? rate : std::min(result.slowestRate, rate);
        result.fastestRate = std::max(result.fastestRate, rate);
        successful += o["result"].toString() == "Successful";
    }
    result.seconds = (last - first) / 1000.0;
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && successful == ports.size();
    if (!result.ok) {
        QFile err(files.filePath("stderr"));
        err.open(QIODevice::ReadOnly);
        result.note = "failed: " + err.readAll().trimmed().toStdString();
    }
    return result;
}

bool SameFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.readAll() == bytes;
}
} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir scratch;
    qputenv("XDG_RUNTIME_DIR", scratch.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Times verrin-cli loading a tray of virtual modules over emulated lines.");
    parser.addHelpOption();
    const QCommandLineOption ports("ports", "Modules in the tray; default 8.", "N", "8");
    const QCommandLineOption runs("runs", "Runs of each (one port, then the tray); default 2.", "R", "2");
    const QCommandLineOption size("size", "Image size in bytes; default 262144.", "BYTES", "262144");
    const QCommandLineOption rate("rate", "Line rate in baud; default 115200.", "BAUD", "115200");
    const QCommandLineOption latency("latency", "One-way latency in ms; default 1.", "MS", "1");
    parser.addOptions({ports, runs, size, rate, latency});
    parser.process(app);
    Options o{parser.value(ports).toInt(), parser.value(runs).toInt(), parser.value(rate).toInt(),
              parser.value(latency).toInt(), parser.value(size).toInt()};
    if (o.ports < 1 || o.ports > 16 || o.runs < 1 || o.baud <= 0 || o.latencyMs < 0 || o.size <= 0) {
        std::fprintf(stderr, "tray_bench: bad arguments (see --help)\n");
        return 2;
    }

    QTemporaryDir files;
    QByteArray image(o.size, 0);
    std::mt19937 random(20251126);
    std::generate(image.begin(), image.end(), [&] { return char(random()); });
    const QString imagePath = files.filePath("image.bin");
    QFile imageFile(imagePath);
    if (!imageFile.open(QIODevice::WriteOnly) || imageFile.write(image) != image.size())
        return 1;
    imageFile.close();

    // The modules, each behind a line of its own.
    QProcess sim;
    sim.setStandardErrorFile(QProcess::nullDevice());
    sim.start(VERRIN_BIN_DIR "/sim/verrin-sim", {"--count", QString::number(o.ports), "--save-image",
                                                 files.filePath("saved{n}.bin")});
    QStringList modules;
    while (modules.size() < o.ports && sim.waitForReadyRead(5000))
        while (sim.canReadLine())
            modules << QString::fromLocal8Bit(sim.readLine()).trimmed();
    std::vector<std::unique_ptr<EmulatedLine>> lines;
    std::vector<std::unique_ptr<ReceiverTap>> taps;
    std::vector<int> moduleFds;
    QStringList ends;
    for (const QString &module : modules) {
        lines.push_back(std::make_unique<EmulatedLine>(o.baud, o.latencyMs));
        moduleFds.push_back(OpenRaw(module));
        if (!lines.back()->ok() || moduleFds.back() < 0) {
            std::fprintf(stderr, "tray_bench: could not start a line or open a module\n");
            return 1;
        }
        taps.push_back(std::make_unique<ReceiverTap>(lines.back()->EndB().toStdString(), moduleFds.back()));
        ends << lines.back()->EndA();
    }
    if (ends.size() != o.ports) {
        std::fprintf(stderr, "tray_bench: the modules did not start\n");
        return 1;
    }

    std::printf("%d modules, line %d baud (%d B/s), %d ms one way; image %d bytes; load %s\n", o.ports, o.baud,
                o.baud / 10, o.latencyMs, o.size, LoadAverage().c_str());
    bool allOk = true;
    std::vector<double> ratios;
    for (int run = 1; run <= o.runs; ++run) {
        const Result single = Load({ends.front()}, imagePath, files);
        QThread::msleep(500); // the module's banner has passed the line
        const Result tray = Load(ends, imagePath, files);
        QThread::msleep(500);
        bool saved = true;
        for (int n = 1; n <= o.ports; ++n)
            saved &= SameFile(files.filePath(QStringLiteral("saved%1.bin").arg(n)), image);
        if (!single.ok || !tray.ok || !saved) {
            std::printf("run %d failed: %s %s%s\n", run, single.note.c_str(), tray.note.c_str(),
                        saved ? "" : " (an image saved differs)");
            allOk = false;
            continue;
        }
        const double singleRate = o.size / single.seconds;
        const double trayRate = double(o.size) * o.ports / tray.seconds;
        const double ratio = trayRate / (o.ports * singleRate);
        ratios.push_back(ratio);
        std::printf("run %d: one port %.3f s, %.0f B/s, CPU %.3f s | tray %.3f s, %.0f B/s in all "
                    "(ports %.0f-%.0f B/s), CPU %.3f s, %.3f s a port | ratio %.3f\n",
                    run, single.seconds, singleRate, single.cpuSeconds, tray.seconds, trayRate, tray.slowestRate,
                    tray.fastestRate, tray.cpuSeconds, tray.cpuSeconds / o.ports, ratio);
    }
    if (!ratios.empty())
        std::printf("tray throughput / (%d x one port): %.3f to %.3f (target >= 0.95)\n", o.ports,
                    *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()));
    std::printf("load %s\n", LoadAverage().c_str());
    taps.clear();
    for (const int fd : moduleFds)
        ::close(fd);
    sim.terminate();
    sim.waitForFinished(5000);
    return allOk ? 0 : 1;
}
