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

void ConsoleProgress::ShowFileSize(uint32_t size) { m_track.Start(size); }

void ConsoleProgress::ShowBytesSent(uint32_t bytes)
{
    if (m_track.SetBytesSent(bytes))
        Update();
}

void ConsoleProgress::ShowPacket(uint32_t blockNumber)
{
    if (m_track.SetPacket(blockNumber))
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
    m_track.Tick();
    if (m_terminal) {
        const bool done = m_track.figures.bytesSent >= m_track.figures.fileSize;
        if (done || Clock::now() - m_lastDraw >= kRedrawInterval)
            Draw();
        return;
    }
    if (!m_track.LogDue())
        return;
    std::fprintf(m_out, "%s\n", ProgressLogLine(m_track.figures).c_str());
    std::fflush(m_out);
}

void ConsoleProgress::Draw()
{
    m_track.Tick();
    // "\033[K" clears what a longer earlier line left at the end.
    std::fprintf(m_out, "\r%s\033[K", ProgressBarLine(m_track.figures).c_str());
    std::fflush(m_out);
    m_lastDraw = Clock::now();
    m_lineOpen = true;
}
