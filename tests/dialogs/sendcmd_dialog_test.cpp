// The "Send Command" dialog on its own, for what the end-to-end test cannot
// see or set up: where the keyboard goes after a refusal at OK (a session
// without a window manager gives no window the keyboard back), each message's
// icon, and a row 10 that is not shown and must come back as it was.
#include "dialogs/CSendCmd.h"
#include "settings/SettingsSamples.h"
#include "support/MessageRecorder.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {
// The control with this accessible name, or the button with this text.
template <class T = QLineEdit> T *Control(QWidget &dialog, const QString &name)
{
    for (T *w : dialog.findChildren<T *>())
        if (w->accessibleName() == name || (qobject_cast<QPushButton *>(w) && w->property("text") == name))
            return w;
    ADD_FAILURE() << "no control " << name.toStdString();
    return nullptr;
}
} // namespace

TEST(SendCmdDialog, RefusesEachBadBoxAtOkWithTheKeyboardOnItThenHandsBackExactlyTheEdits)
{
    Settings stored;
    stored.cmdName[9] = "kept";
    stored.sendCrLf[9] = stored.sendHex[9] = 1;
    MessageRecorder messages;
    CSendCmd dialog(stored, messages);
    dialog.show();
    Control<QCheckBox>(dialog, "continuous")->click();
    const struct {
        const char *box, *bad, *good, *message;
        MessageIcon icon;
    } boxes[] = {
        {"line count", "20001", "25a0", kTooManyLinesMessage, MessageIcon::None}, // takes digits only: 250
        {"bytes per block", "0", "65536", kBlockSizeRangeMessage, MessageIcon::Exclamation},
        {"pause per block", "", "0", kUnsignedMessage, MessageIcon::Exclamation},
    };
    for (size_t i = 0; i < std::size(boxes); ++i) {
        QLineEdit *box = Control(dialog, boxes[i].box);
        box->clear();
        QTest::keyClicks(box, boxes[i].bad);
        Control<QPushButton>(dialog, "OK")->click();
        ASSERT_EQ(messages.messages.size(), i + 1) << boxes[i].box << ": one message";
        EXPECT_TRUE(messages.messages[i].text == boxes[i].message && messages.messages[i].icon == boxes[i].icon)
            << boxes[i].box << ": " << messages.messages[i].text;
        EXPECT_TRUE(dialog.isVisible() && dialog.focusWidget() == box) << boxes[i].box;
        box->clear();
        QTest::keyClicks(box, boxes[i].good);
    }
    Control<QPushButton>(dialog, "OK")->click();
    Settings expected = stored;
    expected.sendCmd[9] = "250";
    expected.sendContinuous = 0;
    expected.sendBlockSize = 65536;
    expected.sendMsPause = 0;
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(Fields(dialog.Result()) == Fields(expected));
}
