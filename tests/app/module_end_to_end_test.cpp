// Verrin against the virtual module where a download or a scan meets the
// device: a device lost during a download or a scan is told once, and until
// then the loader's fields follow the download block by block. The fault soak (tests/soak)
// runs the download faults, device loss between transfers and a silent module
// against the same module; verrin-cli's tests check the mesh it reports.
#include "app/ModuleWindow.h"
#include "netview/CNetViewDlg.h"
#include "support/SimProcess.h"

#include <QProgressBar>
#include <QTemporaryDir>

#include <algorithm>

// The module dies in the middle of a download, or while the mesh view is
// open: the loss is told once, a download ends as failed with its loader
// saying why, the view stops asking and its closing wait does not wait. Until
// then, the module taking the image at the pace of a 115200 line, the loader
// shows the file size, and the bytes acknowledged both as a number and on the
// progress bar, rising block by block with the block in flight beside them.
TEST(WithTheModule, ALostDeviceIsToldOnceAndEndsTheDownloadOrTheScan)
{
    const int size = 60000;
    QTemporaryDir dir;
    const Settings withImage = ChoosingImage(dir.path(), QByteArray(size, 'x'));
    for (const bool download : {true, false}) {
        SCOPED_TRACE(download ? "during a download" : "with Net View open");
        SimProcess sim({"--line-rate", "115200"});
        ModuleWindow w(sim.Port(), withImage);
        ASSERT_TRUE(w.dlg->IsConnected());
        const std::string lost = "Port " + sim.Port().toStdString() + " is gone: its device was removed or closed";
        if (download) {
            const auto field = [&](const char *name) { return w.LoaderField(name)->text().toLong(); };
            auto *progress = w.Loader()->findChild<QProgressBar *>();
            std::vector<long> bytesSeen;
            QTimer sampler;
            QObject::connect(&sampler, &QTimer::timeout, [&] {
                if (!w.Loader()->isVisible() || w.LoaderField("Status")->text() != "Loading Image")
                    return;
                const long bytes = field("Bytes Sent"), packet = field("Packet");
                EXPECT_TRUE(field("File Size") == size && progress->maximum() == size && progress->value() == bytes);
                EXPECT_TRUE(packet == bytes / 1024 || packet == bytes / 1024 + 1) << packet << " at " << bytes;
                if (bytesSeen.empty() || bytesSeen.back() != bytes)
                    bytesSeen.push_back(bytes);
            });
            sampler.start(5);
            QTimer::singleShot(1000, [&] { sim.Kill(); });
            EXPECT_EQ(w.Load(20000).left(int(lost.size())).toStdString(), lost);
            EXPECT_TRUE(w.Loader()->isVisible());
            EXPECT_TRUE(std::is_sorted(bytesSeen.begin(), bytesSeen.end()));
            EXPECT_GE(bytesSeen.size(), 5u) << "the fields did not follow the blocks";
            EXPECT_TRUE(std::all_of(bytesSeen.begin(), bytesSeen.end(), [](long b) { return b % 1024 == 0; }));
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
