#include "transfer/YmodemBlock.h"

#include "transfer/Crc16.h"

#include <algorithm>

std::vector<uint8_t> BuildBlock(uint16_t payloadSize, uint32_t blockNumber, const uint8_t *data,
                                uint32_t length)
{
    std::vector<uint8_t> block(kBlockOverhead + payloadSize, 0x00);
    const uint8_t number = static_cast<uint8_t>(blockNumber);
    block[0] = payloadSize == kSmallPayload ? WireByte::Soh : WireByte::Stx;
    block[1] = number;
    block[2] = static_cast<uint8_t>(~number);
    const uint32_t carried = std::min<uint32_t>(length, payloadSize);
    if (carried > 0)
        std::copy(data, data + carried, block.begin() + kPayloadOffset);
    const uint16_t crc = Crc16Xmodem(block.data() + kPayloadOffset, payloadSize);
    block[kPayloadOffset + payloadSize] = static_cast<uint8_t>(crc >> 8);
    block[kPayloadOffset + payloadSize + 1] = static_cast<uint8_t>(crc & 0xFF);
    return block;
}

std::vector<uint8_t> HeaderData(const std::string &fileName, uint32_t imageSize)
{
    const std::string sizeField = std::to_string(imageSize) + " 0";
    std::vector<uint8_t> data(fileName.begin(), fileName.end());
    data.push_back(0x00);
    data.insert(data.end(), sizeField.begin(), sizeField.end());
    data.push_back(0x00);
    return data;
}

bool HeaderFits(const std::string &fileName, uint32_t imageSize)
{
    return fileName.size() + std::to_string(imageSize).size() + 4 <= kSmallPayload;
}

uint16_t DataPayloadSize(uint32_t remaining, bool smallPackets)
{
    return (smallPackets || remaining <= kSmallPayload) ? kSmallPayload : kLargePayload;
}
