// verrin-cli scan: the mesh view's scans without the view. The same scan state
// machine runs on the same one-second tick; the terminal text it reads is
// filled from the port as the main window fills it. Pictures are painted by
// the view's painter, offscreen.

#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "cli/ConsoleOutput.h"
#include "cli/ExitStatus.h"
#include "cli/MeshFormat.h"
#include "cli/PortReconnect.h"
#include "cli/PortTerminal.h"
#include "cli/RunLoop.h"
#include "common/QtText.h"
#include "common/SignalBridge.h"
#include "common/UtcTime.h"
#include "netview/CMeshPainter.h"
#include "netview/CMeshPicture.h"
#include "netview/MeshScan.h"
#include "netview/MeshView.h"
#include "serial/CSerialPort.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {
constexpr int kScanTickMs = 1000;   // the view's timer
constexpr int kReceiveTickMs = 100; // the main window's poll
constexpr int kPictureDpi = 96;      // a common screen's: the fonts' point sizes as on screen

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
    int levelStep = kDefaultLevelStep; // events: the smallest level change told
    QString output;                    // pictures: the file, replaced after each scan
    PictureSize size = kDefaultPictureSize;
    bool reconnect = false; // wait for a vanished device and scan on
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
        // Back from a vanished device, the scan asks again for the reply it
        // waited for, and the wait for that reply starts anew.
        PortReconnect reconnect(m_port, m_run.reconnect, [this] {
            m_scan.Resume();
            m_waiting.restart();
        });
        m_reconnect = &reconnect;
        QObject::connect(&m_port, &CSerialPort::PortLost, m_loop.Context(), [&] {
            if (!reconnect.Lost())
                m_loop.Finish(ExitStatus::PortError);
        });
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
            if (!PrintScan()) {
                m_loop.Finish(ExitStatus::FileError);
                return;
            }
            if (m_run.count > 0 && ++m_scansDone >= m_run.count)
                m_loop.Finish(ExitStatus::Ok);
            return;
        }
        if (after != ScanState::Pause && m_waiting.elapsed() >= m_run.timeoutMs && !m_reconnect->Waiting()) {
            PrintError(std::string(after == ScanState::AwaitInfo ? "no answer to the info request"
                                                                 : "no answer to the scan") +
                       " within " + std::to_string(m_run.timeoutMs) + " ms");
            m_loop.Finish(ExitStatus::TimedOut);
        }
    }

    // What the format makes of the scan just taken; false when the picture
    // cannot be written (told on stderr).
    bool PrintScan()
    {
        if (m_run.format == MeshFormat::Events) {
            const std::string now = UtcTimeText(std::chrono::system_clock::now());
            const std::vector<MeshChange> changes =
                CompareScans(m_scan.PreviousMesh(), m_scan.LatestMesh(), m_run.levelStep);
            // A line at a time, so that a pipe's reader sees each change at once.
            for (const std::string &line : FormatMeshEvents(changes, m_scan.ScansTaken(), now)) {
                std::fwrite(line.data(), 1, line.size(), stdout);
                std::fflush(stdout);
            }
            return true;
        }
        if (IsPicture(m_run.format))
            return SavePicture();
        const std::string text = FormatMesh(m_scan.Table(), m_scan.GroupAddress(), m_run.format);
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
        return true;
    }

    // The view's picture at the size given, as a view of that size would show
    // it after this scan.
    bool SavePicture()
    {
        const QSize size(m_run.size.width, m_run.size.height);
        const ViewStatus status = ViewStatusOf(m_scan);
        const QString title = FromCodePage(GroupBoxText(m_scan.GroupAddress()));
        const QString error = m_picture.Save(
            m_run.output, m_run.format == MeshFormat::Png ? PictureFormat::Png : PictureFormat::Svg, size,
            kPictureDpi, title, [&](QPainter &p) {
                p.setFont(CMeshPainter::DialogFont());
                QSize measured = size;
                m_painter.Paint(p, QRect(QPoint(0, 0), size), status, m_scan.Table(), m_scan.GroupAddress(),
                                size, measured);
            });
        if (error.isEmpty())
            return true;
        PrintError(ToCodePage(QStringLiteral("cannot write the picture %1: %2").arg(m_run.output, error)));
        return false;
    }

    Settings m_settings;
    ScanRun m_run;
    CMeshPainter m_painter;
    CMeshPicture m_picture;
    StderrMessages m_messages;
    CSerialPort m_port;
    PortTerminal m_host;
    ScanEvents m_events;
    MeshScan m_scan;
    RunLoop m_loop;
    QElapsedTimer m_waiting; // since the state that waits for a reply began
    PortReconnect *m_reconnect = nullptr; // the wait for a vanished device, while Run runs
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
or what changed since the scan before, one JSON object per line, each line
flushed as it is written (the first scan is compared with an empty mesh, so
it names every node and link):
  events {"time":"2025-06-11T09:30:05.120Z","scan":2,"event":"joined",
         "node":"0005"}; "left" alike; {..."event":"link-added","relay":"0002",
         "node":"0005","rssi":-17}; "link-removed" alike, with the last level
         heard; "link-level" (moved by --level-step dB or more) adds
         "previous":-11. time: when the scan's reply was taken (UTC); scan:
         the scan's number, from 1. A scan that changed nothing prints nothing.
