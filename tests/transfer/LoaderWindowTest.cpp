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
#include <functional>
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

const std::string kProgress = "Status|Packet:|Packet|Bytes Sent:|Bytes Sent|File Size:|File Size|";

// The test plays the main window.
class LoaderWindow : public ::testing::Test, public LoaderHost {
protected:
    void ClearTerminal() override {}
    void SetLoading(bool on) override { loading = on; }
    void UpdateControlStates() override {}
    void ApplyLoaderSettings(const LoaderSettings &s) override
    {
        applied = s.downloadFilename + " " + std::to_string(s.smallPackets);
    }
    StartResult StartTransfer(std::vector<uint8_t>) override { return startResult; }
    void RequestTransferAbort() override { aborted = true; }

    void Load(const char *name) { loader.Load({dir.path().toStdString() + "/", name, "BD0001", 0}); }
    void Click(const char *name) { Control<QAbstractButton>(loader, name)->click(); }
    // The window, what the main window was told, and the enabled controls.
    std::string State()
    {
        std::string out = std::string(loader.isVisible() ? "shown" : "hidden") + (loading ? ", loading" : "") +
                          (aborted ? ", aborted" : "") + (applied.empty() ? "" : ", settings " + applied) + ": ";
        for (const char *name : {"Image", "Send Only 128 byte packets", "Status", "Packet:", "Packet", "Bytes Sent:",
                                 "Bytes Sent", "File Size:", "File Size", "OK", "Abort"})
            out += Control(loader, name)->isEnabled() ? std::string(name) + "|" : "";
        return out;
    }

    std::string applied; // "<file name> <small packets>" handed back to the main window
    bool loading = false, aborted = false;
    StartResult startResult = StartResult::Started;
    QTemporaryDir dir;
    MessageRecorder messages;
    CLoadImage loader{*this, messages, nullptr};
};

} // namespace

// An image that cannot go is told, and the loader stays in its ready view.
TEST_F(LoaderWindow, AnImageThatCannotGoStaysInTheReadyView)
{
    ASSERT_TRUE(QFile(dir.filePath("empty.bin")).open(QIODevice::WriteOnly) &&
                QFile(dir.filePath("fw.bin")).open(QIODevice::WriteOnly) && QFile::resize(dir.filePath("fw.bin"), 1));
    const std::tuple<const char *, StartResult, const char *> cases[] = {
        {"missing.bin", StartResult::Started, "Could not read file"},
        {"empty.bin", StartResult::Started, "Could not read file"},
        {"", StartResult::Started, "Could not read file"}, // the folder itself
        {"fw.bin", StartResult::FileNameTooLong, "File name too long for the download header"},
    };
    for (const auto &[name, result, message] : cases) {
        SCOPED_TRACE(name);
        messages.messages.clear();
        startResult = result;
        Load(name);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].caption + ": " + messages.messages[0].text, std::string("Error: ") + message);
        EXPECT_EQ(messages.messages[0].icon, MessageIcon::Exclamation);
        EXPECT_EQ(State(), "shown, loading: Image|Send Only 128 byte packets|OK|");
    }
}

// A transfer shows the progress view with Abort; Cancel (Escape) hides the
// window and hands nothing back, the transfer's end shows it again with OK.
// In the ready view OK hands back the check box.
TEST_F(LoaderWindow, LoadAbortCancelAndOk)
{
    ASSERT_TRUE(QFile(dir.filePath("fw.bin")).open(QIODevice::WriteOnly) && QFile::resize(dir.filePath("fw.bin"), 5));
    const std::pair<std::function<void()>, std::string> steps[] = {
        {[&] { Load("fw.bin"); }, "shown, loading, settings fw.bin 0: " + kProgress + "Abort|"},
        {[&] { Click("Abort"); }, "shown, aborted, settings fw.bin 0: " + kProgress},
        {[&] { applied.clear(), loading = true, QTest::keyClick(&loader, Qt::Key_Escape); },
         "hidden, aborted: " + kProgress},
        {[&] { loader.ShowFinishedView(); }, "shown, aborted: " + kProgress + "OK|"},
        {[&] { Load("missing.bin"), Click("Send Only 128 byte packets"), Click("OK"); },
         "hidden, aborted, settings missing.bin 1: Image|Send Only 128 byte packets|OK|"},
    };
    for (const auto &[step, state] : steps) {
        step();
        EXPECT_EQ(State(), state);
    }
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
    EXPECT_TRUE(WaitFor([&] { return field->toPlainText() == "next"; })) << field->toPlainText().toStdString();

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
