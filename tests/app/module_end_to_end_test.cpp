// Verrin against the virtual module: a firmware download that the module
// breaks off with a stray reply leaves the loader open and the terminal
// working; "Net View" shows the module's mesh after its first scan. The fault
// soak (tests/soak) runs the successful download, the other download faults
// and the view with a silent module (closed while a scan is unanswered)
// against the same module, and main_window_test.cpp checks what typing sends.
#include "app/ModuleWindow.h"
#include "netview/CNetViewDlg.h"
#include "sim/MeshModel.h"
#include "support/SimProcess.h"

#include <QProgressBar>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <set>

TEST(WithTheModule, AStrayReplyEndsTheDownloadWithTheLoaderOpenAndTheTerminalWorking)
{
    QTemporaryDir dir;
    ASSERT_TRUE(ChooseImage(dir.path(), QByteArray(5000, 'x')));
    const QString log = dir.filePath("received");
    SimProcess sim({"--stray-at", "1", "--log", log});
    ModuleWindow w(sim.Port());
    ASSERT_TRUE(w.dlg->IsConnected());
    EXPECT_EQ(w.Load(), "Protocol Error");
    EXPECT_TRUE(w.LoaderOpen()) << "a failed download leaves the loader open";
    // The module may still wait for blocks, but what is typed goes out.
    w.Button(MainId::Clear)->click();
    ASSERT_TRUE(w.Type("at+ab info"));
    EXPECT_TRUE(WaitFor([&] { return ReadWholeFile(log).endsWith("at+ab info\r\n"); }));
}

// While the module takes an image at the pace of a 115200 line, the loader
// shows the file size, and the bytes acknowledged both as a number and on the
// progress bar, rising block by block with the block in flight beside them.
TEST(WithTheModule, TheLoaderFollowsADownloadBlockByBlock)
{
    const int size = 20000;
    QTemporaryDir dir;
    ASSERT_TRUE(ChooseImage(dir.path(), QByteArray(size, 'x')));
    SimProcess sim({"--line-rate", "115200"});
    ModuleWindow w(sim.Port());
    ASSERT_TRUE(w.dlg->IsConnected());
    CLoadImage *loader = w.dlg->findChild<CLoadImage *>();
    const auto field = [&](const char *name) {
        for (auto *e : loader->findChildren<QLineEdit *>())
            if (e->accessibleName() == QLatin1String(name))
                return e->text().toLong();
        return -1L;
    };
    auto *progress = loader->findChild<QProgressBar *>();
    std::vector<long> bytesSeen;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (!loader->isVisible() || w.LoaderStatus() != "Loading Image")
            return;
        const long bytes = field("Bytes Sent"), packet = field("Packet");
        EXPECT_EQ(field("File Size"), size);
        EXPECT_EQ(progress->maximum(), size);
        EXPECT_EQ(progress->value(), bytes);
        if (bytes < size) {
            EXPECT_TRUE(packet == bytes / 1024 || packet == bytes / 1024 + 1) << packet << " at " << bytes;
        }
        if (bytesSeen.empty() || bytesSeen.back() != bytes)
            bytesSeen.push_back(bytes);
    });
    sampler.start(5);
    EXPECT_EQ(w.Load(), "Successful");
    sampler.stop();
    EXPECT_TRUE(std::is_sorted(bytesSeen.begin(), bytesSeen.end()));
    EXPECT_GE(bytesSeen.size(), 8u) << "the fields did not follow the blocks";
    EXPECT_TRUE(std::all_of(bytesSeen.begin(), bytesSeen.end(), [&](long b) { return b % 1024 == 0 || b == size; }));
}

// The module dies in the middle of a download, or while the mesh view is
// open: the loss is told once, a download ends as failed with its loader
// saying why, the view stops asking and its closing wait does not wait.
TEST(WithTheModule, ALostDeviceIsToldOnceAndEndsTheDownloadOrTheScan)
{
    QTemporaryDir dir;
    ASSERT_TRUE(ChooseImage(dir.path(), QByteArray(60000, 'x')));
    for (const bool download : {true, false}) {
        SCOPED_TRACE(download ? "during a download" : "with Net View open");
        SimProcess sim({"--line-rate", "115200"});
        ModuleWindow w(sim.Port());
        ASSERT_TRUE(w.dlg->IsConnected());
        const std::string lost = "Port " + sim.Port().toStdString() + " is gone: its device was removed or closed";
        if (download) {
            QTimer::singleShot(1000, [&] { sim.Kill(); });
            EXPECT_EQ(w.Load(20000).left(int(lost.size())).toStdString(), lost);
            EXPECT_TRUE(w.LoaderOpen());
        } else {
            QElapsedTimer closing;
            w.RunNetView([&](QWidget *modal) {
                auto *view = qobject_cast<CNetViewDlg *>(modal);
                if (view && view->Scan().State() == ScanState::Pause && !closing.isValid()) {
                    sim.Kill(); // the next rescan falls due four seconds on
                    QTimer::singleShot(6000, view, &QDialog::reject);
                    closing.start();
                }
            });
            EXPECT_LT(closing.elapsed(), 7500) << "the closing wait waited for a reply that cannot come";
        }
        EXPECT_FALSE(w.dlg->IsConnected());
        ASSERT_EQ(w.MessageCount(), 1u) << w.LastMessage();
        EXPECT_EQ(w.LastMessage().substr(0, lost.size()), lost);
    }
}

TEST(WithTheModule, NetViewHoldsTheDemoMeshAfterTheFirstScan)
{
    SimProcess sim({});
    ModuleWindow w(sim.Port());
    ASSERT_TRUE(w.dlg->IsConnected());
    std::optional<MeshTable> first; // the table as the first scan reply left it
    w.RunNetView([&](QWidget *modal) {
        auto *view = qobject_cast<CNetViewDlg *>(modal);
        if (view && !first && view->Scan().State() == ScanState::Pause) {
            first = view->Scan().Table();
            view->reject(); // the closing wait then ends at its first tick
        }
    });
    ASSERT_TRUE(first) << "no scan reply taken; terminal: " << w.Text();
    const std::vector<MeshLink> demo = MeshModel::Demo().Links();
    std::set<uint32_t> addresses;
    for (const MeshLink &l : demo) {
        addresses.insert({l.relay, l.node});
        const int32_t node = first->FindNode(l.node);
        const NetLink *link = std::find_if(first->links, first->links + first->linkCount,
                                           [&](const NetLink &k) { return k.relay == l.relay && k.node == l.node; });
        EXPECT_TRUE(node >= 0 && first->nodes[node].column == l.level + 1 && link != first->links + first->linkCount &&
                    std::abs(link->rssi - l.rssi) <= 3)
            << std::hex << l.relay << " hears " << l.node;
    }
    EXPECT_TRUE(first->nodeCount == int32_t(addresses.size()) && first->linkCount == int32_t(demo.size()) &&
                first->nodes[0].address == demo.front().relay)
        << first->nodeCount << " nodes, " << first->linkCount << " links";
    EXPECT_EQ(w.dlg->TerminalLength(), 0u) << "the closing wait hands the terminal back empty";
}
