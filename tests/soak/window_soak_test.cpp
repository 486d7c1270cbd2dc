// One main window against the virtual module for the length of the soak, with
// faults injected in turn, round after round: the device vanishes and a new
// one appears on the same path; the module answers a firmware download with a
// storm of NAKs (one it recovers from, one past the retry limit) or cancels
// it; a flood of random bytes arrives while capture runs on a small disk
// (which every other round fills); the module falls silent during a network
// scan. After each fault the window must still work: a typed command gets its
// reply, a download ends in the result its fault calls for, a capture holds
// exactly the bytes received before it stopped, and every loss of the device
// was told to the user once.

#include "app/CVerrinDlg.h"
#include "netview/CNetViewDlg.h"
#include "settings/CRegistry.h"
#include "settings/SettingsStore.h"
#include "transfer/CLoadImage.h"
#include "SoakSupport.h"
#include "support/MessageRecorder.h"
#include "support/Pty.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <unistd.h>
#include <zlib.h>

namespace {

using soak::WaitFor;

constexpr size_t kDiskBytes = 256 * 1024;
constexpr int kImageBytes = 20000;
// A line of 2400 baud for the silent scan: the module takes a while to hear
// a whole scan command, so that it can be stopped before it answers.
const QStringList kSlowLine{"--line-rate", "2400"};

struct Window {
    MessageRecorder messages;
    std::unique_ptr<CVerrinDlg> dlg;

    explicit Window(const QString &port)
    {
        CVerrinDlg::StartOptions options;
        options.portPath = port;
        options.connect = true;
        dlg = std::make_unique<CVerrinDlg>(options, &messages);
        dlg->show();
        QApplication::setActiveWindow(dlg.get());
    }
    QAbstractButton *Button(int id) const { return static_cast<QAbstractButton *>(dlg->Control(id)); }
    std::string Text() const { return std::string(dlg->Terminal().Text()); }
    long RxCount() const { return static_cast<QLineEdit *>(dlg->Control(MainId::RxCount))->text().toLong(); }
    size_t MessageCount() const { return messages.messages.size(); }
    std::string LastMessage() const { return messages.messages.empty() ? "" : messages.messages.back().text; }

    bool Connect()
    {
        Button(MainId::Connect)->click();
        return WaitFor([&] { return dlg->IsConnected(); });
    }
    // Types a line at the keyboard into the terminal.
    void Type(const char *line)
    {
        QWidget *view = dlg->Control(MainId::Terminal);
        QApplication::setActiveWindow(dlg.get());
        view->setFocus();
        QTest::keyClicks(view, line);
        QTest::keyClick(view, Qt::Key_Return);
    }
};

// The module's reply to a typed command shows in the terminal.
::testing::AssertionResult TerminalAnswers(Window &w)
{
    w.Button(MainId::Clear)->click();
    w.Type("at+ab info");
    if (WaitFor([&] { return w.Text().find("Publish Addr C001") != std::string::npos; }))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no reply to a typed command; terminal: " << w.Text();
}

// The device vanishes: the window tells the user once and leaves the port.
::testing::AssertionResult LossToldOnce(Window &w, size_t messagesBefore)
{
    if (!WaitFor([&] { return !w.dlg->IsConnected(); }))
        return ::testing::AssertionFailure() << "the window did not notice the device go";
    QTest::qWait(300); // room for a second report, if there were one
    if (w.MessageCount() != messagesBefore + 1)
        return ::testing::AssertionFailure()
               << w.MessageCount() - messagesBefore << " messages for one loss, last: " << w.LastMessage();
    return ::testing::AssertionSuccess();
}

std::string RandomBytes(size_t size, std::mt19937 &random)
{
    std::string bytes(size, '\0');
    for (char &b : bytes)
        b = static_cast<char>(random());
    return bytes;
}

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class WindowSoak : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        link = dir.filePath("port");
        home = dir.filePath("home");
        disk = std::make_unique<soak::SmallDisk>(home, kDiskBytes);
        module = std::make_unique<soak::Module>(link);
        ASSERT_TRUE(module->Start());

