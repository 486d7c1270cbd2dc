// Block layout, CRC, the header text, trace names, and the loader's rules
// that need no window.

#include "transfer/Crc16.h"
#include "transfer/ImageFile.h"
#include "transfer/LoaderRules.h"
#include "transfer/TraceNames.h"
#include "transfer/YmodemBlock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

TEST(Crc16, MatchesTheCheckValue)
{
    const std::string digits = "123456789";
    EXPECT_EQ(Crc16Xmodem(reinterpret_cast<const uint8_t *>(digits.data()), digits.size()), 0x31C3);
}

TEST(BlockLayout, PadsWithZerosAndChecksThePayloadOnly)
{
    std::vector<uint8_t> data(2000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(0xA5 ^ i);
    struct Case {
        const char *name;
        uint16_t size;
        uint32_t number;
        uint32_t length;
        uint8_t first, wireNumber, complement;
    };
    const Case cases[] = {
        {"one byte in a small block", 128, 2, 1, 0x01, 0x02, 0xFD},
        {"976 bytes in a large block", 1024, 2, 976, 0x02, 0x02, 0xFD},
        {"more data than the block holds", 1024, 1, 2000, 0x02, 0x01, 0xFE},
        {"empty small block", 128, 0, 0, 0x01, 0x00, 0xFF},
        {"block 255", 128, 255, 128, 0x01, 0xFF, 0x00},
        {"block 256 wraps to 0", 128, 256, 128, 0x01, 0x00, 0xFF},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> block = BuildBlock(c.size, c.number, data.data(), c.length);
        ASSERT_EQ(block.size(), c.size + 5u);
        EXPECT_EQ(block[0], c.first);
        EXPECT_EQ(block[1], c.wireNumber);
        EXPECT_EQ(block[2], c.complement);
        std::vector<uint8_t> payload(data.begin(), data.begin() + std::min<uint32_t>(c.length, c.size));
        payload.resize(c.size, 0x00);
        EXPECT_TRUE(std::equal(payload.begin(), payload.end(), block.begin() + 3));
        const uint16_t crc = Crc16Xmodem(payload.data(), payload.size());
        EXPECT_EQ(block[3 + c.size], crc >> 8);
        EXPECT_EQ(block[4 + c.size], crc & 0xFF);
    }
}

TEST(BlockLayout, HeaderCarriesNameSizeAndZero)
{
    const std::vector<uint8_t> header = HeaderData("fwimg.bin", 65536);
    const std::string expected("fwimg.bin\0" "65536 0\0", 18);
    EXPECT_EQ(std::string(header.begin(), header.end()), expected);

    // name + size digits + 4 must not exceed 128.
    EXPECT_TRUE(HeaderFits(std::string(119, 'n'), 65536));
    EXPECT_FALSE(HeaderFits(std::string(120, 'n'), 65536));
    EXPECT_EQ(HeaderData(std::string(119, 'n'), 65536).size(), 128u);
}

TEST(TraceNames, NamesEveryByteBelow80)
{
    const std::pair<uint8_t, const char *> cases[] = {
        {'C', "<C>\r\n"},      {' ', "< >\r\n"},      {'~', "<~>\r\n"},
        {0x04, "<EOT>\r\n"},   {0x06, "<ACK>\r\n"},   {0x15, "<NAK>\r\n"},
        {0x18, "<CAN>\r\n"},   {0x01, "<SOH>"},       {0x02, "<STX>"},
        {0x00, "<00>\r\n"},    {0x1B, "<1B>\r\n"},    {0x7F, "<7F>\r\n"},
    };
    for (const auto &[byte, name] : cases)
        EXPECT_EQ(ControlByteName(byte), name) << "byte " << int(byte);
}

TEST(LoaderRules, SplitsAtTheLastSeparator)
{
    const std::tuple<const char *, const char *, const char *> cases[] = {
        {"/home/eng/fw/fwimg.bin", "/home/eng/fw/", "fwimg.bin"},
        {"/fwimg.bin", "/", "fwimg.bin"},
        {"fwimg.bin", "", "fwimg.bin"},
        {"/home/eng/fw/", "/home/eng/fw/", ""},
    };
    for (const auto &[full, path, name] : cases) {
        const DownloadFile split = SplitDownloadPath(full);
        EXPECT_EQ(split.path, path) << full;
        EXPECT_EQ(split.name, name) << full;
        EXPECT_EQ(split.path + split.name, full);
    }
}

TEST(LoaderRules, FilterPatternsSplitAtSemicolons)
{
    EXPECT_EQ(FilterPatterns("Files (*.bin;*.wav)"), (std::vector<std::string>{"*.bin", "*.wav"}));
    EXPECT_EQ(FilterPatterns("All Files (*.*)"), (std::vector<std::string>{"*"}));
}

class ImageFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/verrin-image-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Write(const std::string &name, const std::string &content)
    {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    std::string dir_;
};

TEST_F(ImageFileTest, UnreadablePathsGiveNothing)
{
    EXPECT_TRUE(ReadImageFile(dir_ + "/missing.bin").empty());
    EXPECT_TRUE(ReadImageFile(Write("empty.bin", "")).empty());
    EXPECT_TRUE(ReadImageFile(dir_).empty());
    EXPECT_TRUE(ReadImageFile("").empty());
}

TEST_F(ImageFileTest, ReadsTheWholeFile)
{
    const std::string content("\x00\x01\xFF" "abc", 6);
    const std::vector<uint8_t> image = ReadImageFile(Write("fw.bin", content));
    EXPECT_EQ(std::string(image.begin(), image.end()), content);

    // A sparse 50 MB file reads whole and quickly.
    const std::string big = Write("big.bin", "x");
    std::filesystem::resize_file(big, 50u * 1024 * 1024);
    const std::vector<uint8_t> large = ReadImageFile(big);
    ASSERT_EQ(large.size(), 50u * 1024 * 1024);
    EXPECT_EQ(large.front(), 'x');
    EXPECT_EQ(large.back(), 0x00);
}
