// Verrin programs started, ended (SIGTERM) and killed (SIGKILL) at random, all
// on one instance store. Whatever the order, no profile is ever held by two
// running instances, an instance that ends frees its profile, one that cannot
// find a free profile says so, and once all have ended a new instance takes
// "A" again: nothing stays locked. The instances share this test's folders
// (made for it by the test main), and so its instance store.

#include "instance/CSharedMemory.h"
#include "instance/ProfileLock.h"
#include "support/WaitFor.h"

#include <QProcess>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>

namespace {

using Marks = std::array<uint32_t, kProfileCount>;
constexpr uint32_t kNoMark = 0xFFFFFFFF;

struct Instance {
    std::unique_ptr<QProcess> process;
    uint32_t pid = 0;
    int profile = -1;
};

class InstanceSoak : public ::testing::Test {
protected:
    // The store stays open only for the reading, so that it keeps no stale
    // mark alive.
    static Marks ReadMarks()
    {
        CSharedMemory store;
        Marks marks;
        for (int i = 0; i < kProfileCount; ++i)
            marks[i] = store.GetDwordValue(kProfileNames[i], kNoMark);
        return marks;
    }

    // Starts one verrin; it either claims a profile (its id shows in a mark)
    // or says that none is free. Returns false when it did neither.
    bool Start()
    {
        Instance in{std::make_unique<QProcess>()};
        in.process->start(QStringLiteral(VERRIN_BIN_DIR "/verrin"), QStringList{});
        in.pid = in.process->waitForStarted(10000) ? uint32_t(in.process->processId()) : 0;
        bool refused = false;
        Marks m{};
        const bool settled = in.pid && WaitFor([&] {
            refused = refused || in.process->readAllStandardError().contains("verrin: ");
            m = ReadMarks();
            in.profile = int(std::find(m.begin(), m.end(), in.pid) - m.begin());
            return refused || in.profile < kProfileCount;
        }, 30000);
        if (refused) { // only when every profile is marked, by a running instance or a killed one
            EXPECT_EQ(std::count(m.begin(), m.end(), 0u), 0) << "refused while a profile was free";
            in.process->kill();
            in.process->waitForFinished(10000);
        } else if (settled) {
            live.push_back(std::move(in));
        }
        return settled;
    }

    void End(size_t index, bool kill)
    {
        Instance in = std::move(live[index]);
        live.erase(live.begin() + long(index));
        ::kill(pid_t(in.pid), kill ? SIGKILL : SIGTERM);
        ASSERT_TRUE(in.process->waitForFinished(20000)) << "instance " << in.pid << " hangs";
        if (kill)
            return;
        EXPECT_TRUE(in.process->exitStatus() == QProcess::NormalExit && in.process->exitCode() == 0)
            << in.process->readAllStandardError().toStdString();
        // (With none left the store starts afresh anyway.)
        EXPECT_TRUE(live.empty() || ReadMarks()[in.profile] == 0u) << "an ended instance kept " << kProfileNames[in.profile];
    }

    std::vector<Instance> live;
};

TEST_F(InstanceSoak, RandomStartsAndKillsNeverShareAProfileNorLeakOne)
{
    std::mt19937 random(1126);
    const char *soakSeconds = std::getenv("VERRIN_SOAK_SECONDS"); // scripts/soak.sh sets it
    const int seconds = soakSeconds && std::atoi(soakSeconds) > 0 ? std::atoi(soakSeconds) : 12;
    QElapsedTimer t;
    t.start();
    int epochs = 0, actions = 0;
    for (; epochs < 1 || t.elapsed() < seconds * 1000; ++epochs) {
        SCOPED_TRACE("epoch " + std::to_string(epochs));
        for (int action = 0; action < 14; ++action, ++actions) {
            const int what = int(random() % 4);
            if (live.empty() || (what < 2 && live.size() < 10)) {
                ASSERT_TRUE(Start()) << "an instance neither claimed a profile nor said why not";
            } else {
                ASSERT_NO_FATAL_FAILURE(End(random() % live.size(), what == 3));
            }
            const Marks m = ReadMarks(); // each running instance's id stands in its own mark alone
            for (const Instance &in : live)
                ASSERT_TRUE(std::count(m.begin(), m.end(), in.pid) == 1 && m[in.profile] == in.pid)
                    << "instance " << in.pid << " is not alone in the mark of " << kProfileNames[in.profile];
        }
        while (!live.empty())
            ASSERT_NO_FATAL_FAILURE(End(random() % live.size(), random() % 2 == 0));

        // All have ended: the first to come takes "A".
        ASSERT_TRUE(Start() && live.size() == 1u);
        EXPECT_EQ(live[0].profile, 0) << "a lock outlived every instance";
        ASSERT_NO_FATAL_FAILURE(End(0, false));
    }
    std::printf("[ soak ] %d epochs, %d starts and ends in %lld s\n", epochs, actions,
                static_cast<long long>(t.elapsed() / 1000));
}

} // namespace
