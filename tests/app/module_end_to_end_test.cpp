// Verrin against the virtual module: typing a command at the keyboard, and the
// mesh network view from "Net View" to the closing wait.
#include "app/CTerminalView.h"
#include "app/CVerrinDlg.h"
#include "netview/CNetViewDlg.h"
#include "settings/CRegistry.h"
#include "settings/SettingsStore.h"
#include "transfer/CLoadImage.h"
#include "support/WaitFor.h"
#include "support/MessageRecorder.h"
#include "support/SimProcess.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <QLineEdit>
#include <set>
#include <zlib.h>

namespace {
QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Connected {
    MessageRecorder messages;
    std::unique_ptr<CVerrinDlg> dlg;
    explicit Connected(const QString &port)
    {
        CVerrinDlg::StartOptions options;
        options.portPath = port;
        options.connect = true;
        dlg = std::make_unique<CVerrinDlg>(options, &messages);
        dlg->show();
        QApplication::setActiveWindow(dlg.get());
        WaitFor([&] { return dlg->IsConnected(); });
    }
    std::string terminal() const { return std::string(dlg->Terminal().Text()); }
};
} // namespace

TEST(WithTheModule, TypedCommandGoesOutExactlyAndTheReplyShows)
{
    QTemporaryDir dir;
    const QString log = dir.filePath("received");
    SimProcess sim({"--log", log});
    ASSERT_FALSE(sim.Port().isEmpty());
    Connected w(sim.Port());
    ASSERT_TRUE(w.dlg->IsConnected());
    auto *view = w.dlg->Control(MainId::Terminal);
    ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() == view; }));

    QTest::keyClicks(view, "at+ab info");
    QTest::keyClick(view, Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return w.terminal().find("Publish Addr C001") != std::string::npos; }))
        << w.terminal();
    EXPECT_EQ(ReadAll(log), QByteArray("at+ab info\r\n"));
    EXPECT_EQ(w.terminal().rfind("at+ab info\r\n", 0), 0u) << "the local echo comes first";
    EXPECT_NE(w.terminal().find("Version "), std::string::npos);
    EXPECT_TRUE(w.messages.messages.empty());
}

TEST(WithTheModule, NetViewShowsTheModulesMeshAndClosingWaitsForTheLastReply)
{
    QTemporaryDir dir;
    const QString topology = dir.filePath("mesh.txt");
    {
        QFile f(topology);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("# level relay rssi node\n0 0001 -11 0002\n0 0001 -14 0003\n1 0002 -20 0004\n"
                "1 0003 -25 0004\n2 0004 -30 0005\n");
    }
    // A slow line, so that a scan command stays unanswered for a while.
    SimProcess sim({"--topology", topology, "--line-rate", "2400"});
    ASSERT_FALSE(sim.Port().isEmpty());
    Connected w(sim.Port());
    ASSERT_TRUE(w.dlg->IsConnected());

    std::set<uint32_t> nodes;
    std::set<std::pair<uint32_t, uint32_t>> links;
    bool closedWhileUnanswered = false;
    QElapsedTimer closing;
    qint64 closingMs = -1;
    QTimer probe;
    probe.setInterval(20);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *view = qobject_cast<CNetViewDlg *>(modal)) {
            const MeshScan &scan = view->Scan();
            const MeshTable &t = scan.Table();
            if (nodes.empty() && scan.State() == ScanState::Pause && t.nodeCount > 0) {
                for (int i = 0; i < t.nodeCount; ++i)
                    nodes.insert(t.nodes[i].address);
                for (int i = 0; i < t.linkCount; ++i)
                    links.insert({t.links[i].relay, t.links[i].node});
            }
            // Close right after the rescan went out, before its reply came.
            if (!nodes.empty() && scan.State() == ScanState::AwaitScan && w.dlg->TerminalLength() == 0) {
                closedWhileUnanswered = true;
                closing.start();
                view->reject();
            }
        }
    });
    probe.start();
    QTimer::singleShot(60000, [] { // never hang the suite
        if (QWidget *m = QApplication::activeModalWidget())
            m->close();
    });
    static_cast<QAbstractButton *>(w.dlg->Control(MainId::NetView))->click();
    if (closing.isValid())
        closingMs = closing.elapsed();
    probe.stop();

    EXPECT_EQ(nodes, (std::set<uint32_t>{0x0001, 0x0002, 0x0003, 0x0004, 0x0005}));
    EXPECT_EQ(links, (std::set<std::pair<uint32_t, uint32_t>>{
                         {1, 2}, {1, 3}, {2, 4}, {3, 4}, {4, 5}}));
    EXPECT_TRUE(closedWhileUnanswered);
    EXPECT_GT(closingMs, 0);
    EXPECT_EQ(w.dlg->TerminalLength(), 0u) << "the closing dialog hands the terminal back empty";
    EXPECT_TRUE(w.messages.messages.empty());
}

