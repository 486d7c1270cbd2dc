#pragma once
// Colour texts RRGGBB and their colour values in the layout 0x00BBGGRR.

#include <cstddef>
#include <cstdint>
#include <string_view>

// A colour text holds at most six characters; "Set Screen Colors" refuses a
// longer one at OK (a stored one included) with this message, and the boxes
// take no more than six when typing.
inline constexpr size_t kColorTextMaxLength = 6;
inline constexpr const char *kColorTextTooLongMessage = "Please enter no more than 6 characters.";

// Reads the text as one hexadecimal number and swaps its lowest and third
// byte, so that red lands in the low byte. Empty text, or any character that
// is not a hexadecimal digit, gives 0 (black).
uint32_t ParseColor(std::string_view text);

inline uint8_t RedOf(uint32_t colorValue) { return colorValue & 0xFF; }
inline uint8_t GreenOf(uint32_t colorValue) { return (colorValue >> 8) & 0xFF; }
inline uint8_t BlueOf(uint32_t colorValue) { return (colorValue >> 16) & 0xFF; }
