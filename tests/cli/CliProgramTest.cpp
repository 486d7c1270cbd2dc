// verrin-cli as a program, against the virtual module and against lrzsz's rb
// over the emulated line: downloads and their results, scans in each output
// format (pictures and change events included), command exchanges, and
// command lines that must send nothing.
#include "settings/CRegistry.h"
#include "settings/SettingsStore.h"
#include "support/Pty.h"
#include "support/SimProcess.h"
#include "support/Subprocess.h"
#include "support/WaitFor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSerialPort>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <algorithm>
#include <csignal>
#include <cstring>

namespace {
const QString kCli = QStringLiteral(VERRIN_BIN_DIR "/cli/verrin-cli");

struct CliRun {
    int status = -1;
    QString out, err;
    std::string Describe() const
    {
        return QStringLiteral("status %1\nstdout: %2\nstderr: %3").arg(status).arg(out, err).toStdString();
    }
};

// Runs verrin-cli to its end; a run that outlives a minute is killed and
// reports status -1.
CliRun RunCli(const QStringList &args, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(kCli, args);
    if (!p.waitForFinished(60000))
        p.kill();
    p.waitForFinished(2000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromLocal8Bit(p.readAllStandardOutput()), QString::fromLocal8Bit(p.readAllStandardError())};
}

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString WriteText(const QTemporaryDir &dir, const QString &name, const char *text)
{
    QFile f(dir.filePath(name));
    return f.open(QIODevice::WriteOnly) && f.write(text) == qint64(std::strlen(text)) ? f.fileName() : QString();
}

QString WriteImage(const QTemporaryDir &dir, const QString &name, int size)
{
    QByteArray image(size, 0);
    std::generate(image.begin(), image.end(), [] { return char(QRandomGenerator::global()->bounded(256)); });
    QFile f(dir.filePath(name));
    return f.open(QIODevice::WriteOnly) && f.write(image) == size ? f.fileName() : QString();
}

// Starts a download and returns once its "Loading Image" line is out: the "1" has gone.
bool StartLoad(QProcess &cli, const QStringList &args)
{
    cli.start(kCli, QStringList{"load"} + args);
    QByteArray seen;
    return WaitFor([&] { return (seen += cli.readAllStandardOutput()).contains("Loading Image"); }, 10000);
}
} // namespace

TEST(CliLoad, EachEndHasItsStatusAndText)
{
    QTemporaryDir dir;
    const QString image = WriteImage(dir, "fw.bin", 70000), saved = dir.filePath("saved.bin");
    const QString longName = WriteImage(dir, QString(125, 'n'), 10); // 125 + 2 digits + 4 > 128
    // The module's faults, the arguments after --port (PORT: the module's),
    // the status and what the tool says.
    const std::tuple<QStringList, QStringList, int, const char *> cases[] = {
        {{"--save-image", saved}, {"PORT", image}, 0, "Successful"},
        {{"--nak-block", "2", "--nak-count", "10"}, {"PORT", image}, 3, "Too many retries"},
        {{"--cancel-at", "1"}, {"PORT", image}, 4, "Aborted"},
        {{"--stray-at", "1"}, {"PORT", image}, 5, "Protocol Error"},
        {{"--silent-at", "1"}, {"PORT", "--timeout", "1000", image}, 8, "no answer"},
        {{}, {"PORT", dir.filePath("no-such.bin")}, 7, "Could not read file"},
        {{}, {"PORT", longName}, 7, "File name too long for the download header"},
        {{}, {dir.filePath("no-such-port"), image}, 6, "Comm Port not available"},
    };
    for (const auto &[faults, args, status, says] : cases) {
        SimProcess sim(faults);
        QStringList line{"load", "--port"};
        for (const QString &arg : args)
            line << (arg == "PORT" ? sim.Port() : arg);
        const CliRun r = RunCli(line);
        EXPECT_EQ(r.status, status) << says << "\n" << r.Describe();
        EXPECT_TRUE((status ? r.err : r.out).contains(says)) << r.Describe();
        if (status != 0)
            continue;
        // The module wrote the image before its last ACK. The loader's "2"
        // booted it; asking again shows the banner, and the exchange ends when
        // it has come: its time-out would outlast the run.
        EXPECT_EQ(ReadAll(saved), ReadAll(image));
        const CliRun boot = RunCli({"send", "--port", sim.Port(), "--until", "CRC32", "--timeout", "600000", "2"});
        EXPECT_TRUE(boot.status == 0 && boot.out.contains("Boot: image 70000 bytes, CRC32")) << boot.Describe();
    }
}

