// CSharedMemory between real processes: what a process killed while holding
// a profile and the store's lock leaves behind, one stopped while it holds
// the lock, and many instances claiming and freeing at once; the region cut
// short and the runtime folder. Each test has a runtime folder of its own.

#include "instance/CSharedMemory.h"
#include "instance/ProfileLock.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>

namespace {

// A probe process; killed (SIGKILL) when it goes.
std::unique_ptr<QProcess> Probe(const QStringList &arguments)
{
    auto probe = std::make_unique<QProcess>();
    probe->start(VERRIN_INSTANCE_PROBE, arguments);
    return probe;
}

// The next line a probe prints, or what went wrong.
std::string Line(QProcess &probe, int timeoutMs = 10000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!probe.canReadLine() && probe.waitForReadyRead(int(deadline.remainingTime()))) {
    }
    return probe.canReadLine() ? probe.readLine().trimmed().toStdString() : "<no line in time>";
}

// Neither group nor others may read or write the store's files.
bool Private(const QString &path)
{
    return QFile::exists(path) && (QFile::permissions(path) & 0x0077) == 0;
}

class CSharedMemoryProcesses : public ::testing::Test {
protected:
    void SetUp() override { qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_.path())); }

    QTemporaryDir runtime_;
};

TEST_F(CSharedMemoryProcesses, AKilledHolderLeavesItsMarkButNotTheLock)
{
    CSharedMemory keeper; // keeps the store while the probes come and go
    EXPECT_TRUE(keeper.IsCreated());
    EXPECT_TRUE(Private(runtime_.filePath("shMemInstance")));
    const auto first = Probe({"hold"});
    ASSERT_EQ(Line(*first), "claimed A created=0");
    first->kill();
    ASSERT_TRUE(first->waitForFinished(10000));
    EXPECT_EQ(Line(*Probe({"hold"})), "claimed B created=0");
}

// A process stopped while it holds the lock (Ctrl+Z, a debugger) keeps every
// operation waiting no longer than the bound, and is named; a store made
// meanwhile opens with the first operation that gets the lock.
TEST_F(CSharedMemoryProcesses, AStoppedHolderOfTheLockIsNamedOnceTheWaitEnds)
{
    CSharedMemory keeper;
    const auto holder = Probe({"hold", "stop"});
    ASSERT_EQ(Line(*holder), "claimed A created=0");
    CSharedMemory late;
    QElapsedTimer waited;
    waited.start();
    EXPECT_EQ(ClaimFirstFree(keeper, 1).error, StoreError::LockBusy);
    EXPECT_LT(waited.elapsed(), kLockWaitBound.count() + 1000);
    const LockBusy &busy = keeper.BusyLock();
    EXPECT_EQ(busy.file, runtime_.filePath("shMemInstance_Sync").toStdString());
    EXPECT_EQ(busy.holderPid, uint32_t(holder->processId()));
    EXPECT_EQ(busy.holderProgram, "verrin_instance"); // the kernel keeps 15 characters
    EXPECT_TRUE(busy.holderStopped);
    holder->kill();
    ASSERT_TRUE(holder->waitForFinished(10000));
    EXPECT_EQ(ClaimFirstFree(late, 2).profile, 1) << "B, after the holder's A";
}

// Eight instances claim, switch and free profiles as fast as they can; each
// checks that no other instance holds a profile while it does.
TEST_F(CSharedMemoryProcesses, EightInstancesNeverHoldOneProfileAtTheSameTime)
{
    std::vector<std::unique_ptr<QProcess>> probes;
    for (int i = 0; i < 8; ++i)
        probes.push_back(Probe({"stress", "1500"}));
    for (auto &probe : probes)
        EXPECT_EQ(Line(*probe, 60000), "ok");
}

TEST_F(CSharedMemoryProcesses, RegionCutShortFailsWith13InsteadOfFaulting)
{
    CSharedMemory store;
    ASSERT_TRUE(store.AddDwordValue("A", 5));
    ASSERT_TRUE(QFile::resize(runtime_.filePath("shMemInstance"), 0));
    EXPECT_FALSE(store.SetDwordValue("A", 1));
    EXPECT_EQ(store.LastError(), 13u);
}

// The runtime folder comes from XDG_RUNTIME_DIR; only where that is unset
// does the store make a private folder in the temporary folder.
TEST_F(CSharedMemoryProcesses, RuntimeFolderIsTheUsersOwnOrTheStoreStaysClosed)
{
    QFile blocker(runtime_.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(blocker.fileName() + "/folder"));
    CSharedMemory closed;
    EXPECT_FALSE(closed.IsOpen());
    EXPECT_FALSE(closed.AddDwordValue("A", 0));
    EXPECT_EQ(closed.LastError(), 4312u);

    const QByteArray tmp = qgetenv("TMPDIR");
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QFile::encodeName(runtime_.path()));
    CSharedMemory store;
    tmp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmp);
    EXPECT_TRUE(store.IsOpen());
    EXPECT_TRUE(Private(runtime_.filePath(QStringLiteral("verrin-runtime-%1").arg(::geteuid()))));
}

} // namespace
