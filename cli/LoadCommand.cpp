// verrin-cli load: the loader window's download, on one port or on a whole
// tray of modules at once. Each port runs the same sender in the same states,
// stepped as the main window steps it: whenever its bytes arrive, and on a
// 100 ms tick. All of them share this one thread; none waits for a port.

#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "cli/ConsoleOutput.h"
#include "cli/ConsoleProgress.h"
#include "cli/ExitStatus.h"
#include "cli/PortLoad.h"
#include "cli/RunLoop.h"
#include "cli/TrayView.h"
#include "common/QtText.h"
#include "common/SignalBridge.h"
#include "dialogs/CPortProber.h"
#include "serial/PortNames.h"
#include "transfer/ImageFile.h"
#include "transfer/LoaderRules.h"
#include "transfer/YmodemBlock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {
constexpr int kTickMs = 100;
constexpr int kDefaultBootWaitMs = 10000;

class NoTrace : public TraceSink {
public:
    void TraceText(std::string_view) override {}
    void TraceControlByte(uint8_t) override {}
};

// A port of the command line, or what stands in its place in the report.
struct TrayEntry {
    std::string path;
    std::string notLoaded; // why it is not loaded: given twice, a pattern that matched nothing
    int status = 0;
};

// Where the report's lines go, each written whole as its port ends.
class ReportFile {
public:
    ~ReportFile()
    {
        if (m_file && m_file != stdout)
            std::fclose(m_file);
    }
    bool Open(const QString &name)
    {
        m_file = name == QLatin1String("-") ? stdout : std::fopen(QFile::encodeName(name).constData(), "w");
        return m_file != nullptr;
    }
    void Write(const PortReport &report)
    {
        if (!m_file)
            return;
        const std::string line = ReportLine(report);
        std::fwrite(line.data(), 1, line.size(), m_file);
        std::fflush(m_file);
    }

private:
    std::FILE *m_file = nullptr;
};

std::string Identity(const std::string &path)
{
    const QString canonical = QFileInfo(FromCodePage(path)).canonicalFilePath();
    return canonical.isEmpty() ? path : ToCodePage(canonical);
}

// The ports a pattern names. With a folder (/dev/ttyUSB*): the devices in it
// whose names match (files and folders are no ports). Without (ttyUSB*,
// COM*): the ports discovery lists whose names match.
std::vector<std::string> MatchPorts(const QString &glob)
{
    const QString pattern = QDir::fromNativeSeparators(glob);
    const int slash = pattern.lastIndexOf(QLatin1Char('/'));
    std::vector<std::string> ports;
    if (slash >= 0) {
        const QDir folder(slash == 0 ? QStringLiteral("/") : pattern.left(slash));
        for (const QFileInfo &entry : folder.entryInfoList({pattern.mid(slash + 1)},
                                                           QDir::System | QDir::Files | QDir::CaseSensitive)) {
            if (entry.exists() && !entry.isFile() && !entry.isDir())
                ports.push_back(ToCodePage(entry.filePath()));
        }
    } else {
        const QRegularExpression name(QRegularExpression::wildcardToRegularExpression(pattern));
        CPortProber prober;
        for (const std::string &device : prober.ListDevices())
            if (name.match(FromCodePage(PortDisplayName(device))).hasMatch())
                ports.push_back(device);
    }
    std::sort(ports.begin(), ports.end(), NaturalLess);
    return ports;
}

// Every port that Setup lists as free.
std::vector<std::string> FreePorts()
{
    CPortProber prober;
    std::vector<std::string> ports;
    for (const PortEntry &entry : DiscoverPorts(prober, kNativePortScheme))
        if (entry.portNumber <= kHighestProbedPortNumber) // the higher COM ports are listed unprobed
            ports.push_back(entry.devicePath);
    return ports;
}

PortReport NotLoadedReport(const TrayEntry &entry, const Settings &settings, uint32_t size)
{
    PortReport r;
    r.port = entry.path;
    r.result = entry.notLoaded;
    r.status = entry.status;
    r.image = settings.downloadFilename;
    r.size = size;
    r.start = r.end = std::chrono::system_clock::now();
    return r;
}

