// The fault soak, round after round for as long as it is given.
//
// One main window against the virtual module, with the faults of a table
// injected in turn. Each begins with the device vanishing (told once, or with
// "Reconnect" on, which every loss turns over, waited for until it is back);
// then the module comes back with the fault's options, or a pty of the test
// takes its path: a firmware download meets a storm of NAKs (one it recovers
// from, one past the retry limit) or a cancel; random bytes flood the window
// while capture runs on a small disk, which one fault fills; the module falls
// silent during a network scan. After each fault the window must still work:
// a typed command gets its reply, a download ends in the result its fault
// calls for, a capture holds exactly the bytes received before it stopped.
//
// Verrin programs started, ended (SIGTERM) and killed (SIGKILL) at random,
// all on one instance store. Whatever the order, no profile is ever held by
// two running instances, an instance that ends frees its profile, one that
// cannot find a free profile says so, and once all have ended a new instance
// takes "A" again: nothing stays locked. The instances share this test's
// folders (made for it by the test main), and so its instance store.

#include "app/ModuleWindow.h"
#include "instance/CSharedMemory.h"
#include "instance/ProfileLock.h"
#include "netview/CNetViewDlg.h"
#include "support/Pty.h"
#include "support/SimProcess.h"
#include "support/SmallDisk.h"

#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <random>
#include <unistd.h>
#include <zlib.h>

