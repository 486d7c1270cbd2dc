// The loader window, the debug screen and the "Select" dialog, offscreen.

#include "transfer/CDebug.h"
#include "transfer/CLoadImage.h"
#include "transfer/SelectDownloadFile.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct HostRecorder : LoaderHost {
    std::vector<std::string> calls;
    bool loading = false;
    int32_t state = 0;
    StartResult startResult = StartResult::Started;
    std::vector<uint8_t> image;
    LoaderSettings applied;
    bool abortRequested = false;

    void ClearTerminal() override { calls.push_back("clear"); }
    void SetLoading(bool on) override { loading = on; }
    void UpdateControlStates() override {}
    void ApplyLoaderSettings(const LoaderSettings &s) override
    {
        applied = s;
        calls.push_back("apply");
    }
    StartResult StartTransfer(std::vector<uint8_t> img) override
    {
        calls.push_back("start");
        if (startResult == StartResult::Started) {
            image = std::move(img);
            state = 1;
        }
        return startResult;
    }
    void RequestTransferAbort() override { abortRequested = true; }
};

struct MessageRecorder : UserMessages {
    std::vector<std::string> shown; // "caption: text"
    bool exclamation = true;
    void Show(const std::string &text, const std::string &caption, MessageIcon icon) override
    {
        shown.push_back(caption + ": " + text);
        exclamation = exclamation && icon == MessageIcon::Exclamation;
    }
};

template <typename T> T *Control(QWidget &window, const char *accessibleName)
{
    for (T *w : window.findChildren<T *>())
        if (w->accessibleName() == QLatin1String(accessibleName))
            return w;
    ADD_FAILURE() << "no control " << accessibleName;
    return nullptr;
}

class LoaderWindow : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    LoaderSettings Current(const char *name)
    {
        return {dir.path().toStdString() + "/", name, "BD0001", 0};
    }
    void WriteFile(const char *name, const QByteArray &content)
    {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    bool Enabled(const char *name) { return Control<QWidget>(loader, name)->isEnabled(); }

    QTemporaryDir dir;
    HostRecorder host;
    MessageRecorder messages;
    QWidget main;
    CLoadImage loader{host, messages, &main};
};

} // namespace

TEST_F(LoaderWindow, UnreadableImageStaysInTheReadyView)
{
    WriteFile("empty.bin", QByteArray());
    for (const char *name : {"missing.bin", "empty.bin", ""}) {
        SCOPED_TRACE(name);
        messages.shown.clear();
        loader.Load(Current(name));
        EXPECT_EQ(messages.shown, std::vector<std::string>{"Error: Could not read file"});
        EXPECT_TRUE(messages.exclamation);
        EXPECT_EQ(host.state, 0);
        EXPECT_EQ(host.calls.front(), "clear");
        EXPECT_EQ(loader.View(), LoaderView::Ready);
        EXPECT_TRUE(loader.isVisible());
        EXPECT_TRUE(host.loading);
        EXPECT_TRUE(Enabled("Image"));
        EXPECT_TRUE(Enabled("Send Only 128 byte packets"));
        EXPECT_TRUE(Enabled("OK"));
        EXPECT_FALSE(Enabled("Abort"));
        EXPECT_FALSE(Enabled("Packet"));
        EXPECT_FALSE(Enabled("Status"));
    }
}

TEST_F(LoaderWindow, LoadStartsTheTransferThenShowsItsEnd)
{
    WriteFile("fw.bin", QByteArray(2000, 'x'));
    main.move(200, 150);
    main.show();
    loader.Load(Current("fw.bin"));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(host.state, 1);
    EXPECT_EQ(host.image, std::vector<uint8_t>(2000, 'x'));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"clear", "start", "apply"}));
    EXPECT_EQ(host.applied.bdAddr, "BD0001");
    EXPECT_EQ(loader.pos(), main.frameGeometry().topLeft() + QPoint(45, 70));

    EXPECT_EQ(loader.View(), LoaderView::Transfer);
    EXPECT_TRUE(host.loading);
    EXPECT_FALSE(Enabled("Image"));
    EXPECT_FALSE(Enabled("Send Only 128 byte packets"));
    EXPECT_FALSE(Enabled("OK"));
    EXPECT_TRUE(Enabled("Abort"));
    EXPECT_TRUE(Enabled("Packet:"));
    EXPECT_TRUE(Enabled("Bytes Sent"));
    EXPECT_TRUE(Enabled("Status"));

    loader.ShowFileSize(2000);
    loader.ShowBytesSent(1024);
    loader.ShowPacket(2);
    EXPECT_EQ(Control<QLineEdit>(loader, "File Size")->text(), "2000");
    EXPECT_EQ(Control<QLineEdit>(loader, "Bytes Sent")->text(), "1024");
    EXPECT_EQ(Control<QLineEdit>(loader, "Packet")->text(), "2");
    EXPECT_EQ(Control<QProgressBar>(loader, "Progress")->maximum(), 2000);
    EXPECT_EQ(Control<QProgressBar>(loader, "Progress")->value(), 1024);

    loader.hide(); // Cancel during the transfer; its end shows the window again
    loader.ShowFinishedView();
    EXPECT_TRUE(loader.isVisible());
    EXPECT_FALSE(host.loading);
    EXPECT_TRUE(Enabled("OK"));
    EXPECT_FALSE(Enabled("Abort"));
    EXPECT_TRUE(Enabled("File Size:"));
}

