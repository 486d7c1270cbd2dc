#pragma once
// The scan state machine of the mesh network view, stepped once a second by
// the view's timer. It waits for the module's info reply, takes the group
// address from it, then scans the group again and again: clear the terminal,
// send the scan command, wait for the reply, parse it into the table, pause
// four ticks, scan again. There is no time-out: a silent module keeps the view
// waiting in the state it is in.

#include "netview/MeshChanges.h"
#include "netview/MeshTable.h"
#include "netview/NetViewHost.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class ScanState : int32_t { AwaitInfo = 0, AwaitScan = 1, Pause = 2 };

inline constexpr const char *kInfoCommand = "at+ab info\r\n";
inline constexpr const char *kGroupAddressMessage =
    "Please set the Group Address by setting the Publish Address in the local node.";

// "at+ab loranet %04X\r\n"
std::string FormatScanCommand(uint32_t groupAddress);

// What the state machine asks of the view's window.
class MeshScanEvents {
public:
    virtual ~MeshScanEvents() = default;
    // The whole client area must be repainted (with background erase).
    virtual void RepaintRequested() = 0;
    // The group address lacks the two top bits of a group: tell the user and
    // end the view with result 2. Returns once the user has dismissed the
    // message; the scan that follows still goes out.
    virtual void GroupTestFailed() = 0;
};

class MeshScan {
public:
    MeshScan(NetViewHost &host, MeshScanEvents &events) : m_host(host), m_events(events) {}
    MeshScan(const MeshScan &) = delete;
    MeshScan &operator=(const MeshScan &) = delete;

    // One tick of the view's timer: counts the pause, rescans on its fourth
    // tick, then steps the state machine.
    void OnScanTick();
    // Looks at the terminal text for what the current state waits for.
    void StepScan();
    // Clears the terminal and sends the scan command for the group.
    void StartScan();
    // After the port came back from a vanished device: asks again for the
    // reply the state waits for (the info, or the scan), which a module that
    // went away has not sent and will not.
    void Resume();

    ScanState State() const { return m_scanState; }
    uint32_t GroupAddress() const { return m_groupAddress; }
    int32_t RescanCount() const { return m_rescanCount; }
    const std::string &Version() const { return m_version; }
    // True from a table clear until the view has shown the centred
    // "Scanning Network for %04X Info" once.
    bool FirstScanPending() const { return m_firstScanPending; }
    void ClearFirstScanPending() { m_firstScanPending = false; }

    const MeshTable &Table() const { return m_table; }
    MeshTable &Table() { return m_table; } // the layout writes node positions
    const ScanText &LastReply() const { return m_scanText; }
    // The mesh of the latest reply taken alone, and of the one before it
    // (empty before the second); ScansTaken counts the replies taken since
    // the table was last cleared. A reply without "Relay" is an empty mesh.
    const MeshSnapshot &LatestMesh() const { return m_latestMesh; }
    const MeshSnapshot &PreviousMesh() const { return m_previousMesh; }
    int32_t ScansTaken() const { return m_scansTaken; }
    // The nodes that joined and left between those two replies.
    int32_t NodesJoined() const { return m_nodesJoined; }
    int32_t NodesLeft() const { return m_nodesLeft; }

private:
    // A keyword counts as present only after the first character of the text.
    std::optional<size_t> FindKeyword(std::string_view keyword) const;
    // The terminal text from position on (empty past its end).
    std::string_view TerminalFrom(size_t position) const;
    void StepAwaitInfo();
    void StepAwaitScan();
    void ClearTable();

    NetViewHost &m_host;
    MeshScanEvents &m_events;
    ScanState m_scanState = ScanState::AwaitInfo;
    uint32_t m_groupAddress = 0;
    int32_t m_rescanCount = 0;
    bool m_firstScanPending = true;
    std::string m_version;
    MeshTable m_table;
    ScanText m_scanText;
    MeshSnapshot m_latestMesh, m_previousMesh;
    int32_t m_scansTaken = 0;
    int32_t m_nodesJoined = 0, m_nodesLeft = 0;
};