struct LoadRun {
    Settings settings; // the port's name is each entry's
    ModuleLoadOptions options;
    bool trace = false;
    ReportFile *report = nullptr;
    std::FILE *out = stdout; // progress and successes
};

// One port, shown as the loader's download has always been shown on a
// console: the progress line, "Successful" or the failure on stderr.
int LoadOnePort(const LoadRun &run, std::vector<uint8_t> image)
{
    ConsoleProgress progress(IsTerminal(run.out), run.out);
    StderrTrace trace;
    NoTrace noTrace;
    PortLoad load(run.settings, run.options, progress, run.trace ? static_cast<TraceSink &>(trace) : noTrace, false);
    load.SetNoticeHandler([&progress](const std::string &text) {
        progress.EndLine();
        PrintError(text);
    });
    RunLoop loop;
    SignalBridge bridge;
    QObject::connect(&bridge, &SignalBridge::TerminationRequested, loop.Context(), [&] {
        progress.EndLine();
        load.Abort();
    });
    QObject::connect(&load, &PortLoad::Finished, loop.Context(),
                     [&] { loop.Finish(ExitStatusFor(load.Load().Outcome().end)); });
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, loop.Context(), [&] { load.Tick(); });
    tick.start(kTickMs);
    load.Start(std::move(image));
    const int status = loop.Exec();
    progress.EndLine();
    const PortReport report = load.Report();
    if (run.options.verify && status == ExitStatus::Ok)
        std::fprintf(run.out, "Version %s -> %s\n", report.versionBefore.c_str(), report.versionAfter.c_str());
    if (run.report)
        run.report->Write(report);
    return status;
}

// Many ports at once, one line each.
int LoadTray(const LoadRun &run, const std::vector<TrayEntry> &entries, const std::vector<uint8_t> &image)
{
    std::vector<std::string> names;
    for (const TrayEntry &entry : entries)
        names.push_back(PortDisplayName(entry.path));
    TrayView view(names, run.out, IsTerminal(run.out));
    NoTrace noTrace;
    RunLoop loop;
    std::vector<std::unique_ptr<PortLoad>> loads(entries.size());
    std::vector<std::string> notices(entries.size());
    std::vector<int> statuses;
    auto ended = [&](size_t i, const PortReport &report) {
        view.Finished(i, report);
        if (run.report)
            run.report->Write(report);
        statuses.push_back(report.status);
        if (statuses.size() == entries.size())
            loop.Finish(TrayExitStatus(statuses));
    };
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!entries[i].notLoaded.empty())
            continue;
        Settings settings = run.settings;
        settings.portName = entries[i].path;
        loads[i] = std::make_unique<PortLoad>(settings, run.options, view.Progress(i), noTrace, true);
        loads[i]->SetNoticeHandler([&notices, i](const std::string &text) { notices[i] = text; });
        QObject::connect(loads[i].get(), &PortLoad::Finished, loop.Context(),
                         [&ended, &loads, i] { ended(i, loads[i]->Report()); });
    }
    SignalBridge bridge;
    QObject::connect(&bridge, &SignalBridge::TerminationRequested, loop.Context(), [&] {
        for (const std::unique_ptr<PortLoad> &load : loads)
            if (load)
                load->Abort();
    });
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, loop.Context(), [&] {
        for (size_t i = 0; i < loads.size(); ++i) {
            if (!loads[i] || loads[i]->IsFinished())
                continue;
            loads[i]->Tick();
            if (!loads[i]->IsFinished())
                view.SetStatus(i, notices[i].empty() ? PhaseText(loads[i]->Load().Phase()) : notices[i]);
        }
        view.Redraw();
    });
    tick.start(kTickMs);
    for (size_t i = 0; i < entries.size(); ++i)
        if (!entries[i].notLoaded.empty())
            ended(i, NotLoadedReport(entries[i], run.settings, static_cast<uint32_t>(image.size())));
    for (const std::unique_ptr<PortLoad> &load : loads)
        if (load)
            load->Start(image);
    const int status = loop.Exec();
    view.Close();
    return status;
}

