#pragma once
// Running the sim programs and lrzsz from a test: child processes with a
// bounded wait, and a raw client end of a published port.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

using Millis = std::chrono::milliseconds;

class Child {
public:
    // Starts argv with extra "NAME=value" environment entries, stdin
    // /dev/null and stdout captured for ReadLine.
    Child(const std::vector<std::string> &argv, const std::vector<std::string> &env);
    ~Child(); // kills a child that is still running

    // One line of the child's captured stdout, without its LF; empty on time-out.
    std::string ReadLine(Millis timeout);
    // Sends signal (when not 0), then waits for the exit code (128 + signal
    // when killed by one); nothing when the child still runs after timeout.
    std::optional<int> Wait(Millis timeout, int signal = 0);

private:
    int pid_ = -1, out_ = -1;
    std::string buffered_;
    std::optional<int> status_;
};

// The client side of a published port: opened raw and non-blocking.
class PortClient {
public:
    explicit PortClient(const std::string &path);
    ~PortClient() { ::close(fd_); }
    int Fd() const { return fd_; }
    // A few bytes at once; true when the port took them all.
    bool Write(const std::string &bytes) { return ::write(fd_, bytes.data(), bytes.size()) == ssize_t(bytes.size()); }
    // Reads until done(everything read so far) or timeout.
    std::string ReadUntil(const std::function<bool(const std::string &)> &done, Millis timeout);

private:
    int fd_ = -1;
};
