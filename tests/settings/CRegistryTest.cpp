// A profile's settings in the settings file: which values are stored and
// their defaults, what is read from a profile exported from Windows, from
// damaged or foreign files and from a store that cannot be written, and two
// processes saving at once.

#include "settings/CRegistry.h"
#include "settings/RegFileFormat.h"
#include "settings/SettingsSamples.h"
#include "settings/SettingsStore.h"
#include "support/SmallDisk.h"
#include "support/Subprocess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <sys/inotify.h>
#include <unistd.h>

inline void PrintTo(const RegValue &v, std::ostream *os) { *os << int(v.type) << ':' << v.dword << ':' << v.text; }

namespace {

using V = RegValue;
const std::string kVerrin = "HKEY_CURRENT_USER\\SOFTWARE\\Brondel\\Verrin\\";

QByteArray FileBytes(const QString &path = CRegistry::FilePath())
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The values of one key in the settings file, by name.
std::map<std::string, RegValue> StoredKey(const std::string &path)
{
    std::map<std::string, RegValue> values;
    for (const RegEntry &e : ParseRegExport(FileBytes().toStdString()).entries)
        if (e.keyPath == path)
            values[e.name] = e.value;
    return values;
}

Settings Load(const std::string &profile, Settings s = {})
{
    CRegistry registry;
    LoadSettings(registry, profile, s);
    return s;
}

void Save(const std::string &profile, const Settings &s)
{
    CRegistry registry;
    SaveSettings(registry, profile, s);
}

// Saves the profile round after round, with other values each time, and reads
// it back after each save: 1 as soon as a value is lost.
int SaveRounds(const std::string &profile, int rounds)
{
    CRegistry registry;
    for (int round = 3; round < 3 + rounds; ++round) {
        Settings expected = Sample(profile, round), loaded;
        SaveSettings(registry, profile, expected);
        LoadSettings(registry, profile, loaded);
        expected.bdAddr.clear(); // neither is ever loaded
        expected.debugMode = 0;
        if (Fields(loaded) != Fields(expected))
            return 1;
    }
    return 0;
}

class CRegistryFile : public ::testing::Test {
protected:
    void SetUp() override { qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path())); }

    static void WriteFile(const std::string &bytes)
    {
        QDir().mkpath(QFileInfo(CRegistry::FilePath()).absolutePath());
        QFile file(CRegistry::FilePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes.data(), qint64(bytes.size()));
    }

    QTemporaryDir config_;
};

// A profile loaded for the first time stores every value with its default:
// the table below is the profile's settings as users know them, written out
// by hand, not taken from the code.
TEST_F(CRegistryFile, AFirstLoadStoresEveryValueWithItsDefault)
{
    std::map<std::string, RegValue> expected = {
        {"CommPort", V::Dword(2)},
        {"Baudrate", V::Dword(115200)},
        {"AutoIncrement", V::Dword(1)},
        {"AppendLF", V::Dword(1)},
        {"FlowEnabled", V::Dword(1)},
        {"DownloadPath", V::String("")},
        {"DownloadFilename", V::String("fwimg.bin")},
        {"SmallPackets", V::Dword(0)},
        {"SendCmd1", V::String("at+ab SendData FFFF \"Hello World\\n\"")},
        {"SendCmd5", V::String("at+ab config")},
        {"SendCmd9", V::String("at+ab reset")},
        {"SendCmd10", V::String("100")},
        {"CmdName1", V::String("Send Data")},
        {"CmdName5", V::String("Config")},
        {"CmdName9", V::String("Reset")},
        {"SendCrLf10", V::Dword(0)},
        {"SendContinuous", V::Dword(1)},
        {"SendBlockSize", V::Dword(256)},
        {"SendMsPause", V::Dword(100)},
        {"ScreenTextColor", V::String("000000")},
        {"ScreenBackgroundColor", V::String("DDDDFF")},
        {"AutoReconnect", V::Dword(0)},
    };
    for (int n = 1; n <= 10; ++n) {
        const std::string i = std::to_string(n);
        expected.insert({"SendHex" + i, V::Dword(0)});
        if (n <= 9)
            expected.insert({"SendCrLf" + i, V::Dword(1)});
        expected.insert({"SendCmd" + i, V::String("")});
        expected.insert({"CmdName" + i, V::String("")});
    }
    if (kKeepsPortName)
        expected.insert({"PortName", V::String("")});
    ASSERT_EQ(expected.size(), kKeepsPortName ? 55u : 54u);

    const Settings settings = Load("A"); // the record as the window holds it right after start
    EXPECT_EQ(StoredKey(kVerrin + "A"), expected);
    EXPECT_EQ(settings.commPort, 2);
    EXPECT_EQ(settings.sendCmd[0], "at+ab SendData FFFF \"Hello World\\n\"");
}

