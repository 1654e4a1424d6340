#include "filesend/CFileFrame.h"

#include <array>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

namespace {

void Put(std::vector<std::uint8_t>& out, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint32_t Get(const std::uint8_t* p, int width) {
    std::uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = (value << 8) | p[i];
    return value;
}

} // namespace

namespace {

// Eight bytes a step through eight tables, from a given register value.
std::uint16_t TableCrc(std::uint16_t crc, const std::uint8_t* bytes, std::size_t count) {
    static const auto tables = [] {
        std::array<std::array<std::uint16_t, 256>, 8> t{};
        for (unsigned i = 0; i < 256; ++i) {
            auto c = static_cast<std::uint16_t>(i);
            for (int bit = 0; bit < 8; ++bit)
                c = (c & 1) ? static_cast<std::uint16_t>((c >> 1) ^ 0xA001)
                            : static_cast<std::uint16_t>(c >> 1);
            t[0][i] = c;
        }
        for (unsigned i = 0; i < 256; ++i)
            for (std::size_t k = 1; k < 8; ++k)
                t[k][i] = static_cast<std::uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
        return t;
    }();
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const std::uint8_t* b = bytes + i;
        crc = static_cast<std::uint16_t>(tables[7][(b[0] ^ crc) & 0xFF] ^
                                         tables[6][(b[1] ^ (crc >> 8)) & 0xFF] ^ tables[5][b[2]] ^
                                         tables[4][b[3]] ^ tables[3][b[4]] ^ tables[2][b[5]] ^
                                         tables[1][b[6]] ^ tables[0][b[7]]);
    }
    for (; i < count; ++i)
        crc = static_cast<std::uint16_t>((crc >> 8) ^ tables[0][(crc ^ bytes[i]) & 0xFF]);
    return crc;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUILLET_CLMUL_CRC 1

// Carry-less folding: a CRC depends on what went before only through that
// prefix modulo the polynomial, so a 16-byte register is replaced by a
// shorter value of the same remainder, moved on past the next bytes, and
// those bytes added. Each pair of 16-bit factors gives, for the register's
// first and second eight bytes, the same CRC as the register followed by
// 16, 32, 48 or 64 zero bytes (found by a search with the table version).
// Four registers a step hide the multiplier's latency; the table finishes
// the last 16 bytes and the tail.
__attribute__((target("pclmul,sse2"))) inline __m128i Fold(__m128i x, __m128i factors) {
    return _mm_xor_si128(_mm_clmulepi64_si128(x, factors, 0x00),
                         _mm_clmulepi64_si128(x, factors, 0x11));
}

__attribute__((target("pclmul,sse2"))) std::uint16_t FoldCrc(const std::uint8_t* bytes,
                                                             std::size_t count) {
    const auto load = [bytes](std::size_t at) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at));
    };
    const __m128i by16 = _mm_set_epi64x(0xCCC1, 0x90C1);
    const __m128i by32 = _mm_set_epi64x(0x955D, 0xAC01);
    const __m128i by48 = _mm_set_epi64x(0xC6AD, 0xED6D);
    const __m128i by64 = _mm_set_epi64x(0xBFFA, 0xF0C1);
    const __m128i initial = _mm_cvtsi32_si128(0xFFFF);
    __m128i x = _mm_xor_si128(load(0), initial);
    std::size_t i = 16;
    if (count >= 128) {
        __m128i y = load(16), z = load(32), w = load(48);
        for (i = 64; i + 64 <= count; i += 64) {
            x = _mm_xor_si128(Fold(x, by64), load(i));
            y = _mm_xor_si128(Fold(y, by64), load(i + 16));
            z = _mm_xor_si128(Fold(z, by64), load(i + 32));
            w = _mm_xor_si128(Fold(w, by64), load(i + 48));
        }
        x = _mm_xor_si128(_mm_xor_si128(Fold(x, by48), Fold(y, by32)),
                          _mm_xor_si128(Fold(z, by16), w));
    }
    for (; i + 16 <= count; i += 16)
        x = _mm_xor_si128(Fold(x, by16), load(i));
    alignas(16) std::uint8_t last[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(last), x);
    return TableCrc(TableCrc(0, last, 16), bytes + i, count - i);
}

bool HasClmul() {
    static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
    return has;
}
#endif

} // namespace

std::uint16_t CFileFrame::Crc(const std::uint8_t* bytes, std::size_t count) {
    // Every chunk is checked on both ends: the table version alone takes
    // longer than a loopback round trip for a full frame.
#ifdef QUILLET_CLMUL_CRC
    if (count >= 64 && HasClmul())
        return FoldCrc(bytes, count);
#endif
    return TableCrc(0xFFFF, bytes, count);
}

std::vector<std::uint8_t> CFileFrame::Build(std::uint8_t kind, std::uint32_t index,
                                            std::uint32_t size, std::string_view name,
                                            const std::uint8_t* data, std::size_t count) {
    const std::size_t n = name.size() + 1;
    const std::size_t total = kOverhead + n + count;
    if (total > kMaxFrame)
        return {};
    std::vector<std::uint8_t> out;
    out.reserve(total);
    out.push_back(kind);
    Put(out, static_cast<std::uint32_t>(total), 4);
    Put(out, index, 4);
    Put(out, size, 4);
    Put(out, static_cast<std::uint32_t>(n), 2);
    out.insert(out.end(), name.begin(), name.end());
    out.push_back(0);
    Put(out, static_cast<std::uint32_t>(count), 2);
    if (count)
        out.insert(out.end(), data, data + count);
    out.push_back(0); // reserved
    Put(out, Crc(out.data(), out.size()), 2);
    return out;
}

CFileFrame::Result CFileFrame::Decode(const std::uint8_t* bytes, std::size_t count,
                                      CFileFrame& frame) {
    if (count < 1)
        return FRAME_WAIT;
    const std::uint8_t kind = bytes[0];
    if (kind != FRAME_DATA && kind != FRAME_ACK && kind != FRAME_RESUME)
        return FRAME_BAD;
    if (count < 5)
        return FRAME_WAIT;
    const std::uint32_t total = Get(bytes + 1, 4);
    // A total no frame can have would make the receiver wait for ever.
    if (total < kOverhead || total > kMaxFrame)
        return FRAME_BAD;
    if (count < total)
        return FRAME_WAIT;
    const std::size_t n = Get(bytes + 13, 2);
    if (kOverhead + n > total)
        return FRAME_BAD;
    const std::size_t d = Get(bytes + 15 + n, 2);
    if (kOverhead + n + d != total)
        return FRAME_BAD;
    const std::size_t crcAt = 18 + n + d;
    if (Crc(bytes, crcAt) != Get(bytes + crcAt, 2))
        return FRAME_BAD;
    frame.m_nKind = kind;
    frame.m_nIndex = Get(bytes + 5, 4);
    frame.m_nSize = Get(bytes + 9, 4);
    const char* name = reinterpret_cast<const char*>(bytes + 15);
    std::size_t length = 0;
    while (length < n && name[length] != '\0')
        ++length;
    frame.m_strName.assign(name, length);
    frame.m_pData = bytes + 17 + n;
    frame.m_nDataLength = static_cast<std::uint16_t>(d);
    return FRAME_GOOD;
}