namespace {

// Children built with the sanitizers start and answer slower: every wait of
// the soak allows this long.
constexpr int kPatienceMs = 10000;

// Runs round(0), round(1), ... at least `least` times and then until the soak's
// time is up: VERRIN_SOAK_SECONDS (scripts/soak.sh sets it), else the short
// run of the test suite. Gives the rounds run and the seconds they took.
template <typename Round> std::pair<int, long long> Soak(int shortRunSeconds, int least, Round round)
{
    const char *text = std::getenv("VERRIN_SOAK_SECONDS");
    const int seconds = text && std::atoi(text) > 0 ? std::atoi(text) : shortRunSeconds;
    QElapsedTimer t;
    t.start();
    int n = 0;
    for (; (n < least || t.elapsed() < seconds * 1000) && !::testing::Test::HasFatalFailure(); ++n) {
        SCOPED_TRACE("round " + std::to_string(n));
        round(n);
    }
    return {n, t.elapsed() / 1000};
}

// What follows the device's return: a download under the module's faults; a
// flood of half the disk, or of three times it; a network scan the module
// falls silent in, and then resumes, or the user closes the view and the
// module's reply or "Force Close" ends its closing wait.
enum class Play { Download, Flood, FloodPastTheDisk, Resume, CloseThenReply, CloseThenForce };

// At 2400 baud the module takes a while to hear a whole scan command, so that
// it can be stopped before it answers.
const QStringList kSlowLine{"--line-rate", "2400"};

// The faults, in turn. Each begins with the device vanishing; the module comes
// back with these options, or for a flood a pty of the test takes its path.
const struct Fault {
    Play play;
    QStringList module;
    std::string loaded = ""; // a download's result
} kFaults[] = {
    {Play::Download, {"--nak-block", "3", "--nak-count", "9"}, "Successful"}, // a NAK storm just within the limit
    {Play::Download, {"--cancel-at", "4"}, "Aborted"},
    {Play::Download, {"--nak-block", "2", "--nak-count", "10"}, "Too many retries"},
    {Play::Flood, {}},
    {Play::FloodPastTheDisk, {}},
    {Play::Resume, kSlowLine},
    {Play::CloseThenReply, kSlowLine},
    {Play::CloseThenForce, kSlowLine},
};

class WindowSoak : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        link = dir.filePath("port");
        ASSERT_TRUE(StartModule({})); // until the first fault
        for (int i = 0; i < 20000; ++i) // no two 1024-byte blocks alike
            image += char(i * 7 + i / 251);
        w = std::make_unique<ModuleWindow>(link, ChoosingImage(dir.path(), image), kPatienceMs);
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
            auto *box = setup ? setup->findChild<QAbstractButton *>("Reconnect") : nullptr;
            if (box && box->isChecked() != on)
                box->click();
            if (setup)
                setup->accept();
        });
        w->Button(MainId::Setup)->click();
        return w->dlg->CurrentSettings().autoReconnect == uint32_t(on);
    }

    // The device vanishes: told once, or (reconnect on, which every loss turns
    // over) waited for until the module comes back, or until Disconnect stops
    // the wait for a flood's pty. Then the fault is played, and the window
    // tells nothing unless capture stops or the disk fills up.
    void Inject(const Fault &fault)
    {
        const bool waits = w->dlg->CurrentSettings().autoReconnect != 0,
                   fillsDisk = fault.play == Play::FloodPastTheDisk, flood = fillsDisk || fault.play == Play::Flood;
        size_t before = w->MessageCount();
        module->Kill(); // at once, as a pulled cable
        if (pty) { // the window notices at its next event
            pty.reset();
            QFile::remove(link);
        }
        if (waits) {
            ASSERT_TRUE(WaitFor([&] { return Waiting(); }, kPatienceMs));
            if (!flood) {
                ASSERT_TRUE(StartModule(fault.module));
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
            ASSERT_TRUE(flood || StartModule(fault.module));
        }
        ASSERT_TRUE(SetReconnect(!waits));
        if (flood) {
            pty = std::make_unique<PtyPair>();
            QFile::remove(link);
            ASSERT_TRUE(pty->ok() && ::symlink(pty->path().c_str(), link.toLocal8Bit().constData()) == 0);
        }
        ASSERT_TRUE(w->Connect()) << w->LastMessage();
        ASSERT_TRUE(flood || w->Answers()) << "a typed command got no reply after the device came back";
        before = w->MessageCount();
        if (fault.play == Play::Download)
            ASSERT_NO_FATAL_FAILURE(Download(fault.loaded));
        else if (flood)
            ASSERT_NO_FATAL_FAILURE(FloodWithCapture(fillsDisk));
        else
            ASSERT_NO_FATAL_FAILURE(SilentDuringScan(fault.play));
        EXPECT_EQ(w->MessageCount(), before + (fillsDisk ? 2 : flood ? 1 : 0)) << w->LastMessage();
    }

    // The download ends in the result the fault calls for, the loader stays
    // open after a failure only, and a successful one delivered every byte.
    void Download(const std::string &expected)
    {
        const QString status = w->Load();
        EXPECT_EQ(status.toStdString(), expected);
        EXPECT_EQ(w->Loader()->isVisible(), status != "Successful") << "the loader stays open after a failure only";
        // The line the module prints once it has booted the image it took.
        char banner[64];
        std::snprintf(banner, sizeof banner, "image %d bytes, CRC32 %08lX", int(image.size()),
                      crc32(0, reinterpret_cast<const Bytef *>(image.constData()), uInt(image.size())));
        EXPECT_TRUE(status != "Successful" ||
                    WaitFor([&] { return w->Text().find(banner) != std::string::npos; }, kPatienceMs))
            << w->Text();
        if (w->Loader()->isVisible())
            w->Loader()->accept();
    }

    // The pty floods the window with random bytes while capture runs: the
    // capture holds the start of what came, all of it unless the disk filled
    // up, which stops the capture with a message (capture's rules say which).
    void FloodWithCapture(bool fillsDisk)
    {
        std::string flood(fillsDisk ? 3 * kDiskBytes : kDiskBytes / 2, '\0');
        for (char &b : flood)
            b = char(random());
        w->Button(MainId::Clear)->click();
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
        const std::string saved = ReadFile(QDir::home().filePath("verrin.dat").toStdString());
        EXPECT_TRUE(flood.compare(0, saved.size(), saved) == 0) << "the capture is not the start of what was received";
        EXPECT_EQ(stillOn, !fillsDisk) << "capture stops when the disk is full, and only then";
        EXPECT_EQ(saved.size() == flood.size(), !fillsDisk) << saved.size() << " bytes captured";
    }

    // The module stops answering once a scan command is out. The view must keep
    // waiting, the window must keep running, and then either the module resumes
    // and the scan completes, or the user closes the view and the closing wait
    // holds until the module's reply ends it or the user forces it to end.
    void SilentDuringScan(Play end)
    {
        const bool resume = end == Play::Resume;
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
                if (ended && end == Play::CloseThenForce)
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
        if (end == Play::CloseThenReply) // it cleared what had come of the reply at its tick
            EXPECT_NE(w->Text().rfind("\r\nRelay", 0), 0u) << "the reply's start is still shown";
        else
            EXPECT_EQ(w->dlg->TerminalLength(), 0u) << "the closing wait hands the terminal back empty";
        ASSERT_TRUE(w->Answers());
    }

    static constexpr size_t kDiskBytes = 256 * 1024;
    SmallDisk disk{kDiskBytes}; // holds every file this process writes, the capture file too
    QTemporaryDir dir;
    QString link;
    QByteArray image;
    std::unique_ptr<SimProcess> module;
    std::unique_ptr<PtyPair> pty; // in the module's place during a flood
    std::unique_ptr<ModuleWindow> w;
    std::mt19937 random{20251126};
    int reconnects = 0;
    qint64 longestReconnectMs = 0; // from the module's port back to the window connected
};

