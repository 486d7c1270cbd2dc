// Profiles in the main window: two windows (two instances' worth of stores in
// one process) claim "A" and "B", refuse each other's profile, switch to a
// free one and follow its title, captions and colours; a save that a stopped
// process keeps from the settings file. The end-to-end tests end the program
// with its profile saved and freed, and show "Clear Profiles"'s message.
#include "app/CVerrinDlg.h"
#include "settings/CRegistry.h"
#include "settings/SettingsStore.h"
#include "support/MessageRecorder.h"
#include "support/Subprocess.h"
#include "support/TempDir.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <algorithm>
#include <gtest/gtest.h>

namespace {
QComboBox *ProfileList(CVerrinDlg &w) { return static_cast<QComboBox *>(w.Control(MainId::ProfileList)); }

void Choose(CVerrinDlg &w, int index)
{
    ProfileList(w)->setCurrentIndex(index);
    emit ProfileList(w)->activated(index);
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
    CVerrinDlg a(CVerrinDlg::StartOptions{}, &messagesA);
    CVerrinDlg b(CVerrinDlg::StartOptions{}, &messagesB);
    ASSERT_EQ(b.Started(), StartOutcome::Claimed);
    EXPECT_TRUE(a.windowTitle().startsWith("A - ") && b.windowTitle().startsWith("B - "));

    Choose(b, 0); // "A" is held by the other window
    ASSERT_EQ(messagesB.messages.size(), 1u);
    EXPECT_EQ(messagesB.messages[0].text, "That profile is in use.\r\nPlease choose another");
    EXPECT_EQ(ProfileList(b)->currentText(), "B") << "a refused choice springs back";

    Choose(a, 2);
    EXPECT_TRUE(a.windowTitle().startsWith("C - ") && a.windowTitle().contains(": 9600 Baud"))
        << a.windowTitle().toStdString();
    EXPECT_EQ(static_cast<QAbstractButton *>(a.Control(MainId::Command[0]))->text(), "Ping");
    EXPECT_EQ(a.CurrentSettings().screenBackgroundColor, "112233");
    EXPECT_TRUE(messagesA.messages.empty());
}

// A save that finds the settings file locked by a stopped process asks. Retry
// saves once the process is gone; Cancel at exit keeps the settings in a copy
// beside the file, which the question names, and the profile is still freed.
TEST(ProfilesInTheWindow, ASaveBlockedByAStoppedProcessIsRetriedOrKeptBesideTheFile)
{
    const std::string lock = QFile::encodeName(CRegistry::FilePath() + ".access").toStdString();
    MessageRecorder messages;
    CVerrinDlg::StartOptions options;
    options.baudrate = 57600;
    CVerrinDlg w(options, &messages);
    ASSERT_EQ(w.Started(), StartOutcome::Claimed);
    auto holder = std::make_unique<Subprocess>();
    ASSERT_TRUE(HoldLockStopped(*holder, lock));
    messages.answer = [&] {
        holder.reset();
        return Answer::Retry;
    };
    w.ApplyLoaderSettings({"C:\\fw\\", "next.bin", "", 0});
    ASSERT_EQ(messages.messages.size(), 1u);
    {
        CRegistry registry;
        Settings stored;
        (void)LoadSettings(registry, "A", stored);
        EXPECT_EQ(stored.downloadFilename, "next.bin");
    }

    holder = std::make_unique<Subprocess>();
    ASSERT_TRUE(HoldLockStopped(*holder, lock));
    messages.answer = nullptr; // Cancel
    w.reject();
    ASSERT_EQ(messages.messages.size(), 2u);
    const std::string copy = CRegistry::UnsavedCopyPath("A").toStdString();
    EXPECT_NE(messages.messages[1].text.find(copy), std::string::npos) << messages.messages[1].text;
    EXPECT_NE(messages.messages[1].text.find("which is stopped"), std::string::npos);
    const RegParseResult kept = ParseRegExport(ReadFile(copy));
    EXPECT_TRUE(std::any_of(kept.entries.begin(), kept.entries.end(), [](const RegEntry &e) {
        return e.keyPath == "HKEY_CURRENT_USER\\SOFTWARE\\Brondel\\Verrin\\A" && e.name == "Baudrate" &&
               e.value.dword == 57600u;
    })) << "no Baudrate of 57600 under profile A's key in the copy";
    CSharedMemory store;
    EXPECT_EQ(store.GetDwordValue("A", 1), 0u);
}
