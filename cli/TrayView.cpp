#include "cli/TrayView.h"

#include "cli/ConsoleOutput.h"
#include "transfer/YmodemSender.h"

#include <algorithm>

namespace {
constexpr std::chrono::milliseconds kRedrawInterval{100};
}

// One port's figures as the loader window would show them, and its status.
class TrayView::PortLine : public TransferProgress {
public:
    PortLine(TrayView &view, std::string name) : name(std::move(name)), m_view(view) {}

    void ShowStatusText(const std::string &text) override
    {
        // The download's results come with the port's end, whole.
        if (text == kLoadingImageText) {
            status = text;
            if (!m_view.m_terminal)
                std::fprintf(m_view.m_out, "%s: %s\n", name.c_str(), text.c_str());
        }
    }
    void ShowImageName(const std::string &) override {}
    void ShowFileSize(uint32_t size) override { track.Start(size); }
    void ShowBytesSent(uint32_t bytes) override
    {
        if (track.SetBytesSent(bytes))
            Update();
    }
    void ShowPacket(uint32_t blockNumber) override
    {
        if (track.SetPacket(blockNumber))
            Update();
    }
    void ShowFinishedView() override {}
    void RunOkAction() override {}
    void UpdateControlStates() override {}

    void Update()
    {
        if (finished)
            return;
        track.Tick();
        if (!m_view.m_terminal && track.LogDue())
            std::fprintf(m_view.m_out, "%s\n", TrayLogLine(name, track.figures).c_str());
    }

    std::string name;
    ProgressTrack track;
    std::string status = "Waiting";
    bool finished = false;
    bool successful = false;

private:
    TrayView &m_view;
};

TrayView::TrayView(std::vector<std::string> names, std::FILE *out, bool terminal) : m_out(out), m_terminal(terminal)
{
    for (size_t i = 0; i < names.size(); ++i) {
        m_nameWidth = std::max(m_nameWidth, names[i].size());
        m_lines.push_back(std::make_unique<PortLine>(*this, std::move(names[i])));
    }
}

TrayView::~TrayView() = default;

TransferProgress &TrayView::Progress(size_t i) { return *m_lines.at(i); }

void TrayView::SetStatus(size_t i, const std::string &status)
{
    PortLine &line = *m_lines.at(i);
    if (!line.finished)
        line.status = status;
}

void TrayView::Finished(size_t i, const PortReport &report)
{
    PortLine &line = *m_lines.at(i);
    line.finished = true;
    line.successful = report.status == 0;
    line.status = OutcomeText(report);
    line.track.figures.fileSize = report.size;
    line.track.figures.bytesSent = report.bytes;
    line.track.figures.seconds = report.transferMs / 1000.0;
    if (m_terminal)
        return Draw();
    const std::string result = TrayResultLine(line.name, report);
    if (report.status == 0) {
        std::fprintf(m_out, "%s\n", result.c_str());
        std::fflush(m_out);
    } else {
        PrintError(result);
    }
}

void TrayView::Redraw()
{
    if (!m_terminal) {
        std::fflush(m_out);
        return;
    }
    if (Clock::now() - m_lastDraw >= kRedrawInterval)
        Draw();
}

void TrayView::Draw()
{
    // Each line cut to the terminal's width: a line that wrapped would throw
    // the next redraw off by a row.
    const size_t columns = static_cast<size_t>(std::max(TerminalColumns(m_out) - 1, 20));
    std::string screen;
    if (m_drawn)
        screen += "\033[" + std::to_string(m_lines.size()) + "A";
    for (const std::unique_ptr<PortLine> &line : m_lines) {
        if (!line->finished && line->track.figures.fileSize)
            line->track.Tick();
        std::string text = TrayBarLine(line->name, m_nameWidth, line->track.figures, line->status);
        if (text.size() > columns)
            text.resize(columns);
        screen += "\r" + text + "\033[K\n";
    }
    std::fwrite(screen.data(), 1, screen.size(), m_out);
    std::fflush(m_out);
    m_drawn = true;
    m_lastDraw = Clock::now();
}

void TrayView::Close()
{
    if (m_closed)
        return;
    m_closed = true;
    if (m_terminal)
        Draw();
    size_t successful = 0;
    for (const std::unique_ptr<PortLine> &line : m_lines)
        successful += line->successful;
    std::fprintf(m_out, "%zu of %zu ports successful\n", successful, m_lines.size());
    std::fflush(m_out);
}
