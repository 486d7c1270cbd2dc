// CRegistry on its file: the export text on disk, files from Windows or
// damaged, folders that cannot be written, and two processes saving at once.

#include "settings/CRegistry.h"
#include "settings/RegFileFormat.h"
#include "settings/SettingsCompare.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

const QString kKeyB = "HKEY_CURRENT_USER/SOFTWARE/Brondel/Verrin/B/";

QByteArray Utf16LE(const QString &text)
{
    QByteArray bytes("\xFF\xFE");
    for (const QChar c : text) {
        bytes += static_cast<char>(c.unicode() & 0xFF);
        bytes += static_cast<char>(c.unicode() >> 8);
    }
    return bytes;
}

QString FromUtf16LE(const QByteArray &bytes)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData() + 2), (bytes.size() - 2) / 2);
}

class CRegistryFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(config_.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path()));
    }

    static QByteArray FileBytes(const QString &path = CRegistry::FilePath())
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static void WriteFile(const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(CRegistry::FilePath()).absolutePath());
        QFile file(CRegistry::FilePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    static Settings Load(const std::string &profile)
    {
        CRegistry registry;
        Settings s;
        LoadSettings(registry, profile, s);
        return s;
    }

    QTemporaryDir config_;
};

TEST_F(CRegistryFile, KeepsProfilesAsRegistryExportTextThatRoundTripsByteForByte)
{
    Load("A");
    {
        CRegistry registry;
        SaveSettings(registry, "B", NonDefaultSettings());
    }
    const QByteArray bytes = FileBytes();
    const QString text = FromUtf16LE(bytes);
    ASSERT_TRUE(bytes.startsWith("\xFF\xFE"));
    EXPECT_TRUE(text.startsWith("Windows Registry Editor Version 5.00\r\n\r\n"
                                "[HKEY_CURRENT_USER\\SOFTWARE\\Brondel\\Verrin\\A]\r\n"));
    EXPECT_TRUE(text.contains("\r\n\"CommPort\"=dword:00000002\r\n"));
    EXPECT_TRUE(text.contains("\r\n\"DownloadPath\"=\"C:\\\\fw\\\\\"\r\n"));
    {
        QSettings settings(CRegistry::FilePath(), RegFileFormat());
        const QStringList keys = settings.allKeys();
        ASSERT_EQ(keys.size(), 2 * 56 - 2); // A has no "BdAddr" and "DebugMode" yet
        for (const QString &key : keys)
            settings.setValue(key, settings.value(key)); // forces the file to be written again
        settings.sync();
        EXPECT_EQ(settings.value(kKeyB + "CommPort").typeId(), QMetaType::UInt);
        EXPECT_EQ(settings.value(kKeyB + "CmdName1").typeId(), QMetaType::QString);
    }
    EXPECT_EQ(FileBytes(), bytes);
}

TEST_F(CRegistryFile, TakesOverAProfileFromAWindowsExportAndKeepsWhatIsNotItsOwn)
{
    WriteFile(Utf16LE("Windows Registry Editor Version 5.00\r\n\r\n"
                      "[HKEY_CURRENT_USER\\Software\\Brondel\\Verrin\\A]\r\n"
                      "\"CommPort\"=dword:00000005\r\n"
                      "\"DownloadPath\"=\"D:\\\\img\\\\\"\r\n"
                      "\"Unknown\"=hex(b):01,00,00,00,\\\r\n  00,00,00,00\r\n\r\n"
                      "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
                      "@=\"kept\"\r\n\r\n"));
    const Settings a = Load("A");
    EXPECT_EQ(a.commPort, 5);
    EXPECT_EQ(a.downloadPath, "D:\\img\\");

    const QString text = FromUtf16LE(FileBytes());
    EXPECT_FALSE(text.contains("\\SOFTWARE\\")) << "the values went into a second spelling of the key";
    EXPECT_TRUE(text.contains("\"Unknown\"=hex(b):01,00,00,00,00,00,00,00\r\n"));
    EXPECT_TRUE(text.contains("[HKEY_CURRENT_USER\\Software\\Other]\r\n@=\"kept\"\r\n"));
}