TEST_F(WindowSoak, EveryFaultInTurnLeavesAWorkingWindow)
{
    ASSERT_TRUE(w->Answers());
    const auto [rounds, seconds] = Soak(20, 1, [&](int) {
        for (size_t i = 0; i < std::size(kFaults); ++i) {
            SCOPED_TRACE("fault " + std::to_string(i));
            ASSERT_NO_FATAL_FAILURE(Inject(kFaults[i]));
        }
    });
    const int faults = rounds * int(std::size(kFaults)); // each begins with a device loss
    std::printf("[ soak ] %d rounds, %d faults survived in %lld s; %d device losses, %d reconnected by the "
                "window, the longest %lld ms after the port was back\n",
                rounds, faults, seconds, faults, reconnects,
                static_cast<long long>(longestReconnectMs));
}

using Marks = std::array<uint32_t, kProfileCount>;

class InstanceSoak : public ::testing::Test {
protected:
    struct Instance {
        std::unique_ptr<QProcess> process;
        uint32_t pid = 0;
        int profile = -1;
    };

    // The store stays open only for the reading, so that it keeps no stale
    // mark alive.
    static Marks ReadMarks()
    {
        CSharedMemory store;
        Marks marks;
        for (int i = 0; i < kProfileCount; ++i)
            marks[i] = store.GetDwordValue(kProfileNames[i], 0xFFFFFFFF);
        return marks;
    }

    // Starts one verrin; it either claims a profile (its id shows in a mark)
    // or says that none is free. Returns false when it did neither.
    bool Start()
    {
        Instance in{std::make_unique<QProcess>()};
        in.process->start(QStringLiteral(VERRIN_BIN_DIR "/verrin"), QStringList{});
        in.pid = in.process->waitForStarted(10000) ? uint32_t(in.process->processId()) : 0;
        bool refused = false;
        Marks m{};
        const bool settled = in.pid && WaitFor([&] {
            refused = refused || in.process->readAllStandardError().contains("verrin: ");
            m = ReadMarks();
            in.profile = int(std::find(m.begin(), m.end(), in.pid) - m.begin());
            return refused || in.profile < kProfileCount;
        }, 30000);
        if (refused) { // only when every profile is marked, by a running instance or a killed one
            EXPECT_EQ(std::count(m.begin(), m.end(), 0u), 0) << "refused while a profile was free";
            in.process->kill();
            in.process->waitForFinished(10000);
        } else if (settled) {
            live.push_back(std::move(in));
        }
        return settled;
    }

    void End(size_t index, bool kill)
    {
        Instance in = std::move(live[index]);
        live.erase(live.begin() + long(index));
        ::kill(pid_t(in.pid), kill ? SIGKILL : SIGTERM);
        ASSERT_TRUE(in.process->waitForFinished(20000)) << "instance " << in.pid << " hangs";
        if (kill)
            return;
        EXPECT_TRUE(in.process->exitStatus() == QProcess::NormalExit && in.process->exitCode() == 0)
            << in.process->readAllStandardError().toStdString();
        // (With none left the store starts afresh anyway.)
        EXPECT_TRUE(live.empty() || ReadMarks()[in.profile] == 0u) << "an ended instance kept " << kProfileNames[in.profile];
    }

    std::vector<Instance> live;
};

TEST_F(InstanceSoak, RandomStartsAndKillsNeverShareAProfileNorLeakOne)
{
    std::mt19937 random(1126);
    const auto [epochs, seconds] = Soak(12, 1, [&](int) {
        for (int action = 0; action < 14; ++action) {
            const int what = int(random() % 4);
            if (live.empty() || (what < 2 && live.size() < 10)) {
                ASSERT_TRUE(Start()) << "an instance neither claimed a profile nor said why not";
            } else {
                ASSERT_NO_FATAL_FAILURE(End(random() % live.size(), what == 3));
            }
            const Marks m = ReadMarks(); // each running instance's id stands in its own mark alone
            for (const Instance &in : live)
                ASSERT_TRUE(std::count(m.begin(), m.end(), in.pid) == 1 && m[in.profile] == in.pid)
                    << "instance " << in.pid << " is not alone in the mark of " << kProfileNames[in.profile];
        }
        while (!live.empty())
            ASSERT_NO_FATAL_FAILURE(End(random() % live.size(), random() % 2 == 0));

        // All have ended: the first to come takes "A".
        ASSERT_TRUE(Start() && live.size() == 1u);
        EXPECT_EQ(live[0].profile, 0) << "a lock outlived every instance";
        ASSERT_NO_FATAL_FAILURE(End(0, false));
    });
    std::printf("[ soak ] %d epochs, %d starts and ends in %lld s\n", epochs, epochs * 14, seconds);
}

} // namespace