// On a 115200 line with 1 ms latency rb takes the image and ends the batch by
// itself, with status 0: the end of the batch waits for its request.
TEST(CliLoad, RbReceivesTheImageOverTheEmulatedLineAndEndsTheBatch)
{
    const QString rb = QStandardPaths::findExecutable("rb");
    if (rb.isEmpty())
        GTEST_SKIP() << "lrzsz's rb is not installed";
    QTemporaryDir dir;
    const QString image = WriteImage(dir, "rbimage.bin", 50000);
    QDir(dir.path()).mkdir("recv");
    const std::string a = dir.filePath("a").toStdString(), b = dir.filePath("b").toStdString();
    Subprocess line;
    ASSERT_TRUE(line.Start({{VERRIN_BIN_DIR "/sim/verrin-line", "--rate", "115200", "--latency", "1", "--link-a", a,
                             "--link-b", b}}));
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(QString::fromStdString(b)); }));
    PortClient rawEnd(b); // keeps end b in raw mode while rb runs

    QProcess cli, receiver;
    // rb discards input that waits when it starts: it starts after the "1".
    ASSERT_TRUE(StartLoad(cli, {"--port", QString::fromStdString(a), "--timeout", "20000", image}));
    receiver.setWorkingDirectory(dir.filePath("recv"));
    receiver.setStandardInputFile(QString::fromStdString(b));
    receiver.setStandardOutputFile(QString::fromStdString(b));
    receiver.start(rb, {"--ymodem", "-v"});
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    ASSERT_TRUE(receiver.waitForFinished(5000)) << "rb still waits for the end of the batch";
    EXPECT_EQ(receiver.exitCode(), 0) << receiver.readAllStandardError().toStdString();
    EXPECT_EQ(ReadAll(dir.filePath("recv/rbimage.bin")), ReadAll(image));
}

TEST(CliLoad, CtrlCAbortsWithTheTwoCancelBytes)
{
    QTemporaryDir dir;
    const QString image = WriteImage(dir, "fw.bin", 20000), log = dir.filePath("received");
    SimProcess sim({"--silent-at", "2", "--log", log});
    QProcess cli;
    ASSERT_TRUE(StartLoad(cli, {"--port", sim.Port(), image}));
    ASSERT_TRUE(WaitFor([&] { return ReadAll(log).size() >= 2000; }, 10000)); // blocks 1 and 2 are out
    ::kill(pid_t(cli.processId()), SIGINT);
    EXPECT_TRUE(cli.waitForFinished(10000) && cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == 4)
        << cli.readAllStandardError().toStdString();
    // The module logs what it reads, which may be a moment after the tool's end.
    EXPECT_TRUE(WaitFor([&] { return ReadAll(log).endsWith("\x18\x18"); }));
}

TEST(CliScan, SilenceAndAMissingGroupEndTheScanWithAMessage)
{
    PtyPair silent;
    const CliRun quiet = RunCli({"scan", "--port", QString::fromStdString(silent.path()), "--timeout", "1500"});
    EXPECT_EQ(quiet.status, 8) << quiet.Describe();
    EXPECT_TRUE(quiet.err.contains("no answer to the info request")) << quiet.Describe();

    SimProcess noGroup({"--group", "8001"});
    const CliRun group = RunCli({"scan", "--port", noGroup.Port()});
    EXPECT_EQ(group.status, 9) << group.Describe();
    EXPECT_EQ(group.err.toStdString(), "verrin-cli: Please set the Group Address by setting the Publish Address in the "
                         "local node.\n");
}

