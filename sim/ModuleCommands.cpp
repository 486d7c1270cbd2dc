#include "sim/ModuleCommands.h"

#include "sim/Checksums.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace {
std::string Trim(const std::string &s)
{
    const size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string Hex4(unsigned value)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04X", value);
    return buf;
}

// A 16-bit address in hex, 1 to 4 digits.
std::optional<uint16_t> ParseAddress(const std::string &token)
{
    if (token.empty() || token.size() > 4 || !std::all_of(token.begin(), token.end(), ::isxdigit))
        return std::nullopt;
    return static_cast<uint16_t>(std::strtoul(token.c_str(), nullptr, 16));
}
} // namespace

std::optional<std::string> ModuleCommands::Reply(const std::string &line, SimTime now)
{
    const std::string text = Trim(line);
    const std::string lower = Lower(text);
    if (lower == "at" || lower == "at+ab")
        return std::string("\r\nOK\r\n");
    if (lower.size() < 6 || lower.compare(0, 5, "at+ab") != 0 || (lower[5] != ' ' && lower[5] != '\t'))
        return std::nullopt;
    const std::string rest = Trim(text.substr(6));
    const size_t wordEnd = rest.find_first_of(" \t");
    const std::string word = Lower(rest.substr(0, wordEnd));
    const std::string args = wordEnd == std::string::npos ? std::string() : Trim(rest.substr(wordEnd));

    if (word == "info" && args.empty())
        return Info();
    if (word == "config" && args.empty())
        return Config();
    if (word == "reset" && args.empty())
        return "\r\nReset\r\n" + BootBanner() + "Ready\r\n";
    if (word == "senddata")
        return SendData(args);
    if (word == "loranet")
        return LoraNet(args, now);
    return std::nullopt;
}

std::string ModuleCommands::Info() const
{
    return "\r\nLoRa mesh module\r\n"
           "Version " + version_ + "\r\n"
           "Node Addr " + Hex4(NodeAddress()) + "\r\n"
           "Publish Addr " + Hex4(group_) + "\r\n"
           "Subscribe Addr " + Hex4(group_) + "\r\n"
           "Radio 868.100 MHz SF9 BW125\r\n"
           "OK\r\n";
}

std::string ModuleCommands::Config() const
{
    return "\r\nConfig\r\n"
           "Radio: 868.100 MHz, SF9, BW125, CR4/5, 14 dBm\r\n"
           "Mesh: node " + Hex4(NodeAddress()) + ", group " + Hex4(group_) + ", forwarding on, 4 hops\r\n"
           "UART: 8N1, no echo\r\n"
           "OK\r\n";
}

std::string ModuleCommands::BootBanner() const
{
    char line[96];
    if (imageSize_)
        std::snprintf(line, sizeof line, "Boot: image %llu bytes, CRC32 %08X\r\n",
                      static_cast<unsigned long long>(*imageSize_), imageCrc_);
    else
        std::snprintf(line, sizeof line, "Boot: no image downloaded, resident firmware\r\n");
    return std::string(line) + "Version " + version_ + "\r\n";
}

void ModuleCommands::LoadImage(const ReceivedImage &image)
{
    imageSize_ = image.bytes.size();
    imageCrc_ = Crc32Ieee(image.bytes.data(), image.bytes.size());
    version_ = ImageVersion(image.bytes, imageCrc_);
}

std::string ImageVersion(const std::vector<uint8_t> &image, uint32_t imageCrc)
{
    static const std::string key = "Version ";
    const auto at = std::search(image.begin(), image.end(), key.begin(), key.end());
    std::string word;
    for (auto p = at == image.end() ? at : at + static_cast<long>(key.size());
         p != image.end() && *p > 0x20 && *p < 0x7F && word.size() < 32; ++p)
        word.push_back(static_cast<char>(*p));
    if (!word.empty())
        return word;
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08X", imageCrc);
    return crc;
}

std::optional<std::string> ModuleCommands::SendData(const std::string &args) const
{
    static const std::string usage = "\r\nERROR: usage: at+ab SendData <addr> \"<text>\"\r\n";
    const size_t space = args.find_first_of(" \t");
    const std::optional<uint16_t> address = ParseAddress(args.substr(0, space));
    const std::string quoted = space == std::string::npos ? std::string() : Trim(args.substr(space));
    if (!address || quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"')
        return usage;
    size_t bytes = 0;
    for (size_t i = 1; i + 1 < quoted.size(); ++i, ++bytes) {
        if (quoted[i] == '\\' && i + 2 < quoted.size() && std::string("nrt\\\"").find(quoted[i + 1]) != std::string::npos)
            ++i;
    }
    return "\r\nSent " + std::to_string(bytes) + " bytes to " + Hex4(*address) + "\r\nOK\r\n";
}

std::optional<std::string> ModuleCommands::LoraNet(const std::string &args, SimTime now)
{
    const std::optional<uint16_t> group = ParseAddress(args);
    if (!group)
        return std::string("\r\nERROR: usage: at+ab loranet <group>\r\n");
    if (*group != group_)
        return "\r\nNo nodes in group " + Hex4(*group) + "\r\n";
    return "\r\n" + FormatScanTable(mesh_.Scan(now)) + "OK\r\n";
}

std::string FormatScanTable(const std::vector<MeshLink> &links)
{
    std::string table = "Relay  dBm  Node\r\n";
    char line[48];
    for (const MeshLink &l : links) {
        std::snprintf(line, sizeof line, "%d:%04X %d  %04X\r\n", l.level, l.relay, l.rssi, l.node);
        table += line;
    }
    return table;
}
