// Profiles in the main window: two windows (two instances' worth of stores in
// one process) claim "A" and "B", refuse each other's profile, switch to a
// free one, and follow the loaded profile's title, captions and colours.
#include "app/CVerrinDlg.h"
#include "settings/CRegistry.h"
#include "settings/SettingsStore.h"
#include "support/MessageRecorder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTimer>
#include <QTest>
#include <gtest/gtest.h>

namespace {
QComboBox *ProfileList(CVerrinDlg &w) { return static_cast<QComboBox *>(w.Control(MainId::ProfileList)); }

void Choose(CVerrinDlg &w, int index)
{
    ProfileList(w)->setCurrentIndex(index);
    emit ProfileList(w)->activated(index);
}
} // namespace

TEST(ProfilesInTheWindow, ClaimRefuseSwitchAndFollowTheLoadedProfile)
{
    // Profile "C" was used before, with its own captions and colours.
    {
        CRegistry registry;
        Settings c;
        c.cmdName[0] = "Ping";
        c.screenBackgroundColor = "112233";
        c.baudrate = 9600;
        SaveSettings(registry, "C", c);
    }
    MessageRecorder messagesA, messagesB;
    CVerrinDlg::StartOptions options;
    CVerrinDlg a(options, &messagesA);
    CVerrinDlg b(options, &messagesB);
    ASSERT_EQ(a.Started(), StartOutcome::Claimed);
    ASSERT_EQ(b.Started(), StartOutcome::Claimed);
    EXPECT_TRUE(a.windowTitle().startsWith("A - "));
    EXPECT_TRUE(b.windowTitle().startsWith("B - "));
    EXPECT_EQ(ProfileList(a)->count(), 8);
    EXPECT_EQ(ProfileList(b)->currentText(), "B");

    Choose(b, 0); // "A" is held by the other window
    ASSERT_EQ(messagesB.messages.size(), 1u);
    EXPECT_EQ(messagesB.messages[0].text, "That profile is in use.\r\nPlease choose another");
    EXPECT_EQ(ProfileList(b)->currentText(), "B") << "a refused choice springs back";

    Choose(a, 2);
    EXPECT_TRUE(messagesA.messages.empty());
    EXPECT_TRUE(a.windowTitle().startsWith("C - "));
    EXPECT_TRUE(a.windowTitle().contains(": 9600 Baud"));
    EXPECT_EQ(static_cast<QAbstractButton *>(a.Control(MainId::Command[0]))->text(), "Ping");
    EXPECT_EQ(a.CurrentSettings().screenBackgroundColor, "112233");

    Choose(b, 0); // "A" is free now
    EXPECT_EQ(messagesB.messages.size(), 1u);
    EXPECT_TRUE(b.windowTitle().startsWith("A - "));

    static_cast<QAbstractButton *>(a.Control(MainId::ClearProfiles))->click();
    ASSERT_EQ(messagesA.messages.size(), 1u);
    EXPECT_EQ(messagesA.messages[0].text, "Exit All Application Instances");
    EXPECT_EQ(messagesA.messages[0].caption, "Alert");
}

TEST(ProfilesInTheWindow, ExitSavesTheProfileAndFreesIt)
{
    MessageRecorder messages;
    CVerrinDlg::StartOptions options;
    options.baudrate = 57600;
    {
        CVerrinDlg first(options, &messages);
        ASSERT_EQ(first.Started(), StartOutcome::Claimed);
        first.reject();
    }
    CVerrinDlg again(CVerrinDlg::StartOptions{}, &messages);
    EXPECT_TRUE(again.windowTitle().startsWith("A - ")) << "the profile was given back";
    EXPECT_TRUE(again.windowTitle().contains(": 57600 Baud")) << "and its settings saved";
}

namespace {
// Runs "Set Cmds", types text into the box with the given accessible name,
// and ends the dialog with OK or Cancel.
void EditCommands(CVerrinDlg &w, const QString &box, const QString &text, bool ok)
{
    QTimer::singleShot(0, [&] {
        QWidget *dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        for (auto *edit : dialog->findChildren<QLineEdit *>()) {
            if (edit->accessibleName() == box) {
                edit->clear();
                QTest::keyClicks(edit, text);
            }
        }
        if (ok)
            QMetaObject::invokeMethod(dialog, "accept");
        else
            QMetaObject::invokeMethod(dialog, "reject");
    });
    static_cast<QAbstractButton *>(w.Control(MainId::SetCmds))->click();
}

Settings Stored(const char *profile)
{
    CRegistry registry;
    Settings s;
    LoadSettings(registry, profile, s);
    return s;
}
} // namespace

TEST(ProfilesInTheWindow, SetCmdsStoresExactlyTheEditsOnOkAndNothingOnCancel)
{
    MessageRecorder messages;
    CVerrinDlg w(CVerrinDlg::StartOptions{}, &messages);
    const Settings before = Stored("A");

    EditCommands(w, "command 2 text", "at+ab ping", false);
    const Settings afterCancel = Stored("A");
    EXPECT_EQ(afterCancel.sendCmd, before.sendCmd);
    EXPECT_EQ(afterCancel.cmdName, before.cmdName);

    EditCommands(w, "command 2 name", "Ping", true);
    const Settings afterOk = Stored("A");
    Settings expected = before;
    expected.cmdName[1] = "Ping";
    EXPECT_EQ(afterOk.cmdName, expected.cmdName);
    EXPECT_EQ(afterOk.sendCmd, expected.sendCmd);
    EXPECT_EQ(afterOk.sendCrLf, expected.sendCrLf);
    EXPECT_EQ(afterOk.sendBlockSize, expected.sendBlockSize);
    EXPECT_EQ(static_cast<QAbstractButton *>(w.Control(MainId::Command[1]))->text(), "Ping");
    EXPECT_TRUE(messages.messages.empty());
}
