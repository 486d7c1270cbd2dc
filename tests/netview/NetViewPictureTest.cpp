// The picture the view saves: what it shows, at its size. The context menu,
// the file dialog and the scan going on behind them are the end-to-end
// test's, on the real program.
#include "FakeNetViewHost.h"
#include "netview/CNetViewDlg.h"
#include "support/WaitFor.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(NetViewPicture, APngIsExactlyWhatTheViewShowsAndAJpgNameWritesNothing)
{
    QTemporaryDir dir;
    FakeNetViewHost host;
    host.terminal = " Version 1.0\r\nPublish Addr C001\r\n";
    CNetViewDlg view(host);
    view.resize(700, 500);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    ASSERT_TRUE(WaitFor([&] { return view.Scan().State() == ScanState::AwaitScan; }));
    host.terminal = "\r\nRelay  dBm  Node\r\n0:0001 -11  0002\r\n0:0001 -14  0003\r\n1:0002 -20  0004\r\n";
    ASSERT_TRUE(WaitFor([&] { return view.Scan().ScansTaken() == 1; }));

    const QImage shown = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(view.SavePicture(dir.filePath("now.png")), QString());
    const QImage saved(dir.filePath("now.png"));
    EXPECT_TRUE(saved.size() == view.size() && saved.convertToFormat(QImage::Format_RGB32) == shown);
    EXPECT_FALSE(view.SavePicture(dir.filePath("now.jpg")).isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath("now.jpg")));
}
