#pragma once
// What the firmware download reports while it runs. The loader window shows
// the progress; the debug screen keeps the trace. Both are told, never asked.

#include <cstdint>
#include <string>
#include <string_view>

class TransferProgress {
public:
    virtual ~TransferProgress() = default;
    virtual void ShowStatusText(const std::string &text) = 0;
    virtual void ShowImageName(const std::string &name) = 0;
    // Also makes the progress range 0 to size.
    virtual void ShowFileSize(uint32_t size) = 0;
    // Also moves the progress position to bytes.
    virtual void ShowBytesSent(uint32_t bytes) = 0;
    virtual void ShowPacket(uint32_t blockNumber) = 0;
    virtual void ShowFinishedView() = 0;
    // What the loader's "OK" does: settings back to the main window, saved,
    // loader closed.
    virtual void RunOkAction() = 0;
    // The main window re-evaluates which of its controls work.
    virtual void UpdateControlStates() = 0;
};

class TraceSink {
public:
    virtual ~TraceSink() = default;
    virtual void TraceText(std::string_view text) = 0;
    // Appends the byte's name (see ControlByteName).
    virtual void TraceControlByte(uint8_t byte) = 0;
};
