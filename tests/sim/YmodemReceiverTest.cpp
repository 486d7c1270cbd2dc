// The firmware receiver, driven by a sender written here from the block
// format: header, data blocks of 128 and 1024 bytes, EOT, end of batch; bad
// blocks, and a sender that keeps it waiting. The faults the options inject
// are the cli tests', through the real programs.
#include "sim/Checksums.h"
#include "sim/YmodemReceiver.h"

#include <gtest/gtest.h>

namespace {
const std::string ACK = "\x06", NAK = "\x15", EOT = "\x04";

std::string Block(int number, std::string data, size_t size = 128, char padding = '\0')
{
    data.resize(size, padding);
    const uint16_t crc = Crc16XmodemBitwise(reinterpret_cast<const uint8_t *>(data.data()), data.size());
    return std::string{size == 128 ? '\x01' : '\x02', char(number), char(~number)} + data + char(crc >> 8) +
           char(crc & 0xFF);
}

std::string Header(const std::string &name, size_t size)
{
    return Block(0, name + '\0' + std::to_string(size) + " 0" + '\0');
}

// Bytes sent, then time passed, and the receiver's answer to both.
struct Step {
    std::string sent, answer;
    milliseconds after{0};
};
} // namespace

TEST(YmodemReceiver, AnswersEveryStepAndKeepsTheImageOfTheHeaderSize)
{
    std::string big;
    for (size_t i = 0; i < 1024; ++i)
        big += static_cast<char>(i * 7 + i / 251);
    const std::string image = big.substr(0, 300);
    const std::string b1 = Block(1, image.substr(0, 128)), b2 = Block(2, image.substr(128, 128));
    std::string badCrc = b2, badComplement = b2;
    badCrc[10] ^= 0x40;
    badComplement[2] = 0;
    const Step header{Header("fw.bin", 300), ACK + "C"}, one{b1, ACK}, two{b2, ACK},
        three{Block(3, image.substr(256)), ACK}, eot{EOT, ACK}, batchEnd{Block(0, ""), ACK};
    const struct {
        const char *name;
        std::vector<Step> steps;
        std::string image; // taken at the end; empty: none
    } cases[] = {
        {"end of batch after a C",
         {header, one, two, three, eot, {"", "", milliseconds(140)}, {"", "C", milliseconds(10)}, batchEnd},
         image},
        {"1024-byte block, padding past the size",
         {{Header("a.bin", 1024), ACK + "C"}, {Block(1, big, 1024), ACK}, {Block(2, "", 128, '\x1A'), ACK}, eot},
         big},
        {"bad CRC", {header, one, {badCrc, NAK}, two, three, eot}, image},
        {"bad complement", {header, one, {badComplement, NAK}, two, three, eot}, image},
        {"block from the future", {header, one, {three.sent, NAK}, two, three, eot}, image},
        {"repeat of the last block", {header, one, one, two, three, eot}, image},
        {"a C each second before the header", {{"", "", milliseconds(900)}, {"", "C", milliseconds(100)}}, ""},
        {"NAK after ten silent seconds", {header, one, {"", "", seconds(9)}, {"", NAK, seconds(1)}}, ""},
    };
    for (const auto &c : cases) {
        YmodemReceiver rx(TransferFaults{});
        SimTime now = SimTime() + seconds(1000);
        rx.Start(now);
        EXPECT_EQ(rx.TakeOutput(), "C") << c.name;
        for (size_t i = 0; i < c.steps.size(); ++i) {
            for (char b : c.steps[i].sent)
                rx.Feed(static_cast<uint8_t>(b), now);
            rx.Tick(now += c.steps[i].after);
            EXPECT_EQ(rx.TakeOutput(), c.steps[i].answer) << c.name << ", step " << i;
        }
        const std::optional<ReceivedImage> got = rx.TakeImage();
        EXPECT_EQ(got ? std::string(got->bytes.begin(), got->bytes.end()) : "", c.image) << c.name;
    }
}
