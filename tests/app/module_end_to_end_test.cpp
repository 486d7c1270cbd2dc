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
