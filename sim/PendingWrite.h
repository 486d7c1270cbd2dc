#pragma once
// Bytes for a non-blocking descriptor that may not take them all at once:
// what the descriptor refuses waits here for the next POLLOUT.

#include <string>

class PendingWrite {
public:
    void Append(const std::string &bytes) { pending_ += bytes; }
    bool Empty() const { return pending_.empty(); }
    size_t Size() const { return pending_.size(); }
    // Writes as much as fd takes now. False on an error other than a full
    // buffer (the bytes then stay pending).
    bool Flush(int fd);

private:
    std::string pending_;
};
