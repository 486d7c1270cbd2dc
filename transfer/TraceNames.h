#pragma once
// How the trace names a control byte: "<ACK>\r\n", "<C>\r\n", "<1B>\r\n".
// The first bytes of blocks ("<SOH>", "<STX>") end no line: the block's data
// count follows them on the same line.

#include <cstdint>
#include <string>

std::string ControlByteName(uint8_t byte);
