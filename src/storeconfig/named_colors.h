#pragma once

#include <QString>

#include <span>

namespace os {

// The page colours are kept as Windows colour values: blue * 65536 +
// green * 256 + red. The colour pickers offer the sixteen colours every web
// browser knows by name.
struct NamedColor
{
    const char* name; // "Navy"
    int value;        // its Windows colour value (8388608)
};

std::span<const NamedColor> namedColors();

// The place of `value` in namedColors(), or -1 when it is none of them.
int namedColorIndex(int value);

// The colour as 0xRRGGBB (bits above the lowest 24 of the value ignored).
unsigned rgbOfColorValue(int value);

} // namespace os
