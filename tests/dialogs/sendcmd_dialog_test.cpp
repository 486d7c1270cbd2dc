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
#include <gtest/gtest.h>

#include <stdexcept>

TEST(SendCmdDialog, RefusesEachBadBoxAtOkWithTheKeyboardOnItThenHandsBackExactlyTheEdits)
{
    Settings stored;
    stored.cmdName[9] = "kept";
    stored.sendCrLf[9] = stored.sendHex[9] = 1;
    MessageRecorder messages;
    CSendCmd dialog(stored, messages);
    dialog.show();
    const auto box = [&](const char *name) {
        for (QLineEdit *edit : dialog.findChildren<QLineEdit *>())
            if (edit->accessibleName() == QLatin1String(name))
                return edit;
        throw std::runtime_error(std::string("no box ") + name);
    };
    QPushButton *ok = nullptr;
    for (QPushButton *button : dialog.findChildren<QPushButton *>())
        ok = button->text() == "OK" ? button : ok;
    for (QCheckBox *check : dialog.findChildren<QCheckBox *>())
        if (check->accessibleName() == "continuous")
            check->click();
    const struct {
        const char *box, *bad, *good;
        MessageIcon icon;
    } boxes[] = {
        {"line count", "20001", "250", MessageIcon::None},
        {"bytes per block", "0", "65536", MessageIcon::Exclamation},
        {"pause per block", "", "0", MessageIcon::Exclamation},
    };
    for (const auto &b : boxes) {
        box(b.box)->setText(b.bad);
        ok->click();
        ASSERT_EQ(messages.messages.size(), 1u) << b.box << ": one message";
        EXPECT_EQ(messages.messages[0].icon, b.icon) << b.box;
        EXPECT_TRUE(dialog.isVisible() && dialog.focusWidget() == box(b.box)) << b.box;
        box(b.box)->setText(b.good);
        messages.messages.clear();
    }
    ok->click();
    Settings expected = stored;
    expected.sendCmd[9] = "250";
    expected.sendContinuous = 0;
    expected.sendBlockSize = 65536;
    expected.sendMsPause = 0;
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(Fields(dialog.Result()) == Fields(expected));
}
