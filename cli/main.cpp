// verrin-cli: Verrin's jobs without a window. The first argument names the
// command; each command parses the rest itself.

#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <memory>

int main(int argc, char **argv)
{
    // Only a picture needs Qt's GUI side (fonts); it is drawn on the offscreen
    // platform, so no command ever needs a display.
    QStringList given;
    for (int i = 1; i < argc; ++i)
        given << QString::fromLocal8Bit(argv[i]);
    std::unique_ptr<QCoreApplication> app;
    if (given.value(0) == QLatin1String("scan") && ScanDrawsPictures(given.mid(1))) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
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