// One module for bad command lines, command exchanges and scans.
TEST(CliWithTheModule, BadLinesSendNothingRepliesShowAsTextOrHexScansShowTheMesh)
{
    QTemporaryDir dir;
    const QString image = WriteImage(dir, "fw.bin", 1000), log = dir.filePath("received");
    SimProcess sim({"--log", log});
    // Each bad command line is told in one line; the last one meets a busy port.
    QSerialPort holder(sim.Port());
    const QList<QStringList> bad = {
        {"load", "--frobnicate", "--port", sim.Port(), image},
        {"load", "--port", sim.Port(), "--baud", "0", image},
        {"scan", "--port", sim.Port(), "--format", "xml"},
        {"scan", "--port", sim.Port(), "--format", "png"}, // no --output
        {"scan", "--port", sim.Port(), "--format", "svg", "--output", dir.filePath("m.svg"), "--size", "15x100"},
        {"scan", "--port", sim.Port(), "--format", "png", "--output", dir.filePath("m.png"), "--size", "1920x"},
        {"send", "--port", sim.Port(), "--timeout", "soon", "at"},
        {"load", "--port", sim.Port(), dir.path()}, // a folder is no image
        {"load", image},                            // no port at all
        {"flash", image},
        {"send", "--port", sim.Port(), "--until", "OK", "at"},
    };
    for (const QStringList &args : bad) {
        const bool held = &args != &bad.last() || holder.open(QIODevice::ReadWrite);
        const CliRun r = RunCli(args);
        EXPECT_TRUE(held && r.status != 0 && r.err.startsWith("verrin-cli: ") && r.err.count('\n') == 1)
            << r.Describe();
    }
    holder.close();
    const CliRun help = RunCli({"load", "--help"});
    EXPECT_TRUE(help.status == 0 && help.out.contains("Exit status:")) << help.Describe();

    // A profile that names the port and nothing else; the other values stay
    // missing, as a read-only look must leave them.
    CRegistry registry;
    registry.SetKeyPath(ProfileKeyPath("C"));
    std::string port = sim.Port().toStdString();
    ASSERT_TRUE(registry.StringValue(AccessMode::Write, "PortName", port));
    const QByteArray profileBefore = ReadAll(CRegistry::FilePath());
    const std::pair<QStringList, const char *> cases[] = {
        {{"--port", sim.Port(), "--crlf", "--until", "OK", "at"}, "\nOK\n"},
        {{"--port", sim.Port(), "--hex", "--until", " 4F 4B", "at\r"}, " 0D 0A 4F 4B"},
        {{"--profile", "c", "--crlf", "--until", "Publish Addr", "at+ab info"}, "Version"},
        {{"--port", sim.Port(), "--timeout", "2000", "at\r"}, "OK"}, // no --until: 0 after the time
    };
    for (const auto &[args, out] : cases) {
        const CliRun r = RunCli(QStringList{"send"} + args);
        EXPECT_TRUE(r.status == 0 && r.out.contains(out)) << args.join(' ').toStdString() << "\n" << r.Describe();
    }
    EXPECT_TRUE(ReadAll(CRegistry::FilePath()) == profileBefore) << "the profile's file was written";
    // The demo mesh has 13 nodes; each scan shows all of them.
    const CliRun scans = RunCli({"scan", "--port", sim.Port(), "--count", "2"});
    EXPECT_TRUE(scans.status == 0 && scans.out.count("Network C001: 13 nodes") == 2) << scans.Describe();
    // The module logs a command before it answers: had a bad command line
    // sent anything, the log would not start with the first good one.
    EXPECT_TRUE(ReadAll(log).startsWith("at\r\nat\r")) << ReadAll(log).toStdString();
}

