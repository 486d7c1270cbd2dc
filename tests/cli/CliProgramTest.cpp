// verrin-cli as a program, against the virtual module and against lrzsz's rb
// over the emulated line: each end of a command with its exit status,
// downloads on one port and on a tray of them, scans in each output format
// (pictures and change events included), command exchanges, a module lost on
// the way, and command lines that must send nothing.
#include "settings/CRegistry.h"
#include "settings/SettingsStore.h"
#include "support/Pty.h"
#include "support/SimProcess.h"
#include "support/Subprocess.h"
#include "support/TempDir.h"
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
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <algorithm>
#include <csignal>

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

QByteArray ReadAll(const QString &path) { return QByteArray::fromStdString(ReadFile(path.toStdString())); }

// Bytes 128 to 255: no text of the module's (a version, a "C") in them.
QByteArray RandomImage(int size)
{
    QByteArray image(size, 0);
    std::generate(image.begin(), image.end(), [] { return char(QRandomGenerator::global()->bounded(128, 256)); });
    return image;
}

// A folder for the test's files, and verrin-cli run in the background.
class Cli : public ::testing::Test {
protected:
    QString Path(const QString &name) const { return dir.filePath(name); }
    QString Write(const QString &name, const QByteArray &bytes) const
    {
        QFile f(Path(name));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? f.fileName() : QString();
    }
    QString Image(int size, const QString &name = "fw.bin") const { return Write(name, RandomImage(size)); }
    void Interrupt() { ::kill(pid_t(cli.processId()), SIGINT); }
    std::string Err() { return cli.readAllStandardError().toStdString(); }

    QTemporaryDir dir;
    QProcess cli;
};
} // namespace

// Each end of a command: its status, and what the tool says (on stdout after
// a success, else on stderr; send's replies as text or hex). A bad command
// line is told in one line; it, a file that cannot go and a port that cannot
// be used send nothing.
TEST_F(Cli, EachEndHasItsStatusAndText)
{
    const QString image = Image(70000), log = Path("received");
    const QString longName = Image(10, QString(125, 'n')); // 125 + 2 digits + 4 > 128
    PtyPair silent;
    // The module's options and the command line: PORT is the module's port,
    // HELD too, while another program holds it.
    const std::tuple<QStringList, QStringList, int, const char *> cases[] = {
        {{}, {"load", "--port", "PORT", image}, 0, "Successful"},
        {{}, {"send", "--port", "PORT", "--crlf", "--until", "OK", "at"}, 0, "\nOK\n"},
        {{}, {"send", "--port", "PORT", "--hex", "--until", " 4F 4B", "at\r"}, 0, " 0D 0A 4F 4B"},
        {{}, {"send", "--port", "PORT", "--timeout", "2000", "at\r"}, 0, "OK"}, // no --until: 0 after the time
        {{"--nak-block", "2", "--nak-count", "10"}, {"load", "--port", "PORT", image}, 3, "Too many retries"},
        {{"--cancel-at", "1"}, {"load", "--port", "PORT", image}, 4, "Aborted"},
        {{"--stray-at", "1"}, {"load", "--port", "PORT", image}, 5, "Protocol Error"},
        {{"--silent-at", "1"}, {"load", "--port", "PORT", "--timeout", "1000", image}, 8, "no answer"},
        {{}, {"load", "--port", "PORT", Path("no-such.bin")}, 7, "Could not read file"},
        {{}, {"load", "--port", "PORT", longName}, 7, "File name too long for the download header"},
        {{}, {"load", "--port", Path("no-such-port"), image}, 6, "Comm Port not available"},
        {{}, {"send", "--port", "HELD", "--until", "OK", "at"}, 6, "verrin-cli: "},
        {{}, {"scan", "--port", QString::fromStdString(silent.path()), "--timeout", "1500"}, 8,
         "no answer to the info request"},
        {{}, {"scan", "--port", "PORT", "--count", "2"}, 0, "Network C001: 13 nodes"},
        {{"--group", "8001"}, {"scan", "--port", "PORT"}, 9,
         "verrin-cli: Please set the Group Address by setting the Publish Address in the local node.\n"},
        {{}, {"load", "--frobnicate", "--port", "PORT", image}, 2, "Unknown option 'frobnicate'"},
        {{}, {"load", "--port", "PORT", "--baud", "0", image}, 2, "invalid baud rate"},
        {{}, {"load", image}, 2, "no port given"},
        {{}, {"flash", image}, 2, "unknown command \"flash\""},
        {{}, {"send", "--port", "PORT", "--timeout", "soon", "at"}, 2, "invalid --timeout"},
        {{}, {"scan", "--port", "PORT", "--format", "xml"}, 2, "unknown format \"xml\""},
        {{}, {"scan", "--port", "PORT", "--format", "png"}, 2, "--format png needs --output FILE"},
        {{}, {"scan", "--port", "PORT", "--format", "svg", "--output", Path("m.svg"), "--size", "15x100"}, 2,
         "invalid --size"},
    };
    for (const auto &[simArgs, args, status, says] : cases) {
        QFile::remove(log);
        SimProcess sim(simArgs + QStringList{"--log", log});
        QSerialPort holder(sim.Port());
        const bool held = !args.contains("HELD") || holder.open(QIODevice::ReadWrite);
        const CliRun r = RunCli(QStringList(args).replaceInStrings(QRegularExpression("^(PORT|HELD)$"), sim.Port()));
        EXPECT_TRUE(held && r.status == status && (status ? r.err : r.out).contains(says)) << says << "\n"
                                                                                         << r.Describe();
        EXPECT_TRUE(status != 2 || r.err.count('\n') == 1) << r.Describe();
        const bool onModule = args.contains("PORT") || args.contains("HELD");
        EXPECT_TRUE(!onModule || ReadAll(log).isEmpty() == (status == 2 || status == 6 || status == 7)) << r.Describe();
    }
}

