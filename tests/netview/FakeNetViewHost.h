#pragma once
// A main window as the mesh view sees it: a terminal text that the test fills,
// and a log of what the view did to the terminal and the port. And a recorder
// of what the scan asks of its window.

#include "netview/MeshScan.h"
#include "netview/NetViewHost.h"

#include <string>
#include <vector>

class FakeNetViewHost : public NetViewHost {
public:
    std::string terminal;
    std::vector<std::string> log; // "clear", "send:<text>", "write:<bytes>"

    size_t TerminalLength() const override { return terminal.size(); }
    std::optional<size_t> FindInTerminal(std::string_view keyword) const override
    {
        const size_t at = terminal.find(keyword);
        return at == std::string::npos ? std::nullopt : std::optional<size_t>(at);
    }
    std::string_view TerminalTextFrom(size_t position) const override
    {
        return std::string_view(terminal).substr(std::min(position, terminal.size()));
    }
    void ClearTerminal() override
    {
        terminal.clear();
        log.push_back("clear");
    }
    int32_t WriteBytes(const uint8_t *buffer, uint32_t count) override
    {
        log.push_back("write:" + std::string(reinterpret_cast<const char *>(buffer), count));
        return static_cast<int32_t>(count);
    }
    int32_t SendString(std::string_view text) override
    {
        log.push_back("send:" + std::string(text));
        return static_cast<int32_t>(text.size());
    }
};

struct RecordingScanEvents : MeshScanEvents {
    int repaints = 0;
    int groupFailures = 0;
    void RepaintRequested() override { ++repaints; }
    void GroupTestFailed() override { ++groupFailures; }
};
