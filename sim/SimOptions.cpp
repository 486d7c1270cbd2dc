#include "sim/SimOptions.h"

#include "sim/ModuleCommands.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <functional>

namespace {
const char *const kDetails = R"(
Published path:
  The slave side of the pseudo-terminal is published as a symbolic link:
  $XDG_RUNTIME_DIR/verrin-sim/port by default (port2, port3 .. when other
  runs hold it; Verrin's Setup lists them all), a private folder
  /tmp/verrin-sim-XXXXXX (removed at exit) when XDG_RUNTIME_DIR is unset, or
  --link PATH. The path is the first line on standard output. A link left by
  a run that died is replaced; "<link>.lock" marks a live one. SIGINT,
  SIGTERM and SIGHUP end the program and remove the link.

Several modules (--count N, up to 16): each on a port of its own, published
at the next free names (port, port2, ..; with --link PATH: PATH, PATH2, ..),
one path a line, module 1 first. Module n has the group address --group + n - 1,
and every address of its mesh (its own node address included) is the demo's
or the topology's plus (n - 1) * 100 hex. In --save-image and --log, "{n}"
stands for the module's number; with more than one module they need it. A
fault option applies to every module, or as K:N to module K alone (given
again for other modules); a module's own value wins over one for all.

Commands: text lines ended by CR, LF or CR LF, case-insensitive command words,
no echo. Every reply starts with CR LF.
  at, at+ab                  OK
  at+ab info                 LoRa mesh module, Version <version>, Node Addr <node>,
                             Publish Addr <group>, Subscribe Addr <group>,
                             Radio 868.100 MHz SF9 BW125, OK
  at+ab config               Config, Radio: ..., Mesh: node, group, ...,
                             UART: 8N1, no echo, OK
  at+ab reset                Reset, the boot banner (below), Ready
  at+ab SendData <addr> "<text>"
                             Sent <n> bytes to <addr>, OK (\n \r \t \\ \" in
                             the text count one byte); bad form: ERROR: usage
  at+ab loranet <group>      own group: the header line "Relay  dBm  Node", one
                             line per link "<level>:<relay> <dBm>  <node>"
                             (e.g. "0:0001 -11  0002"), OK. Signal levels wander
                             by up to 3 dB from scan to scan.
                             Another group: "No nodes in group <group>".
  anything else              one line per burst of input, after 200 ms of
                             silence: ERROR: unknown command "<line>" when the
                             burst was one unknown line starting with "at",
                             otherwise ERROR: not a command (<n> bytes).
                             Line tests, stray binary and long lines land here.

Single keys at the start of a line:
  1    firmware download (below)
  2    boot banner: "Boot: image <size> bytes, CRC32 <8 hex digits>" for the
       last downloaded image (CRC-32 as zlib's crc32), or "Boot: no image
       downloaded, resident firmware"; then "Version <version>".
  The version is @VERSION@ until an image has been downloaded; then it is the
  word after the first "Version " in the image's bytes, or, for an image
  without one, the image's CRC-32 in 8 hex digits.

Binary test messages (hexadecimal) and their answers:
  01 03 0C 00                 04 0E 04 01 03 0C 00  Command Complete, status 0
  01 09 10 00                 04 0E 0A 01 09 10 00 <lo> <hi> 00 DC 1B 00
                              Command Complete, address 00:1B:DC:00:<node>
  01 01 04 05 33 8B 9E 06 10  04 0F 04 00 01 01 04  Command Status, then
                              04 01 01 00           Inquiry Complete, no device
  00 04 3E 26 00 CC 00 04 3E 26 0A BC CD ...  (the two ESD messages),
  CD 07 AB CD FD 00 00, D1 07 11
                              <first byte + 1> <second> <third> 00
  Other binary is thrown away up to the next line end or pause and reported
  once, as above.

Firmware download ("1"): YMODEM receive with CRC-16.
  - "C" every second until the header block arrives (60 at most, then CAN CAN).
  - Header: block 0 with the file name, NUL, the size in decimal, NUL; answered
    ACK and "C". Without a size, the image is all data received.
  - Data blocks of 128 (SOH) or 1024 (STX) bytes, CRC-16 high byte first: ACK.
    NAK for a bad CRC, complement or block number; a repeat of the last block
    is ACKed again and not stored twice. A block cut short is dropped (NAK)
    after a second; a sender silent for 10 s gets a NAK (6 times, then CAN CAN).
    While waiting for the header or block 1, a "C" follows every second of
    silence, also after a NAK.
  - EOT: ACK; the image is complete (--save-image writes it now). The
    end-of-batch block (block 0, empty name) is ACKed whether it comes at once
    or after a "C" (sent after a second of silence, 10 at most).
  - The image is the first <size> bytes; padding is ignored. CAN from the
    sender ends the download; "1" between blocks starts it again; text before
    the header leaves it.

Fault numbers N count what the sender sends that awaits an answer: 0 is the
header block, 1, 2, ... the data blocks in order (not wrapped at 256), then
EOT, then the end-of-batch block. Repeats of an accepted block do not count.
A NAKed item is accepted when it comes again after the last NAK; after the
stray byte the receiver waits for the item again; CAN CAN ends the download.

Topology file (--topology): one link per line, "level relay rssi node": the
relay's hop level (0: the relay is the local node), the relay address (hex),
the signal level in dBm (-200 to -1), the address of the node heard (hex).
"#" starts a comment. All level-0 lines share one relay, the local node.
  # level relay rssi node
  0 0001 -11 0002
  1 0002 -17 0003
Without --topology: a demo mesh of 13 nodes, 0001 (local) to 000D, over four
hop levels.

Topology script (--topology-script): topologies that replace each other at
given times, for tests that expect exact scan results. Blocks of links as in
a topology file, each headed by a line "at SECONDS" (a decimal number). The
first block is "at 0"; each later one comes later. Times count from the first
scan ("at+ab loranet" of the module's own group) that the module answers, so a
script lines up with the scans whenever its scanner started; a scanner that
scans every 5 s meets the blocks below at its first, second and third scan.
Every block names the same local node. Signal levels are reported exactly as
written: they do not wander.
  at 0
  0 0001 -11 0002
  0 0001 -14 0003
  at 2.5               # 0003 leaves, 0004 joins through 0002
  0 0001 -11 0002
  1 0002 -20 0004
  at 7.5               # the link to 0002 weakens by 9 dB
  0 0001 -20 0002
  1 0002 -20 0004
)";

bool ToNumber(const QString &text, uint64_t max, uint64_t &value, int base = 10)
{
    bool ok = false;
    value = text.toULongLong(&ok, base);
    return ok && value <= max;
}

// A fault value "N" for every module or "K:N" for module K: the module's
// index from 0, or -1 for all.
bool ToModuleValue(const QString &text, int count, uint64_t max, int &module, uint64_t &value)
{
    module = -1;
    const int colon = text.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        uint64_t k = 0;
        if (!ToNumber(text.left(colon), static_cast<uint64_t>(count), k) || k == 0)
            return false;
        module = static_cast<int>(k) - 1;
    }
    return ToNumber(text.mid(colon + 1), max, value);
}
} // namespace

std::string ModulePath(const std::string &pattern, int module)
{
    std::string path = pattern;
    const std::string number = std::to_string(module);
    for (size_t at = path.find("{n}"); at != std::string::npos; at = path.find("{n}", at + number.size()))
        path.replace(at, 3, number);
    return path;
}

std::optional<SimOptions> ParseSimOptions(int argc, char **argv, int &exitCode)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Plays the LoRa radio module on a pseudo-terminal.");
    const QCommandLineOption help({"h", "help"}, "Show this help.");
    const QCommandLineOption version("version", "Show the version.");
    const QCommandLineOption link("link", "Publish the port at PATH.", "PATH");
    const QCommandLineOption count("count", "Run N modules, each on a port of its own (below); default 1.", "N");
    const QCommandLineOption group("group", "Group address (Publish Addr), hexadecimal; default C001.", "HEX");
    const QCommandLineOption rate("line-rate", "Pace both directions to a line at BAUD, 10 bits per byte; "
                                               "default: no pacing.", "BAUD");
    const QCommandLineOption log("log", "Append every byte received, raw, to FILE ({n}: the module's number).",
                                 "FILE");
    const QCommandLineOption topology("topology", "Mesh links from FILE instead of the demo mesh.", "FILE");
    const QCommandLineOption script("topology-script",
                                    "Topologies from FILE that replace each other at given times (below).", "FILE");
    const QCommandLineOption churn("churn", "Nodes fall silent and come back, one change every 8 s.");
    const QCommandLineOption save("save-image", "Write each downloaded image to FILE ({n}: the module's number).",
                                  "FILE");
    const QCommandLineOption nakAt("nak-block", "Answer block N with NAK (see --nak-count), then accept it.",
                                   "[K:]N");
    const QCommandLineOption nakCount("nak-count", "How many NAKs --nak-block gives; default 1.", "[K:]C");
    const QCommandLineOption cancelAt("cancel-at", "Answer block N with CAN CAN and leave the download.", "[K:]N");
    const QCommandLineOption strayAt("stray-at", "Answer block N once with the stray byte 'X', then wait.",
                                     "[K:]N");
    const QCommandLineOption silentAt("silent-at", "From block N on, answer nothing.", "[K:]N");
    parser.addOptions({help, version, link, count, group, rate, log, topology, script, churn, save, nakAt,
                       nakCount, cancelAt, strayAt, silentAt});

