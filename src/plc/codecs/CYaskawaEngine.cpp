#include "plc/codecs/CYaskawaEngine.h"

#include "link/CHexCodec.h"
#include "plc/CPlcSettingsFile.h"

#include <array>

namespace {

// Appends bytes to a fixed buffer and notices when one would not fit.
class CFrameWriter {
public:
    CFrameWriter(std::uint8_t* buffer, int capacity) : m_pBuffer(buffer), m_nCapacity(capacity) {}
    void Put(std::uint8_t byte) {
        if (m_nLength < m_nCapacity)
            m_pBuffer[m_nLength++] = byte;
        else
            m_bOverflow = true;
    }
    void PutWord(unsigned value) {
        Put(static_cast<std::uint8_t>((value >> 8) & 0xFF));
        Put(static_cast<std::uint8_t>(value & 0xFF));
    }
    int Length() const { return m_bOverflow ? 0 : m_nLength; }

private:
    std::uint8_t* m_pBuffer;
    int m_nCapacity;
    int m_nLength = 0;
    bool m_bOverflow = false;
};

constexpr char kHexDigits[] = "0123456789ABCDEF";

// The hex number in the n characters at `at`, read as far as they are hex
// digits (either case); 0 when the first one is not.
unsigned HexAt(const std::vector<std::uint8_t>& text, std::size_t at, std::size_t n) {
    unsigned value = 0;
    for (std::size_t i = 0; i < n && at + i < text.size(); ++i) {
        const int digit = CHexCodec::DigitValue(static_cast<char>(text[at + i]));
        if (digit < 0)
            break;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return value;
}

} // namespace

CYaskawaEngine::CYaskawaEngine(ILinkHub& hub) : CPlcEngine(hub, CPlcSettingsFile::PLC_YASKAWA) {}

std::uint8_t CYaskawaEngine::Lrc(const std::uint8_t* bytes, int count) {
    unsigned sum = 0;
    for (int i = 0; i < count; ++i)
        sum += bytes[i];
    return static_cast<std::uint8_t>((0u - sum) & 0xFF);
}

int CYaskawaEngine::EncodeRequest(const PlcRequestRow& row, int mode, const MemoryTable* memory,
                                  std::uint8_t* buffer, int capacity) {
    // The PDU of the largest write the bounds rule lets through is 2007
    // bytes; the buffer leaves room for any row the file can hold.
    std::array<std::uint8_t, kFrameMax> pdu{};
    CFrameWriter w(pdu.data(), static_cast<int>(pdu.size()));
    w.Put(static_cast<std::uint8_t>(row.m_nSlaveAddress & 0xFF));
    const bool read = row.IsRead();
    const bool write = row.IsWrite();
    if (read)
        w.Put(FN_READ);
    else if (write)
        w.Put(FN_WRITE);
    w.PutWord(static_cast<unsigned>(row.m_nPlcAddress) & 0xFFFF);
    w.PutWord(static_cast<unsigned>(row.m_nDataCount) & 0xFFFF);
    if (write) {
        w.Put(static_cast<std::uint8_t>(((row.m_nDataCount & 0xFF) * 2) & 0xFF));
        int i = 0;
        do {
            const long long index = static_cast<long long>(row.m_nAnIndex) + i;
            const bool inside = memory && index >= 0 && index < MemoryTable::kSize;
            w.PutWord(inside ? memory->Get(static_cast<int>(index)) : 0);
            ++i;
        } while (i < row.m_nDataCount && w.Length() > 0);
    }
    const int pduLength = w.Length();
    if (pduLength == 0)
        return 0;

    CFrameWriter out(buffer, capacity);
    if (mode == MEMOBUS_RTU) {
        for (int i = 0; i < pduLength; ++i)
            out.Put(pdu[static_cast<std::size_t>(i)]);
        const std::uint16_t crc = CHexCodec::Crc16(pduLength, pdu.data(), 0xFFFF);
        out.Put(static_cast<std::uint8_t>(crc & 0xFF));
        out.Put(static_cast<std::uint8_t>(crc >> 8));
    } else {
        auto putHex = [&out](std::uint8_t b) {
            out.Put(static_cast<std::uint8_t>(kHexDigits[b >> 4]));
            out.Put(static_cast<std::uint8_t>(kHexDigits[b & 0x0F]));
        };
        out.Put(':');
        for (int i = 0; i < pduLength; ++i)
            putHex(pdu[static_cast<std::size_t>(i)]);
        putHex(Lrc(pdu.data(), pduLength));
        out.Put('\r');
        out.Put('\n');
    }
    return out.Length();
}

int CYaskawaEngine::BuildRequest(std::uint8_t* buffer, int& length) {
    length = EncodeRequest(m_current, m_nMode, Memory(), buffer, kFrameMax);
    return 1;
}

int CYaskawaEngine::ParseResponse() {
    return m_nMode == MEMOBUS_RTU ? ParseRtu() : ParseAscii();
}

int CYaskawaEngine::ParseAscii() {
    const std::vector<std::uint8_t>& text = m_receive;
    if (text.size() < 15)
        return 0;
    const unsigned function = HexAt(text, 3, 2);
    if (function != FN_READ && function != FN_WRITE)
        return 1;
    std::size_t lrcAt = 0;
    std::size_t n = 0;
    if (function == FN_WRITE) {
        if (text.size() < 17)
            return 0;
        lrcAt = 13;
    } else {
        n = HexAt(text, 5, 2) / 2;
        if (text.size() < 4 * n + 11)
            return 0;
        lrcAt = 4 * n + 7;
    }
    // The sum runs over the pairs from position 1 up to the LRC.
    unsigned sum = 0;
    for (std::size_t k = 0; k < (lrcAt - 1) / 2; ++k)
        sum += HexAt(text, 1 + 2 * k, 2);
    const unsigned lrc = (0u - sum) & 0xFF;
    const bool lrcMatches = text[lrcAt] == static_cast<std::uint8_t>(kHexDigits[lrc >> 4]) &&
                            text[lrcAt + 1] == static_cast<std::uint8_t>(kHexDigits[lrc & 0x0F]);
    if (!lrcMatches || text[lrcAt + 2] != '\r' || text[lrcAt + 3] != '\n')
        return 1;
    if (function == FN_READ) {
        for (std::size_t i = 0; i < n; ++i)
            StoreWord(static_cast<long long>(m_current.m_nAnIndex) + static_cast<long long>(i),
                      static_cast<std::uint16_t>(HexAt(text, 7 + 4 * i, 4)));
    }
    return 1;
}

int CYaskawaEngine::ParseRtu() {
    const std::vector<std::uint8_t>& bytes = m_receive;
    if (bytes.size() < 7)
        return 0;
    const std::uint8_t function = bytes[1];
    if (function != FN_READ && function != FN_WRITE)
        return 1;
    if (function == FN_WRITE)
        return bytes.size() < 8 ? 0 : 1;
    const std::size_t n = bytes[2] >> 1;
    if (bytes.size() < 2 * n + 5)
        return 0;
    const std::uint16_t crc = CHexCodec::Crc16(static_cast<int>(2 * n + 3), bytes.data(), 0xFFFF);
    if (bytes[2 * n + 3] != (crc & 0xFF) || bytes[2 * n + 4] != (crc >> 8))
        return 1;
    for (std::size_t i = 0; i < n; ++i)
        StoreWord(static_cast<long long>(m_current.m_nAnIndex) + static_cast<long long>(i),
                  static_cast<std::uint16_t>(bytes[3 + 2 * i] * 256 + bytes[4 + 2 * i]));
    return 1;
}
