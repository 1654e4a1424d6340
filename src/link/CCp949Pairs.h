#pragma once

#include <vector>

// The system's CP949 table: the Unicode character of every double-byte pair
// (lead 0x81..0xFE, trail 0x41..0xFE), 0 where the pair is no character or
// only a private-use one. Asked of the system once (iconv on POSIX, code
// page 949 on Windows); every conversion is then ours, the same everywhere.
class CCp949Pairs {
public:
    static constexpr int kLeadFirst = 0x81;
    static constexpr int kLeadLast = 0xFE;
    static constexpr int kTrailFirst = 0x41;
    static constexpr int kTrailLast = 0xFE;
    static constexpr int kTrails = kTrailLast - kTrailFirst + 1;
    static constexpr int kPairs = (kLeadLast - kLeadFirst + 1) * kTrails;

    static int Index(int lead, int trail) {
        return (lead - kLeadFirst) * kTrails + trail - kTrailFirst;
    }
    static std::vector<char32_t> Load();
};
