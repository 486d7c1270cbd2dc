#pragma once
// The loader window's progress display on a console. On a terminal one line
// is redrawn in place (at most ten times a second); otherwise, for a log, a
// line is written at every tenth of the file. Status texts get lines of their
// own: the result of a failed download goes to stderr.

#include "cli/ProgressText.h"
#include "transfer/TransferSinks.h"

#include <chrono>
#include <cstdio>

class ConsoleProgress : public TransferProgress {
public:
    // out: where progress and success go (standard output, or standard
    // error when that carries a report).
    explicit ConsoleProgress(bool terminal, std::FILE *out = stdout) : m_terminal(terminal), m_out(out) {}

    void ShowStatusText(const std::string &text) override;
    void ShowImageName(const std::string &) override {}
    void ShowFileSize(uint32_t size) override;
    void ShowBytesSent(uint32_t bytes) override;
    void ShowPacket(uint32_t blockNumber) override;
    void ShowFinishedView() override;
    // The window saves the settings here; a script's run changes no profile.
    void RunOkAction() override {}
    void UpdateControlStates() override {}

    // Ends a progress line drawn in place, so that another line can follow.
    void EndLine();

private:
    using Clock = std::chrono::steady_clock;
    void Update();
    void Draw();

    bool m_terminal;
    std::FILE *m_out;
    ProgressTrack m_track;
    Clock::time_point m_lastDraw{};
    bool m_lineOpen = false; // a bar is on screen without its line end
};
