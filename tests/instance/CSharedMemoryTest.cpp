// CSharedMemory between real processes: who takes which profile, what a
// killed process leaves behind, the store after its last user, and many
// instances claiming and freeing at once. Each test has a runtime folder of
// its own.

#include "instance/CSharedMemory.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint32_t kNoValue = 0xFFFFFFFF;

class CSharedMemoryProcesses : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(runtime_.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_.path()));
    }

    void TearDown() override
    {
        for (auto &probe : probes_) {
            probe->kill();
            probe->waitForFinished(5000);
        }
    }

    QProcess &Start(const QStringList &arguments)
    {
        probes_.push_back(std::make_unique<QProcess>());
        probes_.back()->start(VERRIN_INSTANCE_PROBE, arguments);
        return *probes_.back();
    }

    // The next line the probe prints, or what went wrong.
    static std::string ReadLine(QProcess &probe, int timeoutMs = 10000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!probe.canReadLine()) {
            if (deadline.hasExpired() || !probe.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
                return probe.canReadLine() ? probe.readLine().trimmed().toStdString() : "<no line in time>";
        }
        return probe.readLine().trimmed().toStdString();
    }

    static void End(QProcess &probe)
    {
        probe.closeWriteChannel();
        ASSERT_TRUE(probe.waitForFinished(10000));
        ASSERT_EQ(probe.exitCode(), 0);
    }

    static void Kill(QProcess &probe)
    {
        probe.kill(); // SIGKILL: nothing of the probe runs any more
        ASSERT_TRUE(probe.waitForFinished(10000));
    }

    QTemporaryDir runtime_;
    std::vector<std::unique_ptr<QProcess>> probes_;
};

TEST_F(CSharedMemoryProcesses, TheFirstTakesATheSecondBAndAThirdTakesAWhenTheFirstHasEnded)
{
    QProcess &first = Start({"hold"});
    ASSERT_EQ(ReadLine(first), "claimed A created=1");
    QProcess &second = Start({"hold"});
    ASSERT_EQ(ReadLine(second), "claimed B created=0");
    End(first);
    QProcess &third = Start({"hold"});
    EXPECT_EQ(ReadLine(third), "claimed A created=0");
    End(second);
    End(third);
}

TEST_F(CSharedMemoryProcesses, KilledProcessesHoldNoLockAndTheStoreEmptiesWithItsLastUser)
{
    QProcess &a = Start({"hold"});
    ASSERT_EQ(ReadLine(a), "claimed A created=1");

    QProcess &hang = Start({"hang"});
    ASSERT_EQ(ReadLine(hang), "locked");
    Kill(hang);
    QProcess &b = Start({"hold"});
    ASSERT_EQ(ReadLine(b), "claimed B created=0") << "the lock of the killed process is free again";

    Kill(a);
    QProcess &c = Start({"hold"});
    EXPECT_EQ(ReadLine(c), "claimed C created=0") << "a killed holder's mark stays while others run";

    Kill(b);
    Kill(c);
    CSharedMemory next;
    EXPECT_TRUE(next.IsCreated());
    EXPECT_EQ(next.GetDwordValue("A", kNoValue), kNoValue) << "the store is empty";
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(runtime_.filePath("shMemInstance")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// Eight instances claim, switch and free profiles as fast as they can; each
// checks that no other instance holds a profile while it does.
TEST_F(CSharedMemoryProcesses, EightInstancesNeverHoldOneProfileAtTheSameTime)
{
    std::vector<QProcess *> stressed;
    for (int i = 0; i < 8; ++i)
        stressed.push_back(&Start({"stress", "1500"}));
    long claims = 0;
    for (QProcess *probe : stressed) {
        const std::string line = ReadLine(*probe, 60000);
        ASSERT_EQ(line.rfind("ok ", 0), 0u) << line;
        ASSERT_TRUE(probe->waitForFinished(10000));
        EXPECT_EQ(probe->exitCode(), 0);
        claims += std::stol(line.substr(3));
    }
    std::printf("8 instances, 1.5 s: %ld claims\n", claims);
}

TEST_F(CSharedMemoryProcesses, SecondOpenerSharesTheRegionAndFailsCleanlyWhenItIsDamaged)
{
    auto first = std::make_unique<CSharedMemory>();
    ASSERT_TRUE(first->IsOpen());
    EXPECT_TRUE(first->IsCreated());
    ASSERT_TRUE(first->AddDwordValue("A", 5));
    CSharedMemory second;
    EXPECT_FALSE(second.IsCreated());
    EXPECT_EQ(second.GetDwordValue("A", kNoValue), 5u);

    QFile region(runtime_.filePath("shMemInstance"));
    ASSERT_TRUE(region.open(QIODevice::ReadWrite));
    ASSERT_TRUE(region.seek(4));
    region.write("\xFF\xFF\xFF\xFF", 4);
    region.flush();
    EXPECT_EQ(second.GetDwordValue("A", kNoValue), kNoValue);
    EXPECT_EQ(second.LastError(), 13u);

    ASSERT_TRUE(region.resize(16)); // a file cut short would fault on access
    EXPECT_FALSE(first->SetDwordValue("A", 1));
    EXPECT_EQ(first->LastError(), 13u);
    region.close();

    first.reset();
    EXPECT_EQ(second.GetDwordValue("A", kNoValue), kNoValue);
}

// The runtime folder comes from XDG_RUNTIME_DIR; only where that is unset
// does the store make a private folder in the temporary folder.
TEST_F(CSharedMemoryProcesses, RuntimeFolderIsTheUsersOwnOrTheStoreStaysClosed)
{
    QFile blocker(runtime_.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_.filePath("file/folder")));
    {
        CSharedMemory store;
        EXPECT_FALSE(store.IsOpen());
        EXPECT_EQ(store.GetDwordValue("A", kNoValue), kNoValue);
        EXPECT_FALSE(store.AddDwordValue("A", 0));
        EXPECT_EQ(store.LastError(), 4312u);
    }

    const QByteArray tmp = qgetenv("TMPDIR");
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QFile::encodeName(runtime_.path()));
    CSharedMemory store;
    tmp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmp);
    EXPECT_TRUE(store.IsOpen());
    const QString folder = runtime_.filePath(QStringLiteral("verrin-runtime-%1").arg(::geteuid()));
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(QFileInfo::exists(folder + "/shMemInstance"));
}

} // namespace
