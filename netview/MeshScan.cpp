#include "netview/MeshScan.h"

#include <algorithm>
#include <cstdio>
#include <utility>

std::string FormatScanCommand(uint32_t groupAddress)
{
    char command[32];
    std::snprintf(command, sizeof command, "at+ab loranet %04X\r\n", groupAddress);
    return command;
}

namespace {

constexpr uint32_t kGroupBits = 0xC000;

// sscanf reads its input as a C string. Leading white space is skipped here,
// the way the conversion itself skips it, and a bounded window of what follows
// is handed over: longer than any word or number the conversion can take.
std::string ConversionWindow(std::string_view text)
{
    const size_t start = std::min(text.find_first_not_of(" \t\n\v\f\r"), text.size());
    return std::string(text.substr(start, 80));
}

// The first white-space-delimited word, at most 63 characters ("%63s").
std::string ReadWord(std::string_view text)
{
    char word[64] = {};
    if (std::sscanf(ConversionWindow(text).c_str(), "%63s", word) != 1)
        return {};
    return word;
}

// A hexadecimal number, "0x" allowed ("%x"); false when none stands there.
bool ReadHex(std::string_view text, uint32_t &value)
{
    unsigned v = 0;
    if (std::sscanf(ConversionWindow(text).c_str(), "%x", &v) != 1)
        return false;
    value = v;
    return true;
}

} // namespace

std::optional<size_t> MeshScan::FindKeyword(std::string_view keyword) const
{
    const size_t at = m_host.TerminalContent().find(keyword);
    if (at == std::string_view::npos || at == 0)
        return std::nullopt;
    return at;
}

std::string_view MeshScan::TerminalFrom(size_t position) const
{
    const std::string_view text = m_host.TerminalContent();
    return text.substr(std::min(position, text.size()));
}

void MeshScan::ClearTable()
{
    m_table.ClearTable();
    m_firstScanPending = true;
    m_latestMesh = {};
    m_previousMesh = {};
    m_scansTaken = 0;
}

void MeshScan::OnScanTick()
{
    if (m_scanState == ScanState::Pause) {
        const int32_t old = m_rescanCount++;
        // No rescan goes to a port whose device has gone; one goes out at the
        // first tick after it is back.
        if (old >= 3 && m_host.PortOpen()) {
            m_rescanCount = 0;
            StartScan();
        }
    }
    StepScan();
}

void MeshScan::StartScan()
{
    m_host.ClearTerminal();
    m_host.SendString(FormatScanCommand(m_groupAddress));
    m_scanState = ScanState::AwaitScan;
    m_events.RepaintRequested();
}

void MeshScan::Resume()
{
    if (m_scanState == ScanState::AwaitScan) {
        StartScan();
    } else if (m_scanState == ScanState::AwaitInfo) {
        m_host.ClearTerminal();
        m_host.SendString(kInfoCommand);
    }
}

void MeshScan::StepScan()
{
    switch (m_scanState) {
    case ScanState::AwaitInfo:
        StepAwaitInfo();
        break;
    case ScanState::AwaitScan:
        StepAwaitScan();
        break;
    case ScanState::Pause:
        break;
    }
}

void MeshScan::StepAwaitInfo()
{
    // The version word only tells that the info reply has arrived.
    m_version.clear();
    if (const auto p = FindKeyword("Version"))
        m_version = ReadWord(TerminalFrom(*p + 7));
    if (m_version.empty())
        return;

    uint32_t group = 0;
    if (const auto q = FindKeyword("Publish Addr"))
        ReadHex(TerminalFrom(*q + 12), group);
    m_groupAddress = group;

    if ((group & kGroupBits) != kGroupBits)
        m_events.GroupTestFailed();
    ClearTable();
    StartScan();
}

void MeshScan::StepAwaitScan()
{
    // A reply is taken as far as it has arrived by this tick.
    if (m_host.TerminalLength() < 11)
        return;
    m_scanState = ScanState::Pause;
    m_previousMesh = std::move(m_latestMesh);
    m_latestMesh = {};
    if (const auto r = FindKeyword("Relay")) {
        m_scanText.Assign(TerminalFrom(*r));
        m_latestMesh = ReadScanReply(m_scanText);
        m_table.ParseScanTable(m_scanText);
    }
    ++m_scansTaken;
    // Counted once here rather than at every paint of the status line.
    m_nodesJoined = m_nodesLeft = 0;
    for (const MeshChange &c : CompareScans(m_previousMesh, m_latestMesh)) {
        m_nodesJoined += c.kind == MeshChangeKind::NodeJoined;
        m_nodesLeft += c.kind == MeshChangeKind::NodeLeft;
    }
    m_events.RepaintRequested();
}
