#include "link/CCp949.h"

#include "link/CCp949Pairs.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

bool IsLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

// Both directions of the system's table, made at the first call.
struct Tables {
    std::vector<char32_t> toUnicode;      // by pair index
    std::vector<std::uint16_t> fromBasic; // by character below U+10000: lead << 8 | trail, or 0
};

const Tables& GetTables() {
    static const Tables tables = [] {
        Tables t;
        t.toUnicode = CCp949Pairs::Load();
        t.fromBasic.assign(0x10000, 0);
        for (int lead = CCp949Pairs::kLeadFirst; lead <= CCp949Pairs::kLeadLast; ++lead)
            for (int trail = CCp949Pairs::kTrailFirst; trail <= CCp949Pairs::kTrailLast; ++trail) {
                const char32_t c =
                    t.toUnicode[static_cast<std::size_t>(CCp949Pairs::Index(lead, trail))];
                if (c != 0 && c < 0x10000 && t.fromBasic[c] == 0) // the first pair wins
                    t.fromBasic[c] = static_cast<std::uint16_t>(lead << 8 | trail);
            }
        return t;
    }();
    return tables;
}

char32_t PairCode(unsigned char lead, unsigned char trail) {
    if (!IsLeadByte(lead) || trail < CCp949Pairs::kTrailFirst || trail > CCp949Pairs::kTrailLast)
        return 0;
    return GetTables().toUnicode[static_cast<std::size_t>(CCp949Pairs::Index(lead, trail))];
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
        return;
    }
    if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    }
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
}

constexpr char32_t kNoCharacter = 0x110000;

// The UTF-8 character at the start of the text; its length in `size`.
// kNoCharacter, with the length to skip, when the bytes are no well-formed
// character: as long as the lead byte says, but never past a byte that
// starts another.
char32_t DecodeUtf8(std::string_view text, std::size_t& size) {
    const unsigned char c = static_cast<unsigned char>(text[0]);
    std::size_t length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    std::size_t k = 1;
    while (k < length && k < text.size() && (static_cast<unsigned char>(text[k]) & 0xC0) == 0x80)
        ++k;
    size = k;
    if (c < 0x80)
        return c;
    if (k != length || c < 0xC2 || c > 0xF4)
        return kNoCharacter;
    char32_t code = c & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i)
        code = code << 6 | (static_cast<unsigned char>(text[i]) & 0x3F);
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return kNoCharacter;
    return code;
}

} // namespace

std::string CCp949::FromUtf8(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    const Tables* tables = nullptr;
    while (!utf8.empty()) {
        std::size_t size = 1;
        const char32_t c = DecodeUtf8(utf8, size);
        utf8.remove_prefix(size);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        if (!tables)
            tables = &GetTables();
        const std::uint16_t pair = c < 0x10000 ? tables->fromBasic[c] : 0;
        if (pair == 0) {
            out.push_back('?'); // no CP949 character, or no character at all
            continue;
        }
        out.push_back(static_cast<char>(pair >> 8));
        out.push_back(static_cast<char>(pair & 0xFF));
    }
    return out;
}

std::string CCp949::ToUtf8(std::string_view cp949) {
    std::string out;
    out.reserve(cp949.size() * 3 / 2 + 4);
    for (std::size_t i = 0; i < cp949.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(cp949[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        const char32_t code =
            i + 1 < cp949.size() ? PairCode(c, static_cast<unsigned char>(cp949[i + 1])) : 0;
        if (code == 0) {
            // The one byte is replaced; what follows is read on its own.
            out.append("\xEF\xBF\xBD");
            continue;
        }
        AppendUtf8(out, code);
        ++i;
    }
    return out;
}

std::size_t CCp949::CharBoundary(std::string_view cp949, std::size_t maxBytes) {
    std::size_t i = 0;
    while (i < cp949.size()) {
        std::size_t step = IsLeadByte(static_cast<unsigned char>(cp949[i])) ? 2 : 1;
        if (i + step > maxBytes)
            break;
        i += step;
    }
    return std::min(i, cp949.size());
}

bool CCp949::IsPair(unsigned char lead, unsigned char trail) {
    return PairCode(lead, trail) != 0;
}

std::string CCp949::PairToUtf8(unsigned char lead, unsigned char trail) {
    std::string out;
    if (const char32_t c = PairCode(lead, trail))
        AppendUtf8(out, c);
    return out;
}
