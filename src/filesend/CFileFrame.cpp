#include "filesend/CFileFrame.h"

#include <array>

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

std::uint16_t CFileFrame::Crc(const std::uint8_t* bytes, std::size_t count) {
    // Eight bytes a step through eight tables: every chunk is checked on
    // both ends, and a byte-wise loop is a good part of a chunk's time.
    static const auto tables = [] {
        std::array<std::array<std::uint16_t, 256>, 8> t{};
        for (unsigned i = 0; i < 256; ++i) {
            auto crc = static_cast<std::uint16_t>(i);
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                                : static_cast<std::uint16_t>(crc >> 1);
            t[0][i] = crc;
        }
        for (unsigned i = 0; i < 256; ++i)
            for (std::size_t k = 1; k < 8; ++k)
                t[k][i] = static_cast<std::uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
        return t;
    }();
    std::uint16_t crc = 0xFFFF;
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