const char *const kDetails = R"(
Sends FILE as the loader window does: the byte "1", the image as a one-file
batch of CRC-16 blocks (1024 bytes, or 128 with --small-packets), then "2"
after a successful transfer. The header names the file by its base name.
Ctrl+C (or SIGTERM) aborts as "Abort" does: the two CAN bytes are sent.

Many modules at once: --port may be given several times, --ports picks every
port whose path matches a pattern (wildcards in its last part: quote it, e.g.
--ports '/dev/ttyUSB*'; without a folder, e.g. 'ttyUSB*', among the ports
Setup lists), and --all every port Setup lists as free (a profile's port is
then loaded only when named with --port). Each port gets its own
download, all at the same time; a slow, silent or failing module holds no
other back. A port that does not exist or is held by another program is
reported for that port, and so is a port given twice; the others go on.
With more than one module, give --timeout: a module that never answers is
otherwise waited for until Ctrl+C.

Progress: on a terminal a line redrawn in place (one per port for several);
otherwise a line at every tenth of the file, and for several ports a line at
each port's end (failures on stderr) and a summary.

--verify asks each module "at+ab info" before the download and, once its boot
banner (a "Version" line) has come after the "2", again; the two "Version"
texts are reported, and a module that reports the same version after the
download fails with status 10 (also when the image sent was the one it ran).

--report FILE writes one JSON object per port, a line each, as each port ends
(--report - writes them to stdout; progress then goes to stderr):
  port, result ("Successful", "Too many retries", "Aborted", "Protocol
  Error", the port's message, "No answer", "Version unchanged", "Port given
  twice", "No port matches"), status (the exit status of this port alone),
  error (what failed, when the result does not say it), image, size, bytes
  (acknowledged), blocks (written, header, repeats and end of batch
  included), naks, retries (blocks and EOTs sent again), start and end (UTC),
  seconds (start to end), rate (image bytes per second of the transfer),
  and with --verify version_before and version_after (null when not read).
)";
} // namespace

