#pragma once
// The bytes and blocks of the firmware download. Every block is laid out as
//   first byte (SOH for 128 payload bytes, STX for 1024), block number modulo
//   256, its ones' complement, the payload, the CRC-16 of the payload (high
//   byte first).
// The payload is the block's data cut to the payload size and padded with 0x00.

#include <cstdint>
#include <string>
#include <vector>

namespace WireByte {
constexpr uint8_t Soh = 0x01;
constexpr uint8_t Stx = 0x02;
constexpr uint8_t Eot = 0x04;
constexpr uint8_t Ack = 0x06;
constexpr uint8_t Nak = 0x15;
constexpr uint8_t Can = 0x18;
constexpr uint8_t CrcRequest = 'C';
constexpr uint8_t TransferStart = '1'; // tells the module a download begins
constexpr uint8_t TransferDone = '2';  // tells the module it succeeded
} // namespace WireByte

constexpr uint16_t kSmallPayload = 128;
constexpr uint16_t kLargePayload = 1024;
// Bytes around the payload: first byte, number, complement, two CRC bytes.
constexpr uint32_t kBlockOverhead = 5;
constexpr uint32_t kPayloadOffset = 3;

// The whole block, kBlockOverhead + payloadSize bytes. Only the first
// min(length, payloadSize) bytes of data are read; data may be null when
// length is 0.
std::vector<uint8_t> BuildBlock(uint16_t payloadSize, uint32_t blockNumber, const uint8_t *data,
                                uint32_t length);

// The header block's data: the file name, 0x00, the image size in decimal,
// a blank, "0", 0x00.
std::vector<uint8_t> HeaderData(const std::string &fileName, uint32_t imageSize);

// Whether HeaderData fits in one 128-byte payload.
bool HeaderFits(const std::string &fileName, uint32_t imageSize);

// Payload size of the next data block for the image bytes still to send:
// 128 with small packets or when at most 128 remain, else 1024.
uint16_t DataPayloadSize(uint32_t remaining, bool smallPackets);