        // The image to download, chosen in the profile the window will take.
        std::mt19937 bytes(7);
        image = QByteArray(kImageBytes, Qt::Uninitialized);
        for (char &b : image)
            b = char(bytes());
        QFile f(dir.filePath("fw.bin"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(image) == image.size());
        f.close();
        CRegistry registry;
        Settings settings;
        settings.downloadPath = dir.path().toStdString() + "/";
        settings.downloadFilename = "fw.bin";
        SaveSettings(registry, "A", settings);

        // The capture file goes to the home folder as it is when the window
        // is made: the small disk.
        const QByteArray savedHome = qgetenv("HOME");
        qputenv("HOME", home.toLocal8Bit());
        w = std::make_unique<Window>(link);
        qputenv("HOME", savedHome);
        ASSERT_TRUE(WaitFor([&] { return w->dlg->IsConnected(); }));
    }
    void TearDown() override
    {
        w.reset();
        module.reset();
        disk.reset();
    }

    void VanishAndReturn(const QStringList &moduleOptions);
    void DownloadWithFault(int round);
    void GarbageFloodWithCapture(int round);
    void SilentDuringScan(bool resume);

    QTemporaryDir dir;
    QString link, home;
    QByteArray image;
    std::unique_ptr<soak::SmallDisk> disk;
    std::unique_ptr<soak::Module> module;
    std::unique_ptr<Window> w;
    std::mt19937 random{20251126};
    int faults = 0;
};

void WindowSoak::VanishAndReturn(const QStringList &moduleOptions)
{
    const size_t before = w->MessageCount();
    module->Kill();
    ASSERT_TRUE(LossToldOnce(*w, before));
    ASSERT_TRUE(module->Start(moduleOptions));
    ASSERT_TRUE(w->Connect()) << w->LastMessage();
    ASSERT_TRUE(TerminalAnswers(*w));
    ++faults;
}

// The module, started with a download fault, gets the image: the transfer
// ends in the result the fault calls for, shown in the loader, and a
// successful one delivered every byte.
void WindowSoak::DownloadWithFault(int round)
{
    struct Fault {
        QStringList options;
        const char *status;
    };
    const Fault faultsInTurn[] = {
        {{"--nak-block", "3", "--nak-count", "9"}, "Successful"}, // a NAK storm just within the limit
        {{"--cancel-at", "4"}, "Aborted"},
        {{"--nak-block", "2", "--nak-count", "10"}, "Too many retries"},
        {{"--nak-block", "9", "--nak-count", "4"}, "Successful"},
    };
    const Fault &fault = faultsInTurn[round % 4];
    ASSERT_NO_FATAL_FAILURE(VanishAndReturn(fault.options));
    const size_t before = w->MessageCount();
    auto *loader = w->dlg->findChild<CLoadImage *>();
    ASSERT_TRUE(loader);
    QLineEdit *statusField = nullptr;
    for (auto *e : loader->findChildren<QLineEdit *>())
        if (e->accessibleName() == QLatin1String("Status"))
            statusField = e;
    ASSERT_TRUE(statusField);
    statusField->clear(); // the last round's result is not this one's
    auto status = [&] { return statusField->text(); };
    w->Button(MainId::Load)->click();
    ASSERT_TRUE(WaitFor([&] { return !status().isEmpty() && status() != "Loading Image"; }, 60000))
        << status().toStdString();
    EXPECT_EQ(status().toStdString(), fault.status) << fault.options.join(' ').toStdString();
    EXPECT_EQ(w->MessageCount(), before) << w->LastMessage();
    if (std::string(fault.status) == "Successful") {
        char banner[64];
        std::snprintf(banner, sizeof banner, "image %d bytes, CRC32 %08lX", kImageBytes,
                      crc32(0, reinterpret_cast<const Bytef *>(image.constData()), uInt(image.size())));
        EXPECT_TRUE(WaitFor([&] { return w->Text().find(banner) != std::string::npos; })) << w->Text();
    }
    if (loader->isVisible())
        loader->accept();
    ++faults;
}