TEST_F(CRegistryFile, DamagedOrForeignFilesGiveDefaultsAndKeepTheReadableProfiles)
{
    const QString header = "Windows Registry Editor Version 5.00\r\n\r\n";
    const QString a = "[HKEY_CURRENT_USER\\SOFTWARE\\Brondel\\Verrin\\A]\r\n\"CommPort\"=dword:00000007\r\n\r\n";
    const QString b = "[HKEY_CURRENT_USER\\SOFTWARE\\Brondel\\Verrin\\B]\r\n\"CommPort\"=dword:00000009\r\n"
                      "\"Baudrate\"=dword:0000";
    QByteArray garbage(700, '\0');
    for (int i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<char>((i * 7919) >> 3);
    struct Case {
        const char *what;
        QByteArray file;
        int commPortA, commPortB; // 2: the default
        bool copyKept;
    } cases[] = {
        {"cut short inside B", Utf16LE(header + a + b), 7, 9, false},
        {"cut inside a character", Utf16LE(header + a + b).chopped(1), 7, 9, false},
        {"garbage line in A", Utf16LE(header + a.left(a.indexOf('\n') + 1) + "\x01\xFFgarbage\r\n" +
                                      a.mid(a.indexOf('\n') + 1) + b + "\r\n"), 7, 9, false},
        {"broken key header of B", Utf16LE(header + a + b.mid(1) + "\r\n"), 7, 2, false},
        {"binary garbage", garbage, 2, 2, true},
        {"not an export", "[General]\nCommPort=7\n", 2, 2, true},
    };
    for (const Case &c : cases) {
        QFile::remove(CRegistry::UnreadableCopyPath());
        WriteFile(c.file);
        EXPECT_EQ(Load("A").commPort, c.commPortA) << c.what;
        EXPECT_EQ(Load("A").baudrate, 115200) << c.what;
        QSettings file(CRegistry::FilePath(), RegFileFormat());
        EXPECT_EQ(file.value(kKeyB + "CommPort", 2).toInt(), c.commPortB) << c.what;
        EXPECT_EQ(FileBytes(CRegistry::UnreadableCopyPath()), c.copyKept ? c.file : QByteArray()) << c.what;
    }
}

TEST_F(CRegistryFile, ConfigFolderThatCannotBeMadeGivesDefaults)
{
    QFile blocker(config_.filePath("not-a-folder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.filePath("not-a-folder/config")));
    CRegistry registry;
    Settings s;
    s.commPort = 9;
    LoadSettings(registry, "A", s);
    EXPECT_EQ(Fields(s), Fields(Settings{}));
    uint32_t value = 5;
    EXPECT_FALSE(registry.DwordValue(AccessMode::Write, "CommPort", value));
}

TEST_F(CRegistryFile, ReadOnlyConfigFolderIsReadButNeverWritten)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind root";
    {
        CRegistry registry;
        SaveSettings(registry, "A", NonDefaultSettings());
    }
    const QByteArray before = FileBytes();
    const QString folder = QFileInfo(CRegistry::FilePath()).absolutePath();
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_EQ(Load("A").commPort, 7);
    EXPECT_EQ(Load("C").commPort, 2);
    EXPECT_EQ(FileBytes(), before);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Each process saves its own profile round after round and reads it back
// after each round. On a file system in memory, writes are quick enough for
// two of them to fall in the same millisecond, where a reader could take a
// changed file for the one it read before; there the test makes many rounds.
TEST_F(CRegistryFile, TwoProcessesSavingDifferentProfilesLoseNeitherProfilesValues)
{
    const bool inMemory = QFileInfo(QStringLiteral("/dev/shm")).isWritable();
    QTemporaryDir folder(inMemory ? QStringLiteral("/dev/shm/verrin-settings-XXXXXX")
                                  : config_.filePath(QStringLiteral("saves")));
    ASSERT_TRUE(folder.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.path()));
    const int rounds = inMemory ? 40 : 6;

    QElapsedTimer timer;
    timer.start();
    QProcess savers[2];
    for (int i = 0; i < 2; ++i)
        savers[i].start(VERRIN_SETTINGS_SAVER, {i == 0 ? "A" : "B", QString::number(rounds)});
    for (QProcess &saver : savers) {
        ASSERT_TRUE(saver.waitForFinished(120000));
        EXPECT_EQ(saver.exitCode(), 0) << saver.readAllStandardOutput().toStdString();
    }
    std::printf("two savers, %d rounds each%s: %lld ms\n", rounds, inMemory ? " in memory" : "",
                static_cast<long long>(timer.elapsed()));
    EXPECT_EQ(QSettings(CRegistry::FilePath(), RegFileFormat()).allKeys().size(), 2 * 56);
}

} // namespace
