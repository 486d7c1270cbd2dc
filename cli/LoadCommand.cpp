// verrin-cli load: the loader window's download. The same sender runs in the
// same states, stepped as the main window steps it: whenever bytes arrive,
// and on a 100 ms tick.

#include "cli/CliOptions.h"
#include "common/QtText.h"
#include "cli/Commands.h"
#include "cli/ConsoleOutput.h"
#include "cli/ConsoleProgress.h"
#include "cli/ExitStatus.h"
#include "cli/RunLoop.h"
#include "common/SignalBridge.h"
#include "serial/CSerialPort.h"
#include "transfer/ImageFile.h"
#include "transfer/LoaderRules.h"
#include "transfer/YmodemSender.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace {
constexpr int kTickMs = 100;

class NoTrace : public TraceSink {
public:
    void TraceText(std::string_view) override {}
    void TraceControlByte(uint8_t) override {}
};

bool IsWaitingState(int32_t state)
{
    return state == SenderState::AwaitHeaderRequest || state == SenderState::AwaitFirstDataRequest ||
           state == SenderState::AwaitReply;
}

class Download {
public:
    Download(const Settings &settings, bool trace, int quietLimitMs)
        : m_settings(settings), m_messages(settings.portName), m_port(m_messages),
          m_progress(StdoutIsTerminal()),
          m_sender(m_port, m_progress, trace ? static_cast<TraceSink &>(m_trace) : m_noTrace, m_settings,
                   m_clock),
          m_quietLimitMs(quietLimitMs)
    {
    }

    int Run(std::vector<uint8_t> image)
    {
        if (m_sender.Start(std::move(image), m_state) == StartResult::FileNameTooLong) {
            PrintError(std::string(kFileNameTooLongMessage) + ": " + m_settings.downloadFilename);
            return ExitStatus::FileError;
        }
        SignalBridge bridge;
        if (!m_port.OpenPort(FromCodePage(m_settings.portName), m_settings.baudrate,
                             m_settings.flowEnabled != 0))
            return ExitStatus::PortError;

        QObject::connect(&bridge, &SignalBridge::TerminationRequested, m_loop.Context(), [this] {
            m_progress.EndLine();
            m_sender.RequestAbort(); // the two CAN bytes go out at the next step
            Steps();
        });
        QObject::connect(&m_port, &CSerialPort::BytesArrived, m_loop.Context(), [this] {
            m_quiet.restart();
            Steps();
        });
        QObject::connect(&m_port, &CSerialPort::PortLost, m_loop.Context(),
                         [this] { m_loop.Finish(ExitStatus::PortError); });
        QTimer tick;
        tick.setInterval(kTickMs);
        QObject::connect(&tick, &QTimer::timeout, m_loop.Context(), [this] { Tick(); });
        tick.start();
        m_quiet.start();
        QTimer::singleShot(0, m_loop.Context(), [this] { Steps(); });
        const int status = m_loop.Exec();
        m_progress.EndLine();
        m_port.ClosePort();
        return status;
    }

private:
    void Tick()
    {
        if (m_quietLimitMs > 0 && IsWaitingState(m_state) && !m_sender.AbortRequested() &&
            m_quiet.elapsed() >= m_quietLimitMs) {
            m_progress.EndLine();
            PrintError("no answer from the module for " + std::to_string(m_quietLimitMs) + " ms");
            m_timedOut = true;
            m_sender.RequestAbort();
        }
        Steps();
    }

    void Steps()
    {
        // A write may deliver arriving bytes from inside a step; the step
        // running picks them up itself.
        if (m_inSteps || m_state == SenderState::Idle)
            return;
        m_inSteps = true;
        m_sender.RunReadySteps(m_state);
        m_inSteps = false;
        if (m_state == SenderState::Idle)
            m_loop.Finish(m_timedOut ? ExitStatus::TimedOut : ExitStatusFor(m_sender.Result()));
    }

    Settings m_settings; // the sender reads them live
    StderrMessages m_messages;
    CSerialPort m_port;
    ConsoleProgress m_progress;
    StderrTrace m_trace;
    NoTrace m_noTrace;
    SteadyTickClock m_clock;
    YmodemSender m_sender;
    int m_quietLimitMs;
    int32_t m_state = SenderState::Idle;
    RunLoop m_loop;
    QElapsedTimer m_quiet; // since the module last sent something
    bool m_inSteps = false;
    bool m_timedOut = false;
};

const char *const kDetails = R"(
Sends FILE as the loader window does: the byte "1", the image as a one-file
batch of CRC-16 blocks (1024 bytes, or 128 with --small-packets), then "2"
after a successful transfer. The header names the file by its base name.
Progress: a line redrawn in place on a terminal, otherwise a line at every
tenth of the file. Ctrl+C (or SIGTERM) aborts as "Abort" does: the two CAN
bytes are sent.
)";
} // namespace

int RunLoad(const QStringList &arguments)
{
    CommandLine command(QStringLiteral("load"),
                        QStringLiteral("Download a firmware image into the module."),
                        QStringLiteral("FILE"), QString::fromLatin1(kDetails));
    const QCommandLineOption small(
        QStringLiteral("small-packets"),
        QStringLiteral("Send 128-byte blocks only (default: the profile's, else off)."));
    const QCommandLineOption trace(QStringLiteral("trace"),
                                   QStringLiteral("Print the trace of the exchange on stderr."));
    const QCommandLineOption timeout(
        QStringLiteral("timeout"),
        QStringLiteral("Abort (status 8) when the module has sent nothing for ms milliseconds "
                       "(default: wait as long as it takes)."),
        QStringLiteral("ms"));
    command.Parser().addOptions({small, trace, timeout});
    if (const std::optional<int> done = command.Parse(arguments))
        return *done;
    if (!command.ExpectPositionals(1, QStringLiteral("FILE")))
        return ExitStatus::Usage;
    std::optional<Settings> settings = command.LineSettings();
    const std::optional<int> quietLimit = command.Milliseconds(timeout, 0);
    if (!settings || !quietLimit)
        return ExitStatus::Usage;
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
    Download download(*settings, command.IsSet(trace), *quietLimit);
    return download.Run(std::move(image));
}