// The device on the path becomes a pty of this test, which floods the window
// with random bytes while capture runs, answers one typed command, and then
// vanishes; the module comes back on the path afterwards.
void WindowSoak::GarbageFloodWithCapture(int round)
{
    size_t before = w->MessageCount();
    module->Kill();
    ASSERT_TRUE(LossToldOnce(*w, before));
    auto pty = std::make_unique<PtyPair>();
    ASSERT_TRUE(pty->ok());
    QFile::remove(link);
    ASSERT_EQ(::symlink(pty->path().c_str(), link.toLocal8Bit().constData()), 0);
    ASSERT_TRUE(w->Connect()) << w->LastMessage();

    // Odd rounds send more than the disk holds.
    const std::string flood = RandomBytes(round % 2 ? 3 * kDiskBytes : kDiskBytes / 2, random);
    w->Button(MainId::Clear)->click();
    before = w->MessageCount();
    w->Button(MainId::Capture)->click();
    ASSERT_EQ(w->Button(MainId::Capture)->text(), "Stop Capture") << w->LastMessage();
    size_t sent = 0;
    QElapsedTimer t;
    t.start();
    while (sent < flood.size() && t.elapsed() < 60000) {
        const ssize_t n = ::write(pty->master(), flood.data() + sent, std::min<size_t>(4096, flood.size() - sent));
        if (n > 0)
            sent += size_t(n);
        else
            QTest::qWait(2);
    }
    ASSERT_EQ(sent, flood.size());
    ASSERT_TRUE(WaitFor([&] { return w->RxCount() == long(flood.size()); }))
        << w->RxCount() << " of " << flood.size() << " bytes received";

    const bool stillOn = w->Button(MainId::Capture)->text() == "Stop Capture";
    if (stillOn)
        w->Button(MainId::Capture)->click();
    const QByteArray saved = ReadFile(QDir(home).filePath("verrin.dat"));
    EXPECT_TRUE(std::string(saved.constData(), size_t(saved.size())) == flood.substr(0, size_t(saved.size())))
        << "the capture is not the start of what was received";
    if (round % 2) {
        EXPECT_FALSE(stillOn) << "a capture larger than the disk did not stop";
        EXPECT_LT(size_t(saved.size()), flood.size());
        ASSERT_EQ(w->MessageCount(), before + 2);
        EXPECT_NE(w->LastMessage().find("Capture stopped: "), std::string::npos) << w->LastMessage();
        EXPECT_NE(w->LastMessage().find("(" + std::to_string(saved.size()) + " bytes saved in "), std::string::npos)
            << w->LastMessage();
    } else {
        EXPECT_TRUE(stillOn);
        EXPECT_EQ(size_t(saved.size()), flood.size()) << "a capture that fits lost bytes";
        EXPECT_EQ(w->MessageCount(), before + 1) << w->LastMessage();
    }
    for (const char c : w->Text()) {
        const auto b = static_cast<unsigned char>(c);
        ASSERT_TRUE((b >= 0x20 && b <= 0x7E) || b == '\r' || b == '\n') << "byte " << int(b) << " shown";
    }

    // The window still talks: this test plays the module for one command.
    w->Button(MainId::Clear)->click();
    w->Type("at+ab info");
    std::string heard;
    ASSERT_TRUE(WaitFor([&] {
        heard += pty->Read(20, 10);
        return heard.find("at+ab info\r\n") != std::string::npos;
    })) << heard;
    pty->Write("\r\nPublish Addr C001\r\nOK\r\n");
    ASSERT_TRUE(WaitFor([&] { return w->Text().find("Publish Addr C001") != std::string::npos; })) << w->Text();

    before = w->MessageCount();
    pty.reset();
    ASSERT_TRUE(LossToldOnce(*w, before));
    QFile::remove(link);
    ASSERT_TRUE(module->Start(kSlowLine));
    ASSERT_TRUE(w->Connect()) << w->LastMessage();
    ASSERT_TRUE(TerminalAnswers(*w));
    faults += 2;
}

