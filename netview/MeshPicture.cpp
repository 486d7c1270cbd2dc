#include "netview/MeshPicture.h"

#include <cctype>
#include <cstdio>

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view ending)
{
    if (text.size() < ending.size())
        return false;
    text.remove_prefix(text.size() - ending.size());
    for (size_t i = 0; i < ending.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != ending[i])
            return false;
    return true;
}

// A side in pixels: digits only, within the allowed range.
std::optional<int32_t> ReadSide(std::string_view digits)
{
    if (digits.empty() || digits.size() > 5)
        return std::nullopt;
    int32_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < kMinPictureSide || value > kMaxPictureSide)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<PictureFormat> PictureFormatOfFile(std::string_view fileName)
{
    if (EndsWithNoCase(fileName, ".png"))
        return PictureFormat::Png;
    if (EndsWithNoCase(fileName, ".svg"))
        return PictureFormat::Svg;
    return std::nullopt;
}

std::optional<PictureSize> ParsePictureSize(std::string_view text)
{
    const size_t x = text.find_first_of("xX");
    if (x == std::string_view::npos)
        return std::nullopt;
    const std::optional<int32_t> width = ReadSide(text.substr(0, x));
    const std::optional<int32_t> height = ReadSide(text.substr(x + 1));
    if (!width || !height)
        return std::nullopt;
    return PictureSize{*width, *height};
}

std::string SuggestedPictureName(uint32_t groupAddress)
{
    char name[32];
    std::snprintf(name, sizeof name, "mesh-%04X.png", groupAddress);
    return name;
}
