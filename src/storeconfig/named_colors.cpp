#include "storeconfig/named_colors.h"

namespace os {

namespace {

constexpr int fromRgb(unsigned rgb)
{
    return int(((rgb & 0xffu) << 16) | (rgb & 0xff00u) | ((rgb >> 16) & 0xffu));
}

const NamedColor kColors[] = {
    {"Black", fromRgb(0x000000)}, {"Maroon", fromRgb(0x800000)},  {"Green", fromRgb(0x008000)},
    {"Olive", fromRgb(0x808000)}, {"Navy", fromRgb(0x000080)},    {"Purple", fromRgb(0x800080)},
    {"Teal", fromRgb(0x008080)},  {"Gray", fromRgb(0x808080)},    {"Silver", fromRgb(0xc0c0c0)},
    {"Red", fromRgb(0xff0000)},   {"Lime", fromRgb(0x00ff00)},    {"Yellow", fromRgb(0xffff00)},
    {"Blue", fromRgb(0x0000ff)},  {"Fuchsia", fromRgb(0xff00ff)}, {"Aqua", fromRgb(0x00ffff)},
    {"White", fromRgb(0xffffff)},
};

} // namespace

std::span<const NamedColor> namedColors()
{
    return kColors;
}

int namedColorIndex(int value)
{
    for (int i = 0; i < int(std::size(kColors)); ++i) {
        if (kColors[i].value == value)
            return i;
    }
    return -1;
}

unsigned rgbOfColorValue(int value)
{
    const auto v = unsigned(value);
    return ((v & 0xffu) << 16) | (v & 0xff00u) | ((v >> 16) & 0xffu);
}

} // namespace os
