// Verrin against the virtual module: a firmware download that the module
// breaks off with a stray reply leaves the loader open and the terminal
// working. The fault soak (tests/soak) runs the successful download, the
// other download faults and the mesh network view against the same module,
// and main_window_test.cpp checks what typing sends.
#include "app/ModuleWindow.h"
#include "support/SimProcess.h"

#include <QTemporaryDir>

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
