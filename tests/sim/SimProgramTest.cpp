// verrin-sim as a program: its published path, replies and line rate on the
// pty, and downloads from lrzsz's sb.
#include "support/Pty.h"
#include "support/Subprocess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/ioctl.h>

namespace {
using Clock = std::chrono::steady_clock;
using std::filesystem::exists;
const int kStart = 5000, kReply = 3000;

// Whether what has come holds what, at from or after.
auto Has(const std::string &what, size_t from = 0)
{
    return [what, from](const std::string &got) { return got.find(what, from) != std::string::npos; };
}

// verrin-sim with its runtime folder in dir; true once its port is up at link.
bool StartSim(Subprocess &sim, const std::string &dir, std::vector<std::string> args, const std::string &link)
{
    args.insert(args.begin(), VERRIN_SIM_PROGRAM);
    return sim.Start({args, {{"XDG_RUNTIME_DIR", dir}}}) && WaitUntil([&] { return exists(link); }, kStart);
}

std::string EndOnSigterm(Subprocess &p)
{
    p.Signal(SIGTERM);
    return DescribeStatus(p.Wait(kStart));
}
} // namespace

TEST(SimProgram, PublishesItsPortAnswersAtTheLineRateAndLogsWhatItGot)
{
    TempDir runtime("verrin-sim");
    const std::string dir = runtime.path(), link = dir + "/verrin-sim/port", log = dir + "/log";
    const std::string bad = std::string("at+ab frobnicate\r\n\x01\x02", 20);
    std::filesystem::create_directory(dir + "/verrin-sim");
    std::filesystem::create_symlink("/dev/pts/no-such-pty", link); // left by a run that died
    Subprocess sim;
    ASSERT_TRUE(StartSim(sim, dir, {"--log", log, "--line-rate", "9600"}, link));
    {
        PortClient port(link);
        port.Write(bad);
        const std::string error = port.ReadUntil(Has("\r\n", 2), kReply);
        EXPECT_TRUE(error.rfind("\r\nERROR", 0) == 0 && error.find("\r\n", 2) == error.size() - 2)
            << "one error line: " << error;

        const auto start = Clock::now(); // the line has been idle since the error line
        port.Write("at+ab info\r\n");
        const std::string info = port.ReadUntil(Has("OK\r\n"), kReply);
        EXPECT_TRUE(Has("Version ")(info) && Has("Publish Addr C001")(info)) << info;
        // 960 bytes a second at 9600 baud: the reply cannot arrive sooner.
        EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(info.size() * 1000 / 960)) << info.size() << " bytes";
        ASSERT_EQ(::ioctl(port.Fd(), TIOCEXCL), 0); // as serial libraries do; this client then goes away
    }
    // Closing and opening the port again is no hang-up for the module, and
    // the exclusive mode of the client before is gone.
    PortClient again(link);
    again.Write("at\r");
    EXPECT_EQ(again.ReadUntil(Has("OK\r\n"), kReply), "\r\nOK\r\n");
    int exclusive = -1;
    EXPECT_TRUE(::ioctl(again.Fd(), TIOCGEXCL, &exclusive) == 0 && exclusive == 0);
    {
        // A second module beside it publishes at the next free name.
        Subprocess second;
        EXPECT_TRUE(StartSim(second, dir, {}, link + "2"));
        EXPECT_EQ(EndOnSigterm(second), "exit status 0");
    }

    EXPECT_EQ(EndOnSigterm(sim), "exit status 0");
    EXPECT_FALSE(std::filesystem::is_symlink(link)) << "the link goes with the program";
    EXPECT_EQ(ReadFile(log), bad + "at+ab info\r\nat\r");
}

TEST(SimProgram, TakesDownloadsFromSbAndBootsThem)
{
    ASSERT_EQ(::access("/usr/bin/sb", X_OK), 0) << "lrzsz's sb is needed (Debian package lrzsz)";
    const struct {
        size_t size;
        const char *sb;
        std::vector<std::string> sim;
    } cases[] = {
        {1025, "exec /usr/bin/sb -q", {}},    // 128-byte blocks, the last one padded
        {300000, "exec /usr/bin/sb -qk", {}}, // 1024-byte blocks, block numbers wrapping
        {5000, "exec /usr/bin/sb -qk", {"--nak-block", "2", "--nak-count", "3"}},
    };
    for (const auto &c : cases) {
        TempDir files("verrin-sim");
        const std::string dir = files.path(), port = dir + "/verrin-sim/port", saved = dir + "/image.bin",
                          file = dir + "/fw.bin";
        std::vector<std::string> args = c.sim;
        args.insert(args.begin(), {"--save-image", saved});
        Subprocess sim;
        ASSERT_TRUE(StartSim(sim, dir, args, port));
        std::string image; // no two blocks alike
        for (size_t i = 0; i < c.size; ++i)
            image += static_cast<char>(i * 7 + i / 251);
        std::ofstream(file, std::ios::binary) << image;

        PortClient client(port);
        client.Write("1");
        Subprocess sb;
        ASSERT_TRUE(sb.Start({{"/bin/sh", "-c", c.sb + std::string(" \"$0\" <\"$1\" >\"$1\""), file, port}}));
        EXPECT_EQ(DescribeStatus(sb.Wait(60000)), "exit status 0") << c.size << " bytes";
        // sb has had its last answer, so the image is on disk.
        EXPECT_TRUE(ReadFile(saved) == image) << c.size << " bytes saved";
        client.Write("2");
        const std::string banner = client.ReadUntil(Has("Version"), kReply);
        char expected[80];
        std::snprintf(expected, sizeof expected, "\r\nBoot: image %zu bytes, CRC32 %08lX\r\n", c.size,
                      crc32(0, reinterpret_cast<const Bytef *>(image.data()), static_cast<uInt>(image.size())));
        EXPECT_TRUE(Has(expected)(banner)) << banner;
    }
}
