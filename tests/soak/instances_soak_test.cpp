// Verrin programs started, ended (SIGTERM) and killed (SIGKILL) at random, all
// on one instance store. Whatever the order, no profile is ever held by two
// running instances, an instance that ends frees its profile, one that cannot
// find a free profile says so, and once all have ended a new instance takes
// "A" again: nothing stays locked.

#include "instance/CSharedMemory.h"
#include "instance/ProfileLock.h"
#include "SoakSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <random>
#include <vector>

namespace {

using soak::WaitFor;
using Marks = std::array<uint32_t, kProfileCount>;
constexpr uint32_t kNoMark = 0xFFFFFFFF;

struct Instance {
    std::unique_ptr<QProcess> process;
    uint32_t pid = 0;
    int profile = -1;
};

class InstanceSoak : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        runtime = dir.filePath("runtime");
        for (const char *sub : {"runtime", "config", "home"})
            ASSERT_TRUE(QDir().mkpath(dir.filePath(sub)));
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime);
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        env.insert("HOME", dir.filePath("home"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
    }

    // The profile marks as the instances see them, read under the store's
    // lock. The store stays open only for the reading, so it does not keep
    // stale marks alive.
    Marks ReadMarks()
    {
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
        Marks marks;
        {
            CSharedMemory store;
            for (int i = 0; i < kProfileCount; ++i)
                marks[i] = store.GetDwordValue(kProfileNames[i], kNoMark);
        }
        qputenv("XDG_RUNTIME_DIR", saved);
        return marks;
    }

    // Starts one verrin; it either claims a profile (its id shows in a mark)
    // or says that none is free. Returns false when it did neither.
    bool Start(std::vector<Instance> &live)
    {
        Instance in;
        in.process = std::make_unique<QProcess>();
        in.process->setProcessEnvironment(env);
        in.process->start(QStringLiteral(VERRIN_BIN_DIR "/verrin"), QStringList{});
        if (!in.process->waitForStarted(10000))
            return false;
        in.pid = uint32_t(in.process->processId());
        bool refused = false;
        const bool settled = WaitFor(
            [&] {
                refused = in.process->readAllStandardError().contains("verrin: ") || refused;
                if (refused)
                    return true;
                const Marks m = ReadMarks();
                for (int i = 0; i < kProfileCount; ++i)
                    if (m[i] == in.pid)
                        in.profile = i;
                return in.profile >= 0;
            },
            30000);
        if (!settled)
            return false;
        if (refused) {
            // Only when every profile is marked, by a running instance or a killed one.
            const Marks m = ReadMarks();
            for (int i = 0; i < kProfileCount; ++i)
                EXPECT_NE(m[i], 0u) << "refused while " << kProfileNames[i] << " was free";
            in.process->kill();
            in.process->waitForFinished(10000);
            ++refusals;
            return true;
        }
        ++claims;
        live.push_back(std::move(in));
        return true;
    }

    // Each running instance's id stands in exactly the mark it claimed.
    ::testing::AssertionResult NoProfileHeldTwice(const std::vector<Instance> &live)
    {
        const Marks m = ReadMarks();
        for (const Instance &in : live) {
            int seen = 0;
            for (int i = 0; i < kProfileCount; ++i)
                seen += m[i] == in.pid;
            if (seen != 1 || m[in.profile] != in.pid)
                return ::testing::AssertionFailure()
                       << "instance " << in.pid << " of " << kProfileNames[in.profile] << " found in " << seen
                       << " marks; its mark holds " << m[in.profile];
        }
        return ::testing::AssertionSuccess();
    }

    void End(std::vector<Instance> &live, size_t index, bool kill)
    {
        Instance in = std::move(live[index]);
        live.erase(live.begin() + long(index));
        ::kill(pid_t(in.pid), kill ? SIGKILL : SIGTERM);
        ASSERT_TRUE(in.process->waitForFinished(20000)) << "instance " << in.pid << " hangs";
        if (kill) {
            ++kills;
            return;
        }
        ++terms;
        EXPECT_EQ(in.process->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(in.process->exitCode(), 0) << in.process->readAllStandardError().toStdString();
        if (!live.empty()) { // with none left the store starts afresh anyway
            EXPECT_EQ(ReadMarks()[in.profile], 0u) << "an instance that ended kept " << kProfileNames[in.profile];
        }
    }

    QTemporaryDir dir;
    QString runtime;
    QProcessEnvironment env;
    int claims = 0, refusals = 0, terms = 0, kills = 0;
};

TEST_F(InstanceSoak, RandomStartsAndKillsNeverShareAProfileNorLeakOne)
{
    std::mt19937 random(1126);
    const int seconds = soak::Seconds(12);
    QElapsedTimer t;
    t.start();
    int epochs = 0;
    std::vector<Instance> live;
    while (epochs < 1 || t.elapsed() < seconds * 1000) {
        SCOPED_TRACE("epoch " + std::to_string(epochs));
        for (int action = 0; action < 14; ++action) {
            const int what = int(random() % 4);
            if (live.empty() || (what < 2 && live.size() < 10)) {
                ASSERT_TRUE(Start(live)) << "an instance neither claimed a profile nor said why not";
            } else {
                ASSERT_NO_FATAL_FAILURE(End(live, random() % live.size(), what == 3));
            }
            ASSERT_TRUE(NoProfileHeldTwice(live));
        }
        while (!live.empty())
            ASSERT_NO_FATAL_FAILURE(End(live, random() % live.size(), random() % 2 == 0));

        // All have ended: the first to come takes "A".
        ASSERT_TRUE(Start(live));
        ASSERT_EQ(live.size(), 1u);
        EXPECT_EQ(live[0].profile, 0) << "a lock outlived every instance";
        ASSERT_NO_FATAL_FAILURE(End(live, 0, false));
        ++epochs;
    }
    std::printf("[ soak ] %d epochs in %lld s: %d claims, %d refusals, %d ended, %d killed\n", epochs,
                static_cast<long long>(t.elapsed() / 1000), claims, refusals, terms, kills);
}

} // namespace
