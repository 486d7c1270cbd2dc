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

namespace {
using Clock = std::chrono::steady_clock;
using std::filesystem::exists;
const int kStart = 5000, kReply = 3000;

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

// The module's port is published at a fixed path, over a link that a run
// that died left behind. Replies come at the line rate, the log holds what
// came, and SIGTERM ends the program and takes the link away. (Its answers are the fake-time tests';
// opening the port again, exclusively or not, is every cli test's.)
TEST(SimProgram, PublishesItsPortAnswersAtTheLineRateAndLogsWhatItGot)
{
    TempDir runtime("verrin-sim");
    const std::string dir = runtime.path(), link = dir + "/verrin-sim/port", log = dir + "/log";
    const std::string command = std::string("at+ab info\r\n\x01\xFF", 14);
    std::filesystem::create_directory(dir + "/verrin-sim");
    std::filesystem::create_symlink("/dev/pts/no-such-pty", link);
    Subprocess sim;
    ASSERT_TRUE(StartSim(sim, dir, {"--log", log, "--line-rate", "9600"}, link));
    {
        PortClient port(link);
        const auto start = Clock::now();
        port.Write(command);
        const std::string info = port.ReadUntil("OK\r\n", kReply);
        EXPECT_NE(info.find("Publish Addr C001"), std::string::npos) << info;
        // 960 bytes a second at 9600 baud: the reply cannot arrive sooner.
        EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(info.size() * 1000 / 960)) << info.size() << " bytes";
    }
    EXPECT_EQ(EndOnSigterm(sim), "exit status 0");
    EXPECT_FALSE(std::filesystem::is_symlink(link)) << "the link goes with the program";
    EXPECT_EQ(ReadFile(log), command);
}

TEST(SimProgram, TakesDownloadsFromSbAndBootsThem)
{
    ASSERT_EQ(::access("/usr/bin/sb", X_OK), 0) << "lrzsz's sb is needed (Debian package lrzsz)";
    const std::pair<size_t, const char *> cases[] = {
        {1025, "exec /usr/bin/sb -q"},    // 128-byte blocks, the last one padded
        {300000, "exec /usr/bin/sb -qk"}, // 1024-byte blocks, block numbers wrapping
    };
    for (const auto &[size, sbCommand] : cases) {
        TempDir files("verrin-sim");
        const std::string dir = files.path(), port = dir + "/verrin-sim/port", saved = dir + "/image.bin",
                          file = dir + "/fw.bin";
        Subprocess sim;
        ASSERT_TRUE(StartSim(sim, dir, {"--save-image", saved}, port));
        std::string image; // no two blocks alike
        for (size_t i = 0; i < size; ++i)
            image += static_cast<char>(i * 7 + i / 251);
        std::ofstream(file, std::ios::binary) << image;

        PortClient client(port);
        client.Write("1");
        Subprocess sb;
        ASSERT_TRUE(sb.Start({{"/bin/sh", "-c", sbCommand + std::string(" \"$0\" <\"$1\" >\"$1\""), file, port}}));
        EXPECT_EQ(DescribeStatus(sb.Wait(60000)), "exit status 0") << size << " bytes";
        // sb has had its last answer, so the image is on disk.
        EXPECT_TRUE(ReadFile(saved) == image) << size << " bytes saved";
        client.Write("2");
        const std::string banner = client.ReadUntil("Version", kReply);
        char expected[80];
        std::snprintf(expected, sizeof expected, "\r\nBoot: image %zu bytes, CRC32 %08lX\r\n", size,
                      crc32(0, reinterpret_cast<const Bytef *>(image.data()), static_cast<uInt>(image.size())));
        EXPECT_NE(banner.find(expected), std::string::npos) << banner;
    }
}