    auto fail = [&](const QString &message) {
        std::fprintf(stderr, "verrin-sim: %s\n", qPrintable(message));
        exitCode = 2;
        return std::nullopt;
    };
    if (!parser.parse(QCoreApplication::arguments()))
        return fail(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return fail("unexpected argument " + parser.positionalArguments().first());
    if (parser.isSet(help)) {
        const QString details = QString(kDetails).replace("@VERSION@", ModuleCommands::kVersion);
        std::printf("%s%s", qPrintable(parser.helpText()), qPrintable(details));
        exitCode = 0;
        return std::nullopt;
    }
    if (parser.isSet(version)) {
        std::printf("verrin-sim %s\n", VERRIN_VERSION);
        exitCode = 0;
        return std::nullopt;
    }

    SimOptions o;
    uint64_t v = 0;
    o.link = parser.value(link).toStdString();
    if (parser.isSet(count)) {
        if (!ToNumber(parser.value(count), 16, v) || v == 0)
            return fail("--count takes a number of modules from 1 to 16");
        o.count = static_cast<int>(v);
    }
    if (parser.isSet(group)) {
        if (!ToNumber(parser.value(group), 0xFFFF, v, 16))
            return fail("--group takes a hexadecimal address up to FFFF");
        o.group = static_cast<uint16_t>(v);
    }
    if (parser.isSet(rate)) {
        if (!ToNumber(parser.value(rate), 100000000, v) || v == 0)
            return fail("--line-rate takes a baud rate above 0");
        o.lineRate = static_cast<uint32_t>(v);
    }
    o.logFile = parser.value(log).toStdString();
    o.topologyFile = parser.value(topology).toStdString();
    o.scriptFile = parser.value(script).toStdString();
    o.churn = parser.isSet(churn);
    if (parser.isSet(script) && (parser.isSet(topology) || o.churn))
        return fail("--topology-script replaces --topology and --churn; give it alone");
    o.saveImage = parser.value(save).toStdString();
    for (const auto &[option, pattern] : {std::pair(&save, &o.saveImage), std::pair(&log, &o.logFile)}) {
        if (o.count > 1 && !pattern->empty() && pattern->find("{n}") == std::string::npos)
            return fail("--" + option->names().first() + " needs {n} in its name when there are several modules");
    }
    // Values for every module first, so that a module's own value wins.
    o.faults.assign(static_cast<size_t>(o.count), TransferFaults{});
    struct FaultOption {
        const QCommandLineOption *option;
        uint64_t min, max;
        std::function<void(TransferFaults &, uint64_t)> set;
    };
    const FaultOption items[] = {
        {&nakAt, 0, 1u << 30, [](TransferFaults &f, uint64_t n) { f.nakAt = static_cast<long>(n); }},
        {&nakCount, 1, 1000, [](TransferFaults &f, uint64_t n) { f.nakCount = static_cast<int>(n); }},
        {&cancelAt, 0, 1u << 30, [](TransferFaults &f, uint64_t n) { f.cancelAt = static_cast<long>(n); }},
        {&strayAt, 0, 1u << 30, [](TransferFaults &f, uint64_t n) { f.strayAt = static_cast<long>(n); }},
        {&silentAt, 0, 1u << 30, [](TransferFaults &f, uint64_t n) { f.silentAt = static_cast<long>(n); }}};
    for (const bool own : {false, true}) {
        for (const FaultOption &item : items) {
            for (const QString &text : parser.values(*item.option)) {
                int module = -1;
                if (!ToModuleValue(text, o.count, item.max, module, v) || v < item.min)
                    return fail(QStringLiteral("--%1 takes a number from %2 to %3, or K:N for module K of --count")
                                    .arg(item.option->names().first())
                                    .arg(item.min)
                                    .arg(item.max));
                for (int m = 0; m < o.count; ++m)
                    if ((module >= 0) == own && (module < 0 || m == module))
                        item.set(o.faults[static_cast<size_t>(m)], v);
            }
        }
    }
    return o;
}
