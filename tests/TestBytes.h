#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// "02 00 41"_hex: whole byte strings in tests, blanks and '|' ignored.
inline Bytes operator""_hex(const char* text, std::size_t n) {
    Bytes out;
    int high = -1;
    for (std::size_t i = 0; i < n; ++i) {
        char c = text[i];
        int v = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                       : -1;
        if (v < 0)
            continue;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<std::uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    return out;
}

inline Bytes ToBytes(const std::string& s) {
    return Bytes(s.begin(), s.end());
}
inline std::string ToString(const Bytes& b) {
    return std::string(b.begin(), b.end());
}
