#pragma once
// A SerialLink over a raw file descriptor (a pty master), for the
// benchmarks that talk to a real receiver. Reads never wait; writes wait
// for room, up to a few seconds, and fail after that.
//
// rb throws away input that reaches it in the moment after it has written
// something: on purpose after a "C", and after ACK and NAK as well. On a pty,
// where the sender answers within microseconds, the start of the next block
// gets lost; a serial line's latency never allows that. The delays stand in
// for it: the first write after a byte read waits answerDelay, after a "C"
// requestAnswerDelay (a lost header is not retried, so that one is generous).

#include "serial/SerialLink.h"

#include <chrono>

class FdSerialLink : public SerialLink {
public:
    FdSerialLink(int fd, std::chrono::microseconds answerDelay, std::chrono::microseconds requestAnswerDelay);

    int32_t BytesWaiting() override;
    int32_t ReadByte() override;
    uint32_t ReadBlock(uint8_t *buffer, int32_t max) override;
    int32_t WriteBytes(const uint8_t *buffer, uint32_t count) override;
    // A pty has no RTS line.
    void SetRtsHandshake(bool) override {}

private:
    int fd_;
    std::chrono::microseconds answerDelay_;
    std::chrono::microseconds requestAnswerDelay_;
    std::chrono::steady_clock::time_point holdUntil_{};
};
