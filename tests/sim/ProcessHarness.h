#pragma once
// Running the sim programs and lrzsz from a test: temporary folders, child
// processes with a bounded wait, and a raw client end of a published port.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using Millis = std::chrono::milliseconds;

// A folder made with mkdtemp, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::string &Path() const { return path_; }

private:
    std::string path_;
};

class Child {
public:
    // Starts argv with extra "NAME=value" environment entries. stdio >= 0
    // becomes the child's stdin and stdout; otherwise stdout is captured for
    // ReadLine and stdin is /dev/null.
    Child(const std::vector<std::string> &argv, const std::vector<std::string> &env, int stdio = -1);
    ~Child(); // kills a child that is still running

    // One line of the child's captured stdout, without its LF; empty on time-out.
    std::string ReadLine(Millis timeout);
    // Exit code, or nothing when the child is still running after timeout.
    std::optional<int> Wait(Millis timeout);
    // SIGTERM, then Wait; the exit code (128 + signal when killed by one).
    std::optional<int> Stop(Millis timeout = Millis(5000));

private:
    int pid_ = -1;
    int out_ = -1;
    std::string buffered_;
    std::optional<int> status_;
};

// The client side of a published port: opened raw and non-blocking.
class PortClient {
public:
    explicit PortClient(const std::string &path);
    ~PortClient();
    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }

    void Write(const std::string &bytes);
    // Reads until done(everything read so far) or timeout.
    std::string ReadUntil(const std::function<bool(const std::string &)> &done, Millis timeout);
    // Reads until nothing has come for quiet.
    std::string ReadQuiet(Millis quiet);

private:
    int fd_ = -1;
};
