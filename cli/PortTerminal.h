#pragma once
// The main window's side of the mesh scan without the window: a terminal text
// that the port's bytes fill (through the same filter as the terminal view)
// and that the scan reads and clears, and the port that it writes to.

#include "app/TerminalText.h"
#include "netview/NetViewHost.h"
#include "serial/SerialLink.h"

class PortTerminal : public NetViewHost {
public:
    explicit PortTerminal(SerialLink &link) : m_link(link) {}

    // Takes what the port holds into the terminal text, as the main window's
    // receive step does.
    void Receive();

    std::string_view TerminalContent() const override { return m_text.Text(); }
    void ClearTerminal() override { m_text.Clear(); }
    int32_t WriteBytes(const uint8_t *buffer, uint32_t count) override;
    int32_t SendString(std::string_view text) override { return m_link.SendString(text); }
    bool PortOpen() const override { return m_link.IsOpen(); }

private:
    SerialLink &m_link;
    TerminalText m_text;
};
