#pragma once
// The two checksums of a firmware download: the block CRC the sender puts
// after every payload, and the image CRC the boot banner reports.

#include <cstddef>
#include <cstdint>

// CRC-16, polynomial 0x1021, initial value 0, MSB first, no final XOR;
// computed bit by bit, apart from the sender's table (and its name), so that
// the module checks the sender's blocks on its own terms, also inside one
// test program with the sender.
uint16_t Crc16XmodemBitwise(const uint8_t *data, size_t count);

// CRC-32, reflected polynomial 0xEDB88320, initial and final XOR 0xFFFFFFFF;
// the same values as zlib's crc32(). Pass the previous result to continue.
uint32_t Crc32Ieee(const uint8_t *data, size_t count, uint32_t previous = 0);
