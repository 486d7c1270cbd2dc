#pragma once
// The module's text commands and their replies. Every reply starts with CR LF,
// so no keyword ever sits at the first character of what the terminal shows.
//
//   at, at+ab               OK
//   at+ab info              identity: "Version <word>", "Node Addr", "Publish Addr <group>", ...
//   at+ab config            radio and mesh settings
//   at+ab reset             "Reset", the boot banner, "Ready"
//   at+ab SendData <addr> "<text>"   "Sent <n> bytes to <addr>" (escapes \n \r \t \\ \" count one byte)
//   at+ab loranet <group>   own group: the node table "Relay  dBm  Node" with lines
//                           "<level>:<relay> <dBm>  <node>"; another group: "No nodes in group <group>"
//
// Command words are case-insensitive. A line that is none of these is not a
// command (Reply gives nothing); the module reports such input once per burst.

#include "sim/MeshModel.h"
#include "sim/SimClock.h"
#include "sim/YmodemReceiver.h"

#include <cstdint>
#include <optional>
#include <string>

class ModuleCommands {
public:
    // The resident firmware's version, reported until an image is downloaded.
    static constexpr const char *kVersion = "1.4.2";

    ModuleCommands(uint16_t group, MeshModel mesh) : group_(group), mesh_(std::move(mesh)) {}

    std::optional<std::string> Reply(const std::string &line, SimTime now);
    // "Boot: image <size> bytes, CRC32 <crc>" (or no image yet) and the version.
    std::string BootBanner() const;
    // A downloaded image replaces the one the boot banner reports, and its
    // version the one "Version" tells (see ImageVersion).
    void LoadImage(const ReceivedImage &image);
    uint16_t NodeAddress() const { return mesh_.LocalAddress(); }
    const std::string &Version() const { return version_; }

private:
    std::string Info() const;
    std::string Config() const;
    std::optional<std::string> SendData(const std::string &args) const;
    std::optional<std::string> LoraNet(const std::string &args, SimTime now);

    uint16_t group_;
    MeshModel mesh_;
    std::optional<uint64_t> imageSize_;
    uint32_t imageCrc_ = 0;
    std::string version_ = kVersion;
};

// The version a downloaded image runs as: the word after the first "Version "
// in its bytes (printable characters, at most 32), as firmware carries its
// version text; an image without one runs as its CRC-32 in 8 hex digits.
std::string ImageVersion(const std::vector<uint8_t> &image, uint32_t imageCrc);

// The node table of a scan reply, from its header line on.
std::string FormatScanTable(const std::vector<MeshLink> &links);
