#include "link/CCp949Pairs.h"

#include <iconv.h>

std::vector<char32_t> CCp949Pairs::Load() {
    std::vector<char32_t> table(kPairs, 0);
    iconv_t cd = iconv_open("UTF-32LE", "CP949");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return table;
    for (int lead = kLeadFirst; lead <= kLeadLast; ++lead)
        for (int trail = kTrailFirst; trail <= kTrailLast; ++trail) {
            char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            char out[8];
            char* src = in;
            char* dst = out;
            std::size_t srcLeft = 2;
            std::size_t dstLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            // One character from both bytes.
            if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1) ||
                srcLeft != 0 || dstLeft != sizeof out - 4)
                continue;
            const auto b = [&](int i) {
                return static_cast<char32_t>(static_cast<unsigned char>(out[i]));
            };
            const char32_t code = b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
            // A private-use answer is no character a reader could recognise.
            if (code >= 0x80 && !(code >= 0xE000 && code <= 0xF8FF))
                table[static_cast<std::size_t>(Index(lead, trail))] = code;
        }
    iconv_close(cd);
    return table;
}
