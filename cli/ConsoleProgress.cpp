#include "cli/ConsoleProgress.h"

#include "cli/ConsoleOutput.h"
#include "transfer/YmodemSender.h"

namespace {
constexpr std::chrono::milliseconds kRedrawInterval{100};
}

void ConsoleProgress::ShowStatusText(const std::string &text)
{
    EndLine();
    if (text == kLoadingImageText || text == ResultText(TransferResult::Success)) {
        std::fprintf(m_out, "%s\n", text.c_str());
        std::fflush(m_out);
    } else {
        PrintError(text);
    }
}

void ConsoleProgress::ShowFileSize(uint32_t size)
{
    m_figures.fileSize = size;
    m_start = Clock::now();
    m_nextLogPercent = 10;
}

void ConsoleProgress::ShowBytesSent(uint32_t bytes)
{
    const bool changed = bytes != m_figures.bytesSent;
    m_figures.bytesSent = bytes;
    if (changed)
        Update();
}

void ConsoleProgress::ShowPacket(uint32_t blockNumber)
{
    const bool changed = blockNumber != m_figures.packet;
    m_figures.packet = blockNumber;
    if (changed)
        Update();
}

void ConsoleProgress::ShowFinishedView()
{
    if (m_lineOpen)
        Draw();
    EndLine();
}

void ConsoleProgress::EndLine()
{
    if (!m_lineOpen)
        return;
    std::fputc('\n', m_out);
    std::fflush(m_out);
    m_lineOpen = false;
}

void ConsoleProgress::Update()
{
    m_figures.seconds = std::chrono::duration<double>(Clock::now() - m_start).count();
    if (m_terminal) {
        const bool done = m_figures.bytesSent >= m_figures.fileSize;
        if (done || Clock::now() - m_lastDraw >= kRedrawInterval)
            Draw();
        return;
    }
    const int percent = ProgressPercent(m_figures);
    if (percent < m_nextLogPercent)
        return;
    std::fprintf(m_out, "%s\n", ProgressLogLine(m_figures).c_str());
    std::fflush(m_out);
    m_nextLogPercent = (percent / 10 + 1) * 10;
}

void ConsoleProgress::Draw()
{
    m_figures.seconds = std::chrono::duration<double>(Clock::now() - m_start).count();
    // "\033[K" clears what a longer earlier line left at the end.
    std::fprintf(m_out, "\r%s\033[K", ProgressBarLine(m_figures).c_str());
    std::fflush(m_out);
    m_lastDraw = Clock::now();
    m_lineOpen = true;
}
