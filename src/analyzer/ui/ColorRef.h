#pragma once

#include <QColor>

#include <cstdint>

// Colours are kept as 0x00BBGGRR values, blue in the high byte, the form the
// screen's defaults are given in.
inline QColor FromColorRef(std::uint32_t colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

inline std::uint32_t ToColorRef(const QColor& colour) {
    return static_cast<std::uint32_t>(colour.red()) |
           (static_cast<std::uint32_t>(colour.green()) << 8) |
           (static_cast<std::uint32_t>(colour.blue()) << 16);
}