// --reconnect: a module that dies while send or scan waits for its reply is
// waited for, and once it is back on its path the scan asks again and ends
// with the mesh, the exchange reads on to its time-out. Without the option
// the loss ends the command with the port's status, naming the port.
TEST(CliReconnect, SendAndScanWaitForAVanishedModule)
{
    const struct {
        QStringList args;
        int status;
        const char *err, *out;
    } cases[] = {
        {{"scan", "--reconnect", "--timeout", "20000"}, 0, "is back", "Network C001: 13 nodes"},
        {{"send", "--reconnect", "--timeout", "3000", "at+ab info\r\n"}, 0, "is back", ""},
        {{"send", "--timeout", "3000", "at+ab info\r\n"}, 6, "is gone: its device was removed or closed", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        auto sim = std::make_unique<SimProcess>(QStringList{"--line-rate", "300"}); // replies take seconds
        const QString port = sim->Port();
        QProcess cli;
        cli.start(kCli, c.args + QStringList{"--port", port});
        ASSERT_TRUE(cli.waitForStarted(5000));
        QTest::qWait(700);
        sim->Kill();
        sim = std::make_unique<SimProcess>(QStringList{});
        ASSERT_EQ(sim->Port(), port) << "the module came back elsewhere";
        ASSERT_TRUE(cli.waitForFinished(30000));
        const QString err = QString::fromLocal8Bit(cli.readAllStandardError());
        EXPECT_EQ(cli.exitCode(), c.status) << err.toStdString();
        EXPECT_TRUE(err.contains(QString::fromLatin1(c.err)) && err.contains(port)) << err.toStdString();
        EXPECT_TRUE(QString::fromLocal8Bit(cli.readAllStandardOutput()).contains(QString::fromLatin1(c.out)));
    }
}

// A scripted mesh changes between the scans; --watch prints each change as a
// line the moment its scan is taken, so a reader of the pipe has them all
// while the scan still runs.
TEST(CliScan, EventsFollowAScriptedMeshLineByLine)
{
    QTemporaryDir dir;
    SimProcess sim({"--topology-script", WriteText(dir, "script", R"(at 0
0 0001 -11 0002
0 0001 -14 0003
1 0002 -20 0004
at 2.5   # 0003 leaves, 0005 joins
0 0001 -11 0002
1 0002 -20 0004
1 0002 -25 0005
at 7.5   # 0003 back, 0005 gone, 0001-0002 9 dB weaker, 0002-0004 1 dB weaker
0 0001 -20 0002
1 0002 -21 0004
0 0001 -30 0003
)")});
    const QStringList expected = {
        R"({"time":"T","scan":1,"event":"joined","node":"0001"})",
        R"({"time":"T","scan":1,"event":"joined","node":"0002"})",
        R"({"time":"T","scan":1,"event":"joined","node":"0003"})",
        R"({"time":"T","scan":1,"event":"joined","node":"0004"})",
        R"({"time":"T","scan":1,"event":"link-added","relay":"0001","node":"0002","rssi":-11})",
        R"({"time":"T","scan":1,"event":"link-added","relay":"0001","node":"0003","rssi":-14})",
        R"({"time":"T","scan":1,"event":"link-added","relay":"0002","node":"0004","rssi":-20})",
        R"({"time":"T","scan":2,"event":"joined","node":"0005"})",
        R"({"time":"T","scan":2,"event":"left","node":"0003"})",
        R"({"time":"T","scan":2,"event":"link-added","relay":"0002","node":"0005","rssi":-25})",
        R"({"time":"T","scan":2,"event":"link-removed","relay":"0001","node":"0003","rssi":-14})",
        R"({"time":"T","scan":3,"event":"joined","node":"0003"})",
        R"({"time":"T","scan":3,"event":"left","node":"0005"})",
        R"({"time":"T","scan":3,"event":"link-added","relay":"0001","node":"0003","rssi":-30})",
        R"({"time":"T","scan":3,"event":"link-removed","relay":"0002","node":"0005","rssi":-25})",
        R"({"time":"T","scan":3,"event":"link-level","relay":"0001","node":"0002","rssi":-20,"previous":-11})",
    };
    QProcess cli;
    cli.start(kCli, {"scan", "--port", sim.Port(), "--watch", "--format", "events"});
    QStringList lines, times;
    const QRegularExpression time(R"re("time":"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)")re");
    WaitFor([&] {
        while (cli.canReadLine() || cli.waitForReadyRead(10)) {
            if (!cli.canReadLine())
                continue;
            QString line = QString::fromUtf8(cli.readLine()).chopped(1);
            EXPECT_FALSE(QJsonDocument::fromJson(line.toUtf8()).isNull()) << line.toStdString();
            times << time.match(line).captured(1);
            lines << line.replace(time, R"("time":"T")");
        }
        return lines.size() >= expected.size();
    }, 30000);
    EXPECT_EQ(cli.state(), QProcess::Running) << "the lines came only at the end";
    ::kill(pid_t(cli.processId()), SIGINT);
    EXPECT_TRUE(cli.waitForFinished(10000) && cli.exitCode() == 0) << cli.readAllStandardError().toStdString();
    lines << QString::fromUtf8(cli.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.join('\n').toStdString(), expected.join('\n').toStdString());
    EXPECT_TRUE(!times.contains(QString()) && std::is_sorted(times.begin(), times.end())) << times.join(' ').toStdString();
}

// The view's painter, offscreen: a PNG whose circles and labels stand where
// the view puts them, and an SVG whose addresses and labels are text. Neither
// needs a display, whatever the environment names.
TEST(CliScan, PicturesShowTheMeshWithoutADisplay)
{
    QTemporaryDir dir;
    SimProcess sim({"--topology-script", WriteText(dir, "script", "at 0\n0 0001 -11 0002\n0 0001 -14 0003\n"
                                                                  "1 0002 -20 0004\n")});
    QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
    noDisplay.insert("QT_QPA_PLATFORM", "xcb");
    noDisplay.remove("DISPLAY");
    noDisplay.remove("WAYLAND_DISPLAY");
    const CliRun png = RunCli({"scan", "--port", sim.Port(), "--format", "png", "--output", dir.filePath("mesh.png"),
                               "--size", "800x600"}, noDisplay);
    ASSERT_EQ(png.status, 0) << png.Describe();
    const QImage image(dir.filePath("mesh.png"));
    ASSERT_EQ(image.size(), QSize(800, 600));
    // W = 800, H = 600: columns at x 53, 400 and 747, a column's second row 30
    // pixels left, the local node halfway down; each circle in its kind's
    // colour beside the centre (the address covers the centre).
    const std::pair<QPoint, QColor> nodes[] = {{{53, 240}, QColor(255, 196, 196)}, {{400, 60}, QColor(196, 196, 255)},
                                               {{370, 300}, QColor(196, 255, 196)}, {{747, 60}, QColor(196, 255, 196)}};
    for (const auto &[at, kind] : nodes)
        EXPECT_TRUE(image.pixelColor(at - QPoint(20, 0)) == kind && image.pixelColor(at + QPoint(20, 0)) == kind)
            << at.x() << "," << at.y();
    // The label of 0001-0002 three quarters of the way along: white, in a grey frame.
    EXPECT_EQ(image.pixelColor(296, 99), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(295, 99), QColor(192, 192, 192));

    const CliRun svg = RunCli({"scan", "--port", sim.Port(), "--format", "svg", "--output", dir.filePath("mesh.svg")});
    ASSERT_EQ(svg.status, 0) << svg.Describe();
    QFile file(dir.filePath("mesh.svg"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QStringList texts;
    QString viewBox;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("svg"))
            viewBox = xml.attributes().value("viewBox").toString();
        else if (xml.name() == QLatin1String("text"))
            texts << xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(viewBox, "0 0 1024 768");
    for (const char *text : {"Group C001", "4 nodes", "0001", "0002", "0003", "0004", "Local", "Relay", "Node",
                             "-11 dB", "-14 dB", "-20 dB"})
        EXPECT_TRUE(texts.contains(text)) << text << " not among: " << texts.join('|').toStdString();

    const CliRun unwritable = RunCli({"scan", "--port", sim.Port(), "--format", "png", "--output",
                                      dir.filePath("no-such-folder/mesh.png")});
    EXPECT_TRUE(unwritable.status == 7 && unwritable.err.startsWith("verrin-cli: cannot write the picture"))
        << unwritable.Describe();
}

// A tray of four modules, the fourth silent from block 3, beside a port that
// does not exist, one given twice and one held by another program: three
// images saved whole with their new version read back, the silent one
// aborted on its time-out, a report line for every port, and the worst
// status for the tray.
TEST(CliTray, FourModulesOneSilentAReportLineEachAndTheWorstStatus)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("fw.bin"));
    QByteArray image(30000, 0);
    std::generate(image.begin(), image.end(), [] { return char(QRandomGenerator::global()->bounded(128, 256)); });
    image.replace(15000, 14, QByteArray("Version 2.0.0\0", 14)); // what the module boots into
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(image) == image.size());
    file.close();
    SimProcess sim({"--count", "5", "--silent-at", "4:3", "--save-image", dir.filePath("saved{n}.bin")});
    const QString folder = QFileInfo(sim.Port()).path(), port2 = folder + "/port2";
    QSerialPort holder(folder + "/port5");
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite));
    const CliRun r = RunCli({"load", "--ports", folder + "/port*", "--port", dir.filePath("no-such-port"), "--port",
                             port2, "--port", port2, "--verify", "--timeout", "2000", "--report",
                             dir.filePath("report"), file.fileName()});
    EXPECT_EQ(r.status, 8) << r.Describe();
    for (const char *n : {"1", "2", "3"})
        EXPECT_TRUE(ReadAll(dir.filePath(QStringLiteral("saved%1.bin").arg(n))) == image) << "module " << n;
    EXPECT_FALSE(QFile::exists(dir.filePath("saved4.bin")));

    QStringList lines;
    for (const QByteArray &line : ReadAll(dir.filePath("report")).split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (!line.isEmpty())
            lines << QStringLiteral("%1 %2 %3 %4 %5 %6")
                         .arg(QFileInfo(o["port"].toString()).fileName(), o["result"].toString())
                         .arg(o["status"].toInt())
                         .arg(o["version_before"].toString("-"), o["version_after"].toString("-"), o["error"].toString());
    }
    lines.sort();
    EXPECT_EQ(lines.join('\n').toStdString(), QStringList({
        "no-such-port Comm Port not available 6 - - ",
        "port Successful 0 1.4.2 2.0.0 ",
        "port2 Port given twice 2 - - ",
        "port2 Successful 0 1.4.2 2.0.0 ",
        "port3 Successful 0 1.4.2 2.0.0 ",
        "port4 Aborted 8 1.4.2 - no answer from the module for 2000 ms",
        "port5 Comm Port not available 6 - - held by another program"}).join('\n').toStdString());
}

