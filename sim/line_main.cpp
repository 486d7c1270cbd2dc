// verrin-line: an emulated serial line between two pseudo-terminals.
#include "sim/LineRelay.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

namespace {
const char *const kDetails = R"(
Each end is a pseudo-terminal published as a symbolic link: by default
$XDG_RUNTIME_DIR/verrin-line/a and .../b (a private folder under /tmp,
removed at exit, when XDG_RUNTIME_DIR is unset). The two paths are the first
two lines on standard output, end a first. Bytes written at one end come out at
the other after their byte time at --rate (10 bits per byte, each direction
on its own) and the one-way --latency. SIGINT, SIGTERM and SIGHUP end the
program and remove the links.
)";
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Joins two pseudo-terminals by an emulated serial line.");
    const QCommandLineOption help({"h", "help"}, "Show this help.");
    const QCommandLineOption version("version", "Show the version.");
    const QCommandLineOption linkA("link-a", "Publish end a at PATH.", "PATH");
    const QCommandLineOption linkB("link-b", "Publish end b at PATH.", "PATH");
    const QCommandLineOption rate("rate", "Line rate in baud, 10 bits per byte; 0: no pacing; default 115200.",
                                  "BAUD");
    const QCommandLineOption latency("latency", "One-way delay in milliseconds; default 0.", "MS");
    parser.addOptions({help, version, linkA, linkB, rate, latency});
    auto fail = [](const QString &message) {
        std::fprintf(stderr, "verrin-line: %s\n", qPrintable(message));
        return 2;
    };
    if (!parser.parse(QCoreApplication::arguments()))
        return fail(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return fail("unexpected argument " + parser.positionalArguments().first());
    if (parser.isSet(help)) {
        std::printf("%s%s", qPrintable(parser.helpText()), kDetails);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("verrin-line %s\n", VERRIN_VERSION);
        return 0;
    }
    LineOptions options;
    options.linkA = parser.value(linkA).toStdString();
    options.linkB = parser.value(linkB).toStdString();
    bool ok = true;
    if (parser.isSet(rate)) {
        const qulonglong v = parser.value(rate).toULongLong(&ok);
        if (!ok || v > 100000000)
            return fail("--rate takes a baud rate (0 for no pacing)");
        options.rate = static_cast<uint32_t>(v);
    }
    if (parser.isSet(latency)) {
        const qulonglong v = parser.value(latency).toULongLong(&ok);
        if (!ok || v > 60000)
            return fail("--latency takes milliseconds, up to 60000");
        options.latencyMs = static_cast<uint32_t>(v);
    }
    if (!options.linkA.empty() && options.linkA == options.linkB)
        return fail("the two ends need two paths");
    return RunLine(options);
}