// A profile exported from Windows is taken over under its spelling of the key
// ("Software"): a first load stores every value, BdAddr and DebugMode apart,
// and a save adds them. Values of other types and other keys are kept, and the
// file, read and written again, stays the same to the byte. (The saver of the
// last test checks that every saved value comes back.)
TEST_F(CRegistryFile, TakesOverAWindowsExportStoresEveryValueAndKeepsTheRest)
{
    const std::string windowsA = "HKEY_CURRENT_USER\\Software\\Brondel\\Verrin\\A";
    const RegValue unknown = V::Other("hex(b):01,00,00,00,00,00,00,00");
    WriteFile(WriteRegExport({{windowsA, "CommPort", V::Dword(5)},
                              {windowsA, "Unknown", unknown},
                              {"HKEY_CURRENT_USER\\Other", "", V::String("kept")}}));
    Settings entry = Sample("entry", 3);
    entry.appendLF = entry.flowEnabled = 1; // what the window holds before its first load
    entry.bdAddr.clear();
    Settings expected;
    expected.commPort = 5;
    EXPECT_EQ(Fields(Load("A", entry)), Fields(expected)) << "every other field takes its default";
    Save("B", Sample("B", 7));
    EXPECT_EQ(StoredKey(windowsA).size(), 1 + (kKeepsPortName ? 55u : 54u));
    EXPECT_EQ(StoredKey(windowsA)["Unknown"], unknown);
    EXPECT_TRUE(StoredKey(kVerrin + "A").empty()) << "A's values went into a second key";
    EXPECT_EQ(StoredKey(kVerrin + "B")["BdAddr"], V::String("B")) << "saved, though never loaded";
    EXPECT_EQ(StoredKey(kVerrin + "B")["DebugMode"], V::Dword(7));
    EXPECT_EQ(StoredKey("HKEY_CURRENT_USER\\Other")[""], V::String("kept"));
    const QByteArray bytes = FileBytes();
    {
        QSettings settings(CRegistry::FilePath(), RegFileFormat());
        for (const QString &key : settings.allKeys())
            settings.setValue(key, settings.value(key)); // makes the file be written again
    }
    EXPECT_EQ(FileBytes(), bytes);
}

// What is missing or cannot be read is stored again with its default (on a
// fresh start every value: the literal table above); the flags "AppendLF" and
// "FlowEnabled" take what the record held on entry, so a profile never used
// before gets the current one's. The 8-bit text in the file is the
// end-to-end test's ("Café" through a restart).
TEST_F(CRegistryFile, MissingOrUnreadableValuesAreStoredWithTheirDefaults)
{
    const std::string longest(255, 'x'), e255 = QString(255, QChar(0xE9)).toStdString(); // 255 "é" of two bytes each
    struct Case {
        const char *what, *name;
        std::optional<RegValue> stored;
        RegValue afterLoad;
    } cases[] = {
        {"missing", "SendCmd5", std::nullopt, V::String("at+ab config")},
        {"number stored as text", "Baudrate", V::String("9600"), V::Dword(115200)},
        {"wider than 32 bits", "CommPort", V::Other("dword:123456789"), V::Dword(2)},
        {"text stored as number", "SendCmd9", V::Dword(5), V::String("at+ab reset")},
        {"256 characters", "DownloadFilename", V::String(longest + "x"), V::String("fwimg.bin")},
        {"255 characters", "DownloadFilename", V::String(longest), V::String(longest)},
        {"255 characters of two bytes", "CmdName1", V::String(e255), V::String(e255)},
        {"256 characters of two bytes", "CmdName1", V::String(e255 + "é"), V::String("Send Data")},
        {"missing flag", "AppendLF", std::nullopt, V::Dword(3)},
        {"flag stored as text", "FlowEnabled", V::String("0"), V::Dword(3)},
    };
    for (const Case &c : cases) {
        std::vector<RegEntry> file;
        if (c.stored)
            file.push_back({kVerrin + "A", c.name, *c.stored});
        WriteFile(WriteRegExport(file));
        Load("A", Sample("entry", 3));
        EXPECT_EQ(StoredKey(kVerrin + "A")[c.name], c.afterLoad) << c.what;
    }
}

