#pragma once

#include <cstdint>
#include <string>

// The text of one byte in the analyzer's ASCII mode, as UTF-8: the control
// names for 0..32, the character itself above. Bytes 0x80..0xFF cannot stand
// alone in CP949, so they show as their Latin-1 character; the bytes whose
// character draws nothing (0x7F, 0x80..0xA0, 0xAD) show their hex digits.
// Every byte keeps a visible label of its own.
std::string ByteLabel(std::uint8_t byte);

// "%02X" of the byte, the analyzer's Binary mode.
std::string ByteHex(std::uint8_t byte);
