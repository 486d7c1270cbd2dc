// The loader window, the debug screen and the "Select" dialog, offscreen.

#include "support/MessageRecorder.h"
#include "support/WaitFor.h"
#include "transfer/CDebug.h"
#include "transfer/CLoadImage.h"
#include "transfer/SelectDownloadFile.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

template <typename T = QWidget> T *Control(QWidget &window, const char *accessibleName)
{
    for (T *w : window.findChildren<T *>())
        if (w->accessibleName() == QLatin1String(accessibleName))
            return w;
    ADD_FAILURE() << "no control " << accessibleName;
    return nullptr;
}

const std::string kProgressControls = "Status|Packet:|Packet|Bytes Sent:|Bytes Sent|File Size:|File Size|";

// The test plays the main window.
class LoaderWindow : public ::testing::Test, public LoaderHost {
protected:
    void ClearTerminal() override { calls.push_back("clear"); }
    void SetLoading(bool on) override { loading = on; }
    void UpdateControlStates() override {}
    void ApplyLoaderSettings(const LoaderSettings &s) override
    {
        calls.push_back("apply " + s.bdAddr + " " + s.downloadFilename + " " + std::to_string(s.smallPackets));
    }
    StartResult StartTransfer(std::vector<uint8_t>) override
    {
        calls.push_back("start");
        return startResult;
    }
    void RequestTransferAbort() override { calls.push_back("abort"); }

    void Write(const char *name, const QByteArray &content)
    {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }
    void Load(const char *name) { loader.Load({dir.path().toStdString() + "/", name, "BD0001", 0}); }
    // The names of the enabled controls, in a fixed order.
    std::string Enabled()
    {
        std::string names;
        for (const char *name : {"Image", "Send Only 128 byte packets", "Status", "Packet:", "Packet", "Bytes Sent:",
                                 "Bytes Sent", "File Size:", "File Size", "OK", "Abort"})
            names += Control(loader, name)->isEnabled() ? std::string(name) + "|" : "";
        return names;
    }

    std::vector<std::string> calls; // "clear", "start", "apply BD0001 missing.bin 1", "abort"
    bool loading = false;
    StartResult startResult = StartResult::Started;
    QTemporaryDir dir;
    MessageRecorder messages;
    CLoadImage loader{*this, messages, nullptr};
};

} // namespace

TEST_F(LoaderWindow, AnImageThatCannotGoStaysInTheReadyView)
{
    Write("empty.bin", "");
    Write("fw.bin", "x");
    const std::tuple<const char *, StartResult, const char *> cases[] = {
        {"missing.bin", StartResult::Started, "Could not read file"},
        {"empty.bin", StartResult::Started, "Could not read file"},
        {"", StartResult::Started, "Could not read file"}, // the folder itself
        {"fw.bin", StartResult::FileNameTooLong, "File name too long for the download header"},
    };
    for (const auto &[name, result, message] : cases) {
        SCOPED_TRACE(name);
        messages.messages.clear();
        calls.clear();
        startResult = result;
        Load(name);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].caption + ": " + messages.messages[0].text, std::string("Error: ") + message);
        EXPECT_EQ(messages.messages[0].icon, MessageIcon::Exclamation);
        EXPECT_EQ(calls.back(), result == StartResult::Started ? "clear" : "start"); // never "apply"
        EXPECT_TRUE(loader.isVisible() && loading);
        EXPECT_EQ(Enabled(), "Image|Send Only 128 byte packets|OK|");
    }
}

