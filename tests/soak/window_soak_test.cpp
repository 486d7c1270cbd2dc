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

#include "app/ModuleWindow.h"
#include "netview/CNetViewDlg.h"
#include "support/Pty.h"
#include "support/SimProcess.h"
#include "support/SmallDisk.h"

#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <random>
#include <unistd.h>
#include <zlib.h>

namespace {

constexpr size_t kDiskBytes = 256 * 1024;
// Children built with the sanitizers start and answer slower: every wait of
// the soak allows this long.
constexpr int kPatienceMs = 10000;

// The length of a soak run in seconds: VERRIN_SOAK_SECONDS (scripts/soak.sh
// sets it), else the short run of the test suite.
int SoakSeconds(int shortRun)
{
    const char *text = std::getenv("VERRIN_SOAK_SECONDS");
    return text && std::atoi(text) > 0 ? std::atoi(text) : shortRun;
}

class WindowSoak : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        link = dir.filePath("port");
        ASSERT_TRUE(StartModule({"--log", dir.filePath("received")})); // until the first fault
        image = QByteArray(20000, Qt::Uninitialized);
        for (int i = 0; i < image.size(); ++i)
            image[i] = char(i * 7 + i / 251);
        ASSERT_TRUE(ChooseImage(dir.path(), image));
        w = std::make_unique<ModuleWindow>(link, kPatienceMs);
    }

    // A new module on the link, with the given options.
    bool StartModule(const QStringList &options)
    {
        module = std::make_unique<SimProcess>(QStringList{"--link", link} + options);
        return module->Port() == link;
    }
    bool Waiting() const { return w->dlg->windowTitle().endsWith(kWaitingForPortText); }
    // Ticks or unticks "Reconnect" in Setup, which works only while idle.
    bool SetReconnect(bool on)
    {
        QTimer::singleShot(0, [on] {
            auto *setup = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            for (auto *box : setup ? setup->findChildren<QAbstractButton *>() : QList<QAbstractButton *>())
                if (box->accessibleName() == QLatin1String("Reconnect") && box->isChecked() != on)
                    box->click();
            if (setup)
                setup->accept();
        });
        w->Button(MainId::Setup)->click();
        return w->dlg->CurrentSettings().autoReconnect == uint32_t(on);
    }

    // The module vanishes: told once, or (reconnect on) waited for until it
    // comes back, or until Disconnect stops the wait when it does not. Every
    // loss turns the setting over for the next.
    void LoseDevice(const QStringList *comesBack)
    {
        const size_t before = w->MessageCount();
        const bool waits = w->dlg->CurrentSettings().autoReconnect != 0;
        module->Kill(); // at once, as a pulled cable
        ++losses;
        if (waits) {
            ASSERT_TRUE(WaitFor([&] { return Waiting(); }, kPatienceMs));
            if (comesBack) {
                ASSERT_TRUE(StartModule(*comesBack));
                QElapsedTimer back;
                back.start();
                ASSERT_TRUE(WaitFor([&] { return w->dlg->IsConnected(); }, kPatienceMs)) << "no reconnect";
                longestReconnectMs = std::max(longestReconnectMs, back.elapsed());
                ++reconnects;
            }
            EXPECT_EQ(w->MessageCount(), before) << w->LastMessage();
            w->Button(MainId::Disconnect)->click();
            EXPECT_FALSE(Waiting()) << "Disconnect did not stop the wait";
        } else {
            ASSERT_TRUE(w->LossToldOnce(before));
            ASSERT_TRUE(!comesBack || StartModule(*comesBack));
        }
        ASSERT_TRUE(SetReconnect(!waits));
    }
    // The device vanishes and the module comes back on the path with the
    // given options; connected again, the window answers.
    void VanishAndReturn(const QStringList &moduleOptions)
    {
        ASSERT_NO_FATAL_FAILURE(LoseDevice(&moduleOptions));
        ASSERT_TRUE(w->Connect()) << w->LastMessage();
        ASSERT_TRUE(w->Answers()) << "a typed command got no reply after the device came back";
        ++faults;
    }

    // The module, started with a download fault, gets the image: the transfer
    // ends in the result the fault calls for, the loader stays open after a
    // failure only, and a successful one delivered every byte.
    void DownloadWithFault(int round)
    {
        const struct {
            QStringList options;
            const char *status;
        } faultsInTurn[] = {
            {{"--nak-block", "3", "--nak-count", "9"}, "Successful"}, // a NAK storm just within the limit
            {{"--cancel-at", "4"}, "Aborted"},
            {{"--nak-block", "2", "--nak-count", "10"}, "Too many retries"},
        };
        const auto &fault = faultsInTurn[round % 3];
        SCOPED_TRACE(fault.options.join(' ').toStdString());
        ASSERT_NO_FATAL_FAILURE(VanishAndReturn(fault.options));
        const size_t before = w->MessageCount();
        const QString status = w->Load();
        EXPECT_EQ(status.toStdString(), fault.status);
        EXPECT_EQ(w->Loader()->isVisible(), status != "Successful") << "the loader stays open after a failure only";
        EXPECT_EQ(w->MessageCount(), before) << w->LastMessage();
        // The line the module prints once it has booted the image it took.
        char banner[64];
        std::snprintf(banner, sizeof banner, "image %d bytes, CRC32 %08lX", int(image.size()),
                      crc32(0, reinterpret_cast<const Bytef *>(image.constData()), uInt(image.size())));
        EXPECT_TRUE(status != "Successful" ||
                    WaitFor([&] { return w->Text().find(banner) != std::string::npos; }, kPatienceMs))
            << w->Text();
        if (w->Loader()->isVisible())
            w->Loader()->accept();
        ++faults;
    }

    // The device on the path becomes a pty of this test, which floods the window
    // with random bytes while capture runs and then vanishes; the module comes
    // back on the path afterwards.
    void GarbageFloodWithCapture(int round)
    {
        ASSERT_NO_FATAL_FAILURE(LoseDevice(nullptr));
        auto pty = std::make_unique<PtyPair>();
        ASSERT_TRUE(pty->ok());
        QFile::remove(link);
        ASSERT_EQ(::symlink(pty->path().c_str(), link.toLocal8Bit().constData()), 0);
        ASSERT_TRUE(w->Connect()) << w->LastMessage();

        const bool overfilled = round % 2; // odd rounds overfill the disk
        std::string flood(overfilled ? 3 * kDiskBytes : kDiskBytes / 2, '\0');
        for (char &b : flood)
            b = char(random());
        w->Button(MainId::Clear)->click();
        const size_t before = w->MessageCount();
        QAbstractButton *capture = w->Button(MainId::Capture);
        capture->click();
        ASSERT_EQ(capture->text(), "Stop Capture") << w->LastMessage();
        size_t sent = 0; // written as the pty takes it, while the window reads
        ASSERT_TRUE(WaitFor([&] {
            const ssize_t n = ::write(pty->master(), flood.data() + sent, std::min<size_t>(65536, flood.size() - sent));
            sent += n > 0 ? size_t(n) : 0;
            return sent == flood.size();
        }, 60000));
        ASSERT_TRUE(WaitFor([&] { return w->RxCount() == long(flood.size()); }, kPatienceMs))
            << w->RxCount() << " of " << flood.size() << " bytes received";

        const bool stillOn = capture->text() == "Stop Capture";
        if (stillOn)
            capture->click();
        const QByteArray saved = ReadWholeFile(QDir::home().filePath("verrin.dat"));
        EXPECT_TRUE(flood.compare(0, size_t(saved.size()), saved.constData(), size_t(saved.size())) == 0)
            << "the capture is not the start of what was received";
        EXPECT_EQ(stillOn, !overfilled) << "capture stops when the disk is full, and only then";
        EXPECT_EQ(size_t(saved.size()) == flood.size(), !overfilled) << saved.size() << " bytes captured";
        ASSERT_EQ(w->MessageCount(), before + (overfilled ? 2 : 1)) << w->LastMessage();
        const std::string told = w->LastMessage();
        EXPECT_TRUE(!overfilled || (told.rfind("Capture stopped: ", 0) == 0 &&
                                    told.find("(" + std::to_string(saved.size()) + " bytes saved in ") != told.npos))
            << told;
        const std::string text = w->Text();
        EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](unsigned char b) {
            return (b >= 0x20 && b <= 0x7E) || b == '\r' || b == '\n';
        })) << "a byte the filter drops is shown";
        // The pty vanishes (the window notices at its next event), and the
        // module comes back on a line of 2400 baud for the silent scan: it
        // takes a while to hear a whole scan command, so that it can be
        // stopped before it answers.
        pty.reset();
        QFile::remove(link);
        ASSERT_NO_FATAL_FAILURE(VanishAndReturn({"--line-rate", "2400"}));
        ++faults;
    }

    // The module stops answering once a scan command is out. The view must keep
    // waiting, the window must keep running, and then either the module resumes
    // and the scan completes, or the user closes the view and the closing wait
    // holds until the module's reply ends it or the user forces it to end. No
    // message is shown in any case.
    enum class AfterSilence { Resume, CloseThenReply, CloseThenForce };
    void SilentDuringScan(AfterSilence after)
    {
        const bool resume = after == AfterSilence::Resume;
        const size_t before = w->MessageCount();
        enum { AwaitScanOut, Silent, AwaitTable, Closing, Done } step = AwaitScanOut;
        bool stayedWaiting = false, ended = false; // the table shown, or the closing wait seen holding
        QElapsedTimer since;
        w->RunNetView([&](QWidget *modal) {
            auto *view = qobject_cast<CNetViewDlg *>(modal);
            const bool awaiting =
                view && view->Scan().State() == ScanState::AwaitScan && w->dlg->TerminalLength() == 0;
            if (step == AwaitScanOut && awaiting) {
                module->Signal(SIGSTOP);
                since.start();
                step = Silent;
            } else if (step == Silent && since.elapsed() >= 2500) {
                stayedWaiting = awaiting;
                step = !view ? Done : resume ? AwaitTable : Closing;
                if (step == AwaitTable)
                    module->Signal(SIGCONT);
                else if (step == Closing)
                    view->reject();
                since.start();
            } else if (step == AwaitTable && view && view->Scan().State() == ScanState::Pause &&
                       view->Scan().Table().nodeCount > 1) {
                ended = true;
                view->reject(); // the closing wait ends at its first tick
                step = Done;
            } else if (step == Closing && since.elapsed() >= 1500) {
                // The closing wait holds while the module is silent.
                ended = modal && modal->windowTitle() == "Closing Netview";
                if (ended && after == AfterSilence::CloseThenForce)
                    modal->findChild<QPushButton *>("forceClose")->click();
                else if (ended)
                    module->Signal(SIGCONT); // the reply alone must end the wait
                step = Done;
            }
        });
        module->Signal(SIGCONT);

        ASSERT_EQ(step, Done);
        EXPECT_TRUE(stayedWaiting) << "the view moved on while the module was silent";
        EXPECT_TRUE(ended)
            << (resume ? "no table after the module resumed" : "the closing wait ended without a reply");
        if (after == AfterSilence::CloseThenReply) // it cleared what had come of the reply at its tick
            EXPECT_NE(w->Text().rfind("\r\nRelay", 0), 0u) << "the reply's start is still shown";
        else
            EXPECT_EQ(w->dlg->TerminalLength(), 0u) << "the closing wait hands the terminal back empty";
        EXPECT_EQ(w->MessageCount(), before) << w->LastMessage();
        ASSERT_TRUE(w->Answers());
        ++faults;
    }

    SmallDisk disk{kDiskBytes}; // holds every file this process writes, the capture file too
    QTemporaryDir dir;
    QString link;
    QByteArray image;
    std::unique_ptr<SimProcess> module;
    std::unique_ptr<ModuleWindow> w;
    std::mt19937 random{20251126};
    int faults = 0, losses = 0, reconnects = 0;
    qint64 longestReconnectMs = 0; // from the module's port back to the window connected
};

TEST_F(WindowSoak, EveryFaultInTurnLeavesAWorkingWindow)
{
    ASSERT_TRUE(w->Answers());
    EXPECT_EQ(ReadWholeFile(dir.filePath("received")).toStdString(), "at+ab info\r\n") << "typed keys go out as typed";
    const int seconds = SoakSeconds(20);
    QElapsedTimer t;
    t.start();
    int round = 0;
    for (; round < 3 || t.elapsed() < seconds * 1000; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_NO_FATAL_FAILURE(DownloadWithFault(round));
        ASSERT_NO_FATAL_FAILURE(GarbageFloodWithCapture(round));
        ASSERT_NO_FATAL_FAILURE(SilentDuringScan(AfterSilence(round % 3)));
    }
    std::printf("[ soak ] %d rounds, %d faults survived in %lld s; %d device losses, %d reconnected by the "
                "window, the longest %lld ms after the port was back\n",
                round, faults, static_cast<long long>(t.elapsed() / 1000), losses, reconnects,
                static_cast<long long>(longestReconnectMs));
}

} // namespace
