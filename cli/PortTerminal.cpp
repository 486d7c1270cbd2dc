#include "cli/PortTerminal.h"

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

int32_t PortTerminal::WriteBytes(const uint8_t *buffer, uint32_t count)
{
    return m_link.WriteBytes(buffer, count);
}
