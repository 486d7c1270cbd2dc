// The line test of CMD10 against the virtual module on an emulated line.
// 20000 lines (600,000 bytes) sent in one stream at 921600 baud should take
// no longer than the line needs (600,000 x 10 / 921,600 s = 6.51 s) plus 5%.
// A count too large to finish (fifty million lines are 1.5 GB, four and a
// half hours at 921600 baud) runs for --seconds and is then stopped with
// "Disconnect". Either way the bench reports the peak RSS, the longest stall
// of the event loop meanwhile, and checks that the module received exactly
// the line test's first bytes.
//
//   build/bench/line_test_bench [--lines N] [--baud B] [--seconds S]
#include "app/CVerrinDlg.h"
#include "settings/CRegistry.h"
#include "settings/SettingsStore.h"
#include "support/MessageRecorder.h"
#include "support/SimProcess.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstring>

namespace {
long RssKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (QByteArray line; !(line = status.readLine()).isEmpty();)
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir scratch;
    qputenv("XDG_CONFIG_HOME", scratch.filePath("config").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", scratch.path().toLocal8Bit());
    QApplication app(argc, argv);
    int lines = 20000, baud = 921600;
    double limitSeconds = 60;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--lines"))
            lines = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--baud"))
            baud = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--seconds"))
            limitSeconds = std::atof(argv[++i]);
    }
    {
        CRegistry registry;
        Settings s;
        s.sendCmd[9] = std::to_string(lines);
        s.baudrate = baud;
        SaveSettings(registry, "A", s);
    }
    const QString log = scratch.filePath("module.log");
    SimProcess sim({"--line-rate", QString::number(baud), "--log", log});
    if (sim.Port().isEmpty())
        return 1;
    MessageRecorder messages;
    CVerrinDlg::StartOptions options;
    options.portPath = sim.Port();
    CVerrinDlg dlg(options, &messages);
    dlg.show();
    static_cast<QAbstractButton *>(dlg.Control(MainId::Connect))->click();
    if (!dlg.IsConnected())
        return 1;
    QTest::qWait(200);

    // Longest gap between two 10 ms ticks: how long the window could not repaint.
    QElapsedTimer gapClock;
    qint64 maxGap = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    long rssPeak = 0; // VmRSS sampled every tenth tick while the line test runs
    QString rssTrail; // and every ten seconds
    int tick = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        maxGap = std::max(maxGap, gapClock.restart());
        if (++tick % 10 == 0)
            rssPeak = std::max(rssPeak, RssKb());
        if (tick % 1000 == 0)
            rssTrail += QString::number(RssKb() / 1024.0, 'f', 1) + ' ';
    });
    auto *cmd10 = static_cast<QAbstractButton *>(dlg.Control(MainId::Command[9]));
    const long rssBefore = RssKb();
    QElapsedTimer clock;
    clock.start();
    cmd10->click();
    const qint64 clickMs = clock.elapsed();
    gapClock.start();
    ticker.start(10);
    // The buttons that send are enabled again once the port has taken the last byte.
    while (!cmd10->isEnabled() && clock.elapsed() < limitSeconds * 1000)
        app.processEvents(QEventLoop::WaitForMoreEvents);
    const bool finished = cmd10->isEnabled();
    const double seconds = clock.elapsed() / 1000.0;
    const long rssAfter = RssKb();
    ticker.stop();
    if (!finished)
        static_cast<QAbstractButton *>(dlg.Control(MainId::Disconnect))->click();
    QTest::qWait(500); // the module writes out what the line still carried

    QFile received(log);
    received.open(QIODevice::ReadOnly);
    const QByteArray got = received.readAll();
    LineTestText text(lines);
    std::string expected(size_t(got.size()), '\0');
    expected.resize(text.Read(expected.data(), expected.size()));
    const bool exact = expected.size() == size_t(got.size()) &&
                       std::memcmp(expected.data(), got.constData(), expected.size()) == 0;
    const double lineSeconds = double(got.size()) * 10 / baud;
    std::printf("line test: %d lines at %d baud, %s after %.3f s (the click took %lld ms): the module got %lld "
                "bytes%s, which the line needs %.3f s for (ratio %.3f, target <= 1.05); RSS %.1f MB before, "
                "%.1f MB at most while it ran, %.1f MB at the end (every 10 s: %s); longest event-loop stall %lld ms%s\n",
                lines, baud, finished ? "done" : "stopped", seconds, (long long)clickMs, (long long)got.size(),
                exact ? ", exactly the line test's first" : ", NOT the line test's bytes", lineSeconds,
                seconds / lineSeconds, rssBefore / 1024.0, rssPeak / 1024.0, rssAfter / 1024.0,
                qPrintable(rssTrail.trimmed()), (long long)maxGap, messages.messages.empty() ? "" : ", with a message");
    return exact ? 0 : 1;
}