// On a 115200 line with 1 ms latency rb takes the image and ends the batch by
// itself, with status 0: the end of the batch waits for its request. Sizes at
// the block edges, and 128-byte blocks whose numbers wrap.
TEST_F(Cli, RbTakesTheImageOverTheEmulatedLineAndEndsTheBatch)
{
    if (!HaveProgram("rb"))
        GTEST_SKIP() << "lrzsz's rb is not installed";
    const std::string a = Path("a").toStdString(), b = Path("b").toStdString(), log = Path("rb.log").toStdString();
    for (const auto &[size, small] : {std::pair(1, false), {1024, false}, {1025, false}, {40000, true}}) {
        SCOPED_TRACE(std::to_string(size) + " bytes");
        const QString image = Image(size), received = Path(QStringLiteral("recv%1").arg(size));
        ASSERT_TRUE(QDir().mkpath(received));
        Subprocess line, rb;
        ASSERT_TRUE(line.Start({{VERRIN_BIN_DIR "/sim/verrin-line", "--rate", "115200", "--latency", "1",
                                 "--link-a", a, "--link-b", b}}));
        ASSERT_TRUE(WaitFor([&] { return QFile::exists(QString::fromStdString(b)); }));
        PortClient rawEnd(b); // keeps end b in raw mode while rb runs
        // rb discards input that waits when it starts: it starts after the "1".
        cli.start(kCli, QStringList{"load", "--port", QString::fromStdString(a), "--timeout", "20000", image} +
                            (small ? QStringList{"--small-packets"} : QStringList{}));
        QByteArray out;
        ASSERT_TRUE(WaitFor([&] { return (out += cli.readAllStandardOutput()).contains("Loading Image"); }, 10000));
        ASSERT_TRUE(rb.Start({{"sh", "-c", "exec rb --ymodem -v <\"$0\" >\"$0\"", b}, {}, log, -1, -1,
                              received.toStdString()}));
        ASSERT_TRUE(cli.waitForFinished(60000));
        EXPECT_EQ(cli.exitCode(), 0) << Err();
        EXPECT_EQ(DescribeStatus(rb.Wait(5000)), "exit status 0") << "rb waits for the end of the batch?\n"
                                                                  << ReadFile(log);
        EXPECT_TRUE(ReadAll(received + "/fw.bin") == ReadAll(image));
    }
}