or a picture of the mesh view, drawn without a display and written to the
--output file after each scan (the file is replaced once the new picture is
complete):
  png    the view's picture as an image
  svg    the same as an SVG drawing; node addresses, kinds and link labels
         are text in it
)";
} // namespace

bool ScanDrawsPictures(const QStringList &arguments)
{
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        const QString value = a == QLatin1String("--format") ? arguments.value(i + 1)
                              : a.startsWith(QLatin1String("--format=")) ? a.mid(9)
                                                                         : QString();
        const std::optional<MeshFormat> format = ParseMeshFormat(ToCodePage(value));
        if (format && IsPicture(*format))
            return true;
    }
    return false;
}

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
                                    QStringLiteral("table, json, dot, events, png or svg (default table)."),
                                    QStringLiteral("format"), QStringLiteral("table"));
    const QCommandLineOption output(QStringLiteral("output"),
                                    QStringLiteral("png and svg: the picture's file (needed)."),
                                    QStringLiteral("file"));
    const QCommandLineOption size(QStringLiteral("size"),
                                  QStringLiteral("png and svg: the picture's width and height in pixels "
                                                 "(default 1024x768)."),
                                  QStringLiteral("WxH"));
    const QCommandLineOption levelStep(
        QStringLiteral("level-step"),
        QStringLiteral("events: tell a link's level change of dB or more (default 6)."), QStringLiteral("dB"));
    const QCommandLineOption timeout(
        QStringLiteral("timeout"),
        QStringLiteral("Give up (status 8) when a reply has not come within ms milliseconds "
                       "(default 10000)."),
        QStringLiteral("ms"));
    const QCommandLineOption reconnect(QStringLiteral("reconnect"), QString::fromLatin1(kReconnectHelp));
    command.Parser().addOptions({count, watch, format, output, size, levelStep, timeout, reconnect});
    if (const std::optional<int> done = command.Parse(arguments))
        return *done;
    if (!command.ExpectPositionals(0, QString()))
        return ExitStatus::Usage;

    ScanRun run;
    const std::optional<MeshFormat> chosen = ParseMeshFormat(command.Value(format).toStdString());
    if (!chosen)
        return UsageError(QStringLiteral("scan: unknown format \"%1\" (table, json, dot, events, png or svg)")
                              .arg(command.Value(format)));
    run.format = *chosen;
    if (IsPicture(run.format) != command.IsSet(output))
        return UsageError(IsPicture(run.format)
                              ? QStringLiteral("scan: --format %1 needs --output FILE").arg(command.Value(format))
                              : QStringLiteral("scan: --output is for --format png or svg"));
    run.output = command.Value(output);
    run.reconnect = command.IsSet(reconnect);
    if (command.IsSet(size)) {
        const std::optional<PictureSize> given = ParsePictureSize(command.Value(size).toStdString());
        if (!IsPicture(run.format))
            return UsageError(QStringLiteral("scan: --size is for --format png or svg"));
        if (!given)
            return UsageError(QStringLiteral("scan: invalid --size \"%1\" (WxH, each from %2 to %3 pixels)")
                                  .arg(command.Value(size))
                                  .arg(kMinPictureSide)
                                  .arg(kMaxPictureSide));
        run.size = *given;
    }
    if (command.IsSet(levelStep)) {
        bool ok = false;
        run.levelStep = command.Value(levelStep).toInt(&ok);
        if (run.format != MeshFormat::Events)
            return UsageError(QStringLiteral("scan: --level-step is for --format events"));
        if (!ok || run.levelStep < 1 || run.levelStep > 200)
            return UsageError(QStringLiteral("scan: invalid --level-step \"%1\" (dB, 1 to 200)")
                                  .arg(command.Value(levelStep)));
    }
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
