// Receive throughput of the running main window (offscreen): a child process
// writes to a pty at full speed while the window, connected to it, keeps its
// terminal at the 4,000,000-character limit. Prints MB/s, CPU seconds per MB,
// peak RSS and the longest stall of the event loop, at the limit and (apart)
// while the terminal first fills.
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
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// A child process that writes 80-character lines to the pty at full speed,
// as many bytes as each request asks for. It is forked once, before the
// window exists: a fork later would make every page the window then writes
// (the four-megabyte terminal among them) take a copy-on-write fault.
class Writer {
public:
    explicit Writer(int fd)
    {
        int requests[2], replies[2];
        if (pipe(requests) != 0 || pipe(replies) != 0)
            std::abort();
        m_pid = fork();
        if (m_pid == 0) {
            close(requests[1]);
            close(replies[0]);
            Serve(fd, requests[0], replies[1]);
        }
        close(requests[0]);
        close(replies[1]);
        m_requests = requests[1];
        m_replies = replies[0];
    }
    ~Writer()
    {
        close(m_requests);
        waitpid(m_pid, nullptr, 0);
    }
    // Starts writing count bytes; Done waits until they are all written.
    void Write(size_t count) { (void)!::write(m_requests, &count, sizeof count); }
    void Done()
    {
        char c;
        (void)!::read(m_replies, &c, 1);
    }

private:
    [[noreturn]] static void Serve(int fd, int requests, int replies)
    {
        std::string block;
        for (int i = 0; block.size() < 1 << 20; ++i) {
            char line[81];
            std::snprintf(line, sizeof line, "%-78.78s\r\n",
                          ("line " + std::to_string(i) + " the quick brown fox jumps over the lazy dog 0123456789").c_str());
            block += line;
        }
        size_t total = 0;
        while (::read(requests, &total, sizeof total) == sizeof total) {
            for (size_t sent = 0; sent < total;) {
                const ssize_t w = ::write(fd, block.data(), std::min(block.size(), total - sent));
                if (w > 0)
                    sent += size_t(w);
                else if (w < 0 && errno != EAGAIN && errno != EINTR)
                    _exit(1);
            }
            (void)!::write(replies, "", 1);
        }
        _exit(0);
    }

    pid_t m_pid = -1;
    int m_requests = -1;
    int m_replies = -1;
};

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
} // namespace

int main(int argc, char **argv)
{
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        return 1;
    Writer writer(master);

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
        // Blocks until something happens (the overload with a time limit
        // ignores WaitForMoreEvents and would spin); the 10 ms ticker below
        // keeps events coming.
        while (received() < count)
            app.processEvents(QEventLoop::WaitForMoreEvents);
    };

    // Longest gap between two 10 ms ticks: how long the window could not repaint.
    QElapsedTimer gapClock;
    qint64 maxGap = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        maxGap = std::max(maxGap, gapClock.restart());
    });
    gapClock.start();
    ticker.start();

    // Fill the terminal to its limit and on through its first trims, in the
    // display measured, until the terminal text's buffer has reached the size
    // it keeps from then on; the stalls of that one-time growth are reported
    // apart.
    if (hex)
        static_cast<QAbstractButton *>(dlg.Control(MainId::BinaryMode))->setChecked(true);
    const size_t fill = TerminalText::kLimit + (8u << 20);
    writer.Write(fill);
    runUntil(static_cast<long long>(fill));
    writer.Done();
    const qint64 fillGap = maxGap;
    if (capture)
        static_cast<QAbstractButton *>(dlg.Control(MainId::Capture))->click();

    const size_t total = megabytes << 20;
    const double cpu0 = CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    gapClock.restart();
    maxGap = 0;
    writer.Write(total);
    runUntil(static_cast<long long>(fill + total));
    const double seconds = clock.elapsed() / 1000.0;
    ticker.stop();
    writer.Done();
    const double cpu = CpuSeconds() - cpu0;
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    const double mb = double(total) / (1 << 20);
    std::printf("%s display%s: %.1f MB in %.2f s = %.2f MB/s (%.0f bytes/s), %.3f CPU s/MB, "
                "peak RSS %.0f MB, longest event-loop stall %lld ms (%lld ms while first filling), "
                "terminal %zu chars\n",
                hex ? "hex" : "text", capture ? " with capture" : "", mb, seconds, mb / seconds, total / seconds, cpu / mb,
                u.ru_maxrss / 1024.0, (long long)maxGap, (long long)fillGap, dlg.Terminal().Length());
    return 0;
}