TEST_F(LoaderWindow, LoadAbortCancelAndOk)
{
    Write("fw.bin", "image");
    Load("fw.bin");
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(calls, (std::vector<std::string>{"clear", "start", "apply BD0001 fw.bin 0"}));
    EXPECT_TRUE(loading);
    EXPECT_EQ(Enabled(), kProgressControls + "Abort|");

    Control<QAbstractButton>(loader, "Abort")->click();
    EXPECT_EQ(calls.back(), "abort");
    EXPECT_EQ(Enabled(), kProgressControls);
    EXPECT_FALSE(loading);

    // Cancel (Escape) during the transfer hides the window and hands nothing
    // back; the transfer's end shows it again.
    calls.clear();
    loading = true;
    QTest::keyClick(&loader, Qt::Key_Escape);
    EXPECT_FALSE(loader.isVisible() || loading);
    loader.ShowFinishedView();
    EXPECT_TRUE(loader.isVisible());
    EXPECT_EQ(Enabled(), kProgressControls + "OK|");
    EXPECT_TRUE(calls.empty());

    // The check box counts only in the ready view; OK hands it back.
    Load("missing.bin");
    Control<QAbstractButton>(loader, "Send Only 128 byte packets")->click();
    Control<QAbstractButton>(loader, "OK")->click();
    EXPECT_EQ(calls.back(), "apply BD0001 missing.bin 1");
    EXPECT_FALSE(loader.isVisible() || loading);
}

TEST(DebugScreen, TracesOnlyInDebugModeAndClears)
{
    CDebug debug;
    debug.TraceText(" First-Block ");
    EXPECT_TRUE(debug.TraceLog().empty());
    EXPECT_FALSE(debug.isVisible());

    debug.DebugModeAction()->trigger();
    EXPECT_TRUE(debug.isVisible());
    debug.TraceControlByte(0x01);
    debug.TraceText(" 17 ");
    debug.TraceControlByte('C');
    auto *field = Control<QPlainTextEdit>(debug, "Trace");
    EXPECT_TRUE(WaitFor([&] { return field->toPlainText() == "<SOH> 17 <C>\n"; }))
        << field->toPlainText().toStdString();
    EXPECT_TRUE(field->textCursor().atEnd());

    debug.TraceText("eAbort\r\n"); // still on its way to the field
    debug.SetDebugMode(false);
    EXPECT_FALSE(debug.isVisible());
    Control<QAbstractButton>(debug, "Clear")->click(); // works with debug mode off
    EXPECT_TRUE(debug.TraceLog().empty());
    // What was on its way is gone too: the field shows only what comes next.
    debug.SetDebugMode(true);
    debug.TraceText("next");
    EXPECT_TRUE(WaitFor([&] { return !field->toPlainText().isEmpty(); }));
    EXPECT_EQ(field->toPlainText(), "next");

    QTest::keyClick(&debug, Qt::Key_Return); // Enter hides it
    EXPECT_FALSE(debug.isVisible());
}

TEST(SelectDialog, FiltersShowImagesOrEverything)
{
    QTemporaryDir dir;
    for (const char *name : {"a.bin", "b.wav", "c.txt", "README"})
        ASSERT_TRUE(QFile(dir.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly));
    QFileDialog dialog;
    ConfigureDownloadFileDialog(dialog, {dir.path().toStdString() + "/", "a.bin"});
    dialog.show();
    auto *view = dialog.findChild<QAbstractItemView *>("listView");
    auto *types = dialog.findChild<QComboBox *>("fileTypeCombo");
    ASSERT_TRUE(view && types);
    auto listed = [&] {
        QStringList names;
        for (int i = 0; i < view->model()->rowCount(view->rootIndex()); ++i)
            names << view->model()->index(i, 0, view->rootIndex()).data().toString();
        names.sort();
        return names.join(' ').toStdString();
    };
    EXPECT_TRUE(WaitFor([&] { return listed() == "a.bin b.wav"; })) << listed();
    EXPECT_EQ(dialog.selectedFiles().value(0), dir.filePath("a.bin"));
    types->setCurrentIndex(1);
    emit types->activated(1);
    emit types->textActivated(types->currentText());
    EXPECT_TRUE(WaitFor([&] { return listed() == "README a.bin b.wav c.txt"; })) << listed();
}
