// Profiles in the main window: a window that ends saves its profile and frees
// it; two windows (two instances' worth of stores in one process) then claim
// "A" and "B", refuse each other's profile, store exactly the edits of "Set
// Cmds", switch to a free profile and follow its title, captions and colours.
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
QAbstractButton *Button(CVerrinDlg &w, int id) { return static_cast<QAbstractButton *>(w.Control(id)); }

void Choose(CVerrinDlg &w, int index)
{
    ProfileList(w)->setCurrentIndex(index);
    emit ProfileList(w)->activated(index);
}

Settings Stored(const char *profile)
{
    CRegistry registry;
    Settings s;
    LoadSettings(registry, profile, s);
    return s;
}

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
        QMetaObject::invokeMethod(dialog, ok ? "accept" : "reject");
    });
    Button(w, MainId::SetCmds)->click();
}
} // namespace

TEST(ProfilesInTheWindow, ClaimRefuseSwitchSaveAndFollowTheLoadedProfile)
{
    { // profile "C" was used before, with its own captions and colours
        CRegistry registry;
        Settings c;
        c.cmdName[0] = "Ping";
        c.screenBackgroundColor = "112233";
        c.baudrate = 9600;
        SaveSettings(registry, "C", c);
    }
    MessageRecorder messagesA, messagesB;
    {
        CVerrinDlg::StartOptions options;
        options.baudrate = 57600; // the command line's rate, kept with the profile at the end
        CVerrinDlg first(options, &messagesA);
        ASSERT_EQ(first.Started(), StartOutcome::Claimed);
        first.reject();
    }
    CVerrinDlg a(CVerrinDlg::StartOptions{}, &messagesA);
    CVerrinDlg b(CVerrinDlg::StartOptions{}, &messagesB);
    ASSERT_EQ(b.Started(), StartOutcome::Claimed);
    EXPECT_TRUE(a.windowTitle().startsWith("A - ") && a.windowTitle().contains(": 57600 Baud"))
        << a.windowTitle().toStdString();
    EXPECT_TRUE(b.windowTitle().startsWith("B - "));
    EXPECT_EQ(ProfileList(a)->count(), 8);

    Choose(b, 0); // "A" is held by the other window
    ASSERT_EQ(messagesB.messages.size(), 1u);
    EXPECT_EQ(messagesB.messages[0].text, "That profile is in use.\r\nPlease choose another");
    EXPECT_EQ(ProfileList(b)->currentText(), "B") << "a refused choice springs back";

    const Settings before = Stored("A");
    EditCommands(a, "command 2 text", "at+ab ping", false);
    EXPECT_EQ(Stored("A").sendCmd, before.sendCmd) << "Cancel stores nothing";
    EditCommands(a, "command 2 name", "Ping", true);
    Settings expected = before;
    expected.cmdName[1] = "Ping";
    EXPECT_EQ(Stored("A").cmdName, expected.cmdName);
    EXPECT_EQ(Stored("A").sendCmd, expected.sendCmd);
    EXPECT_EQ(Button(a, MainId::Command[1])->text(), "Ping");

    Choose(a, 2);
    EXPECT_TRUE(a.windowTitle().startsWith("C - ") && a.windowTitle().contains(": 9600 Baud"))
        << a.windowTitle().toStdString();
    EXPECT_EQ(Button(a, MainId::Command[0])->text(), "Ping");
    EXPECT_EQ(a.CurrentSettings().screenBackgroundColor, "112233");
    Choose(b, 0); // "A" is free now
    EXPECT_TRUE(b.windowTitle().startsWith("A - "));
    EXPECT_EQ(messagesB.messages.size(), 1u);
    EXPECT_TRUE(messagesA.messages.empty());

    Button(a, MainId::ClearProfiles)->click();
    ASSERT_EQ(messagesA.messages.size(), 1u);
    EXPECT_EQ(messagesA.messages[0].text, "Exit All Application Instances");
    EXPECT_EQ(messagesA.messages[0].caption, "Alert");
}
