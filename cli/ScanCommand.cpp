// verrin-cli scan: the mesh view's scans without the view. The same scan state
// machine runs on the same one-second tick; the terminal text it reads is
// filled from the port as the main window fills it.

#include "common/SignalBridge.h"
#include "cli/CliOptions.h"
#include "common/QtText.h"
#include "cli/Commands.h"
#include "cli/ConsoleOutput.h"
#include "cli/ExitStatus.h"
#include "cli/RunLoop.h"
#include "cli/MeshFormat.h"
#include "cli/PortTerminal.h"
#include "netview/MeshScan.h"
#include "serial/CSerialPort.h"

#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <cstring>

namespace {
constexpr int kScanTickMs = 1000;   // the view's timer
constexpr int kReceiveTickMs = 100; // the main window's poll

class ScanEvents : public MeshScanEvents {
public:
    void RepaintRequested() override {}
    void GroupTestFailed() override { groupTestFailed = true; }
    bool groupTestFailed = false;
};

struct ScanRun {
    MeshFormat format = MeshFormat::Table;
    int count = 1;      // scans to print; 0: until Ctrl+C
    int timeoutMs = 10000;
};

class Scanner {
public:
    Scanner(const Settings &settings, const ScanRun &run)
        : m_settings(settings), m_run(run), m_messages(settings.portName), m_port(m_messages),
          m_host(m_port), m_scan(m_host, m_events)
    {
    }

    int Run()
    {
        SignalBridge bridge;
        if (!m_port.OpenPort(FromCodePage(m_settings.portName), m_settings.baudrate,
                             m_settings.flowEnabled != 0))
            return ExitStatus::PortError;
        QObject::connect(&bridge, &SignalBridge::TerminationRequested, m_loop.Context(), [this] {
            m_loop.Finish(m_run.count == 0 ? ExitStatus::Ok : ExitStatus::Aborted);
        });
        QObject::connect(&m_port, &CSerialPort::BytesArrived, m_loop.Context(), [this] { m_host.Receive(); });
        QObject::connect(&m_port, &CSerialPort::PortLost, m_loop.Context(),
                         [this] { m_loop.Finish(ExitStatus::PortError); });
        QTimer receive;
        QObject::connect(&receive, &QTimer::timeout, m_loop.Context(), [this] { m_host.Receive(); });
        receive.start(kReceiveTickMs);
        QTimer scanTick;
        QObject::connect(&scanTick, &QTimer::timeout, m_loop.Context(), [this] { OnScanTick(); });
        scanTick.start(kScanTickMs);

        // What "Net View" does before the view opens.
        m_host.ClearTerminal();
        m_host.WriteBytes(reinterpret_cast<const uint8_t *>(kInfoCommand),
                          static_cast<uint32_t>(std::strlen(kInfoCommand)));
        m_waiting.start();
        const int status = m_loop.Exec();
        m_port.ClosePort();
        return status;
    }

private:
    void OnScanTick()
    {
        const ScanState before = m_scan.State();
        m_scan.OnScanTick();
        const ScanState after = m_scan.State();
        if (m_events.groupTestFailed) {
            PrintError(kGroupAddressMessage);
            m_loop.Finish(ExitStatus::GroupNotSet);
            return;
        }
        if (after != before)
            m_waiting.restart();
        if (before == ScanState::AwaitScan && after == ScanState::Pause) {
            const std::string text = FormatMesh(m_scan.Table(), m_scan.GroupAddress(), m_run.format);
            std::fwrite(text.data(), 1, text.size(), stdout);
            std::fflush(stdout);
            if (m_run.count > 0 && ++m_scansDone >= m_run.count)
                m_loop.Finish(ExitStatus::Ok);
            return;
        }
        if (after != ScanState::Pause && m_waiting.elapsed() >= m_run.timeoutMs) {
            PrintError(std::string(after == ScanState::AwaitInfo ? "no answer to the info request"
                                                                 : "no answer to the scan") +
                       " within " + std::to_string(m_run.timeoutMs) + " ms");
            m_loop.Finish(ExitStatus::TimedOut);
        }
    }

    Settings m_settings;
    ScanRun m_run;
    StderrMessages m_messages;
    CSerialPort m_port;
    PortTerminal m_host;
    ScanEvents m_events;
    MeshScan m_scan;
    RunLoop m_loop;
    QElapsedTimer m_waiting; // since the state that waits for a reply began
    int m_scansDone = 0;
};

const char *const kDetails = R"(
Asks the module for its settings ("at+ab info"), takes the group address
(Publish Addr) from the reply, then scans the group ("at+ab loranet GROUP")
as the mesh view does: a step every second, a new scan four seconds after a
reply was taken. After each scan the node and link table so far is printed:
  table  a table to read
  json   one line per scan: {"group":"C001","nodes":[{"address":"0001",
         "column":0,"row":0,"kind":"Local"},...],"links":[{"relay":"0001",
         "node":"0002","rssi":-11},...]}
  dot    a Graphviz digraph per scan, one rank=same subgraph per column
)";
} // namespace

int RunScan(const QStringList &arguments)
{
    CommandLine command(QStringLiteral("scan"),
                        QStringLiteral("Scan the module's mesh network and print its nodes and links."),
                        QString(), QString::fromLatin1(kDetails));
    const QCommandLineOption count(QStringLiteral("count"),
                                   QStringLiteral("Print n scans, then end (default 1)."),
                                   QStringLiteral("n"));
    const QCommandLineOption watch(QStringLiteral("watch"),
                                   QStringLiteral("Scan until Ctrl+C (then status 0)."));
    const QCommandLineOption format(QStringLiteral("format"),
                                    QStringLiteral("table, json or dot (default table)."),
                                    QStringLiteral("format"), QStringLiteral("table"));
    const QCommandLineOption timeout(
        QStringLiteral("timeout"),
        QStringLiteral("Give up (status 8) when a reply has not come within ms milliseconds "
                       "(default 10000)."),
        QStringLiteral("ms"));
    command.Parser().addOptions({count, watch, format, timeout});
    if (const std::optional<int> done = command.Parse(arguments))
        return *done;
    if (!command.ExpectPositionals(0, QString()))
        return ExitStatus::Usage;

    ScanRun run;
    const std::optional<MeshFormat> chosen = ParseMeshFormat(command.Value(format).toStdString());
    if (!chosen)
        return UsageError(QStringLiteral("scan: unknown format \"%1\" (table, json or dot)")
                              .arg(command.Value(format)));
    run.format = *chosen;
    if (command.IsSet(count) && command.IsSet(watch))
        return UsageError(QStringLiteral("scan: --count and --watch exclude each other"));
    if (command.IsSet(count)) {
        bool ok = false;
        run.count = command.Value(count).toInt(&ok);
        if (!ok || run.count < 1)
            return UsageError(QStringLiteral("scan: invalid --count \"%1\" (1 or more)")
                                  .arg(command.Value(count)));
    }
    if (command.IsSet(watch))
        run.count = 0;
    const std::optional<int> timeoutMs = command.Milliseconds(timeout, run.timeoutMs);
    const std::optional<Settings> settings = command.LineSettings();
    if (!timeoutMs || !settings)
        return ExitStatus::Usage;
    run.timeoutMs = *timeoutMs;
    Scanner scanner(*settings, run);
    return scanner.Run();
}
