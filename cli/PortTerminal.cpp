#include "cli/PortTerminal.h"

#include <algorithm>
#include <vector>

void PortTerminal::Receive()
{
    const int32_t waiting = m_link.BytesWaiting();
    if (waiting <= 0)
        return;
    std::vector<uint8_t> buffer(static_cast<size_t>(waiting));
    const uint32_t n = m_link.ReadBlock(buffer.data(), waiting);
    m_text.AppendReceived(buffer.data(), n);
}

std::optional<size_t> PortTerminal::FindInTerminal(std::string_view keyword) const
{
    const size_t at = m_text.Find(keyword);
    return at == std::string_view::npos ? std::nullopt : std::optional<size_t>(at);
}

std::string_view PortTerminal::TerminalTextFrom(size_t position) const
{
    return m_text.Text().substr(std::min(position, m_text.Length()));
}

int32_t PortTerminal::WriteBytes(const uint8_t *buffer, uint32_t count)
{
    return m_link.WriteBytes(buffer, count);
}
