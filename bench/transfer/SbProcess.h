#pragma once
// lrzsz's sb sending one file over a port: run in the file's folder with the
// port as its standard input and output (raw, at the given rate), its own
// messages in sb.log there. Killed when the object goes if it still runs.

#include <chrono>
#include <string>
#include <sys/types.h>

class SbProcess {
public:
    // largeBlocks: "sb -k", 1024-byte blocks; otherwise sb's 128-byte blocks.
    SbProcess(const std::string &folder, const std::string &fileName, const std::string &port,
              int baud, bool largeBlocks);
    ~SbProcess();
    SbProcess(const SbProcess &) = delete;
    SbProcess &operator=(const SbProcess &) = delete;

    bool ok() const { return pid_ > 0; }
    // Waits for sb to end; true when it ended in time with exit code 0.
    bool Wait(std::chrono::milliseconds limit);

private:
    pid_t pid_ = -1;
};
