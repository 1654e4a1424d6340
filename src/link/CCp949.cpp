#include "link/CCp949.h"

#include <algorithm>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

namespace {

bool IsLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

#ifdef _WIN32

std::wstring Widen(std::string_view in, UINT codePage, DWORD flags) {
    if (in.empty())
        return {};
    int n =
        MultiByteToWideChar(codePage, flags, in.data(), static_cast<int>(in.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, flags, in.data(), static_cast<int>(in.size()), out.data(), n);
    return out;
}

std::string Narrow(const std::wstring& in, UINT codePage) {
    if (in.empty())
        return {};
    int n = WideCharToMultiByte(codePage, 0, in.data(), static_cast<int>(in.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, in.data(), static_cast<int>(in.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

#else

// Runs iconv over the whole input; an unconvertible or invalid sequence is
// replaced and conversion goes on after it.
std::string Convert(std::string_view in, const char* to, const char* from,
                    std::string_view replacement, std::size_t skipUnit) {
    std::string out;
    if (in.empty())
        return out;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string(in); // no converter: pass the bytes through
    out.reserve(in.size() * 3 / 2 + 4);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char buffer[1024];
    while (srcLeft > 0) {
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (rc != static_cast<std::size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // EILSEQ or EINVAL: replace one unit and go on.
        out.append(replacement);
        std::size_t skip = skipUnit;
        if (skipUnit == 0) { // UTF-8 input: skip one whole character
            unsigned char c = static_cast<unsigned char>(*src);
            skip = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            // never skip past a byte that starts another character
            for (std::size_t k = 1; k < skip && k < srcLeft; ++k) {
                if ((static_cast<unsigned char>(src[k]) & 0xC0) != 0x80) {
                    skip = k;
                    break;
                }
            }
        }
        skip = std::min(skip, srcLeft);
        src += skip;
        srcLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

#endif

} // namespace

std::string CCp949::FromUtf8(std::string_view utf8) {
#ifdef _WIN32
    return Narrow(Widen(utf8, CP_UTF8, 0), 949);
#else
    return Convert(utf8, "CP949", "UTF-8", "?", 0);
#endif
}

std::string CCp949::ToUtf8(std::string_view cp949) {
#ifdef _WIN32
    return Narrow(Widen(cp949, 949, 0), CP_UTF8);
#else
    return Convert(cp949, "UTF-8", "CP949", "\xEF\xBF\xBD", 1);
#endif
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

namespace {

constexpr int kTrailFirst = 0x41;
constexpr std::size_t kPairs = 126 * 190;

// The Unicode character of every (lead 0x81..0xFE, trail 0x41..0xFE) pair,
// 0 where the pair is no character.
using PairTable = std::vector<char32_t>;

std::size_t PairIndex(unsigned char lead, unsigned char trail) {
    return static_cast<std::size_t>(lead - 0x81) * 190 +
           static_cast<std::size_t>(trail - kTrailFirst);
}

PairTable MakePairTable() {
    PairTable table(kPairs, 0);
#ifdef _WIN32
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail = kTrailFirst; trail <= 0xFE; ++trail) {
            const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            wchar_t out[2];
            if (MultiByteToWideChar(949, MB_ERR_INVALID_CHARS, in, 2, out, 2) == 1 &&
                !(out[0] >= 0xE000 && out[0] <= 0xF8FF))
                table[PairIndex(static_cast<unsigned char>(lead),
                                static_cast<unsigned char>(trail))] = out[0];
        }
#else
    iconv_t cd = iconv_open("UTF-32LE", "CP949");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return table;
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail = kTrailFirst; trail <= 0xFE; ++trail) {
            char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            char out[8];
            char* src = in;
            char* dst = out;
            std::size_t srcLeft = 2;
            std::size_t dstLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            // One character from both bytes; a private-use answer is no
            // character a reader could recognise either.
            if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1) ||
                srcLeft != 0 || dstLeft != sizeof out - 4)
                continue;
            const auto b = [&](int i) {
                return static_cast<char32_t>(static_cast<unsigned char>(out[i]));
            };
            const char32_t code = b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
            if (code >= 0x80 && !(code >= 0xE000 && code <= 0xF8FF))
                table[PairIndex(static_cast<unsigned char>(lead),
                                static_cast<unsigned char>(trail))] = code;
        }
    iconv_close(cd);
#endif
    return table;
}

char32_t PairCode(unsigned char lead, unsigned char trail) {
    if (!CCp949::IsLead(lead) || trail < kTrailFirst || trail > 0xFE)
        return 0;
    static const PairTable table = MakePairTable();
    return table[PairIndex(lead, trail)];
}

} // namespace

bool CCp949::IsPair(unsigned char lead, unsigned char trail) {
    return PairCode(lead, trail) != 0;
}

std::string CCp949::PairToUtf8(unsigned char lead, unsigned char trail) {
    const char32_t c = PairCode(lead, trail);
    std::string out;
    if (c == 0)
        return out;
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
    return out;
}
