#include "transfer/TraceNames.h"

#include "transfer/YmodemBlock.h"

#include <cstdio>

std::string ControlByteName(uint8_t byte)
{
    switch (byte) {
    case WireByte::Eot: return "<EOT>\r\n";
    case WireByte::Ack: return "<ACK>\r\n";
    case WireByte::Nak: return "<NAK>\r\n";
    case WireByte::Can: return "<CAN>\r\n";
    case WireByte::Soh: return "<SOH>";
    case WireByte::Stx: return "<STX>";
    default: break;
    }
    char text[16];
    if (byte >= 0x20 && byte <= 0x7E)
        std::snprintf(text, sizeof text, "<%c>\r\n", static_cast<char>(byte));
    else
        std::snprintf(text, sizeof text, "<%02X>\r\n", static_cast<unsigned>(byte));
    return text;
}