int RunLoad(const QStringList &arguments)
{
    CommandLine command(QStringLiteral("load"),
                        QStringLiteral("Download a firmware image into the module, or into many at once."),
                        QStringLiteral("FILE"), QString::fromLatin1(kDetails));
    const QCommandLineOption small(
        QStringLiteral("small-packets"),
        QStringLiteral("Send 128-byte blocks only (default: the profile's, else off)."));
    const QCommandLineOption trace(QStringLiteral("trace"),
                                   QStringLiteral("Print the trace of the exchange on stderr (one port only)."));
    const QCommandLineOption timeout(
        QStringLiteral("timeout"),
        QStringLiteral("Abort (status 8) when the module has sent nothing for ms milliseconds "
                       "(default: wait as long as it takes); also the wait for an info reply "
                       "(default 5000)."),
        QStringLiteral("ms"));
    const QCommandLineOption ports(QStringLiteral("ports"),
                                   QStringLiteral("Load every port whose path matches the pattern (below)."),
                                   QStringLiteral("glob"));
    const QCommandLineOption all(QStringLiteral("all"), QStringLiteral("Load every port that Setup lists as free."));
    const QCommandLineOption verify(
        QStringLiteral("verify"),
        QStringLiteral("Read the module's version before and after the download (below)."));
    const QCommandLineOption bootTimeout(
        QStringLiteral("boot-timeout"),
        QStringLiteral("With --verify, how long to wait for the boot banner after the \"2\" (default 10000)."),
        QStringLiteral("ms"));
    const QCommandLineOption report(QStringLiteral("report"),
                                    QStringLiteral("Write a JSON line per port to file (- for stdout; below)."),
                                    QStringLiteral("file"));
    command.Parser().addOptions({small, trace, timeout, ports, all, verify, bootTimeout, report});
    if (const std::optional<int> done = command.Parse(arguments))
        return *done;
    if (!command.ExpectPositionals(1, QStringLiteral("FILE")))
        return ExitStatus::Usage;
    const bool picking = command.IsSet(ports) || command.IsSet(all);
    std::optional<Settings> settings = command.LineSettings(!picking);
    const std::optional<int> quietLimit = command.Milliseconds(timeout, 0);
    const std::optional<int> bootWait = command.Milliseconds(bootTimeout, kDefaultBootWaitMs);
    if (!settings || !quietLimit || !bootWait)
        return ExitStatus::Usage;
    if (command.IsSet(trace) && (picking || command.PortValues().size() > 1))
        return UsageError(QStringLiteral("load: --trace follows one port only"));
    if (command.IsSet(small))
        settings->smallPackets = 1;

    const QString file = command.Parser().positionalArguments().constFirst();
    bool complete = false;
    settings->downloadFilename = ToCodePage(QFileInfo(file).fileName(), &complete);
    if (!complete)
        return UsageError(QStringLiteral("load: the file name holds characters that have no code in "
                                         "Windows-1252, in which the download names the image"));
    std::vector<uint8_t> image = ReadImageFile(std::filesystem::path(QFile::encodeName(file).toStdString()));
    if (image.empty()) {
        PrintError(std::string(kCouldNotReadFileMessage) + ": " + file.toStdString());
        return ExitStatus::FileError;
    }
    if (!HeaderFits(settings->downloadFilename, static_cast<uint32_t>(image.size()))) {
        PrintError(std::string(kFileNameTooLongMessage) + ": " + settings->downloadFilename);
        return ExitStatus::FileError;
    }
    ReportFile reportFile;
    if (command.IsSet(report) && !reportFile.Open(command.Value(report))) {
        PrintError("cannot write the report " + command.Value(report).toStdString() + ": " + std::strerror(errno));
        return ExitStatus::FileError;
    }

    // The ports named one by one first, so that a pattern's match of one of
    // them is no repeat.
    std::vector<PortChoice> choices;
    QStringList named = command.PortValues();
    if (named.isEmpty() && !picking)
        named << FromCodePage(settings->portName); // the profile's
    for (const QString &port : named)
        choices.push_back({ToCodePage(port), Identity(ToCodePage(port)), true});
    std::vector<TrayEntry> entries;
    for (const QString &glob : command.Parser().values(ports)) {
        const std::vector<std::string> matched = MatchPorts(glob);
        if (matched.empty())
            entries.push_back({ToCodePage(glob), kNoPortMatchesResult, ExitStatus::PortError});
        for (const std::string &port : matched)
            choices.push_back({port, Identity(port), false});
    }
    if (command.IsSet(all))
        for (const std::string &port : FreePorts())
            choices.push_back({port, Identity(port), false});
    for (const PlannedPort &port : PlanPorts(choices))
        entries.push_back({port.path, port.repeated ? kPortRepeatedResult : "", port.repeated ? ExitStatus::Usage : 0});
    if (entries.empty()) {
        PrintError("load: --all found no free port");
        return ExitStatus::PortError;
    }

    LoadRun run;
    run.settings = *settings;
    run.options.verify = command.IsSet(verify);
    run.options.quietLimitMs = static_cast<uint32_t>(*quietLimit);
    if (*quietLimit > 0)
        run.options.replyWaitMs = static_cast<uint32_t>(*quietLimit);
    run.options.bootWaitMs = static_cast<uint32_t>(*bootWait);
    run.trace = command.IsSet(trace);
    run.report = command.IsSet(report) ? &reportFile : nullptr;
    run.out = command.Value(report) == QLatin1String("-") ? stderr : stdout;
    if (entries.size() == 1 && entries.front().notLoaded.empty() && !picking) {
        run.settings.portName = entries.front().path;
        return LoadOnePort(run, std::move(image));
    }
    return LoadTray(run, entries, image);
}
