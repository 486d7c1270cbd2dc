// The real capture file: the bytes reach the disk in order whatever the chunk
// sizes, and a flush puts everything so far on disk. A disk that fills up and
// a capture that starts the file anew are the fault soak's cases, through the
// main window.
#include "transfer/CCaptureFile.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <random>

TEST(CaptureFile, BytesArriveInOrderAndAFlushSavesThem)
{
    QTemporaryDir dir;
    QFile saved(dir.filePath(QStringLiteral("verrin.dat")));
    CCaptureFile file(saved.fileName());
    ASSERT_TRUE(file.Open());
    // Chunks on both sides of the 64 KiB the file gathers in memory.
    std::mt19937 random(1);
    QByteArray bytes;
    for (uint32_t size : {1u, 4000u, 65535u, 65536u, 3u, 200000u, 17u, 70000u, 5u}) {
        QByteArray chunk(int(size), 0);
        std::generate(chunk.begin(), chunk.end(), [&] { return static_cast<char>(random()); });
        ASSERT_TRUE(file.Write(reinterpret_cast<const uint8_t *>(chunk.constData()), size));
        bytes += chunk;
        if (size < 10) {
            ASSERT_TRUE(file.Flush());
            EXPECT_EQ(saved.size(), bytes.size()) << "after a flush the file holds every byte so far";
        }
    }
    ASSERT_TRUE(file.Close());
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll() == bytes);
}