// Ctrl+C in the middle of a download on one port and on three: every module
// gets its two CAN bytes, and with --report - standard output holds the
// report alone.
TEST_F(Cli, CtrlCCancelsEveryPortWithTwoCanBytes)
{
    const QString image = Image(20000);
    for (const int count : {1, 3}) {
        SCOPED_TRACE(std::to_string(count) + " ports");
        const QString logs = Path(QStringLiteral("received%1-{n}").arg(count));
        SimProcess sim({"--count", QString::number(count), "--silent-at", "2", "--log", logs});
        QStringList args{"load", "--report", "-", image}, received;
        for (int n = 1; n <= count; ++n) {
            args << "--port" << (n == 1 ? sim.Port() : QFileInfo(sim.Port()).path() + "/port" + QString::number(n));
            received << QString(logs).replace("{n}", QString::number(n));
        }
        cli.start(kCli, args);
        // Blocks 1 and 2 are out on every port.
        ASSERT_TRUE(WaitFor([&] { return std::all_of(received.begin(), received.end(), [](const QString &log) {
            return ReadAll(log).size() >= 2000; }); }, 10000));
        Interrupt();
        ASSERT_TRUE(cli.waitForFinished(10000) && cli.exitStatus() == QProcess::NormalExit);
        EXPECT_EQ(cli.exitCode(), 4) << Err();
        // The module logs what it reads, which may be a moment after the tool's end.
        for (const QString &log : received)
            EXPECT_TRUE(WaitFor([&] { return ReadAll(log).endsWith("\x18\x18"); })) << log.toStdString();
        const QList<QByteArray> report = cli.readAllStandardOutput().trimmed().split('\n');
        EXPECT_EQ(report.size(), count);
        for (const QByteArray &line : report)
            EXPECT_EQ(QJsonDocument::fromJson(line).object()["result"].toString(), "Aborted") << line.toStdString();
    }
}

// A profile that names the port and nothing else: send takes the port from
// it, and leaves the other values missing, as a read-only look must.
TEST_F(Cli, SendTakesThePortFromAProfileAndOnlyReadsIt)
{
    SimProcess sim({});
    CRegistry registry;
    registry.SetKeyPath(ProfileKeyPath("C"));
    std::string portName = sim.Port().toStdString();
    ASSERT_TRUE(registry.StringValue(AccessMode::Write, "PortName", portName));
    const QByteArray profileBefore = ReadAll(CRegistry::FilePath());
    const CliRun r = RunCli({"send", "--profile", "c", "--crlf", "--until", "Publish Addr", "at+ab info"});
    EXPECT_TRUE(r.status == 0 && r.out.contains("Version")) << r.Describe();
    EXPECT_TRUE(ReadAll(CRegistry::FilePath()) == profileBefore) << "the profile's file was written";
}

