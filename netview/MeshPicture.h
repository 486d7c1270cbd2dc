#pragma once
// Pictures of the mesh view for a test report: the file name's extension
// chooses the format, PNG or SVG; a size is given as "WxH" in pixels.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class PictureFormat { Png, Svg };

// ".png" or ".svg", in any case; nothing for any other name.
std::optional<PictureFormat> PictureFormatOfFile(std::string_view fileName);

struct PictureSize {
    int32_t width = 0, height = 0;
};

inline constexpr PictureSize kDefaultPictureSize{1024, 768};
inline constexpr int32_t kMinPictureSide = 16, kMaxPictureSide = 16384;

// "1920x1080" (or "1920X1080"); each side from kMinPictureSide to
// kMaxPictureSide. Nothing for any other text.
std::optional<PictureSize> ParsePictureSize(std::string_view text);

// The name a save dialog proposes: "mesh-C001.png".
std::string SuggestedPictureName(uint32_t groupAddress);
