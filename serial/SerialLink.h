#pragma once
// The operations every part of Verrin uses on the open port. The Qt adapter
// (CSerialPort) implements them over a real device; tests use a scripted fake.
// Failures are reported to the user by the implementation itself, the moment
// they happen; callers only see the result values below.

#include <cstdint>
#include <string_view>

class SerialLink {
public:
    virtual ~SerialLink() = default;

    // Bytes that can be read right now without waiting.
    virtual int32_t BytesWaiting() = 0;
    // One waiting byte as a signed 8-bit value widened (0x80..0xFF give
    // -128..-1), or -1 when nothing waits. Not counted in the Rx count.
    virtual int32_t ReadByte() = 0;
    // Up to max waiting bytes; counts them in the Rx count and hands them to a
    // running capture. Returns the number read (0 on failure).
    virtual uint32_t ReadBlock(uint8_t *buffer, int32_t max) = 0;
    // Writes all count bytes before returning; -1 on failure.
    virtual int32_t WriteBytes(const uint8_t *buffer, uint32_t count) = 0;
    // RTS follows the receive buffer (on) or is held asserted (off).
    virtual void SetRtsHandshake(bool on) = 0;
    // False once the device has vanished, until the port is opened again.
    virtual bool IsOpen() const { return true; }

    // Writes the characters of text; 0 and nothing written for an empty text.
    int32_t SendString(std::string_view text)
    {
        if (text.empty())
            return 0;
        return WriteBytes(reinterpret_cast<const uint8_t *>(text.data()),
                          static_cast<uint32_t>(text.size()));
    }
};
