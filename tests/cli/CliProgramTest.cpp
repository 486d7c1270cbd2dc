// verrin-cli as a program, against the virtual module and against lrzsz's rb
// over the emulated line: downloads and their results, scans in each output
// format, command exchanges, and command lines that must send nothing.
#include "settings/CRegistry.h"
#include "settings/SettingsStore.h"
#include "sim/ProcessHarness.h"
#include "support/Pty.h"
#include "support/SimProcess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSerialPort>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <csignal>
#include <map>
#include <set>

namespace {
struct CliRun {
    int status = -1;
    QString out;
    QString err;
    qint64 ms = 0;
};

CliRun RunCli(const QStringList &args, int limitMs = 60000)
{
    QProcess p;
    QElapsedTimer clock;
    clock.start();
    p.start(QStringLiteral(VERRIN_BIN_DIR "/cli/verrin-cli"), args);
    if (!p.waitForFinished(limitMs))
        p.kill();
    p.waitForFinished(2000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError()), clock.elapsed()};
}

QString Describe(const CliRun &r)
{
    return QStringLiteral("status %1\nstdout: %2\nstderr: %3").arg(r.status).arg(r.out, r.err);
}

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString WriteImage(const QTemporaryDir &dir, const QString &name, int size)
{
    QByteArray image(size, 0);
    QRandomGenerator random(size);
    for (char &b : image)
        b = char(random.bounded(256));
    QFile f(dir.filePath(name));
    f.open(QIODevice::WriteOnly);
    f.write(image);
    return f.fileName();
}

bool WaitForOutput(QProcess &p, const QString &text, int limitMs)
{
    QByteArray seen;
    QElapsedTimer clock;
    clock.start();
    while (!seen.contains(text.toLatin1()) && clock.elapsed() < limitMs) {
        p.waitForReadyRead(100);
        seen += p.readAllStandardOutput();
    }
    return seen.contains(text.toLatin1());
}

// A mesh of five nodes over three hop levels: two relays at level 1 that both
// hear 0004, which relays 0005.
const char *const kTopology = "0 0001 -11 0002\n"
                              "0 0001 -12 0003\n"
                              "1 0002 -17 0004\n"
                              "1 0003 -20 0004\n"
                              "2 0004 -25 0005\n";
struct ExpectedNode {
    int column;
    const char *kind;
};
const std::map<QString, ExpectedNode> kNodes = {{"0001", {0, "Local"}}, {"0002", {1, "Relay"}},
                                                {"0003", {1, "Relay"}}, {"0004", {2, "Relay"}},
                                                {"0005", {3, "Node"}}};
// Link and its rssi in the file; the module's levels wander by up to 3 dB.
const std::map<std::pair<QString, QString>, int> kLinks = {
    {{"0001", "0002"}, -11}, {{"0001", "0003"}, -12}, {{"0002", "0004"}, -17},
    {{"0003", "0004"}, -20}, {{"0004", "0005"}, -25}};
} // namespace

TEST(CliLoad, ImageArrivesWholeAndTheModuleBootsIt)
{
    QTemporaryDir dir;
    const QString image = WriteImage(dir, "fw.bin", 70000);
    const QString saved = dir.filePath("saved.bin");
    SimProcess sim({"--save-image", saved});
    ASSERT_FALSE(sim.Port().isEmpty());

    const CliRun load = RunCli({"load", "--port", sim.Port(), image});
    ASSERT_EQ(load.status, 0) << Describe(load).toStdString();
    EXPECT_TRUE(load.out.contains("Successful")) << load.out.toStdString();
    EXPECT_EQ(ReadAll(saved), ReadAll(image));

    // The loader's "2" boots the image; asking again shows the banner, and the
    // exchange ends when it has come, long before its time-out.
    const CliRun boot = RunCli({"send", "--port", sim.Port(), "--until", "CRC32", "--timeout", "30000", "2"});
    EXPECT_EQ(boot.status, 0) << Describe(boot).toStdString();
    EXPECT_TRUE(boot.out.contains("Boot: image 70000 bytes, CRC32")) << boot.out.toStdString();
    EXPECT_LT(boot.ms, 15000);
}

