#include "app/CVerrinApp.h"

#include "app/CMessageBoxes.h"
#include "app/ProfileMessages.h"
#include "app/CVerrinDlg.h"
#include "common/SignalBridge.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <cstdio>

namespace {
int Fail(const QString &message)
{
    std::fprintf(stderr, "verrin: %s\n", qPrintable(message));
    return 2;
}
} // namespace

int CVerrinApp::InitInstance(int argc, char **argv)
{
    QApplication app(argc, argv);
    // From here on a termination signal waits for the event loop, so one that
    // comes while the window claims its profile still closes it cleanly.
    SignalBridge signalBridge;
    QApplication::setApplicationName(QStringLiteral("Verrin"));
    QApplication::setApplicationVersion(QStringLiteral(VERRIN_VERSION " (" VERRIN_VERSION_TEXT ")"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Test terminal for a LoRa radio module on a serial port."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(
        QStringList{QStringLiteral("p"), QStringLiteral("port")},
        QStringLiteral("Serial device to use, e.g. /dev/ttyUSB0 (default: the profile's port)."),
        QStringLiteral("device"));
    const QCommandLineOption baudOption(
        QStringList{QStringLiteral("b"), QStringLiteral("baud")},
        QStringLiteral("Baud rate (default: the profile's rate)."), QStringLiteral("rate"));
    const QCommandLineOption connectOption(
        QStringList{QStringLiteral("c"), QStringLiteral("connect")},
        QStringLiteral("Connect to the port at start."));
    const QCommandLineOption debugOption(
        QStringList{QStringLiteral("d"), QStringLiteral("debug")},
        QStringLiteral("Debug mode: show the debug screen with the trace of downloads."));
    parser.addOptions({portOption, baudOption, connectOption, debugOption});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        return Fail(QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first()));

    CVerrinDlg::StartOptions options;
    options.connect = parser.isSet(connectOption);
    options.debugMode = parser.isSet(debugOption);
    if (parser.isSet(baudOption)) {
        bool ok = false;
        const int baud = parser.value(baudOption).toInt(&ok);
        if (!ok || baud <= 0)
            return Fail(QStringLiteral("invalid baud rate: \"%1\" (a positive number, e.g. 115200)")
                            .arg(parser.value(baudOption)));
        options.baudrate = baud;
    }
    if (parser.isSet(portOption)) {
        options.portPath = parser.value(portOption);
        if (!QFileInfo::exists(options.portPath))
            return Fail(QStringLiteral("no such port: %1").arg(options.portPath));
    }

    CVerrinDlg dialog(options);
    if (dialog.Started() != StartOutcome::Claimed) {
        const ProfileMessage m = StartFailureMessage(dialog.Started());
        std::fprintf(stderr, "verrin: %s\n", m.text.c_str());
        QObject::connect(&signalBridge, &SignalBridge::TerminationRequested, &app, &QApplication::quit);
        CMessageBoxes(nullptr).Show(m.text, m.caption, m.icon);
        return 1;
    }
    // A termination signal closes the main window as its close box does, from
    // wherever the program stands: every open dialog and message box goes with
    // it, so that nothing keeps running on a released profile.
    QObject::connect(&signalBridge, &SignalBridge::TerminationRequested, &dialog, [&dialog] {
        dialog.reject();
        QCoreApplication::exit(0);
    });
    dialog.exec();
    return 0;
}
