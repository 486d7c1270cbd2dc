// Capture into the real file, end to end: every byte arrives in order, each
// capture starts empty, and a failing disk stops the capture with the bytes
// before the failure intact.
#include "capture_fakes.h"
#include "transfer/CCaptureFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

std::string Pattern(size_t size, uint32_t seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char &b : bytes)
        b = static_cast<char>(random());
    return bytes;
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class CaptureFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        savedHome = qgetenv("HOME");
        UseHome(temp.path());
    }
    void TearDown() override { qputenv("HOME", savedHome); }

    void UseHome(const QString &home)
    {
        qputenv("HOME", home.toLocal8Bit());
        capturePath = QDir(home).filePath(QStringLiteral("verrin.dat"));
    }

    // Feeds the bytes in chunks of varied size, small and large, flushing
    // now and then as the poll timer does; stops early when capture ends.
    void Feed(Capture &capture, const std::string &bytes, uint32_t seed)
    {
        std::mt19937 random(seed);
        std::uniform_int_distribution<uint32_t> smallChunk(1, 4096), largeChunk(4097, 200000);
        size_t offset = 0;
        for (int n = 1; offset < bytes.size() && capture.IsOn(); ++n) {
            const uint32_t wanted = n % 8 == 0 ? largeChunk(random) : smallChunk(random);
            const uint32_t count = static_cast<uint32_t>(std::min<size_t>(wanted, bytes.size() - offset));
            capture.CaptureChunk(reinterpret_cast<const uint8_t *>(bytes.data() + offset), count);
            offset += count;
            if (n % 50 == 0)
                capture.Flush();
        }
    }

    QTemporaryDir temp;
    QByteArray savedHome;
    QString capturePath;
    SteadyCaptureClock clock;
    RecordingDisplay display;
    RecordingMessages messages;
};

TEST_F(CaptureFileTest, FiftyMegabytesArriveByteForByte)
{
    CCaptureFile file;
    Capture capture(file, clock, display, messages);
    capture.ToggleCapture();
    ASSERT_TRUE(capture.IsOn());
    EXPECT_EQ(messages.texts.at(0), "Capture Started!!(Saved in " + capturePath.toStdString() + ")");

    const std::string bytes = Pattern(50u << 20, 1);
    Feed(capture, bytes, 2);
    capture.Flush();
    EXPECT_EQ(static_cast<uint64_t>(QFileInfo(capturePath).size()), capture.Count())
        << "after a flush the file holds every byte so far";
    capture.ToggleCapture();

    EXPECT_EQ(messages.texts.size(), 1u);
    const QByteArray saved = ReadAll(capturePath);
    ASSERT_EQ(static_cast<size_t>(saved.size()), bytes.size());
    EXPECT_TRUE(saved == QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

TEST_F(CaptureFileTest, EachCaptureStartsWithAnEmptyFile)
{
    CCaptureFile file;
    Capture capture(file, clock, display, messages);
    const std::string first = "first capture, longer than the second";
    capture.ToggleCapture();
    capture.CaptureChunk(reinterpret_cast<const uint8_t *>(first.data()), first.size());
    capture.ToggleCapture();
    ASSERT_EQ(ReadAll(capturePath).toStdString(), first);

    capture.ToggleCapture();
    capture.CaptureChunk(reinterpret_cast<const uint8_t *>("second"), 6);
    capture.ToggleCapture();
    EXPECT_EQ(ReadAll(capturePath).toStdString(), "second");
}

TEST_F(CaptureFileTest, FolderThatCannotTakeTheFileLeavesCaptureOff)
{
    QFile(temp.filePath(QStringLiteral("plain-file"))).open(QIODevice::WriteOnly);
    const QString cases[] = {temp.filePath(QStringLiteral("missing")),
                             temp.filePath(QStringLiteral("plain-file"))};
    for (const QString &home : cases) {
        UseHome(home);
        messages.texts.clear();
        CCaptureFile file;
        Capture capture(file, clock, display, messages);
        capture.ToggleCapture();
        EXPECT_FALSE(capture.IsOn()) << home.toStdString();
        EXPECT_EQ(messages.texts, std::vector<std::string>{"files opened error!"}) << home.toStdString();
        EXPECT_EQ(display.caption, "Start Capture");
        EXPECT_FALSE(QFileInfo::exists(capturePath));
    }
}

// Checks that a capture stopped by a failing write kept exactly the bytes
// before the failure, and told the user so.
void ExpectStoppedWithPrefixSaved(const Capture &capture, const RecordingMessages &messages,
                                  const std::string &fed, const QString &path,
                                  const std::string &systemText)
{
    EXPECT_FALSE(capture.IsOn());
    ASSERT_EQ(messages.texts.size(), 2u);
    const QByteArray saved = ReadAll(path);
    EXPECT_GT(saved.size(), 0);
    EXPECT_LT(static_cast<size_t>(saved.size()), fed.size());
    EXPECT_EQ(messages.texts[1], "Capture stopped: " + systemText + " (" +
                                     std::to_string(saved.size()) + " bytes saved in " +
                                     path.toStdString() + ")");
    EXPECT_TRUE(saved == QByteArray::fromRawData(fed.data(), saved.size()))
        << "the bytes before the failure are intact";
}

TEST_F(CaptureFileTest, WriteBeyondTheFileSizeLimitStopsTheCapture)
{
    // A file size limit makes writes fail past 1 MiB on any file system.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 1u << 20;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);

    const std::string bytes = Pattern(3u << 20, 3);
    {
        CCaptureFile file;
        Capture capture(file, clock, display, messages);
        capture.ToggleCapture();
        Feed(capture, bytes, 4);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        ExpectStoppedWithPrefixSaved(capture, messages, bytes, capturePath, "File too large");
    }
    EXPECT_EQ(QFileInfo(capturePath).size(), 1 << 20);
}

// A file system of 1 MiB, unmounted again however the test ends.
struct SmallFileSystem {
    explicit SmallFileSystem(const QString &path) : path(path.toLocal8Bit())
    {
        mounted = ::mount("tmpfs", this->path.constData(), "tmpfs", 0, "size=1m") == 0;
    }
    ~SmallFileSystem()
    {
        if (mounted)
            ::umount(path.constData());
    }
    QByteArray path;
    bool mounted = false;
};

TEST_F(CaptureFileTest, FullDiskStopsTheCapture)
{
    const QString small = temp.filePath(QStringLiteral("small"));
    QDir().mkpath(small);
    SmallFileSystem fileSystem(small);
    if (!fileSystem.mounted)
        GTEST_SKIP() << "mounting a small file system needs privileges";
    UseHome(small);
    const std::string bytes = Pattern(3u << 20, 5);
    CCaptureFile file;
    Capture capture(file, clock, display, messages);
    capture.ToggleCapture();
    Feed(capture, bytes, 6);
    ExpectStoppedWithPrefixSaved(capture, messages, bytes, capturePath, "No space left on device");
}

} // namespace
