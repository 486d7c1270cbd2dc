// The profile an instance holds: claim at start, switch, release at exit and
// "Clear Profiles", over a store in a buffer and a registry in memory.

#include "instance/BufferStore.h"
#include "instance/ProfileSession.h"
#include "settings/MemoryRegistry.h"
#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t kNoValue = 0xFFFFFFFF;
const std::string kKeyA = "SOFTWARE\\Brondel\\Verrin\\A";

uint32_t Mark(BufferStore &store, const char *profile) { return store.GetDwordValue(profile, kNoValue); }

TEST(ProfileSession, InstancesTakeTheFirstFreeProfileAndGiveItBackAtExit)
{
    BufferStore store;
    store.created = false; // opened before its creator could add the marks
    MemoryRegistry registry;
    registry.Key(kKeyA)["CommPort"] = RegValue::Dword(5);

    ProfileSession first(store, registry, 101), second(store, registry, 102);
    Settings s1, s2;
    ASSERT_EQ(first.Start(s1), StartOutcome::Claimed);
    ASSERT_EQ(second.Start(s2), StartOutcome::Claimed);
    EXPECT_EQ(first.ProfileName(), "A");
    EXPECT_EQ(second.ProfileName(), "B");
    EXPECT_EQ(s1.commPort, 5) << "the claimed profile's settings are loaded";
    EXPECT_EQ(Mark(store, "A"), 101u);
    EXPECT_EQ(Mark(store, "B"), 102u);
    EXPECT_EQ(Mark(store, "H"), 0u);

    s1.commPort = 6;
    first.ReleaseAndSave(s1);
    EXPECT_FALSE(first.HasProfile());
    EXPECT_EQ(Mark(store, "A"), 0u);
    EXPECT_EQ(registry.Key(kKeyA)["CommPort"], RegValue::Dword(6));

    ProfileSession third(store, registry, 103);
    Settings s3;
    ASSERT_EQ(third.Start(s3), StartOutcome::Claimed);
    EXPECT_EQ(third.ProfileName(), "A");
    EXPECT_EQ(s3.commPort, 6);
}

TEST(ProfileSession, WithoutAFreeProfileOrAStoreNoSettingsAreTouched)
{
    struct Case {
        const char *what;
        bool open;
        std::function<void(BufferStore &)> prepare;
        StartOutcome outcome;
    } cases[] = {
        {"all eight held", true, [](BufferStore &s) { for (const char *p : kProfileNames) s.AddDwordValue(p, 9); },
         StartOutcome::AllProfilesInUse},
        {"store not open", false, [](BufferStore &) {}, StartOutcome::StoreUnavailable},
        {"store damaged", true, [](BufferStore &s) { s.bytes[4] = 0xFF; s.bytes[5] = 0xFF; },
         StartOutcome::StoreUnavailable},
    };
    for (const Case &c : cases) {
        BufferStore store(c.open);
        c.prepare(store);
        MemoryRegistry registry;
        ProfileSession session(store, registry, 1);
        Settings s;
        EXPECT_EQ(session.Start(s), c.outcome) << c.what;
        EXPECT_FALSE(session.HasProfile()) << c.what;
        EXPECT_EQ(session.ProfileName(), "") << c.what;
        session.Save(s);
        session.ReleaseAndSave(s);
        EXPECT_EQ(registry.opens, 0) << c.what;
        EXPECT_FALSE(StartFailureMessage(c.outcome).text.empty()) << c.what;
    }
}