TEST(CliLoad, RbReceivesTheImageOverTheEmulatedLine)
{
    const QString rb = QStandardPaths::findExecutable("rb");
    if (rb.isEmpty())
        GTEST_SKIP() << "lrzsz's rb is not installed";
    QTemporaryDir dir;
    const QString image = WriteImage(dir, "rbimage.bin", 50000);
    QDir(dir.path()).mkdir("recv");
    // rb throws away what comes right after its own answers; the line's
    // latency keeps the next block from arriving that soon.
    Child line({VERRIN_BIN_DIR "/sim/verrin-line", "--rate", "0", "--latency", "5", "--link-a",
                dir.filePath("a").toStdString(), "--link-b", dir.filePath("b").toStdString()},
               {});
    const std::string a = line.ReadLine(Millis(5000)), b = line.ReadLine(Millis(5000));
    ASSERT_FALSE(b.empty());
    PortClient rawEnd(b); // keeps end b in raw mode while rb runs

    QProcess cli;
    cli.start(QStringLiteral(VERRIN_BIN_DIR "/cli/verrin-cli"),
              {"load", "--port", QString::fromStdString(a), "--timeout", "20000", image});
    // rb discards input that waits when it starts: it starts after the "1".
    ASSERT_TRUE(WaitForOutput(cli, "Loading Image", 10000));
    QProcess receiver;
    receiver.setWorkingDirectory(dir.filePath("recv"));
    receiver.setStandardInputFile(QString::fromStdString(b));
    receiver.setStandardOutputFile(QString::fromStdString(b));
    receiver.start(rb, {"--ymodem", "-v"});
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    // rb has the file once EOT is acknowledged. It then asks for the end of
    // the batch, which went out with no wait for that request, and waits on.
    const QString received = dir.filePath("recv/rbimage.bin");
    QElapsedTimer clock;
    clock.start();
    while (QFileInfo(received).size() != QFileInfo(image).size() && clock.elapsed() < 10000)
        QTest::qWait(20);
    receiver.kill();
    receiver.waitForFinished(5000);
    EXPECT_EQ(ReadAll(received), ReadAll(image)) << receiver.readAllStandardError().toStdString();
}

TEST(CliLoad, EveryFailureEndsWithItsOwnStatus)
{
    struct Case {
        const char *name;
        QStringList simFaults;
        QStringList extra; // before the file
        bool missingFile;
        bool missingPort;
        int status;
        const char *says;
    };
    const Case cases[] = {
        {"retries", {"--nak-block", "2", "--nak-count", "10"}, {}, false, false, 3, "Too many retries"},
        {"cancel", {"--cancel-at", "1"}, {}, false, false, 4, "Aborted"},
        {"stray byte", {"--stray-at", "1"}, {}, false, false, 5, "Protocol Error"},
        {"silence", {"--silent-at", "1"}, {"--timeout", "1000"}, false, false, 8, "no answer"},
        {"missing file", {}, {}, true, false, 7, "Could not read file"},
        {"missing port", {}, {}, false, true, 6, "Comm Port not available"},
    };
    QTemporaryDir dir;
    const QString image = WriteImage(dir, "fw.bin", 5000);
    for (const Case &c : cases) {
        SimProcess sim(c.simFaults);
        ASSERT_FALSE(sim.Port().isEmpty()) << c.name;
        const QString port = c.missingPort ? dir.filePath("no-such-port") : sim.Port();
        const QString file = c.missingFile ? dir.filePath("no-such.bin") : image;
        const CliRun r = RunCli(QStringList{"load", "--port", port} + c.extra + QStringList{file});
        EXPECT_EQ(r.status, c.status) << c.name << "\n" << Describe(r).toStdString();
        EXPECT_TRUE(r.err.contains(c.says)) << c.name << "\n" << r.err.toStdString();
    }
}

TEST(CliLoad, CtrlCAbortsWithTheTwoCancelBytes)
{
    QTemporaryDir dir;
    const QString image = WriteImage(dir, "fw.bin", 20000);
    const QString log = dir.filePath("received");
    SimProcess sim({"--silent-at", "2", "--log", log});
    QProcess cli;
    cli.start(QStringLiteral(VERRIN_BIN_DIR "/cli/verrin-cli"), {"load", "--port", sim.Port(), image});
    ASSERT_TRUE(WaitForOutput(cli, "Loading Image", 10000));
    QElapsedTimer clock;
    clock.start();
    while (ReadAll(log).size() < 2000 && clock.elapsed() < 10000) // blocks 1 and 2 are out
        QTest::qWait(20);
    ::kill(pid_t(cli.processId()), SIGINT);
    ASSERT_TRUE(cli.waitForFinished(10000));
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 4) << cli.readAllStandardError().toStdString();
    QTest::qWait(200);
    EXPECT_TRUE(ReadAll(log).endsWith("\x18\x18"));
}

