// verrin-cli: Verrin's jobs without a window. The first argument names the
// command; each command parses the rest itself.

#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("verrin-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VERRIN_VERSION " (" VERRIN_VERSION_TEXT ")"));

    const QStringList arguments = QCoreApplication::arguments().mid(1);
    const QString command = arguments.value(0);
    const QStringList rest = arguments.mid(1);
    if (command == QLatin1String("load"))
        return RunLoad(rest);
    if (command == QLatin1String("scan"))
        return RunScan(rest);
    if (command == QLatin1String("send"))
        return RunSend(rest);
    if (command == QLatin1String("--help") || command == QLatin1String("-h") ||
        command == QLatin1String("help")) {
        std::fputs(qPrintable(GeneralHelp()), stdout);
        return ExitStatus::Ok;
    }
    if (command == QLatin1String("--version")) {
        std::printf("verrin-cli %s\n", qPrintable(QCoreApplication::applicationVersion()));
        return ExitStatus::Ok;
    }
    if (command.isEmpty())
        return UsageError(QStringLiteral("no command given (load, scan or send; see verrin-cli --help)"));
    return UsageError(QStringLiteral("unknown command \"%1\" (load, scan or send; see verrin-cli --help)")
                          .arg(command));
}
