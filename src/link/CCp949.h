#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Conversion between the UTF-8 strings of the core and the CP949 (Korean
// ANSI) bytes that INI files, frames and the wire carry.
class CCp949 {
public:
    // Characters CP949 cannot hold become '?'.
    static std::string FromUtf8(std::string_view utf8);
    // Byte sequences that are not CP949 become U+FFFD.
    static std::string ToUtf8(std::string_view cp949);
    // Length of the longest prefix of at most maxBytes bytes that does not
    // split a two-byte character.
    static std::size_t CharBoundary(std::string_view cp949, std::size_t maxBytes);

    // Whether the two bytes form one CP949 double-byte character that has a
    // Unicode character (looked up in a table made at the first call).
    static bool IsPair(unsigned char lead, unsigned char trail);
    // That character as UTF-8; empty when the bytes are no pair.
    static std::string PairToUtf8(unsigned char lead, unsigned char trail);
    // A byte that can start a double-byte character (0x81..0xFE).
    static bool IsLead(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }
};