TEST(CliCommandLine, BadInputIsOneLineAndSendsNothing)
{
    QTemporaryDir dir;
    const QString image = WriteImage(dir, "fw.bin", 1000);
    const QString log = dir.filePath("received");
    SimProcess sim({"--log", log});
    ASSERT_FALSE(sim.Port().isEmpty());
    const QList<QStringList> cases = {
        {"load", "--frobnicate", "--port", sim.Port(), image},
        {"load", "--port", sim.Port(), "--baud", "0", image},
        {"scan", "--port", sim.Port(), "--format", "xml"},
        {"send", "--port", sim.Port(), "--timeout", "soon", "at"},
        {"load", "--port", sim.Port(), dir.path()}, // a folder is no image
        {"load", image},                            // no port at all
        {"flash", image},
    };
    const auto expectOneLine = [](const QStringList &args) {
        const CliRun r = RunCli(args);
        const std::string what = args.join(' ').toStdString();
        EXPECT_NE(r.status, 0) << what;
        EXPECT_TRUE(r.err.startsWith("verrin-cli: ")) << what << "\n" << r.err.toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << what << "\n" << r.err.toStdString();
    };
    for (const QStringList &args : cases)
        expectOneLine(args);
    {
        QSerialPort holder;
        holder.setPortName(sim.Port());
        ASSERT_TRUE(holder.open(QIODevice::ReadWrite));
        expectOneLine({"send", "--port", sim.Port(), "--until", "OK", "at"});
    }
    QTest::qWait(300);
    EXPECT_EQ(ReadAll(log), QByteArray());

    for (const char *command : {"load", "scan", "send"}) {
        const CliRun help = RunCli({command, "--help"});
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_TRUE(help.out.contains("Exit status:")) << command;
    }
    EXPECT_EQ(RunCli({"--version"}).status, 0);
}

TEST(CliScan, EachFormatHoldsTheModulesTopology)
{
    QTemporaryDir dir;
    QFile topology(dir.filePath("mesh.txt"));
    ASSERT_TRUE(topology.open(QIODevice::WriteOnly));
    topology.write(kTopology);
    topology.close();
    SimProcess sim({"--topology", topology.fileName()});
    ASSERT_FALSE(sim.Port().isEmpty());

    // JSON, two scans: one document per line, each with the whole mesh.
    const CliRun json = RunCli({"scan", "--port", sim.Port(), "--format", "json", "--count", "2"});
    ASSERT_EQ(json.status, 0) << Describe(json).toStdString();
    const QStringList documents = json.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(documents.size(), 2) << json.out.toStdString();
    for (const QString &line : documents) {
        const QJsonObject mesh = QJsonDocument::fromJson(line.toUtf8()).object();
        EXPECT_EQ(mesh["group"].toString(), "C001");
        std::set<QString> nodes;
        for (const QJsonValue &v : mesh["nodes"].toArray()) {
            const QJsonObject n = v.toObject();
            nodes.insert(n["address"].toString());
            const auto want = kNodes.find(n["address"].toString());
            ASSERT_NE(want, kNodes.end()) << line.toStdString();
            EXPECT_EQ(n["column"].toInt(), want->second.column) << line.toStdString();
            EXPECT_EQ(n["kind"].toString(), want->second.kind) << line.toStdString();
        }
        EXPECT_EQ(nodes.size(), kNodes.size()) << line.toStdString();
        const QJsonArray links = mesh["links"].toArray();
        EXPECT_EQ(links.size(), int(kLinks.size())) << line.toStdString();
        for (const QJsonValue &v : links) {
            const QJsonObject l = v.toObject();
            const auto want = kLinks.find({l["relay"].toString(), l["node"].toString()});
            ASSERT_NE(want, kLinks.end()) << line.toStdString();
            EXPECT_LE(std::abs(l["rssi"].toInt() - want->second), 3) << line.toStdString();
        }
    }

    // DOT: every node in the rank=same subgraph of its column, every link.
    const CliRun dot = RunCli({"scan", "--port", sim.Port(), "--format", "dot"});
    ASSERT_EQ(dot.status, 0) << Describe(dot).toStdString();
    for (const auto &[address, node] : kNodes) {
        const QString column = QStringLiteral("subgraph column%1 {\n    rank=same;\n").arg(node.column);
        const int start = dot.out.indexOf(column);
        ASSERT_GE(start, 0) << dot.out.toStdString();
        const QString subgraph = dot.out.mid(start, dot.out.indexOf("  }", start) - start);
        EXPECT_TRUE(subgraph.contains('"' + address + "\" [")) << address.toStdString();
    }
    for (const auto &[link, rssi] : kLinks)
        EXPECT_TRUE(dot.out.contains(QStringLiteral("\"%1\" -> \"%2\"").arg(link.first, link.second)))
            << link.first.toStdString() << "->" << link.second.toStdString();

    // The table: a row per node with its kind, a row per link.
    const CliRun table = RunCli({"scan", "--port", sim.Port()});
    ASSERT_EQ(table.status, 0) << Describe(table).toStdString();
    for (const auto &[address, node] : kNodes)
        EXPECT_TRUE(table.out.contains(QRegularExpression('^' + address + " +" + node.kind + " +" +
                                                          QString::number(node.column) + ' ',
                                                          QRegularExpression::MultilineOption)))
            << address.toStdString() << "\n" << table.out.toStdString();
    for (const auto &[link, rssi] : kLinks)
        EXPECT_TRUE(table.out.contains(QRegularExpression('^' + link.first + " +" + link.second + " +-",
                                                          QRegularExpression::MultilineOption)))
            << table.out.toStdString();
}

