// verrin-sim and verrin-line as programs: published paths, replies on the
// pty, downloads from lrzsz's sb, and the line relay.
#include "ProcessHarness.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <set>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace {
const Millis kStart(5000);
const Millis kReply(3000);

auto Has(const std::string &what)
{
    return [what](const std::string &got) { return got.find(what) != std::string::npos; };
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string RandomBytes(size_t size, unsigned seed, bool lettersOnly = false)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char &b : bytes)
        b = static_cast<char>(lettersOnly ? 'a' + random() % 26 : random() & 0xFF);
    return bytes;
}

bool IsLink(const std::string &path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// verrin-sim in a runtime folder of its own.
struct Sim {
    explicit Sim(std::vector<std::string> args = {})
    {
        args.insert(args.begin(), VERRIN_SIM_PROGRAM);
        child.emplace(args, std::vector<std::string>{"XDG_RUNTIME_DIR=" + runtime.Path()});
        path = child->ReadLine(kStart);
    }
    TempFolder runtime;
    std::optional<Child> child;
    std::string path;
};

// Sends a file with lrzsz's sb over the sim's port after the byte "1".
int SendWithSb(const Sim &sim, const std::string &file, std::vector<std::string> options)
{
    if (::access("/usr/bin/sb", X_OK) != 0) {
        ADD_FAILURE() << "lrzsz's sb is needed (Debian package lrzsz)";
        return -1;
    }
    PortClient(sim.path).Write("1");
    const int port = ::open(sim.path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    options.insert(options.begin(), "/usr/bin/sb");
    options.push_back(file);
    Child sb(options, {}, port);
    ::close(port);
    return sb.Wait(Millis(60000)).value_or(-1);
}
} // namespace

TEST(SimProgram, PublishesItsPortAnswersAndLogsWhatItGot)
{
    TempFolder runtime;
    const std::string folder = runtime.Path() + "/verrin-sim", link = folder + "/port";
    ::mkdir(folder.c_str(), 0700);
    ASSERT_EQ(::symlink("/dev/pts/no-such-pty", link.c_str()), 0); // left by a run that died
    const std::string log = runtime.Path() + "/sent.log";
    Child sim({VERRIN_SIM_PROGRAM, "--log", log}, {"XDG_RUNTIME_DIR=" + runtime.Path()});
    ASSERT_EQ(sim.ReadLine(kStart), link);

    std::string sent;
    {
        PortClient port(link);
        ASSERT_TRUE(port.IsOpen());
        sent += "at+ab info\r\n";
        port.Write("at+ab info\r\n");
        const std::string info = port.ReadUntil(Has("OK\r\n"), kReply);
        EXPECT_GT(info.find("Version "), 0u) << info;
        EXPECT_NE(info.find("Version "), std::string::npos) << info;
        EXPECT_GT(info.find("Publish Addr C001"), 0u) << info;
        EXPECT_NE(info.find("Publish Addr C001"), std::string::npos) << info;

        const std::string bad = std::string("at+ab frobnicate\r\n\x01\x02", 20);
        sent += bad;
        port.Write(bad);
        const std::string error = port.ReadQuiet(Millis(600));
        EXPECT_EQ(error.rfind("\r\nERROR", 0), 0u) << error;
        EXPECT_EQ(error.find("\r\n", 2), error.size() - 2) << "one error line: " << error;
        ASSERT_EQ(::ioctl(port.Fd(), TIOCEXCL), 0); // as serial libraries do; this client then goes away
    }
    // Closing and opening the port again is no hang-up for the module, and
    // the exclusive mode of the client before is gone.
    PortClient again(link);
    sent += "at\r";
    again.Write("at\r");
    EXPECT_EQ(again.ReadUntil(Has("OK\r\n"), kReply), "\r\nOK\r\n");
    int exclusive = -1;
    ASSERT_EQ(::ioctl(again.Fd(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);

    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_FALSE(IsLink(link)) << "the link goes with the program";
    EXPECT_EQ(ReadFile(log), sent);
}

TEST(SimProgram, LoranetReplyIsTheDemoMeshTable)
{
    Sim sim;
    PortClient port(sim.path);
    port.Write("at+ab loranet C001\r\n");
    const std::string reply = port.ReadUntil(Has("OK\r\n"), kReply);
    EXPECT_LT(reply.size(), 4000u);
    const size_t relay = reply.find("Relay  dBm  Node\r\n");
    ASSERT_NE(relay, std::string::npos) << reply;
    ASSERT_GT(relay, 0u);

    // Every row reads as "level:relay rssi node"; a relay beyond level 0 is
    // a node heard one level further in.
    std::set<std::pair<int, unsigned>> heardAt; // (level of the row, node)
    std::vector<std::tuple<int, unsigned, int, unsigned>> rows;
    std::set<unsigned> nodes;
    const char *text = reply.c_str() + relay + 18;
    int level = 0, rssi = 0, used = 0;
    unsigned from = 0, to = 0;
    while (std::sscanf(text, "%d:%x %d %x\r\n%n", &level, &from, &rssi, &to, &used) == 4 && used > 0) {
        rows.emplace_back(level, from, rssi, to);
        heardAt.insert({level, to});
        nodes.insert(from);
        nodes.insert(to);
        text += used;
        used = 0;
    }
    EXPECT_EQ(std::string(text), "OK\r\n");
    ASSERT_GE(rows.size(), 12u);
    EXPECT_EQ(std::get<1>(rows.front()), 0x0001u) << "the first row's relay is the local node";
    EXPECT_EQ(nodes.size(), 13u);
    int deepest = 0;
    for (const auto &[l, r, s, n] : rows) {
        deepest = std::max(deepest, l);
        EXPECT_LT(s, 0) << "signal level in dBm";
        if (l == 0)
            EXPECT_EQ(r, 0x0001u);
        else
            EXPECT_EQ(heardAt.count({l - 1, r}), 1u) << "relay " << std::hex << r << " at level " << l;
    }
    EXPECT_EQ(deepest, 3) << "four hop levels";

    port.Write("at+ab loranet 1234\r\n");
    const std::string other = port.ReadQuiet(Millis(500));
    EXPECT_EQ(other.find("Relay"), std::string::npos) << other;
    EXPECT_NE(other.find("1234"), std::string::npos) << other;
}

TEST(SimProgram, TakesDownloadsFromSbAndBootsThem)
{
    const struct {
        size_t size;
        std::vector<std::string> sbOptions;
    } cases[] = {{1025, {"-q"}}, {300000, {"-q", "-k"}}}; // 128- and 1024-byte blocks
    for (const auto &c : cases) {
        TempFolder files;
        const std::string saved = files.Path() + "/image.bin", file = files.Path() + "/fw.bin";
        Sim sim({"--save-image", saved});
        const std::string image = RandomBytes(c.size, static_cast<unsigned>(c.size));
        std::ofstream(file, std::ios::binary) << image;

        ASSERT_EQ(SendWithSb(sim, file, c.sbOptions), 0) << c.size << " bytes";
        PortClient port(sim.path);
        port.ReadQuiet(Millis(100));
        port.Write("2");
        const std::string banner = port.ReadUntil(Has("Version"), kReply);
        char expected[80];
        std::snprintf(expected, sizeof expected, "Boot: image %zu bytes, CRC32 %08lX\r\n", c.size,
                      crc32(0, reinterpret_cast<const Bytef *>(image.data()), static_cast<uInt>(image.size())));
        EXPECT_NE(banner.find(expected), std::string::npos) << banner;
        EXPECT_TRUE(ReadFile(saved) == image) << c.size << " bytes saved";
    }
}

TEST(SimProgram, NakFaultMakesTheSenderRepeatTheBlock)
{
    TempFolder files;
    const std::string log = files.Path() + "/log", saved = files.Path() + "/image";
    Sim faulty({"--nak-block", "2", "--nak-count", "3", "--log", log, "--save-image", saved});
    const std::string image = RandomBytes(5000, 7, true); // letters: no block marks inside the data
    const std::string file = files.Path() + "/fw.bin";
    std::ofstream(file, std::ios::binary) << image;

    ASSERT_EQ(SendWithSb(faulty, file, {"-q", "-k"}), 0);
    const std::string sent = ReadFile(log);
    auto count = [&sent](const std::string &mark) {
        size_t n = 0;
        for (size_t at = sent.find(mark); at != std::string::npos; at = sent.find(mark, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("\x02\x02\xFD"), 4u) << "block 2: refused three times, then taken";
    EXPECT_EQ(count("\x02\x01\xFE"), 1u);
    EXPECT_EQ(ReadFile(saved), image);
}

TEST(SimProgram, LineRelaysBothWaysAtTheLineRate)
{
    TempFolder runtime;
    Child line({VERRIN_LINE_PROGRAM, "--rate", "19200", "--latency", "20"}, {"XDG_RUNTIME_DIR=" + runtime.Path()});
    const std::string pathA = line.ReadLine(kStart), pathB = line.ReadLine(kStart);
    ASSERT_EQ(pathA, runtime.Path() + "/verrin-line/a");
    ASSERT_EQ(pathB, runtime.Path() + "/verrin-line/b");
    {
        PortClient a(pathA), b(pathB);
        const std::string toB = RandomBytes(2000, 1), toA = RandomBytes(2000, 2);
        const auto start = std::chrono::steady_clock::now();
        std::thread writer([&] { a.Write(toB); });
        b.Write(toA);
        auto full = [](size_t n) { return [n](const std::string &got) { return got.size() >= n; }; };
        const std::string atB = b.ReadUntil(full(toB.size()), Millis(15000));
        const std::string atA = a.ReadUntil(full(toA.size()), Millis(15000));
        writer.join();
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_TRUE(atB == toB) << "a to b: " << atB.size() << " bytes";
        EXPECT_TRUE(atA == toA) << "b to a: " << atA.size() << " bytes";
        // 2,000 bytes of 10 bits at 19,200 baud cannot take less than 1.04 s.
        EXPECT_GE(took, Millis(1040));
    }
    EXPECT_EQ(line.Stop(), 0);
    EXPECT_FALSE(IsLink(pathA));
    EXPECT_FALSE(IsLink(pathB));
}
