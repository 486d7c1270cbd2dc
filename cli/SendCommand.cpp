// verrin-cli send: a command typed at the terminal, and what comes back, for
// a while or until an expected text has come.

#include "app/TerminalText.h"
#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "cli/ConsoleOutput.h"
#include "cli/ExitStatus.h"
#include "cli/PortReconnect.h"
#include "cli/RunLoop.h"
#include "common/QtText.h"
#include "common/SignalBridge.h"
#include "serial/CSerialPort.h"

#include <QTimer>
#include <cstdio>
#include <vector>

namespace {
constexpr int kReceiveTickMs = 100;

struct SendRun {
    std::string text;
    bool hex = false;
    std::string until; // empty: read until the time-out
    int timeoutMs = 2000;
    bool reconnect = false; // wait for a vanished device and read on
};

class Exchange {
public:
    Exchange(const Settings &settings, SendRun run)
        : m_settings(settings), m_run(std::move(run)), m_messages(settings.portName), m_port(m_messages)
    {
    }

    int Run()
    {
        SignalBridge bridge;
        if (!m_port.OpenPort(FromCodePage(m_settings.portName), m_settings.baudrate,
                             m_settings.flowEnabled != 0))
            return ExitStatus::PortError;
        QObject::connect(&bridge, &SignalBridge::TerminationRequested, m_loop.Context(),
                         [this] { m_loop.Finish(ExitStatus::Aborted); });
        QObject::connect(&m_port, &CSerialPort::BytesArrived, m_loop.Context(), [this] { Receive(); });
        PortReconnect reconnect(m_port, m_run.reconnect, [this] { Receive(); });
        QObject::connect(&m_port, &CSerialPort::PortLost, m_loop.Context(), [&] {
            if (!reconnect.Lost())
                m_loop.Finish(ExitStatus::PortError);
        });
        QTimer receive;
        QObject::connect(&receive, &QTimer::timeout, m_loop.Context(), [this] { Receive(); });
        receive.start(kReceiveTickMs);
        if (m_port.SendString(m_run.text) < 0)
            return ExitStatus::PortError;
        QTimer::singleShot(m_run.timeoutMs, m_loop.Context(), [this] {
            Receive();
            if (m_loop.Finished())
                return;
            if (!m_run.until.empty())
                PrintError("\"" + m_run.until + "\" did not come within " +
                           std::to_string(m_run.timeoutMs) + " ms");
            m_loop.Finish(m_run.until.empty() ? ExitStatus::Ok : ExitStatus::TimedOut);
        });
        const int status = m_loop.Exec();
        if (m_lastOut != '\n' && m_lastOut != 0)
            Print("\n");
        m_port.ClosePort();
        return status;
    }

private:
    void Receive()
    {
        const int32_t waiting = m_port.BytesWaiting();
        if (waiting <= 0)
            return;
        std::vector<uint8_t> bytes(static_cast<size_t>(waiting));
        bytes.resize(m_port.ReadBlock(bytes.data(), waiting));
        if (bytes.empty())
            return;
        std::string shown;
        if (m_run.hex) {
            // One line per read, as the binary display shows one per poll.
            char hex[4];
            for (uint8_t b : bytes) {
                std::snprintf(hex, sizeof hex, " %02X", b);
                shown += hex;
            }
            m_received += shown;
            shown += '\n';
        } else {
            FilterReceived(bytes.data(), bytes.size(), shown);
            m_received += shown;
            shown = m_lineEnds.Normalise(shown);
        }
        Print(shown);
        if (!m_run.until.empty() && !m_seen) {
            // Only the new text and the tail before it can hold a new match.
            const size_t from = m_searched > m_run.until.size() ? m_searched - m_run.until.size() : 0;
            m_seen = m_received.find(m_run.until, from) != std::string::npos;
            m_searched = m_received.size();
            if (m_seen)
                m_loop.Finish(ExitStatus::Ok);
        }
    }

    void Print(const std::string &text)
    {
        if (text.empty())
            return;
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
        m_lastOut = text.back();
    }

    Settings m_settings;
    SendRun m_run;
    StderrMessages m_messages;
    CSerialPort m_port;
    RunLoop m_loop;
    LineEnds m_lineEnds;
    std::string m_received; // everything shown, for --until
    size_t m_searched = 0;
    bool m_seen = false;
    char m_lastOut = 0;
};

const char *const kDetails = R"(
Writes TEXT to the module (with CR LF after it when --crlf is given) and
prints what comes back: as text through the terminal's filter (printable
characters and line ends), or with --hex as " %02X" per byte, a line per read.
It ends when the --until text has come (status 0) or the time-out has passed
(status 0 without --until, 8 with it). With --hex, --until matches the hex
text, e.g. --until " 0E 04".
)";
} // namespace

int RunSend(const QStringList &arguments)
{
    CommandLine command(QStringLiteral("send"), QStringLiteral("Send a command and print what comes back."),
                        QStringLiteral("TEXT"), QString::fromLatin1(kDetails));
    const QCommandLineOption crlf(QStringLiteral("crlf"), QStringLiteral("End TEXT with CR LF."));
    const QCommandLineOption hex(QStringLiteral("hex"), QStringLiteral("Print the reply in hexadecimal."));
    const QCommandLineOption until(QStringLiteral("until"),
                                   QStringLiteral("End as soon as text has come back."),
                                   QStringLiteral("text"));
    const QCommandLineOption timeout(QStringLiteral("timeout"),
                                     QStringLiteral("How long to read, in milliseconds (default 2000)."),
                                     QStringLiteral("ms"));
    const QCommandLineOption reconnect(QStringLiteral("reconnect"), QString::fromLatin1(kReconnectHelp));
    command.Parser().addOptions({crlf, hex, until, timeout, reconnect});
    if (const std::optional<int> done = command.Parse(arguments))
        return *done;
    if (!command.ExpectPositionals(1, QStringLiteral("TEXT")))
        return ExitStatus::Usage;

    SendRun run;
    bool complete = true, untilComplete = true;
    run.text = ToCodePage(command.Parser().positionalArguments().constFirst(), &complete);
    run.until = ToCodePage(command.Value(until), &untilComplete);
    if (!complete || !untilComplete)
        return UsageError(QStringLiteral("send: the text holds characters that have no code in "
                                         "Windows-1252, the module's 8-bit text"));
    if (command.IsSet(crlf))
        run.text += "\r\n";
    if (run.text.empty())
        return UsageError(QStringLiteral("send: TEXT is empty"));
    run.hex = command.IsSet(hex);
    run.reconnect = command.IsSet(reconnect);
    if (command.IsSet(until) && run.until.empty())
        return UsageError(QStringLiteral("send: --until needs a text"));
    const std::optional<int> timeoutMs = command.Milliseconds(timeout, run.timeoutMs);
    const std::optional<Settings> settings = command.LineSettings();
    if (!timeoutMs || !settings)
        return ExitStatus::Usage;
    run.timeoutMs = *timeoutMs;
    Exchange exchange(*settings, std::move(run));
    return exchange.Run();
}