// A module that dies while a command waits for it. With --reconnect send and
// scan wait, and once it is back on its path the scan asks again and ends
// with the mesh, the exchange reads on to its time-out. Without it the loss
// ends the command, a download too, with the port's status, naming the port.
TEST_F(Cli, ALostModuleEndsTheCommandOrIsWaitedFor)
{
    const struct {
        QStringList args;
        int status;
        const char *err, *out;
    } cases[] = {
        {{"scan", "--reconnect", "--timeout", "20000"}, 0, "is back", "Network C001: 13 nodes"},
        {{"send", "--reconnect", "--timeout", "3000", "at+ab info\r\n"}, 0, "is back", ""},
        {{"send", "--timeout", "3000", "at+ab info\r\n"}, 6, "is gone: its device was removed or closed", ""},
        {{"load", Image(60000)}, 6, "is gone: its device was removed or closed", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        auto sim = std::make_unique<SimProcess>(QStringList{"--line-rate", "300"}); // replies take seconds
        const QString port = sim->Port();
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
TEST_F(Cli, ScanEventsFollowAScriptedMeshLineByLine)
{
    SimProcess sim({"--topology-script", Write("script", R"(at 0
0 0001 -11 0002
0 0001 -14 0003
at 2.5   # 0003 leaves, 0004 joins behind 0002, 0001-0002 9 dB weaker
0 0001 -20 0002
1 0002 -25 0004
)")});
    const QStringList expected = {
        R"({"time":"T","scan":1,"event":"joined","node":"0001"})",
        R"({"time":"T","scan":1,"event":"joined","node":"0002"})",
        R"({"time":"T","scan":1,"event":"joined","node":"0003"})",
        R"({"time":"T","scan":1,"event":"link-added","relay":"0001","node":"0002","rssi":-11})",
        R"({"time":"T","scan":1,"event":"link-added","relay":"0001","node":"0003","rssi":-14})",
        R"({"time":"T","scan":2,"event":"joined","node":"0004"})",
        R"({"time":"T","scan":2,"event":"left","node":"0003"})",
        R"({"time":"T","scan":2,"event":"link-added","relay":"0002","node":"0004","rssi":-25})",
        R"({"time":"T","scan":2,"event":"link-removed","relay":"0001","node":"0003","rssi":-14})",
        R"({"time":"T","scan":2,"event":"link-level","relay":"0001","node":"0002","rssi":-20,"previous":-11})",
    };
    cli.start(kCli, {"scan", "--port", sim.Port(), "--watch", "--format", "events"});
    QStringList lines, times;
    const QRegularExpression time(R"re("time":"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)")re");
    WaitFor([&] {
        while (cli.canReadLine()) {
            QString line = QString::fromUtf8(cli.readLine()).chopped(1);
            times << time.match(line).captured(1);
            lines << line.replace(time, R"("time":"T")");
        }
        return lines.size() >= expected.size();
    }, 30000);
    EXPECT_EQ(cli.state(), QProcess::Running) << "the lines came only at the end";
    Interrupt();
    EXPECT_TRUE(cli.waitForFinished(10000) && cli.exitCode() == 0) << Err();
    lines << QString::fromUtf8(cli.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.join('\n').toStdString(), expected.join('\n').toStdString());
    EXPECT_TRUE(!times.contains(QString()) && std::is_sorted(times.begin(), times.end())) << times.join(' ').toStdString();
}

// The view's painter, offscreen: a PNG whose circles and labels stand where
// the view puts them, and an SVG whose addresses and labels are text. Neither
// needs a display, whatever the environment names.
TEST_F(Cli, ScanPicturesShowTheMeshWithoutADisplay)
{
    SimProcess sim({"--topology-script", Write("script", "at 0\n0 0001 -11 0002\n0 0001 -14 0003\n1 0002 -20 0004\n")});
    QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
    noDisplay.insert("QT_QPA_PLATFORM", "xcb");
    noDisplay.remove("DISPLAY");
    noDisplay.remove("WAYLAND_DISPLAY");
    const QStringList scan{"scan", "--port", sim.Port(), "--format"};
    const CliRun png = RunCli(scan + QStringList{"png", "--output", Path("mesh.png"), "--size", "800x600"}, noDisplay);
    ASSERT_EQ(png.status, 0) << png.Describe();
    const QImage image(Path("mesh.png"));
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

    const CliRun svg = RunCli(scan + QStringList{"svg", "--output", Path("mesh.svg")});
    ASSERT_EQ(svg.status, 0) << svg.Describe();
    QXmlStreamReader xml(ReadAll(Path("mesh.svg")));
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
    EXPECT_TRUE(!xml.hasError() && viewBox == "0 0 1024 768") << xml.errorString().toStdString();
    for (const char *text : {"Group C001", "4 nodes", "0001", "0002", "0003", "0004", "Local", "Relay", "Node",
                             "-11 dB", "-14 dB", "-20 dB"})
        EXPECT_TRUE(texts.contains(text)) << text << " not among: " << texts.join('|').toStdString();

    const CliRun unwritable = RunCli(scan + QStringList{"png", "--output", Path("no-such-folder/mesh.png")});
    EXPECT_TRUE(unwritable.status == 7 && unwritable.err.startsWith("verrin-cli: cannot write the picture"))
        << unwritable.Describe();
}

// A tray of four modules, the fourth silent from block 3, beside a port that
// does not exist, one given twice and one held by another program: three
// images saved whole with their new version read back, the silent one
// aborted on its time-out, a report line for every port, and the worst
// status for the tray.
TEST_F(Cli, TrayOfFourOneSilentAReportLineEachAndTheWorstStatus)
{
    QByteArray image = RandomImage(30000);
    image.replace(15000, 14, QByteArray("Version 2.0.0\0", 14)); // what the module boots into
    const QString file = Write("fw.bin", image);
    SimProcess sim({"--count", "5", "--silent-at", "4:3", "--save-image", Path("saved{n}.bin")});
    const QString folder = QFileInfo(sim.Port()).path(), port2 = folder + "/port2";
    QSerialPort holder(folder + "/port5");
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite));
    const CliRun r = RunCli({"load", "--ports", folder + "/port*", "--port", Path("no-such-port"), "--port", port2,
                             "--port", port2, "--verify", "--timeout", "2000", "--report", Path("report"), file});
    EXPECT_EQ(r.status, 8) << r.Describe();
    for (const char *n : {"1", "2", "3"})
        EXPECT_TRUE(ReadAll(Path(QStringLiteral("saved%1.bin").arg(n))) == image) << "module " << n;
    EXPECT_FALSE(QFile::exists(Path("saved4.bin")));

    QStringList lines;
    for (const QByteArray &line : ReadAll(Path("report")).split('\n')) {
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
