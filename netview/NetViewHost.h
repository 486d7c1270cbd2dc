#pragma once
// What the mesh network view needs of the main window. The view never reads
// the port: the main window's receive loop keeps filling the terminal text
// while the view runs, and the view reads the module's replies from there.
// Before every command it empties the terminal, so the text holds nothing but
// the reply to that command.

#include <cstddef>
#include <cstdint>
#include <string_view>

class NetViewHost {
public:
    virtual ~NetViewHost() = default;

    // The terminal text, valid until it next changes.
    virtual std::string_view TerminalContent() const = 0;
    size_t TerminalLength() const { return TerminalContent().size(); }
    // Empties the terminal text and the terminal view.
    virtual void ClearTerminal() = 0;

    // The port; failures are reported to the user by the implementation.
    // While it is not open (its device vanished) the scan asks nothing.
    virtual bool PortOpen() const { return true; }
    virtual int32_t WriteBytes(const uint8_t *buffer, uint32_t count) = 0;
    virtual int32_t SendString(std::string_view text) = 0;
};
