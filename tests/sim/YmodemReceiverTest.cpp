// The firmware receiver, driven by a sender written here from the block
// format: header, data blocks of 128 and 1024 bytes, EOT, end of batch.
#include "sim/VirtualModule.h"
#include "sim/YmodemReceiver.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>

namespace {
const SimTime t0 = SimTime() + seconds(1000);
const std::string ACK = "\x06", NAK = "\x15", CAN2 = "\x18\x18", EOT = "\x04";

uint16_t Crc16(const std::string &s)
{
    uint16_t crc = 0;
    for (unsigned char c : s) {
        crc ^= static_cast<uint16_t>(c << 8);
        for (int i = 0; i < 8; ++i)
            crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

std::string Block(int number, std::string data, size_t size, char padding = '\0')
{
    data.resize(size, padding);
    const uint16_t crc = Crc16(data);
    std::string b(1, size == 128 ? '\x01' : '\x02');
    b += static_cast<char>(number & 0xFF);
    b += static_cast<char>(~number & 0xFF);
    return b + data + static_cast<char>(crc >> 8) + static_cast<char>(crc & 0xFF);
}

std::string Header(const std::string &name, size_t size)
{
    return Block(0, name + '\0' + std::to_string(size) + " 0" + '\0', 128);
}

std::string Image(size_t size)
{
    std::string image;
    for (size_t i = 0; i < size; ++i)
        image += static_cast<char>((i * 7 + i / 251) & 0xFF);
    return image;
}

struct Receiver {
    explicit Receiver(TransferFaults faults = {}) : rx(faults) { rx.Start(now); }
    YmodemReceiver rx;
    SimTime now = t0;

    std::string Send(const std::string &bytes)
    {
        for (char c : bytes)
            rx.Feed(static_cast<uint8_t>(c), now);
        return rx.TakeOutput();
    }
    std::string After(milliseconds span)
    {
        now += span;
        rx.Tick(now);
        return rx.TakeOutput();
    }
};
} // namespace

TEST(YmodemReceiver, TakesADownloadAsTheTerminalSendsItAndBootsIt)
{
    // 1,025 bytes: a full STX block, then an SOH block with one byte; the
    // end-of-batch block follows the ACK of EOT at once, and "2" boots.
    VirtualModule module(0xC001, MeshModel::Demo(), TransferFaults{});
    const std::string image = Image(1025);
    auto send = [&](const std::string &bytes) {
        module.Receive(bytes, t0);
        return module.TakeOutput();
    };
    EXPECT_EQ(send("1"), "C");
    EXPECT_EQ(send(Header("fwimg.bin", image.size())), ACK + "C");
    EXPECT_EQ(send(Block(1, image.substr(0, 1024), 1024)), ACK);
    EXPECT_EQ(send(Block(2, image.substr(1024), 128)), ACK);
    EXPECT_EQ(send(EOT), ACK);
    EXPECT_EQ(send(Block(0, "", 128)), ACK);
    char banner[80];
    std::snprintf(banner, sizeof banner, "Boot: image 1025 bytes, CRC32 %08lX\r\n",
                  crc32(0, reinterpret_cast<const Bytef *>(image.data()), static_cast<uInt>(image.size())));
    EXPECT_EQ(send("2").substr(0, 2 + std::strlen(banner)), std::string("\r\n") + banner);
    const std::optional<ReceivedImage> saved = module.TakeImage();
    ASSERT_TRUE(saved);
    EXPECT_EQ(std::string(saved->bytes.begin(), saved->bytes.end()), image);
}

TEST(YmodemReceiver, ImageIsTheHeaderSizeWhateverThePadding)
{
    // A 1,024-byte image fills block 1; the sender then adds a block with no
    // image bytes, padded here with 0x1A rather than zeros.
    Receiver r;
    const std::string image = Image(1024);
    r.Send(Header("a.bin", 1024));
    EXPECT_EQ(r.Send(Block(1, image, 1024)), ACK);
    EXPECT_EQ(r.Send(Block(2, "", 128, '\x1A')), ACK);
    EXPECT_EQ(r.Send(EOT), ACK);
    const std::optional<ReceivedImage> got = r.rx.TakeImage();
    ASSERT_TRUE(got);
    EXPECT_EQ(got->name, "a.bin");
    EXPECT_EQ(std::string(got->bytes.begin(), got->bytes.end()), image);
}

TEST(YmodemReceiver, DamagedOrMisnumberedBlocksAreRefused)
{
    const std::string image = Image(300);
    std::string badCrc = Block(2, image.substr(128, 128), 128);
    badCrc[10] ^= 0x40;
    std::string badComplement = Block(2, image.substr(128, 128), 128);
    badComplement[2] = 0;
    const struct {
        const char *name;
        std::string block;
        std::string reply;
    } cases[] = {
        {"bad CRC", badCrc, NAK},
        {"bad complement", badComplement, NAK},
        {"block number from the future", Block(3, image.substr(256), 128), NAK},
        {"repeat of the last block", Block(1, image.substr(0, 128), 128), ACK},
    };
    for (const auto &c : cases) {
        Receiver r;
        r.Send(Header("x", image.size()));
        r.Send(Block(1, image.substr(0, 128), 128));
        EXPECT_EQ(r.Send(c.block), c.reply) << c.name;
        // The transfer goes on from where it was, data not taken twice.
        EXPECT_EQ(r.Send(Block(2, image.substr(128, 128), 128)), ACK) << c.name;
        EXPECT_EQ(r.Send(Block(3, image.substr(256), 128)), ACK) << c.name;
        EXPECT_EQ(r.Send(EOT), ACK) << c.name;
        const std::optional<ReceivedImage> got = r.rx.TakeImage();
        ASSERT_TRUE(got) << c.name;
        EXPECT_EQ(std::string(got->bytes.begin(), got->bytes.end()), image) << c.name;
    }
}

TEST(YmodemReceiver, FaultOptionsAnswerTheNumberedItem)
{
    const std::string image = Image(200);
    const std::string header = Header("f", image.size()), b1 = Block(1, image, 128),
                      b2 = Block(2, image.substr(128), 128), end = Block(0, "", 128);
    auto faults = [](long TransferFaults::*field, long at, int nakCount = 1) {
        TransferFaults f;
        f.*field = at;
        f.nakCount = nakCount;
        return f;
    };
    const struct {
        const char *name;
        TransferFaults faults;
        std::vector<std::pair<std::string, std::string>> exchange; // sent, expected answer
        bool activeAfter;
    } cases[] = {
        {"NAK block 1 twice", faults(&TransferFaults::nakAt, 1, 2),
         {{header, ACK + "C"}, {b1, NAK}, {b1, NAK}, {b1, ACK}, {b2, ACK}}, true},
        {"NAK the header", faults(&TransferFaults::nakAt, 0), {{header, NAK}, {header, ACK + "C"}}, true},
        {"NAK EOT", faults(&TransferFaults::nakAt, 3), {{header, ACK + "C"}, {b1, ACK}, {b2, ACK}, {EOT, NAK},
                                                        {EOT, ACK}}, true},
        {"cancel at block 2", faults(&TransferFaults::cancelAt, 2), {{header, ACK + "C"}, {b1, ACK}, {b2, CAN2}},
         false},
        {"stray byte for block 1", faults(&TransferFaults::strayAt, 1),
         {{header, ACK + "C"}, {b1, "X"}, {b1, ACK}, {b2, ACK}}, true},
        {"silent from the end of batch", faults(&TransferFaults::silentAt, 4),
         {{header, ACK + "C"}, {b1, ACK}, {b2, ACK}, {EOT, ACK}, {end, ""}}, true},
    };
    for (const auto &c : cases) {
        Receiver r(c.faults);
        r.rx.TakeOutput();
        int step = 0;
        for (const auto &[sent, answer] : c.exchange)
            EXPECT_EQ(r.Send(sent), answer) << c.name << ", step " << step++;
        EXPECT_EQ(r.rx.Active(), c.activeAfter) << c.name;
    }
    // Silence means silence: no prompts either.
    Receiver silent(faults(&TransferFaults::silentAt, 1));
    silent.Send(header);
    silent.Send(b1);
    EXPECT_EQ(silent.After(seconds(30)), "");
}

TEST(YmodemReceiver, PromptsWhileTheSenderIsQuiet)
{
    Receiver r;
    EXPECT_EQ(r.rx.TakeOutput(), "C");
    EXPECT_EQ(r.After(milliseconds(900)), "");
    EXPECT_EQ(r.After(milliseconds(100)), "C") << "C again after a second";
    // A sender that waits for "C" before the end of batch gets it after a
    // second of silence following the ACK of EOT.
    r.Send(Header("x", 10));
    r.Send(Block(1, Image(10), 128));
    EXPECT_EQ(r.Send(EOT), ACK);
    EXPECT_EQ(r.After(milliseconds(500)), "");
    EXPECT_EQ(r.After(milliseconds(500)), "C");
    EXPECT_EQ(r.Send(Block(0, "", 128)), ACK);
    EXPECT_FALSE(r.rx.Active());
    // Mid-file, a silent sender gets a NAK after ten seconds.
    Receiver mid;
    mid.Send(Header("x", 300));
    mid.Send(Block(1, Image(128), 128));
    EXPECT_EQ(mid.After(seconds(9)), "");
    EXPECT_EQ(mid.After(seconds(1)), NAK);
}
