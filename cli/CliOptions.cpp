#include "cli/CliOptions.h"

#include "common/QtText.h"

#include "cli/ConsoleOutput.h"
#include "cli/ExitStatus.h"
#include "instance/ProfileLock.h"
#include "serial/PortNames.h"
#include "settings/CRegistry.h"
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <cstdio>

namespace {
void PrintOut(const QString &text)
{
    std::fputs(qPrintable(text), stdout);
    std::fflush(stdout);
}

// "A".."H", in either case.
std::optional<std::string> ProfileName(const QString &text)
{
    const std::string name = text.trimmed().toUpper().toStdString();
    for (const char *profile : kProfileNames)
        if (name == profile)
            return name;
    return std::nullopt;
}
} // namespace

int UsageError(const QString &text)
{
    PrintError(text.toStdString());
    return ExitStatus::Usage;
}

QString GeneralHelp()
{
    return QStringLiteral(
               "Usage: verrin-cli COMMAND [options] [arguments]\n"
               "Verrin's jobs without a window, for scripts and production lines.\n\n"
               "Commands:\n"
               "  load FILE   download a firmware image into the module\n"
               "  scan        scan the module's mesh network and print its nodes and links\n"
               "  send TEXT   send a command and print what comes back\n\n"
               "  verrin-cli COMMAND --help    the options of a command\n"
               "  verrin-cli --version         the version\n\n") +
           QString::fromLatin1(kExitStatusHelp);
}

CommandLine::CommandLine(const QString &name, const QString &description, const QString &syntax,
                         const QString &details)
    : m_name(name), m_syntax(syntax), m_details(details),
      m_help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")),
      m_version(QStringLiteral("version"), QStringLiteral("Show the version.")),
      m_port({QStringLiteral("p"), QStringLiteral("port")},
             QStringLiteral("Serial device of the module, e.g. /dev/ttyUSB0 (default: the profile's)."),
             QStringLiteral("device")),
      m_baud({QStringLiteral("b"), QStringLiteral("baud")},
             QStringLiteral("Baud rate (default: the profile's, else 115200)."), QStringLiteral("rate")),
      m_flow(QStringLiteral("flow"),
             QStringLiteral("RTS/CTS flow control on (default: the profile's, else off).")),
      m_profile(QStringLiteral("profile"),
                QStringLiteral("Take port, rate, flow control and packet size from profile A..H "
                               "(read only; the profile is not claimed)."),
                QStringLiteral("name"))
{
    m_parser.setApplicationDescription(description);
    m_parser.addOptions({m_help, m_version, m_port, m_baud, m_flow, m_profile});
}

QString CommandLine::HelpText() const
{
    // The parser's usage line knows the program, not the command word or what
    // follows the options.
    const QString help = m_parser.helpText();
    const QString usage = QStringLiteral("Usage: verrin-cli %1 [options] %2").arg(m_name, m_syntax).trimmed();
    return usage + help.mid(help.indexOf(QLatin1Char('\n'))) + m_details + QLatin1Char('\n') +
           QString::fromLatin1(kExitStatusHelp);
}

std::optional<int> CommandLine::Parse(const QStringList &arguments)
{
    if (!m_parser.parse(QStringList{QCoreApplication::applicationName()} + arguments))
        return UsageError(QStringLiteral("%1: %2 (see verrin-cli %1 --help)")
                              .arg(m_name, m_parser.errorText()));
    if (m_parser.isSet(m_help)) {
        PrintOut(HelpText());
        return ExitStatus::Ok;
    }
    if (m_parser.isSet(m_version)) {
        PrintOut(QStringLiteral("verrin-cli %1\n").arg(QCoreApplication::applicationVersion()));
        return ExitStatus::Ok;
    }
    return std::nullopt;
}

bool CommandLine::ExpectPositionals(int count, const QString &what)
{
    const QStringList given = m_parser.positionalArguments();
    if (given.size() == count)
        return true;
    if (given.size() < count)
        UsageError(QStringLiteral("%1: %2 missing (see verrin-cli %1 --help)").arg(m_name, what));
    else
        UsageError(QStringLiteral("%1: unexpected argument \"%2\"").arg(m_name, given.at(count)));
    return false;
}

std::optional<Settings> CommandLine::LineSettings(bool portNeeded)
{
    Settings settings;
    QString profileName;
    if (!m_parser.isSet(m_profile)) {
        settings.flowEnabled = 0; // without a profile, a plain three-wire line
    } else {
        const std::optional<std::string> profile = ProfileName(m_parser.value(m_profile));
        if (!profile) {
            UsageError(QStringLiteral("no such profile \"%1\" (profiles are A to H)")
                           .arg(m_parser.value(m_profile)));
            return std::nullopt;
        }
        // A script that only borrows a profile's port leaves the profile
        // exactly as the window left it.
        CRegistry registry(CRegistry::Mode::ReadOnly);
        LoadSettings(registry, *profile, settings);
        if (settings.portName.empty())
            settings.portName = DevicePathForPortNumber(settings.commPort);
        profileName = QString::fromStdString(*profile);
    }
    if (m_parser.isSet(m_port))
        settings.portName = ToCodePage(m_parser.value(m_port));
    if (m_parser.isSet(m_baud)) {
        bool ok = false;
        settings.baudrate = m_parser.value(m_baud).toInt(&ok);
        if (!ok || settings.baudrate <= 0) {
            UsageError(QStringLiteral("invalid baud rate: \"%1\" (a positive number, e.g. 115200)")
                           .arg(m_parser.value(m_baud)));
            return std::nullopt;
        }
    }
    if (m_parser.isSet(m_flow))
        settings.flowEnabled = 1;

    if (settings.portName.empty() && portNeeded) {
        UsageError(QStringLiteral("%1: no port given (use --port DEVICE or --profile NAME)").arg(m_name));
        return std::nullopt;
    }
    if (settings.baudrate <= 0) {
        UsageError(QStringLiteral("invalid baud rate %1 in profile %2 (give one with --baud)")
                       .arg(settings.baudrate)
                       .arg(profileName));
        return std::nullopt;
    }
    return settings;
}

std::optional<int> CommandLine::Milliseconds(const QCommandLineOption &option, int fallback)
{
    if (!m_parser.isSet(option))
        return fallback;
    bool ok = false;
    const int ms = m_parser.value(option).toInt(&ok);
    if (ok && ms >= 1)
        return ms;
    UsageError(QStringLiteral("invalid --%1: \"%2\" (milliseconds, 1 or more)")
                   .arg(option.names().constLast(), m_parser.value(option)));
    return std::nullopt;
}