TEST_F(LoaderWindow, FileNameTooLongStartsNothing)
{
    WriteFile("fw.bin", QByteArray(10, 'x'));
    host.startResult = StartResult::FileNameTooLong;
    loader.Load(Current("fw.bin"));
    EXPECT_EQ(messages.shown,
              std::vector<std::string>{"Error: File name too long for the download header"});
    EXPECT_EQ(host.state, 0);
    EXPECT_EQ(loader.View(), LoaderView::Ready);
}

TEST_F(LoaderWindow, AbortCancelAndOk)
{
    WriteFile("fw.bin", QByteArray(10, 'x'));
    loader.Load(Current("fw.bin"));
    Control<QPushButton>(loader, "Abort")->click();
    EXPECT_TRUE(host.abortRequested);
    EXPECT_FALSE(Enabled("Abort"));
    EXPECT_FALSE(host.loading);

    // Cancel (Escape) hides and clears loading; nothing is handed back.
    host.calls.clear();
    host.loading = true;
    QTest::keyClick(&loader, Qt::Key_Escape);
    EXPECT_FALSE(loader.isVisible());
    EXPECT_FALSE(host.loading);
    EXPECT_TRUE(host.calls.empty());

    // The check box counts only in the ready view; OK hands it back.
    loader.Load(Current("missing.bin"));
    Control<QCheckBox>(loader, "Send Only 128 byte packets")->click();
    Control<QPushButton>(loader, "OK")->click();
    EXPECT_EQ(host.applied.smallPackets, 1u);
    EXPECT_FALSE(loader.isVisible());
    EXPECT_FALSE(host.loading);
}

TEST(DebugScreen, TracesOnlyInDebugMode)
{
    CDebug debug;
    debug.TraceText(" First-Block ");
    debug.TraceControlByte('C');
    EXPECT_TRUE(debug.TraceLog().empty());
    EXPECT_FALSE(debug.isVisible());

    debug.DebugModeAction()->trigger();
    EXPECT_TRUE(debug.DebugMode());
    EXPECT_TRUE(debug.isVisible());
    debug.TraceControlByte(0x01);
    debug.TraceText(" 17 ");
    debug.TraceControlByte(0x06);
    debug.TraceText(" First-Block ");
    debug.TraceControlByte('C');
    EXPECT_EQ(debug.TraceLog(), "<SOH> 17 <ACK>\r\n First-Block <C>\r\n");
    auto *field = Control<QPlainTextEdit>(debug, "Trace");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return field->toPlainText() == "<SOH> 17 <ACK>\n First-Block <C>\n"; }, 5000))
        << field->toPlainText().toStdString();
    EXPECT_TRUE(field->textCursor().atEnd());

    debug.SetDebugMode(false);
    EXPECT_FALSE(debug.isVisible());
    debug.SetDebugMode(true);
    debug.TraceText("eAbort\r\n"); // still on its way to the field
    debug.SetDebugMode(false);
    Control<QPushButton>(debug, "Clear")->click(); // works with debug mode off
    EXPECT_TRUE(debug.TraceLog().empty());
    QTest::qWait(100);
    EXPECT_TRUE(field->toPlainText().isEmpty());
}

TEST(DebugScreen, EnterHidesIt)
{
    CDebug debug;
    debug.SetDebugMode(true);
    QTest::keyClick(&debug, Qt::Key_Return);
    EXPECT_FALSE(debug.isVisible());
}

TEST(SelectDialog, FiltersShowImagesOrEverything)
{
    QTemporaryDir dir;
    for (const char *name : {"a.bin", "b.wav", "c.txt", "README"}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QFileDialog dialog;
    ConfigureDownloadFileDialog(dialog, {dir.path().toStdString() + "/", "a.bin"});
    dialog.show();
    auto listed = [&] {
        auto *view = dialog.findChild<QAbstractItemView *>("listView");
        QStringList names;
        for (int i = 0; view && i < view->model()->rowCount(view->rootIndex()); ++i)
            names << view->model()->index(i, 0, view->rootIndex()).data().toString();
        names.sort();
        return names;
    };
    const QStringList images{"a.bin", "b.wav"};
    const QStringList everything{"README", "a.bin", "b.wav", "c.txt"};
    EXPECT_TRUE(QTest::qWaitFor([&] { return listed() == images; }, 5000)) << listed().join(' ').toStdString();
    EXPECT_EQ(dialog.selectedFiles().value(0), dir.filePath("a.bin"));

    auto *types = dialog.findChild<QComboBox *>("fileTypeCombo");
    ASSERT_NE(types, nullptr);
    types->setCurrentIndex(1);
    emit types->activated(1);
    emit types->textActivated(types->currentText());
    EXPECT_TRUE(QTest::qWaitFor([&] { return listed() == everything; }, 5000)) << listed().join(' ').toStdString();
}