TEST(CliScan, SilenceAndAMissingGroupEndTheScanWithAMessage)
{
    PtyPair silent;
    ASSERT_TRUE(silent.ok());
    const CliRun quiet =
        RunCli({"scan", "--port", QString::fromStdString(silent.path()), "--timeout", "1500"});
    EXPECT_EQ(quiet.status, 8) << Describe(quiet).toStdString();
    EXPECT_TRUE(quiet.err.contains("no answer to the info request")) << quiet.err.toStdString();

    SimProcess noGroup({"--group", "8001"});
    const CliRun group = RunCli({"scan", "--port", noGroup.Port()});
    EXPECT_EQ(group.status, 9) << Describe(group).toStdString();
    EXPECT_EQ(group.err, "verrin-cli: Please set the Group Address by setting the Publish Address in the "
                         "local node.\n");
}

TEST(CliSend, ReplyAsTextOrHexAndAProfilesPortLeftUntouched)
{
    SimProcess sim({});
    ASSERT_FALSE(sim.Port().isEmpty());
    // The profile names the port and nothing else; the other values stay
    // missing, as a read-only look must leave them.
    CRegistry registry;
    registry.SetKeyPath(ProfileKeyPath("C"));
    std::string port = sim.Port().toStdString();
    ASSERT_TRUE(registry.StringValue(AccessMode::Write, "PortName", port));
    const QByteArray profileBefore = ReadAll(CRegistry::FilePath());

    struct Case {
        QStringList args;
        const char *out;
    };
    const Case cases[] = {
        {{"--port", sim.Port(), "--crlf", "--until", "OK", "at"}, "\nOK\n"},
        {{"--port", sim.Port(), "--hex", "--until", " 4F 4B", "at\r"}, " 0D 0A 4F 4B"},
        {{"--profile", "c", "--crlf", "--until", "Publish Addr", "at+ab info"}, "Version"},
        {{"--port", sim.Port(), "--timeout", "500", "at\r"}, "OK"}, // no --until: 0 after the time
    };
    for (const Case &c : cases) {
        const CliRun r = RunCli(QStringList{"send"} + c.args);
        EXPECT_EQ(r.status, 0) << Describe(r).toStdString();
        EXPECT_TRUE(r.out.contains(c.out)) << c.args.join(' ').toStdString() << "\n" << r.out.toStdString();
    }
    EXPECT_TRUE(ReadAll(CRegistry::FilePath()) == profileBefore) << "the profile's file was written";
}
