// Profiles in the main window: two windows (two instances' worth of stores in
// one process) claim "A" and "B", refuse each other's profile, switch to a
// free one, and follow the loaded profile's title, captions and colours.
#include "app/CVerrinDlg.h"
#include "settings/CRegistry.h"
#include "settings/SettingsStore.h"
#include "support/MessageRecorder.h"

#include <QAbstractButton>
#include <QComboBox>
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
