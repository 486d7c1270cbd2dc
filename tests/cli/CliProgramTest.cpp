// verrin-cli as a program, against the virtual module and against lrzsz's rb
// over the emulated line: downloads and their results, scans in each output
// format, command exchanges, and command lines that must send nothing.
#include "settings/CRegistry.h"
#include "settings/SettingsStore.h"
#include "sim/ProcessHarness.h"
#include "support/Pty.h"
#include "support/SimProcess.h"
#include "support/WaitFor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
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
CliRun RunCli(const QStringList &args)
{
    QProcess p;
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
    Child line({VERRIN_BIN_DIR "/sim/verrin-line", "--rate", "115200", "--latency", "1", "--link-a",
                dir.filePath("a").toStdString(), "--link-b", dir.filePath("b").toStdString()}, {});
    const std::string a = line.ReadLine(Millis(5000)), b = line.ReadLine(Millis(5000));
    ASSERT_FALSE(b.empty());
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
