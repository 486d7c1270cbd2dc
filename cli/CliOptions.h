#pragma once
// The command line of verrin-cli: each command has its own option set; the
// port options are common to all of them. Settings come from the defaults,
// then from --profile, then from the options given, so a script can borrow a
// profile's port and still change its rate.

#include "settings/Settings.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <optional>

class CommandLine {
public:
    // name: the command word; syntax: what follows the options in the usage
    // line ("FILE"); details: text after the option list.
    CommandLine(const QString &name, const QString &description, const QString &syntax,
                const QString &details);

    QCommandLineParser &Parser() { return m_parser; }

    // Parses the command's arguments (those after the command word). Returns
    // the exit status when the command is already done: its help or the
    // version shown, or a usage error reported.
    std::optional<int> Parse(const QStringList &arguments);

    // Settings of the run: the profile's (read, never written back) or the
    // defaults, with port, rate and flow control from the options, the port
    // device resolved into portName (the last --port given). Reports and
    // returns nothing when they cannot be used (no port where one is needed,
    // a bad rate, an unknown profile).
    std::optional<Settings> LineSettings(bool portNeeded = true);
    // Every --port given, in order.
    QStringList PortValues() const { return m_parser.values(m_port); }

    // A time in milliseconds from option, or fallback when it is not given;
    // nothing (reported) when it is not a number of 1 ms or more.
    std::optional<int> Milliseconds(const QCommandLineOption &option, int fallback);

    // The exact positional arguments expected; reports a usage error otherwise.
    bool ExpectPositionals(int count, const QString &what);

    bool IsSet(const QCommandLineOption &option) const { return m_parser.isSet(option); }
    QString Value(const QCommandLineOption &option) const { return m_parser.value(option); }

private:
    QString HelpText() const;

    QString m_name;
    QString m_syntax;
    QString m_details;
    QCommandLineParser m_parser;
    QCommandLineOption m_help;
    QCommandLineOption m_version;
    QCommandLineOption m_port;
    QCommandLineOption m_baud;
    QCommandLineOption m_flow;
    QCommandLineOption m_profile;
};

// --reconnect of send and scan.
inline constexpr const char *kReconnectHelp =
    "When the port's device vanishes, wait for it to come back on the same path, open it again and go on.";

// Prints a usage error and gives its exit status.
int UsageError(const QString &text);

// What `verrin-cli --help` prints.
QString GeneralHelp();
