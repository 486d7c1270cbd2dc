#include "transfer/Capture.h"

Capture::Capture(CaptureFile &file, TickClock &clock, CaptureDisplay &display,
                 UserMessages &messages)
    : m_file(file), m_clock(clock), m_display(display), m_messages(messages)
{
}

Capture::~Capture()
{
    if (m_on)
        m_file.Close();
}

void Capture::ToggleCapture()
{
    if (m_on)
        Stop();
    else
        Start();
}

void Capture::Start()
{
    if (!m_file.Open()) {
        m_messages.Show(kCaptureOpenError, "", MessageIcon::None);
        return;
    }
    m_count = 0;
    m_startTick.reset();
    // The message box's loop runs the poll timer; chunks read meanwhile are
    // not captured yet.
    m_messages.Show("Capture Started!!(Saved in " + m_file.Path() + ")", "", MessageIcon::None);
    m_display.EnableSpeed(true);
    m_display.SetCaptureCaption(kStopCaptureCaption);
    m_on = true;
}

void Capture::Stop()
{
    if (m_on)
        Finish(false);
}

void Capture::CaptureChunk(const uint8_t *bytes, uint32_t count)
{
    if (!m_on)
        return;
    if (!m_file.Write(bytes, count)) {
        Finish(true);
        return;
    }
    m_count += count;
    if (!m_startTick)
        m_startTick = m_clock.TickCount();
    if (m_count > kRateShownAfter)
        ShowRate();
}

void Capture::Flush()
{
    if (m_on && !m_file.Flush())
        Finish(true);
}

void Capture::ShowRate()
{
    const uint32_t elapsed = m_clock.TickCount() - *m_startTick;
    if (elapsed == 0)
        return;
    m_display.SetSpeedText(std::to_string(m_count * 1000 / elapsed) + " B/s");
}

void Capture::Finish(bool failed)
{
    // Everything is reset before the user is told: the message box's loop
    // keeps reading the port, and capture must be off by then.
    const bool closed = m_file.Close();
    m_on = false;
    m_count = 0;
    m_startTick.reset();
    m_display.SetSpeedText("0");
    m_display.EnableSpeed(false);
    m_display.SetCaptureCaption(kStartCaptureCaption);
    if (failed || !closed) {
        m_messages.Show("Capture stopped: " + m_file.ErrorText() + " (" +
                            std::to_string(m_file.BytesSaved()) + " bytes saved in " +
                            m_file.Path() + ")",
                        "", MessageIcon::Exclamation);
    }
}
