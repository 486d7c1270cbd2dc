// The "Send Command" dialog on screen: Enter, the enabling of the block boxes,
// the refusal of bad entries at OK and what OK hands back; from the main
// window, what Cancel and OK leave of the profile.
#include "app/CVerrinDlg.h"
#include "dialogs/CSendCmd.h"
#include "settings/SettingsStore.h"
#include "support/MessageRecorder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <stdexcept>
#include <tuple>

namespace {

// The control with this accessible name, or the button with this text.
template <class T = QLineEdit> T *Control(QWidget &dialog, const QString &name)
{
    for (T *w : dialog.findChildren<T *>())
        if (w->accessibleName() == name || (qobject_cast<QPushButton *>(w) && w->property("text") == name))
            return w;
    throw std::runtime_error("no control " + name.toStdString());
}

void Retype(QLineEdit *box, const QString &text)
{
    box->clear();
    QTest::keyClicks(box, text);
}

// Every field the dialog could touch, so a mismatch names it.
auto Fields(const Settings &s)
{
    return std::tie(s.cmdName, s.sendCmd, s.sendHex, s.sendCrLf, s.sendContinuous, s.sendBlockSize, s.sendMsPause);
}

} // namespace

TEST(SendCmdDialog, RefusesEachBadBoxAtOkThenHandsBackExactlyTheEdits)
{
    Settings stored; // row 10 is not shown and must come back as it was
    stored.cmdName[9] = "kept";
    stored.sendCrLf[9] = stored.sendHex[9] = 1;
    MessageRecorder messages;
    CSendCmd dialog(stored, messages);
    dialog.show();
    // Enter neither closes the dialog nor edits a box.
    QLineEdit *name = Control(dialog, "command 1 name");
    QWidget *targets[] = {name, Control(dialog, "line count"), Control<QPushButton>(dialog, "OK"), &dialog};
    for (QWidget *target : targets)
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter})
            QTest::keyClick(target, key);
    EXPECT_TRUE(dialog.isVisible() && name->text() == "Send Data");
    // The block boxes work only while "Continuous" (on by default) is off.
    QLineEdit *blockSize = Control(dialog, "bytes per block"), *pause = Control(dialog, "pause per block");
    EXPECT_FALSE(blockSize->isEnabled() || pause->isEnabled());
    Control<QCheckBox>(dialog, "continuous")->click();
    EXPECT_TRUE(blockSize->isEnabled() && pause->isEnabled());
    const struct {
        const char *box, *bad, *good, *message;
        MessageIcon icon;
    } boxes[] = {
        {"line count", "20001", "25a0", kTooManyLinesMessage, MessageIcon::None}, // takes digits only: 250
        {"bytes per block", "0", "65536", kBlockSizeRangeMessage, MessageIcon::Exclamation},
        {"pause per block", "", "0", kUnsignedMessage, MessageIcon::Exclamation},
    };
    for (size_t i = 0; i < std::size(boxes); ++i) {
        Retype(Control(dialog, boxes[i].box), boxes[i].bad);
        Control<QPushButton>(dialog, "OK")->click();
        ASSERT_EQ(messages.messages.size(), i + 1) << boxes[i].box << ": one message";
        EXPECT_TRUE(messages.messages[i].text == boxes[i].message && messages.messages[i].icon == boxes[i].icon)
            << boxes[i].box << ": " << messages.messages[i].text;
        EXPECT_TRUE(dialog.isVisible() && dialog.focusWidget() == Control(dialog, boxes[i].box)) << boxes[i].box;
        Retype(Control(dialog, boxes[i].box), boxes[i].good);
    }
    for (const QChar c : QString::fromUtf8("Infoł€")) // typed as a keyboard would
        QTest::sendKeyEvent(QTest::Click, Control(dialog, "command 3 name"), Qt::Key_A, QString(c), Qt::NoModifier);
    EXPECT_EQ(Control(dialog, "command 3 name")->text(), QString::fromUtf8("Info€")) << "ł has no 8-bit code";
    Retype(Control(dialog, "command 3 name"), "Info");
    Retype(Control(dialog, "command 3 text"), "at+ab info \"x\\y\"");
    Control<QCheckBox>(dialog, "command 9 send CR LF")->click();
    Control<QCheckBox>(dialog, "command 4 hex")->click();
    Control<QPushButton>(dialog, "OK")->click();
    Settings expected = stored;
    expected.cmdName[2] = "Info";
    expected.sendCmd[2] = "at+ab info \"x\\y\"";
    expected.sendCrLf[8] = 0;
    expected.sendHex[3] = 1;
    expected.sendCmd[9] = "250";
    expected.sendContinuous = 0;
    expected.sendBlockSize = 65536;
    expected.sendMsPause = 0;
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(Fields(dialog.Result()), Fields(expected));
}
