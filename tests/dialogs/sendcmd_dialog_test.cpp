// The "Send Command" dialog on its own: OK refuses each bad box in turn with
// one message (their texts are the rules' test), and what the end-to-end test
// cannot see or set up: where the keyboard goes after a refusal (a session
// without a window manager gives no window the keyboard back), and a row 10
// that is not shown and must come back as it was.
#include "dialogs/CSendCmd.h"
#include "settings/SettingsSamples.h"
#include "support/MessageRecorder.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

#include <map>

TEST(SendCmdDialog, RefusesEachBadBoxAtOkWithTheKeyboardOnItThenHandsBackExactlyTheEdits)
{
    Settings stored;
    stored.cmdName[9] = "kept";
    stored.sendCrLf[9] = stored.sendHex[9] = 1;
    MessageRecorder messages;
    CSendCmd dialog(stored, messages);
    dialog.show();
    std::map<QString, QWidget *> controls; // by accessible name or caption
    for (QWidget *control : dialog.findChildren<QWidget *>())
        controls[control->accessibleName().isEmpty() ? control->property("text").toString() : control->accessibleName()] =
            control;
    const auto ok = [&] { static_cast<QPushButton *>(controls["OK"])->click(); };
    static_cast<QCheckBox *>(controls["continuous"])->click();
    const struct {
        const char *box, *bad, *good;
    } boxes[] = {{"line count", "20001", "250"}, {"bytes per block", "0", "65536"}, {"pause per block", "", "0"}};
    for (const auto &[box, bad, good] : boxes) {
        auto *edit = static_cast<QLineEdit *>(controls[box]);
        edit->setText(bad);
        ok();
        EXPECT_EQ(messages.messages.size(), 1u) << box << ": one message";
        EXPECT_TRUE(dialog.isVisible() && dialog.focusWidget() == edit) << box;
        edit->setText(good);
        messages.messages.clear();
    }
    ok();
    Settings expected = stored;
    expected.sendCmd[9] = "250";
    expected.sendContinuous = 0;
    expected.sendBlockSize = 65536;
    expected.sendMsPause = 0;
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(Fields(dialog.Result()) == Fields(expected));
}