// The module stops answering once a scan command is out. The view must keep
// waiting, the window must keep running, and then either the module resumes
// and the scan completes, or the user closes the view and forces the closing
// wait to end. No message is shown either way.
void WindowSoak::SilentDuringScan(bool resume)
{
    const size_t before = w->MessageCount();
    enum { AwaitScanOut, Silent, AwaitTable, Closing, Done } step = AwaitScanOut;
    bool stayedWaiting = true, tableShown = false, closingWaited = false;
    QElapsedTimer since;
    QTimer probe;
    probe.setInterval(20);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        auto *view = qobject_cast<CNetViewDlg *>(modal);
        switch (step) {
        case AwaitScanOut:
            if (view && view->Scan().State() == ScanState::AwaitScan && w->dlg->TerminalLength() == 0) {
                module->Signal(SIGSTOP);
                since.start();
                step = Silent;
            }
            break;
        case Silent:
            if (since.elapsed() < 2500)
                break;
            if (!view) {
                stayedWaiting = false;
                step = Done;
                break;
            }
            stayedWaiting = view && view->Scan().State() == ScanState::AwaitScan && w->dlg->TerminalLength() == 0;
            if (resume) {
                module->Signal(SIGCONT);
                step = AwaitTable;
            } else {
                view->reject();
                since.start();
                step = Closing;
            }
            break;
        case AwaitTable:
            if (view && view->Scan().State() == ScanState::Pause && view->Scan().Table().nodeCount > 1) {
                tableShown = true;
                view->reject(); // the closing wait ends at its first tick
                step = Done;
            }
            break;
        case Closing:
            // The closing wait holds while the module is silent.
            if (since.elapsed() < 1500)
                break;
            closingWaited = modal && modal->windowTitle() == "Closing Netview";
            if (!modal) {
                step = Done;
                break;
            }
            if (auto *force = modal->findChild<QPushButton *>("forceClose"))
                force->click();
            module->Signal(SIGCONT);
            step = Done;
            break;
        case Done:
            break;
        }
    });
    probe.start();
    QTimer watchdog; // never hang the suite
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        while (QWidget *m = QApplication::activeModalWidget())
            m->close();
    });
    watchdog.start(60000);
    w->Button(MainId::NetView)->click();
    probe.stop();
    watchdog.stop();
    module->Signal(SIGCONT);

    ASSERT_EQ(step, Done);
    EXPECT_TRUE(stayedWaiting) << "the view moved on while the module was silent";
    if (resume)
        EXPECT_TRUE(tableShown);
    else
        EXPECT_TRUE(closingWaited) << "the closing wait ended without a reply";
    EXPECT_EQ(w->MessageCount(), before) << w->LastMessage();
    ASSERT_TRUE(w->dlg->IsConnected());
    // The reply held back by the silence may still come in: let it settle.
    QTest::qWait(500);
    ASSERT_TRUE(TerminalAnswers(*w));
    ++faults;
}

TEST_F(WindowSoak, EveryFaultInTurnLeavesAWorkingWindow)
{
    ASSERT_TRUE(TerminalAnswers(*w));
    const int seconds = soak::Seconds(20);
    QElapsedTimer t;
    t.start();
    int round = 0;
    for (; round < 3 || t.elapsed() < seconds * 1000; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_NO_FATAL_FAILURE(DownloadWithFault(round));
        ASSERT_NO_FATAL_FAILURE(GarbageFloodWithCapture(round));
        ASSERT_NO_FATAL_FAILURE(SilentDuringScan(round % 2 == 0));
    }
    std::printf("[ soak ] %d rounds, %d faults survived in %lld s (small disk: %s)\n", round, faults,
                static_cast<long long>(t.elapsed() / 1000), disk->Mounted() ? "tmpfs" : "file size limit");
}

} // namespace
