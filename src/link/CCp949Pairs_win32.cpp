#include "link/CCp949Pairs.h"

#include <windows.h>

std::vector<char32_t> CCp949Pairs::Load() {
    std::vector<char32_t> table(kPairs, 0);
    for (int lead = kLeadFirst; lead <= kLeadLast; ++lead)
        for (int trail = kTrailFirst; trail <= kTrailLast; ++trail) {
            const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            wchar_t out[2];
            // One UTF-16 unit from both bytes; CP949 holds nothing beyond the
            // basic plane.
            if (MultiByteToWideChar(949, MB_ERR_INVALID_CHARS, in, 2, out, 2) != 1)
                continue;
            const char32_t code = out[0];
            if (code >= 0x80 && !(code >= 0xE000 && code <= 0xF8FF))
                table[static_cast<std::size_t>(Index(lead, trail))] = code;
        }
    return table;
}
