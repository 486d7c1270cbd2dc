// The line test of CMD10 against the virtual module on an emulated line:
// 20000 lines (600,000 bytes) sent in one piece at 921600 baud should take no
// longer than the line needs (600,000 x 10 / 921,600 s = 6.51 s) plus 5%.
//
//   build/bench/line_test_bench [--lines N] [--baud B]
#include "app/CVerrinDlg.h"
#include "settings/CRegistry.h"
#include "settings/SettingsStore.h"
#include "support/MessageRecorder.h"
#include "support/SimProcess.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir scratch;
    qputenv("XDG_CONFIG_HOME", scratch.filePath("config").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", scratch.path().toLocal8Bit());
    QApplication app(argc, argv);
    int lines = 20000, baud = 921600;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--lines"))
            lines = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--baud"))
            baud = std::atoi(argv[++i]);
    }
    {
        CRegistry registry;
        Settings s;
        s.sendCmd[9] = std::to_string(lines);
        s.baudrate = baud;
        SaveSettings(registry, "A", s);
    }
    SimProcess sim({"--line-rate", QString::number(baud)});
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
    QElapsedTimer clock;
    clock.start();
    static_cast<QAbstractButton *>(dlg.Control(MainId::Command[9]))->click();
    const double seconds = clock.elapsed() / 1000.0;
    const double lineSeconds = double(lines) * 30 * 10 / baud;
    std::printf("line test: %d lines (%d bytes) at %d baud in %.3f s; the line needs %.3f s "
                "(ratio %.3f, target <= 1.05)%s\n",
                lines, lines * 30, baud, seconds, lineSeconds, seconds / lineSeconds,
                messages.messages.empty() ? "" : ", with a message");
    return 0;
}
