#pragma once
// CRC-16/XMODEM: polynomial 0x1021, initial value 0, most significant bit
// first, no reflection, no final XOR. Over "123456789" it gives 0x31C3.

#include <cstddef>
#include <cstdint>

uint16_t Crc16Xmodem(const uint8_t *data, size_t count);
