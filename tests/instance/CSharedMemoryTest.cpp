// CSharedMemory between real processes (forks of this test): what a process
// stopped or killed while it holds a profile and the store's lock leaves
// behind; the region cut short and the runtime folder. Each test has a
// runtime folder of its own.

#include "instance/CSharedMemory.h"
#include "instance/ProfileLock.h"
#include "support/Subprocess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <unistd.h>

namespace {

// Neither group nor others may read or write the store's files.
bool Private(const QString &path) { return QFile::exists(path) && (QFile::permissions(path) & 0x0077) == 0; }

class CSharedMemoryProcesses : public ::testing::Test {
protected:
    void SetUp() override { qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_.path())); }

    QTemporaryDir runtime_;
};

// A process stopped while it holds the lock (Ctrl+Z, a debugger) keeps every
// operation waiting no longer than the bound, and is named; once it is
// killed, its profile's mark stays but the lock is free, and a store opened
// meanwhile works with the first operation that gets the lock.
TEST_F(CSharedMemoryProcesses, AStoppedHolderOfTheLockIsNamedAndAKilledOneLeavesItsMarkButNotTheLock)
{
    CSharedMemory keeper; // keeps the store while the holder comes and goes
    EXPECT_TRUE(keeper.IsCreated());
    EXPECT_TRUE(Private(runtime_.filePath("shMemInstance")));
    Subprocess holder;
    ASSERT_TRUE(holder.Fork([] {
        CSharedMemory store;
        const int held = ClaimFirstFree(store, uint32_t(::getpid())).profile;
        store.Transact([](SharedStore::Locked &) {
            ::raise(SIGSTOP);
            return StoreError::None;
        });
        return held == 0 ? 0 : 1;
    }) && holder.WaitStopped(10000));
    CSharedMemory late;
    QElapsedTimer waited;
    waited.start();
    EXPECT_EQ(ClaimFirstFree(keeper, 1).error, StoreError::LockBusy);
    EXPECT_LT(waited.elapsed(), kLockWaitBound.count() + 1000);
    const LockBusy &busy = keeper.BusyLock();
    std::string comm;
    std::getline(std::ifstream("/proc/self/comm"), comm); // the kernel keeps 15 characters
    EXPECT_EQ(busy.file, runtime_.filePath("shMemInstance_Sync").toStdString());
    EXPECT_EQ(busy.holderPid, uint32_t(holder.Pid()));
    EXPECT_EQ(busy.holderProgram, comm);
    EXPECT_TRUE(busy.holderStopped);
    holder.Signal(SIGKILL);
    ASSERT_TRUE(holder.Wait(10000));
    EXPECT_EQ(keeper.GetDwordValue("A", 0), uint32_t(holder.Pid()));
    EXPECT_EQ(ClaimFirstFree(late, 2).profile, 1) << "B, after the killed holder's A";
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
