#pragma once

#include "plc/MemoryTable.h"

#include <cstdint>
#include <string>

// The memory table as CSV for a spreadsheet: a header, then one line per
// word with its index and its value in the screen's three radixes. The hex
// value carries "0x" and the binary one its blanks between nibbles, as the
// tree shows it, so that no spreadsheet takes either for a decimal number.
class CMemoryTableCsv {
public:
    static constexpr const char* kHeader = "index,decimal,hex,binary\r\n";

    static std::string Text(const MemoryTable& memory);
    // "0x002A" and "0000 0000 0010 1010".
    static std::string Hex(std::uint16_t value);
    static std::string Binary(std::uint16_t value);
};
