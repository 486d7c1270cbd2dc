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
#include <optional>
#include <random>
#include <sys/mount.h>
#include <sys/resource.h>

namespace {

std::string Pattern(size_t size, uint32_t seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char &b : bytes)
        b = static_cast<char>(random());
    return bytes;
}

std::string ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
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
    void Feed(Capture &capture, const std::string &bytes)
    {
        std::mt19937 random(7);
        std::uniform_int_distribution<uint32_t> small(1, 4096), large(4097, 200000);
        size_t offset = 0;
        for (int n = 1; offset < bytes.size() && capture.IsOn(); ++n) {
            const uint32_t count = static_cast<uint32_t>(
                std::min<size_t>(n % 8 ? small(random) : large(random), bytes.size() - offset));
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

TEST_F(CaptureFileTest, EveryByteArrivesInOrderAndEachCaptureStartsEmpty)
{
    CCaptureFile file;
    Capture capture(file, clock, display, messages);
    capture.ToggleCapture();
    ASSERT_TRUE(capture.IsOn());
    EXPECT_EQ(messages.texts.at(0), "Capture Started!!(Saved in " + capturePath.toStdString() + ")");

    const std::string bytes = Pattern(50u << 20, 1);
    Feed(capture, bytes);
    capture.Flush();
    EXPECT_EQ(static_cast<uint64_t>(QFileInfo(capturePath).size()), capture.Count())
        << "after a flush the file holds every byte so far";
    capture.ToggleCapture();
    EXPECT_EQ(messages.texts.size(), 1u);
    EXPECT_TRUE(ReadAll(capturePath) == bytes);

    capture.ToggleCapture();
    capture.CaptureChunk(reinterpret_cast<const uint8_t *>("second"), 6);
    capture.ToggleCapture();
    EXPECT_EQ(ReadAll(capturePath), "second");
}

TEST_F(CaptureFileTest, FolderThatCannotTakeTheFileLeavesCaptureOff)
{
    QFile(temp.filePath(QStringLiteral("plain-file"))).open(QIODevice::WriteOnly);
    for (const char *home : {"missing", "plain-file"}) {
        UseHome(temp.filePath(QString::fromLatin1(home)));
        messages.texts.clear();
        CCaptureFile file;
        Capture capture(file, clock, display, messages);
        capture.ToggleCapture();
        EXPECT_FALSE(capture.IsOn()) << home;
        EXPECT_EQ(messages.texts, std::vector<std::string>{"files opened error!"}) << home;
        EXPECT_EQ(display.caption, "Start Capture") << home;
    }
}

// A file size limit makes writes fail past 1 MiB on any file system.
struct FileSizeLimit {
    FileSizeLimit()
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit limited = saved;
        limited.rlim_cur = 1u << 20;
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
    }
    rlimit saved{};
    void (*previousHandler)(int);
};

// A file system of 1 MiB, unmounted again however the test ends.
struct SmallFileSystem {
    explicit SmallFileSystem(const QString &path) : path(path.toLocal8Bit())
    {
        QDir().mkpath(path);
        active = ::mount("tmpfs", this->path.constData(), "tmpfs", 0, "size=1m") == 0;
    }
    ~SmallFileSystem()
    {
        if (active)
            ::umount(path.constData());
    }
    QByteArray path;
    bool active;
};

TEST_F(CaptureFileTest, FailingWriteStopsTheCaptureWithTheBytesBeforeItIntact)
{
    const std::string bytes = Pattern(3u << 20, 2);
    for (const char *failure : {"File too large", "No space left on device"}) {
        const bool sizeLimit = failure[0] == 'F';
        std::optional<FileSizeLimit> limit;
        std::optional<SmallFileSystem> smallDisk;
        if (sizeLimit) {
            limit.emplace();
        } else {
            smallDisk.emplace(temp.filePath(QStringLiteral("small")));
            if (!smallDisk->active)
                continue; // mounting needs privileges
            UseHome(temp.filePath(QStringLiteral("small")));
        }
        messages.texts.clear();
        CCaptureFile file;
        Capture capture(file, clock, display, messages);
        capture.ToggleCapture();
        Feed(capture, bytes);
        limit.reset();

        EXPECT_FALSE(capture.IsOn()) << failure;
        const std::string saved = ReadAll(capturePath);
        EXPECT_GT(saved.size(), 0u) << failure;
        EXPECT_LT(saved.size(), bytes.size()) << failure;
        if (sizeLimit) {
            EXPECT_EQ(saved.size(), 1u << 20);
        }
        EXPECT_TRUE(bytes.compare(0, saved.size(), saved) == 0) << failure;
        ASSERT_EQ(messages.texts.size(), 2u) << failure;
        EXPECT_EQ(messages.texts[1], "Capture stopped: " + std::string(failure) + " (" +
                                         std::to_string(saved.size()) + " bytes saved in " +
                                         capturePath.toStdString() + ")");
    }
}

} // namespace
