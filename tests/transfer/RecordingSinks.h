#pragma once
// The loader's and the debug screen's side of a transfer: the status texts,
// whether OK ran, and the trace.

#include "transfer/TraceNames.h"
#include "transfer/YmodemSender.h"

struct Sinks : TransferProgress, TraceSink {
    std::string status, image, trace;
    bool ok = false;
    void ShowStatusText(const std::string &text) override { status = text; }
    void ShowImageName(const std::string &name) override { image = name; }
    void ShowFileSize(uint32_t) override {}
    void ShowBytesSent(uint32_t) override {}
    void ShowPacket(uint32_t) override {}
    void ShowFinishedView() override {}
    void RunOkAction() override { ok = true; }
    void UpdateControlStates() override {}
    void TraceText(std::string_view text) override { trace.append(text); }
    void TraceControlByte(uint8_t byte) override { trace += ControlByteName(byte); }
};
