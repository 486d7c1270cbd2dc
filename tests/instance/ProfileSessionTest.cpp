// The profile an instance holds: claim at start, switch, release at exit and
// "Clear Profiles", over a store in a buffer and the settings file. A start
// without a free profile or a usable store leaves the file alone: the
// program test's refused starts.

#include "instance/BufferStore.h"
#include "instance/ProfileSession.h"
#include "settings/CRegistry.h"
#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr uint32_t kNoValue = 0xFFFFFFFF;

// The settings file; notes, at each access of a profile's key, the mark of
// that profile in the store.
class WatchedRegistry : public CRegistry {
public:
    explicit WatchedRegistry(SharedStore &store) : store_(store) {}
    std::vector<uint32_t> marks;

protected:
    RegistryOpening Open() override
    {
        struct Watched : RegistrySession {
            Watched(WatchedRegistry &r, std::unique_ptr<RegistrySession> s) : r(r), s(std::move(s)) {}
            RegistryKey *Key(const std::string &path) override
            {
                r.marks.push_back(r.store_.GetDwordValue(path.substr(path.rfind('\\') + 1), kNoValue));
                return s->Key(path);
            }
            bool Close() override { return s->Close(); }
            WatchedRegistry &r;
            std::unique_ptr<RegistrySession> s;
        };
        RegistryOpening file = CRegistry::Open();
        if (file.session)
            file.session = std::make_unique<Watched>(*this, std::move(file.session));
        return file;
    }

private:
    SharedStore &store_;
};

// An instance never touches the settings of a profile another instance holds,
// and leaves the profile it switches from free. "Clear Profiles" adds the
// missing marks and keeps the others.
TEST(ProfileSession, SettingsOfAProfileHeldElsewhereAreNeverTouched)
{
    CRegistry file;
    Settings c;
    c.commPort = 33;
    SaveSettings(file, "C", c);
    BufferStore store;
    store.AddDwordValue("B", 2); // another instance holds B; no other mark exists
    WatchedRegistry registry(store);
    ProfileSession session(store, registry, 1);
    session.ClearProfiles();
    EXPECT_EQ(store.GetDwordValue("B", kNoValue), 2u);
    EXPECT_EQ(store.GetDwordValue("H", kNoValue), 0u);
    EXPECT_EQ(ValueCount({store.bytes.data(), store.bytes.size()}), 8u);

    Settings s;
    ASSERT_EQ(session.Start(s), StartOutcome::Claimed);
    s.commPort = 11;
    const size_t opens = registry.marks.size();
    for (const int same : {0, -1, kProfileCount})
        EXPECT_EQ(session.SelectProfile(same, s), SwitchOutcome::Same) << same;
    EXPECT_EQ(session.SelectProfile(1, s), SwitchOutcome::InUse);
    EXPECT_EQ(registry.marks.size(), opens) << "nothing saved or loaded";
    EXPECT_EQ(session.ProfileName(), "A");
    EXPECT_EQ(store.GetDwordValue("B", kNoValue), 2u);

    EXPECT_EQ(session.SelectProfile(2, s), SwitchOutcome::Switched);
    EXPECT_EQ(session.ProfileName(), "C");
    EXPECT_EQ(s.commPort, 33);
    s.flowEnabled = 0; // carried over to a profile never used
    EXPECT_EQ(session.SelectProfile(3, s), SwitchOutcome::Switched);
    EXPECT_EQ(s.flowEnabled, 0u);
    EXPECT_EQ(session.SelectProfile(2, s), SwitchOutcome::Switched);
    EXPECT_EQ(store.GetDwordValue("A", kNoValue), 0u);
    s.commPort = 44;
    session.Save(s);
    session.Release();
    EXPECT_EQ(store.GetDwordValue("C", kNoValue), 0u);
    const size_t exits = registry.marks.size();
    session.Save(s);
    EXPECT_EQ(registry.marks.size(), exits) << "nothing is saved once the profile is free";
    EXPECT_TRUE(std::none_of(registry.marks.begin(), registry.marks.end(), [](uint32_t m) { return m == 2; }));
    LoadSettings(file, "A", s);
    EXPECT_EQ(s.commPort, 11);
    LoadSettings(file, "C", s);
    EXPECT_EQ(s.commPort, 44);
}

} // namespace
