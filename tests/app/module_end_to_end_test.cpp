// Verrin against the virtual module: a command typed at the keyboard, and a
// firmware download that succeeds or breaks off. The fault soak (tests/soak)
// repeats the other download faults and runs the mesh network view.
#include "app/ModuleWindow.h"
#include "support/SimProcess.h"

#include <QTemporaryDir>

TEST(WithTheModule, TypedCommandAndImageReachTheModuleAndTheirRepliesShow)
{
    QTemporaryDir dir;
    QByteArray image(70000, Qt::Uninitialized); // 68 full blocks and a part
    for (int i = 0; i < image.size(); ++i)
        image[i] = char(i * 31 + i / 7);
    ASSERT_TRUE(ChooseImage(dir.path(), image));
    const QString log = dir.filePath("received");
    SimProcess sim({"--log", log});
    ModuleWindow w(sim.Port());
    ASSERT_TRUE(w.dlg->IsConnected()) << sim.Port().toStdString();

    // Connecting hands the focus to the terminal: typing needs no click.
    ASSERT_TRUE(w.Type("at+ab info"));
    ASSERT_TRUE(w.Shows("Publish Addr C001")) << w.Text();
    EXPECT_EQ(ReadWholeFile(log), QByteArray("at+ab info\r\n"));
    EXPECT_EQ(w.Text().rfind("at+ab info\r\n", 0), 0u) << "the local echo comes first";
    EXPECT_NE(w.Text().find("Version "), std::string::npos);

    EXPECT_EQ(w.Load(), "Successful");
    EXPECT_FALSE(w.LoaderOpen()) << "a successful download closes the loader";
    EXPECT_TRUE(w.Shows(BootBanner(image))) << w.Text();
    EXPECT_TRUE(w.Answers()) << "after the download";
    EXPECT_TRUE(w.messages.messages.empty()) << w.LastMessage();
}

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