TEST(ProfileSession, SwitchTakesOnlyAFreeProfileAndSavesTheOldOne)
{
    BufferStore store;
    MemoryRegistry registry;
    registry.Key("SOFTWARE\\Brondel\\Verrin\\C")["CommPort"] = RegValue::Dword(33);
    ProfileSession session(store, registry, 1), other(store, registry, 2);
    Settings s, otherSettings;
    ASSERT_EQ(session.Start(s), StartOutcome::Claimed);
    ASSERT_EQ(other.Start(otherSettings), StartOutcome::Claimed); // holds B
    s.commPort = 11;
    const int opens = registry.opens;

    for (const int same : {0, -1, kProfileCount}) {
        EXPECT_EQ(session.SelectProfile(same, s), SwitchOutcome::Same) << same;
        EXPECT_EQ(registry.opens, opens) << "nothing saved or loaded choosing " << same;
    }

    EXPECT_EQ(session.SelectProfile(1, s), SwitchOutcome::InUse);
    EXPECT_EQ(session.ProfileName(), "A");
    EXPECT_EQ(s.commPort, 11);
    EXPECT_EQ(registry.opens, opens);
    EXPECT_EQ(Mark(store, "B"), 2u);
    EXPECT_EQ(ProfileInUseMessage().text, "That profile is in use.\r\nPlease choose another");
    EXPECT_EQ(ProfileInUseMessage().caption, "");

    EXPECT_EQ(session.SelectProfile(2, s), SwitchOutcome::Switched);
    EXPECT_EQ(session.ProfileName(), "C");
    EXPECT_EQ(s.commPort, 33);
    EXPECT_EQ(registry.Key(kKeyA)["CommPort"], RegValue::Dword(11));
    EXPECT_EQ(Mark(store, "A"), 0u);
    EXPECT_EQ(Mark(store, "C"), 1u);

    ProfileSession next(store, registry, 3);
    Settings nextSettings;
    ASSERT_EQ(next.Start(nextSettings), StartOutcome::Claimed);
    EXPECT_EQ(next.ProfileName(), "A");
    EXPECT_EQ(nextSettings.commPort, 11);
}

// A registry that notes, at every opening of a key, whether profile A is
// still marked as held.
class WatchingRegistry : public MemoryRegistry {
public:
    explicit WatchingRegistry(BufferStore &store) : store_(store) {}
    std::vector<uint32_t> marksAtOpen;

protected:
    std::unique_ptr<RegistryKey> OpenKey(const std::string &path) override
    {
        marksAtOpen.push_back(store_.GetDwordValue("A", kNoValue));
        return MemoryRegistry::OpenKey(path);
    }

private:
    BufferStore &store_;
};

TEST(ProfileSession, ExitSavesEverySettingBeforeTheProfileIsFreed)
{
    BufferStore store;
    WatchingRegistry registry(store);
    ProfileSession session(store, registry, 5);
    Settings s;
    ASSERT_EQ(session.Start(s), StartOutcome::Claimed);
    s.bdAddr = "00:11";
    s.debugMode = 1;
    registry.marksAtOpen.clear();

    session.ReleaseAndSave(s);
    EXPECT_FALSE(registry.marksAtOpen.empty());
    for (const uint32_t mark : registry.marksAtOpen)
        ASSERT_EQ(mark, 5u) << "a setting was saved after the profile was freed";
    EXPECT_EQ(Mark(store, "A"), 0u);
    EXPECT_EQ(registry.Key(kKeyA)["BdAddr"], RegValue::String("00:11"));
    EXPECT_EQ(registry.Key(kKeyA)["DebugMode"], RegValue::Dword(1));

    registry.marksAtOpen.clear();
    session.ReleaseAndSave(s);
    EXPECT_TRUE(registry.marksAtOpen.empty()) << "a second release does nothing";
}

TEST(ProfileSession, ClearProfilesAddsTheMissingMarksAndKeepsTheOthers)
{
    BufferStore store;
    store.AddDwordValue("A", 77); // another instance holds A; no other mark exists
    MemoryRegistry registry;
    ProfileSession session(store, registry, 1);

    const ProfileMessage message = session.ClearProfiles();
    EXPECT_EQ(message.text, "Exit All Application Instances");
    EXPECT_EQ(message.caption, "Alert");
    EXPECT_EQ(message.icon, MessageIcon::Exclamation);
    EXPECT_EQ(Mark(store, "A"), 77u);
    for (const char *profile : {"B", "C", "D", "E", "F", "G", "H"})
        EXPECT_EQ(Mark(store, profile), 0u) << profile;
    EXPECT_EQ(ValueCount({store.bytes.data(), store.bytes.size()}), 8u);
}

} // namespace
