// Receive throughput of the running main window (offscreen): a child process
// writes to a pty at full speed while the window, connected to it, keeps its
// terminal at the 4,000,000-character limit. Prints MB/s, CPU seconds per MB,
// peak RSS and the longest stall of the event loop.
//
//   build/bench/receive_bench [--hex] [--capture] [--mb N]
#include "app/CVerrinDlg.h"
#include "support/MessageRecorder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// Writes total bytes of 80-character lines to fd, then exits.
pid_t StartWriter(int fd, size_t total)
{
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    std::string block;
    for (int i = 0; block.size() < 1 << 20; ++i) {
        char line[81];
        std::snprintf(line, sizeof line, "%-78.78s\r\n",
                      ("line " + std::to_string(i) + " the quick brown fox jumps over the lazy dog 0123456789").c_str());
        block += line;
    }
    size_t sent = 0;
    while (sent < total) {
        const size_t n = std::min(block.size(), total - sent);
        const ssize_t w = ::write(fd, block.data(), n);
        if (w > 0)
            sent += size_t(w);
        else if (w < 0 && errno != EAGAIN && errno != EINTR)
            _exit(1);
    }
    _exit(0);
}

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir scratch; // settings, instance store and capture file of this run
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "HOME"})
        qputenv(name, scratch.path().toLocal8Bit());
    QApplication app(argc, argv);
    bool hex = false, capture = false;
    size_t megabytes = 20;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--hex"))
            hex = true;
        else if (!std::strcmp(argv[i], "--capture"))
            capture = true;
        else if (!std::strcmp(argv[i], "--mb") && i + 1 < argc)
            megabytes = std::strtoul(argv[++i], nullptr, 10);
    }
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        return 1;
    MessageRecorder messages;
    CVerrinDlg::StartOptions options;
    options.portPath = QString::fromLocal8Bit(ttyname(slave));
    options.baudrate = 921600;
    CVerrinDlg dlg(options, &messages);
    dlg.show();
    static_cast<QAbstractButton *>(dlg.Control(MainId::Connect))->click();
    if (!dlg.IsConnected())
        return 1;
    auto *rx = static_cast<QLineEdit *>(dlg.Control(MainId::RxCount));
    auto received = [&] { return rx->text().toLongLong(); };
    auto runUntil = [&](long long count) {
        while (received() < count)
            app.processEvents(QEventLoop::WaitForMoreEvents, 50);
    };

    // Fill the terminal to its limit first (text display: 4 MB of text).
    const size_t fill = TerminalText::kLimit + 100000;
    pid_t writer = StartWriter(master, fill);
    runUntil(static_cast<long long>(fill));
    waitpid(writer, nullptr, 0);
    if (hex)
        static_cast<QAbstractButton *>(dlg.Control(MainId::BinaryMode))->setChecked(true);
    if (capture)
        static_cast<QAbstractButton *>(dlg.Control(MainId::Capture))->click();

    // Longest gap between two 10 ms ticks: how long the window could not repaint.
    QElapsedTimer gapClock;
    qint64 maxGap = 0;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        maxGap = std::max(maxGap, gapClock.restart());
    });

    const size_t total = megabytes << 20;
    const double cpu0 = CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    gapClock.start();
    ticker.start();
    writer = StartWriter(master, total);
    runUntil(static_cast<long long>(fill + total));
    const double seconds = clock.elapsed() / 1000.0;
    ticker.stop();
    waitpid(writer, nullptr, 0);
    const double cpu = CpuSeconds() - cpu0;
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    const double mb = double(total) / (1 << 20);
    std::printf("%s display%s: %.1f MB in %.2f s = %.2f MB/s (%.0f bytes/s), %.3f CPU s/MB, "
                "peak RSS %.0f MB, longest event-loop stall %lld ms, terminal %zu chars\n",
                hex ? "hex" : "text", capture ? " with capture" : "", mb, seconds, mb / seconds, total / seconds, cpu / mb,
                u.ru_maxrss / 1024.0, (long long)maxGap, dlg.Terminal().Length());
    return 0;
}
