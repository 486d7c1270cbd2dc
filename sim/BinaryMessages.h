#pragma once
// The binary test messages the terminal sends in binary mode, and the
// module's answers to them.
//
// The three HCI commands (UART framing, packet type 01) get HCI event packets
// (type 04): reset and read address a Command Complete (0E) with status 0,
// the inquiry a Command Status (0F) and then an Inquiry Complete (01) with no
// device found. The four vendor messages get a four-byte acknowledgement: the
// message's first byte plus one, its second and third bytes, and a status
// byte 00.

#include <cstdint>
#include <string>
#include <vector>

struct BinaryMessage {
    const char *name;
    std::vector<uint8_t> bytes;
};

const std::vector<BinaryMessage> &KnownBinaryMessages();

// The answer to KnownBinaryMessages()[index]; the device address in the read
// address answer ends in the module's node address.
std::string BinaryReply(size_t index, uint16_t nodeAddress);
