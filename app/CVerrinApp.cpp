#include "app/CVerrinApp.h"

#include "app/CMessageBoxes.h"
#include "app/ProfileMessages.h"
#include "app/CVerrinDlg.h"
#include "common/SignalBridge.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <cstdio>
#include <memory>
#include <string_view>

namespace {
int Fail(const QString &message)
{
    std::fprintf(stderr, "verrin: %s\n", qPrintable(message));
    return 2;
}

// --help and --version are answered in text, which needs no display.
bool AnswersInText(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--")
            break;
        if (arg == "-h" || arg == "--help" || arg == "--help-all" || arg == "-v" || arg == "--version")
            return true;
    }
    return false;
}

// Closes the modal box that is up: its exec() returns as when its Cancel or
// close button is pressed.
void CloseModalBox()
{
    if (QWidget *box = QApplication::activeModalWidget())
        box->close();
}
} // namespace

int CVerrinApp::InitInstance(int argc, char **argv)
{
    const std::unique_ptr<QCoreApplication> app(AnswersInText(argc, argv) ? new QCoreApplication(argc, argv)
                                                                          : new QApplication(argc, argv));
    SignalBridge signalBridge;
    QCoreApplication::setApplicationName(QStringLiteral("Verrin"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VERRIN_VERSION " (" VERRIN_VERSION_TEXT ")"));

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
    parser.process(*app);
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

    // Until the window runs, the only event loops are those of message boxes:
    // the refusal below, or a question the window asks while it starts. A
    // termination request closes the box that is up (as its Cancel) and the
    // program ends with 1; a request that comes before any box waits for the
    // window's own loop, which closes it cleanly.
    bool terminated = false;
    const QMetaObject::Connection whileStarting =
        QObject::connect(&signalBridge, &SignalBridge::TerminationRequested, app.get(), [&terminated] {
            terminated = true;
            CloseModalBox();
        });
    CVerrinDlg dialog(options);
    if (terminated || dialog.Started() != StartOutcome::Claimed) {
        const ProfileMessage m = StartFailureMessage(dialog.Started());
        if (!terminated && !m.text.empty()) {
            std::fprintf(stderr, "verrin: %s\n", m.text.c_str());
            CMessageBoxes(nullptr).Show(m.text, m.caption, m.icon);
        }
        return 1;
    }
    QObject::disconnect(whileStarting);
    QObject::connect(&signalBridge, &SignalBridge::TerminationRequested, &dialog, &CVerrinDlg::EndOnRequest);
    dialog.exec();
    return 0;
}
