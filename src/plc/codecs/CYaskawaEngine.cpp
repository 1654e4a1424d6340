#include "plc/codecs/CYaskawaEngine.h"

#include "link/CHexCodec.h"
#include "plc/CPlcSettingsFile.h"

#include <array>
#include <string>

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
    // A polled write carries at most 123 registers (253 bytes of PDU); the
    // buffer also holds what any other row would make, for the tests.
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

CPlcEngine::SLimit CYaskawaEngine::FieldLimit(const PlcRequestRow& row,
                                              const std::string& key) const {
    if (key == "SLAVEADDRESS")
        return {0, kMaxSlave, "1~247, 자동쓰기 브로드캐스트는 0"};
    if (key == "PLCADDRESS")
        return {0, 0xFFFF};
    if (key == "DATACOUNT")
        return {1, row.IsWrite() ? kMaxWriteCount : kMaxReadCount};
    return CPlcEngine::FieldLimit(row, key);
}

std::string CYaskawaEngine::CheckCodecRow(const PlcRequestRow& row) const {
    // Address 0 reaches every slave on the line, and none answers: only a
    // write meant so, typed as the digit itself.
    if (row.m_nSlaveAddress == 0 &&
        (!row.IsWrite() || row.m_cells.size() < 2 || row.m_cells[1] != "0"))
        return "SLAVEADDRESS 0은(는) 브로드캐스트입니다: \"0\"으로 적은 자동쓰기 ROW만 "
               "보낼 수 있습니다.";
    // The request carries a 16-bit start address; the registers it names
    // must not run past the last one either.
    constexpr long long kRegisters = 65536;
    if (static_cast<long long>(row.m_nPlcAddress) + row.m_nDataCount > kRegisters)
        return "PLCADDRESS " + std::to_string(row.m_nPlcAddress) + "부터 DATACOUNT " +
               std::to_string(row.m_nDataCount) + "개의 레지스터는 주소 범위(0~" +
               std::to_string(kRegisters - 1) + ")를 벗어납니다.";
    return {};
}

// The frame sizes below are those of the reply the request asks for, and
// of an exception reply; a function that is neither ends the exchange at
// once, as no length can be known for it.
int CYaskawaEngine::ParseAscii() {
    const std::vector<std::uint8_t>& text = m_receive;
    if (text.empty())
        return REPLY_WAIT;
    if (text[0] != ':')
        return REPLY_BAD;
    if (text.size() < 5)
        return REPLY_WAIT;
    const unsigned function = HexAt(text, 3, 2);
    if (function == FN_READ && text.size() < 7)
        return REPLY_WAIT;
    const std::size_t pduBytes = PduLength(function, HexAt(text, 5, 2)); // without the LRC
    if (pduBytes == 0)
        return REPLY_BAD;
    const std::size_t lrcAt = 1 + 2 * pduBytes;
    if (text.size() < lrcAt + 4)
        return REPLY_WAIT;
    // Every pair must be two hex digits: "0G" is no byte.
    std::vector<std::uint8_t> pdu;
    for (std::size_t k = 0; k < pduBytes; ++k) {
        const std::size_t at = 1 + 2 * k;
        if (CHexCodec::DigitValue(static_cast<char>(text[at])) < 0 ||
            CHexCodec::DigitValue(static_cast<char>(text[at + 1])) < 0)
            return REPLY_BAD;
        pdu.push_back(static_cast<std::uint8_t>(HexAt(text, at, 2)));
    }
    const unsigned lrc = Lrc(pdu.data(), static_cast<int>(pdu.size()));
    // The LRC is compared as the upper-case text the PLC sends.
    const bool lrcMatches = text[lrcAt] == static_cast<std::uint8_t>(kHexDigits[lrc >> 4]) &&
                            text[lrcAt + 1] == static_cast<std::uint8_t>(kHexDigits[lrc & 0x0F]);
    if (!lrcMatches || text[lrcAt + 2] != '\r' || text[lrcAt + 3] != '\n')
        return REPLY_BAD;
    return Judge(pdu);
}

int CYaskawaEngine::ParseRtu() {
    const std::vector<std::uint8_t>& bytes = m_receive;
    if (bytes.size() < 2)
        return REPLY_WAIT;
    const std::uint8_t function = bytes[1];
    if (function == FN_READ && bytes.size() < 3)
        return REPLY_WAIT;
    const std::size_t pduBytes =
        PduLength(function, function == FN_READ ? bytes[2] : 0); // without the CRC
    if (pduBytes == 0)
        return REPLY_BAD;
    if (bytes.size() < pduBytes + 2)
        return REPLY_WAIT;
    const std::uint16_t crc = CHexCodec::Crc16(static_cast<int>(pduBytes), bytes.data(), 0xFFFF);
    if (bytes[pduBytes] != (crc & 0xFF) || bytes[pduBytes + 1] != (crc >> 8))
        return REPLY_BAD;
    return Judge(std::vector<std::uint8_t>(bytes.begin(),
                                           bytes.begin() + static_cast<std::ptrdiff_t>(pduBytes)));
}

std::size_t CYaskawaEngine::PduLength(unsigned function, unsigned byteCount) {
    if (function & FN_EXCEPTION)
        return 3; // address, function, exception code
    if (function == FN_WRITE)
        return 6; // address, function, start, count
    if (function == FN_READ)
        return 3 + byteCount;
    return 0;
}

int CYaskawaEngine::Judge(const std::vector<std::uint8_t>& pdu) {
    const PlcRequestRow& row = m_current;
    const unsigned expected = row.IsWrite() ? FN_WRITE : FN_READ;
    if (pdu.size() < 3 || pdu[0] != static_cast<std::uint8_t>(row.m_nSlaveAddress & 0xFF))
        return REPLY_BAD;
    if (pdu[1] == (expected | FN_EXCEPTION))
        return REPLY_ERROR;
    if (pdu[1] != expected)
        return REPLY_BAD;
    const unsigned count = static_cast<unsigned>(row.m_nDataCount) & 0xFFFF;
    if (expected == FN_WRITE) {
        const unsigned start = static_cast<unsigned>(pdu[2] << 8 | pdu[3]);
        const unsigned echoed = static_cast<unsigned>(pdu[4] << 8 | pdu[5]);
        const bool matches =
            start == (static_cast<unsigned>(row.m_nPlcAddress) & 0xFFFF) && echoed == count;
        return matches ? REPLY_OK : REPLY_BAD;
    }
    if (pdu[2] != 2 * count)
        return REPLY_BAD;
    for (std::size_t i = 0; i < count; ++i)
        StoreWord(static_cast<long long>(row.m_nAnIndex) + static_cast<long long>(i),
                  static_cast<std::uint16_t>(pdu[3 + 2 * i] << 8 | pdu[4 + 2 * i]));
    return REPLY_OK;
}