// Ctrl+C in the middle of three downloads: every module gets its two CAN
// bytes, and with --report - standard output holds the report alone.
TEST(CliTray, CtrlCCancelsEveryPortWithTwoCanBytes)
{
    QTemporaryDir dir;
    const QString image = WriteImage(dir, "fw.bin", 20000);
    SimProcess sim({"--count", "3", "--silent-at", "2", "--log", dir.filePath("received{n}")});
    const QString folder = QFileInfo(sim.Port()).path();
    QProcess cli;
    cli.start(kCli, {"load", "--port", sim.Port(), "--port", folder + "/port2", "--port", folder + "/port3",
                     "--report", "-", image});
    const QStringList logs = {dir.filePath("received1"), dir.filePath("received2"), dir.filePath("received3")};
    // Blocks 1 and 2 are out on every port.
    ASSERT_TRUE(WaitFor([&] { return std::all_of(logs.begin(), logs.end(), [](const QString &log) {
        return ReadAll(log).size() >= 2000; }); }, 10000));
    ::kill(pid_t(cli.processId()), SIGINT);
    ASSERT_TRUE(cli.waitForFinished(10000) && cli.exitStatus() == QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 4) << cli.readAllStandardError().toStdString();
    for (const QString &log : logs)
        EXPECT_TRUE(WaitFor([&] { return ReadAll(log).endsWith("\x18\x18"); })) << log.toStdString();
    const QList<QByteArray> report = cli.readAllStandardOutput().trimmed().split('\n');
    EXPECT_EQ(report.size(), 3);
    for (const QByteArray &line : report)
        EXPECT_EQ(QJsonDocument::fromJson(line).object()["result"].toString(), "Aborted") << line.toStdString();

    // The second module is a module of its own.
    const CliRun info = RunCli({"send", "--port", folder + "/port2", "--crlf", "--until", "Publish Addr", "at+ab info"});
    EXPECT_TRUE(info.out.contains("Node Addr 0101") && info.out.contains("Publish Addr C002")) << info.Describe();
}