namespace {
struct DownloadOutcome {
    QString status;       // the loader's status line at the end
    bool loaderVisible;   // the loader stays open after a failure
    std::string terminal; // what the terminal shows afterwards
    bool typedGoesOut;    // a command typed afterwards reaches the module
    bool replyShows;      // and its reply shows
};

// Loads image through the window into a virtual module started with
// simOptions, and waits for the transfer to end.
DownloadOutcome Download(const QByteArray &image, const QStringList &simOptions)
{
    QTemporaryDir dir;
    {
        QFile f(dir.filePath("fw.bin"));
        f.open(QIODevice::WriteOnly);
        f.write(image);
        CRegistry registry;
        Settings s;
        s.downloadPath = dir.path().toStdString() + "/";
        s.downloadFilename = "fw.bin";
        SaveSettings(registry, "A", s);
    }
    const QString log = dir.filePath("received");
    SimProcess sim(QStringList(simOptions) << "--log" << log);
    Connected w(sim.Port());
    DownloadOutcome out{};
    if (!w.dlg->IsConnected())
        return out;
    static_cast<QAbstractButton *>(w.dlg->Control(MainId::Load))->click();
    auto *loader = w.dlg->findChild<CLoadImage *>();
    auto field = [&](const char *name) {
        for (auto *e : loader->findChildren<QLineEdit *>())
            if (e->accessibleName() == QLatin1String(name))
                return e->text();
        return QString();
    };
    WaitFor([&] {
        const QString st = field("Status");
        return !st.isEmpty() && st != "Loading Image";
    }, 60000);
    QTest::qWait(300); // the banner after "2"
    out.status = field("Status");
    out.loaderVisible = loader->isVisible();
    out.terminal = w.terminal();
    auto *view = w.dlg->Control(MainId::Terminal);
    QApplication::setActiveWindow(w.dlg.get());
    w.dlg->ClearTerminal(); // also puts the focus on the terminal
    WaitFor([&] { return QApplication::focusWidget() == view; });
    QTest::keyClicks(view, "at+ab info");
    QTest::keyClick(view, Qt::Key_Return);
    out.typedGoesOut = WaitFor([&] { return ReadAll(log).endsWith("at+ab info\r\n"); });
    out.replyShows = WaitFor([&] { return w.terminal().find("Publish Addr") != std::string::npos; }, 2000);
    return out;
}
} // namespace

TEST(WithTheModule, LoadSendsTheImageAndTheBannerShowsItsSizeAndCrc)
{
    QByteArray image(70000, Qt::Uninitialized);
    for (int i = 0; i < image.size(); ++i)
        image[i] = char(i * 31 + i / 7);
    const DownloadOutcome out = Download(image, {});
    EXPECT_EQ(out.status, "Successful");
    EXPECT_FALSE(out.loaderVisible) << "a successful download closes the loader";
    char banner[64];
    std::snprintf(banner, sizeof banner, "image %d bytes, CRC32 %08lX", int(image.size()),
                  crc32(0, reinterpret_cast<const Bytef *>(image.constData()), uInt(image.size())));
    EXPECT_NE(out.terminal.find(banner), std::string::npos) << out.terminal;
    EXPECT_TRUE(out.typedGoesOut);
    EXPECT_TRUE(out.replyShows);
}

TEST(WithTheModule, EveryInjectedFaultEndsInItsResultWithTheLoaderOpen)
{
    const QByteArray image(5000, 'x');
    struct Case {
        QStringList sim;
        const char *status;
    };
    const Case cases[] = {
        {{"--nak-block", "2", "--nak-count", "10"}, "Too many retries"},
        {{"--cancel-at", "3"}, "Aborted"},
        {{"--stray-at", "1"}, "Protocol Error"},
    };
    for (const Case &c : cases) {
        const DownloadOutcome out = Download(image, c.sim);
        EXPECT_EQ(out.status, c.status) << c.sim.join(' ').toStdString();
        EXPECT_TRUE(out.loaderVisible) << c.status;
        // The module may still wait for blocks, but Verrin's terminal works.
        EXPECT_TRUE(out.typedGoesOut) << c.status;
    }
}
