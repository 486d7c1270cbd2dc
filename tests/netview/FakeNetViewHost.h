#pragma once
// A main window as the mesh view sees it: a terminal text that the test fills
// and a log of what the view did to the terminal and the port; a recorder of
// what the scan asks of its window; and a scan of group C001 that has sent its
// first scan command.

#include "netview/MeshScan.h"

#include <string>
#include <vector>

using Log = std::vector<std::string>;

class FakeNetViewHost : public NetViewHost {
public:
    std::string terminal;
    Log log; // "clear", "send:<text>", "write:<bytes>"

    std::string_view TerminalContent() const override { return terminal; }
    void ClearTerminal() override { terminal.clear(), log.push_back("clear"); }
    int32_t WriteBytes(const uint8_t *bytes, uint32_t count) override
    {
        log.push_back("write:" + std::string(reinterpret_cast<const char *>(bytes), count));
        return static_cast<int32_t>(count);
    }
    int32_t SendString(std::string_view text) override
    {
        log.push_back("send:" + std::string(text));
        return static_cast<int32_t>(text.size());
    }
};

struct ScanFixture : MeshScanEvents {
    FakeNetViewHost host;
    MeshScan scan{host, *this};
    int groupFailures = 0;

    void RepaintRequested() override {}
    void GroupTestFailed() override { ++groupFailures; }
    void PassInfo()
    {
        Reply("\r\nVersion 2.1\r\nPublish Addr C001\r\n");
        host.log.clear();
    }
    void Reply(const std::string &reply)
    {
        host.terminal = reply;
        scan.OnScanTick();
    }
};
