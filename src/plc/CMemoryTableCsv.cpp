#include "plc/CMemoryTableCsv.h"

#include <cstdio>

std::string CMemoryTableCsv::Hex(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value));
    return text;
}

std::string CMemoryTableCsv::Binary(std::uint16_t value) {
    std::string text;
    text.reserve(19);
    for (int bit = 15; bit >= 0; --bit) {
        text += (value >> bit) & 1u ? '1' : '0';
        if (bit % 4 == 0 && bit > 0)
            text += ' ';
    }
    return text;
}

std::string CMemoryTableCsv::Text(const MemoryTable& memory) {
    std::string text = kHeader;
    text.reserve(MemoryTable::kSize * 40);
    for (int i = 0; i < MemoryTable::kSize; ++i) {
        const std::uint16_t value = memory.Get(i);
        text += std::to_string(i) + ',' + std::to_string(value) + ',' + Hex(value) + ',' +
                Binary(value) + "\r\n";
    }
    return text;
}