// A batch of accesses reads the file once and replaces it at most once: a
// fresh start's load stores every default in one write, a load that finds
// every value writes nothing, a save writes once. (Every write of the file
// puts a new one in its place, by a rename or, for the first, a link.)
TEST_F(CRegistryFile, ALoadOrASaveWritesTheFileAtMostOnce)
{
    const QString folder = QFileInfo(CRegistry::FilePath()).absolutePath();
    QDir().mkpath(folder);
    const int watch = ::inotify_init1(IN_NONBLOCK);
    ASSERT_GE(::inotify_add_watch(watch, QFile::encodeName(folder).constData(), IN_MOVED_TO | IN_CREATE), 0);
    const auto writes = [watch] {
        alignas(inotify_event) char events[4096];
        int count = 0;
        for (ssize_t n; (n = ::read(watch, events, sizeof events)) > 0;)
            for (char *e = events; e < events + n; e += sizeof(inotify_event) + reinterpret_cast<inotify_event *>(e)->len)
                count += std::string(reinterpret_cast<inotify_event *>(e)->name) == "Verrin.reg";
        return count;
    };
    Load("A");
    EXPECT_EQ(writes(), 1) << "a fresh start's load";
    Load("A");
    EXPECT_EQ(writes(), 0) << "a load of a complete profile";
    Save("A", Sample("A", 3));
    EXPECT_EQ(writes(), 1) << "a save";
    ::close(watch);
}

// A damaged file of ours keeps what can be read; a file that is no export at
// all is set aside and a new one started in its place.
TEST_F(CRegistryFile, DamagedFileKeepsWhatIsReadableAndAForeignOneIsSetAside)
{
    const std::string file = WriteRegExport({{kVerrin + "A", "CommPort", V::Dword(7)},
                                             {kVerrin + "B", "CommPort", V::Dword(9)},
                                             {kVerrin + "B", "Baudrate", V::Dword(9600)}});
    WriteFile(file.substr(0, file.size() - 20)); // cut inside B's "Baudrate"
    EXPECT_EQ(Load("B").commPort, 9);
    EXPECT_EQ(Load("A").commPort, 7) << "lost when B's values were written";
    EXPECT_FALSE(QFile::exists(CRegistry::UnreadableCopyPath()));

    WriteFile("[General]\nCommPort=7\n");
    EXPECT_EQ(Load("A").commPort, 2);
    EXPECT_EQ(FileBytes(CRegistry::UnreadableCopyPath()), "[General]\nCommPort=7\n");
    EXPECT_EQ(StoredKey(kVerrin + "A")["CommPort"], V::Dword(2));
}

// A folder without write permission binds all but root; a full disk binds
// root too.
TEST_F(CRegistryFile, StoreThatCannotBeWrittenIsReadAndLeftAsItIs)
{
    Save("A", Sample("A", 7));
    const QByteArray before = FileBytes();
    const QString folder = QFileInfo(CRegistry::FilePath()).absolutePath();
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    auto full = std::make_unique<SmallDisk>(0);
    const Settings a = Load("A"), c = Load("C");
    full.reset();
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(a.commPort, 7);
    EXPECT_EQ(Fields(c), Fields(Settings{}));
    EXPECT_EQ(FileBytes(), before);
}

// Each saver (a fork of this test) saves its own profile round after round
// and reads it back after each round. On a file system in memory, writes are
// quick enough for two of them to fall in the same millisecond, where a reader
// could take a changed file for the one it read before; there the test makes
// many rounds.
TEST_F(CRegistryFile, TwoProcessesSavingDifferentProfilesLoseNeitherProfilesValues)
{
    const bool inMemory = QFileInfo(QStringLiteral("/dev/shm")).isWritable();
    QTemporaryDir folder(inMemory ? QStringLiteral("/dev/shm/verrin-settings-XXXXXX") : config_.filePath("saves"));
    ASSERT_TRUE(folder.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.path()));
    Subprocess savers[2];
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(savers[i].Fork([&, i] { return SaveRounds(i == 0 ? "A" : "B", inMemory ? 40 : 6); }));
    for (Subprocess &saver : savers)
        EXPECT_EQ(DescribeStatus(saver.Wait(120000)), "exit status 0") << "1: a profile lost values";
    EXPECT_EQ(StoredKey(kVerrin + "A").size() + StoredKey(kVerrin + "B").size(), 2 * 57u);
}

} // namespace
