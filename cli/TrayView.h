#pragma once
// The progress of a tray of downloads on a console. On a terminal, one line
// per port, redrawn in place (at most ten times a second): packet, bytes,
// rate, time left, and what the port does or how it ended. Otherwise, for a
// log, a line per port at every tenth of its image and one line at each
// port's end: a success on the view's stream, a failure as an error line.
// A summary line closes it.

#include "cli/ProgressText.h"
#include "transfer/TransferSinks.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class TrayView {
public:
    // names: how each port is shown, in the order of the lines.
    TrayView(std::vector<std::string> names, std::FILE *out, bool terminal);
    ~TrayView();

    // The loader's display operations of port i.
    TransferProgress &Progress(size_t i);
    // What port i does now (a phase, or a failure told as it happens).
    void SetStatus(size_t i, const std::string &status);
    void Finished(size_t i, const PortReport &report);
    // The tick: redraws a terminal's lines.
    void Redraw();
    // The last drawing and the summary.
    void Close();

private:
    class PortLine;
    using Clock = std::chrono::steady_clock;

    void Draw();

    std::vector<std::unique_ptr<PortLine>> m_lines;
    std::FILE *m_out;
    bool m_terminal;
    size_t m_nameWidth = 0;
    bool m_drawn = false; // the lines are on screen, the cursor below them
    Clock::time_point m_lastDraw{};
    bool m_closed = false;
};
