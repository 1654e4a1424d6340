#include "plc/codecs/CPosfaEngine.h"

#include "link/CHexCodec.h"
#include "plc/CPlcSettingsFile.h"

#include <algorithm>
#include <cstdio>

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
    void PutText(const char* text) {
        for (; *text; ++text)
            Put(static_cast<std::uint8_t>(*text));
    }
    void PutWord(unsigned value) {
        Put(static_cast<std::uint8_t>((value >> 8) & 0xFF));
        Put(static_cast<std::uint8_t>(value & 0xFF));
    }
    // Overwrites a word already put (the LAN length).
    void PatchWord(int at, unsigned value) {
        if (at + 1 < m_nLength) {
            m_pBuffer[at] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
            m_pBuffer[at + 1] = static_cast<std::uint8_t>(value & 0xFF);
        }
    }
    int Length() const { return m_bOverflow ? 0 : m_nLength; }
    int Written() const { return m_nLength; }

private:
    std::uint8_t* m_pBuffer;
    int m_nCapacity;
    int m_nLength = 0;
    bool m_bOverflow = false;
};

constexpr const char* kDevices[] = {"X", "Y", "R", "L", "WX", "WY", "WR", "WL", "C", "T", "DR"};
// The codes the grid offers beyond the table; they travel like "X".
constexpr const char* kExtraDevices[] = {"BX", "HX", "BY", "HY", "BR", "HR", "BL", "HL"};
constexpr int IDX_R = 2;
constexpr int IDX_WX = 4;
constexpr int IDX_WR = 6;
constexpr int IDX_WL = 7;
constexpr int IDX_C = 8;
constexpr int IDX_T = 9;
constexpr int IDX_DR = 10;

bool IsBit(const PlcRequestRow& row) {
    return row.m_strDeviceType == "BIT";
}
bool IsWord(const PlcRequestRow& row) {
    return row.m_strDeviceType == "WORD";
}

// The devices whose address is three hex digits.
bool HasShortAddress(int index) {
    return (index >= IDX_WX && index <= IDX_WL) || index == IDX_DR;
}

// The two command letters of an RS232C request, or empty when the device
// and unit have none.
std::string CommandLetters(const PlcRequestRow& row) {
    if (!row.IsRead() && !row.IsWrite())
        return {};
    const int index = CPosfaEngine::DeviceIndex(row.m_strDeviceName);
    if (index == IDX_WL || index == IDX_DR)
        return {};
    const bool wordDevice =
        (index >= IDX_WX && index <= IDX_WR) || index == IDX_C || index == IDX_T;
    if (wordDevice || IsWord(row))
        return row.IsRead() ? "WR" : "WW";
    if (IsBit(row))
        return row.IsRead() ? "BR" : "BW";
    return {};
}

bool IsKnownDevice(const std::string& name) {
    for (const char* d : kDevices)
        if (name == d)
            return true;
    for (const char* d : kExtraDevices)
        if (name == d)
            return true;
    return false;
}

int HexDigit(std::uint8_t c) {
    return CHexCodec::DigitValue(static_cast<char>(c));
}

} // namespace

CPosfaEngine::CPosfaEngine(ILinkHub& hub) : CPlcEngine(hub, CPlcSettingsFile::PLC_POSFA) {}

int CPosfaEngine::DeviceIndex(const std::string& name) {
    for (int i = 0; i < static_cast<int>(std::size(kDevices)); ++i)
        if (name == kDevices[i])
            return i;
    return 0;
}

int CPosfaEngine::CountLimit(const PlcRequestRow& row) {
    if ((!IsBit(row) && !IsWord(row)) || (!row.IsRead() && !row.IsWrite()))
        return 256;
    const int index = DeviceIndex(row.m_strDeviceName);
    const bool bitDevice = index == 0 || index == 1 || index == 3;
    if (bitDevice)
        return IsBit(row) ? 2048 : 128;
    return 1024;
}

int CPosfaEngine::EncodeRequest(const PlcRequestRow& row, int mode, const MemoryTable* memory,
                                std::uint8_t* buffer, int capacity) {
    CFrameWriter w(buffer, capacity);
    auto word = [memory, &row](int i) -> unsigned {
        const long long index = static_cast<long long>(row.m_nAnIndex) + i;
        return memory && MemoryTable::ContainsRange(index, 1) ? memory->Get(static_cast<int>(index))
                                                              : 0u;
    };
    if (mode == POSFA_RS232C) {
        char text[32];
        w.Put(ENQ);
        std::snprintf(text, sizeof text, "%02X%02X", static_cast<unsigned>(row.m_nStationNum),
                      static_cast<unsigned>(row.m_nPlcNum));
        w.PutText(text);
        w.PutText(CommandLetters(row).c_str());
        w.Put('A');
        const int index = DeviceIndex(row.m_strDeviceName);
        w.PutText(row.m_strDeviceName.c_str());
        std::snprintf(text, sizeof text, HasShortAddress(index) ? "%03X" : "%04X",
                      static_cast<unsigned>(row.m_nPlcAddress) & 0xFFFF);
        w.PutText(text);
        const int sent = std::min(row.m_nDataCount, CountLimit(row));
        std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(sent));
        w.PutText(text);
        if (row.IsWrite()) {
            for (int i = 0; i < sent && w.Length() > 0; ++i) {
                const unsigned value = word(i);
                if (IsBit(row)) {
                    w.Put(value ? '1' : '0');
                } else if (IsWord(row)) {
                    std::snprintf(text, sizeof text, "%04X", value);
                    w.PutText(text);
                }
            }
        }
        unsigned sum = 0;
        for (int i = 1; i < w.Written() && i < capacity; ++i)
            sum += buffer[i];
        std::snprintf(text, sizeof text, "%02X", sum & 0xFF);
        w.PutText(text);
        return w.Length();
    }
    if (mode != POSFA_LAN)
        return 0;
    w.PutWord(0); // the length, set below
    w.PutWord(0x0001);
    w.PutWord(0x0000);
    if (row.IsRead())
        w.PutWord(LAN_READ);
    else if (row.IsWrite())
        w.PutWord(LAN_WRITE);
    w.PutWord(0x0000);
    const std::string& name = row.m_strDeviceName;
    const unsigned first = name.size() > 0 ? static_cast<std::uint8_t>(name[0]) : 0;
    const unsigned second = name.size() > 1 ? static_cast<std::uint8_t>(name[1]) : 0;
    w.PutWord(first << 8 | second);
    w.PutWord(static_cast<unsigned>(row.m_nPlcAddress) & 0xFFFF);
    w.PutWord(static_cast<unsigned>(row.m_nDataCount) & 0xFFFF);
    if (row.IsWrite()) {
        for (int i = 0; i < row.m_nDataCount && w.Length() > 0; ++i)
            w.PutWord(word(i));
    }
    w.PutWord(LAN_END);
    w.PatchWord(0, static_cast<unsigned>(w.Written()) & 0xFFFF);
    return w.Length();
}

int CPosfaEngine::BuildRequest(std::uint8_t* buffer, int& length) {
    length = EncodeRequest(m_current, m_nMode, Memory(), buffer, kFrameMax);
    return 1;
}

int CPosfaEngine::ParseResponse() {
    if (m_nMode == POSFA_RS232C)
        return ParseText();
    if (m_nMode == POSFA_LAN)
        return ParseLan();
    return REPLY_BAD;
}

CPlcEngine::SLimit CPosfaEngine::FieldLimit(const PlcRequestRow& row,
                                            const std::string& key) const {
    const bool text = m_nMode == POSFA_RS232C;
    // Two hex digits each in the text frame.
    if (text && (key == "STATIONNUM" || key == "PLCNUM"))
        return {0, 255};
    if (key == "PLCADDRESS")
        return {0, text && HasShortAddress(DeviceIndex(row.m_strDeviceName)) ? 0xFFF : 0xFFFF};
    if (key == "DATACOUNT" && text)
        return {1, std::min(CountLimit(row), MemoryTable::kSize)};
    return CPlcEngine::FieldLimit(row, key);
}

std::string CPosfaEngine::CheckCodecRow(const PlcRequestRow& row) const {
    if (!IsBit(row) && !IsWord(row))
        return "PLCDEVICETYPE \"" + row.m_strDeviceType + "\"은(는) \"BIT\"도 \"WORD\"도 아닙니다.";
    if (!IsKnownDevice(row.m_strDeviceName))
        return "PLCDEVICENAME \"" + row.m_strDeviceName + "\"은(는) POSFA 디바이스가 아닙니다.";
    if (m_nMode == POSFA_LAN) {
        // The LAN frame carries words only.
        if (IsBit(row))
            return "LAN 통신은 WORD 단위만 읽고 씁니다: PLCDEVICETYPE을 \"WORD\"로 하십시오.";
    } else {
        const std::string letters = CommandLetters(row);
        if (letters.empty())
            return "디바이스 " + row.m_strDeviceName + "은(는) RS232C 명령이 없습니다.";
        if (IsBit(row) && letters[0] == 'W')
            return "디바이스 " + row.m_strDeviceName + "은(는) WORD 단위만 읽고 씁니다.";
    }
    const bool shortAddress =
        m_nMode == POSFA_RS232C && HasShortAddress(DeviceIndex(row.m_strDeviceName));
    const long long end = shortAddress ? 0x1000 : 0x10000;
    if (static_cast<long long>(row.m_nPlcAddress) + row.m_nDataCount > end)
        return "PLCADDRESS " + std::to_string(row.m_nPlcAddress) + "부터 DATACOUNT " +
               std::to_string(row.m_nDataCount) + "개는 주소 범위(0~" + std::to_string(end - 1) +
               ")를 벗어납니다.";
    return {};
}

bool CPosfaEngine::EchoesStation(std::size_t at) const {
    if (m_receive.size() < at + 4)
        return false;
    char expected[16];
    std::snprintf(expected, sizeof expected, "%02X%02X",
                  static_cast<unsigned>(m_current.m_nStationNum),
                  static_cast<unsigned>(m_current.m_nPlcNum));
    for (std::size_t i = 0; i < 4; ++i)
        if (m_receive[at + i] != static_cast<std::uint8_t>(expected[i]))
            return false;
    return true;
}

int CPosfaEngine::ParseText() {
    const std::vector<std::uint8_t>& rx = m_receive;
    if (rx.empty())
        return REPLY_WAIT;
    const PlcRequestRow& row = m_current;
    if (rx[0] == ACK) {
        if (rx.size() < 5)
            return REPLY_WAIT;
        // A write is answered with ACK; a read needs its data.
        return EchoesStation(1) && row.IsWrite() ? REPLY_OK : REPLY_BAD;
    }
    if (rx[0] == NAK) {
        if (rx.size() < 7)
            return REPLY_WAIT;
        return EchoesStation(1) ? REPLY_ERROR : REPLY_BAD;
    }
    if (rx[0] != STX)
        return REPLY_BAD;
    // The data are hex text: the first ETX ends them.
    std::size_t etx = 1;
    while (etx < rx.size() && rx[etx] != ETX)
        ++etx;
    // A stream that never ends cannot hold the request open or grow the
    // buffer past a frame's room.
    if (etx + 3 > static_cast<std::size_t>(kFrameMax))
        return REPLY_BAD;
    if (etx >= rx.size() || rx.size() < etx + 3)
        return REPLY_WAIT;
    unsigned sum = 0;
    for (std::size_t i = 1; i <= etx; ++i)
        sum += rx[i];
    const int high = HexDigit(rx[etx + 1]);
    const int low = HexDigit(rx[etx + 2]);
    if (high < 0 || low < 0 || static_cast<unsigned>(high * 16 + low) != (sum & 0xFF))
        return REPLY_BAD;
    if (!row.IsRead() || etx < 5 || !EchoesStation(1))
        return REPLY_BAD;
    const std::size_t unit = IsBit(row) ? 1 : IsWord(row) ? 4 : 0;
    const std::size_t count = static_cast<std::size_t>(std::max(row.m_nDataCount, 0));
    // Exactly the points asked for, every character a digit of its unit,
    // before one word is stored.
    if (etx - 5 != unit * count)
        return REPLY_BAD;
    for (std::size_t i = 5; i < etx; ++i) {
        const bool ok = unit == 1 ? (rx[i] == '0' || rx[i] == '1') : HexDigit(rx[i]) >= 0;
        if (!ok)
            return REPLY_BAD;
    }
    for (std::size_t i = 0; i < count; ++i) {
        unsigned value = 0;
        for (std::size_t k = 0; k < unit; ++k)
            value = value * 16 + static_cast<unsigned>(HexDigit(rx[5 + unit * i + k]));
        StoreWord(static_cast<long long>(row.m_nAnIndex) + static_cast<long long>(i),
                  static_cast<std::uint16_t>(value));
    }
    char ack[16];
    std::snprintf(ack, sizeof ack, "%c%02X%02X", ACK, static_cast<unsigned>(row.m_nStationNum),
                  static_cast<unsigned>(row.m_nPlcNum));
    SendFrame(reinterpret_cast<const std::uint8_t*>(ack), 5);
    return REPLY_OK;
}

int CPosfaEngine::ParseLan() {
    const std::vector<std::uint8_t>& rx = m_receive;
    auto wordAt = [&rx](std::size_t at) -> unsigned {
        return at + 1 < rx.size() ? static_cast<unsigned>(rx[at] << 8 | rx[at + 1]) : 0u;
    };
    if (rx.size() <= 2)
        return REPLY_WAIT;
    const PlcRequestRow& row = m_current;
    const std::size_t count = static_cast<std::size_t>(std::max(row.m_nDataCount, 0)) & 0xFFFF;
    const std::size_t length = wordAt(0);
    // A read answer carries the words asked for, a write answer none; a
    // length that cannot be either ends the exchange without waiting for it.
    const std::size_t longest = kLanHeader + 2 * (row.IsRead() ? count : 0) + 2;
    if (length < kLanHeader + 2 || length > longest)
        return REPLY_BAD;
    if (rx.size() < length)
        return REPLY_WAIT;
    const unsigned command = row.IsRead() ? LAN_READ : LAN_WRITE;
    const std::string& name = row.m_strDeviceName;
    const unsigned device = (name.size() > 0 ? static_cast<std::uint8_t>(name[0]) : 0u) << 8 |
                            (name.size() > 1 ? static_cast<std::uint8_t>(name[1]) : 0u);
    if (wordAt(2) != 0x0001 || wordAt(6) != command || wordAt(10) != device ||
        wordAt(12) != (static_cast<unsigned>(row.m_nPlcAddress) & 0xFFFF))
        return REPLY_BAD;
    const std::size_t stated = wordAt(14);
    if (wordAt(kLanHeader + 2 * stated) != LAN_END || kLanHeader + 2 * stated + 2 != length)
        return REPLY_BAD;
    // A refusal keeps the layout, without data, and puts its code in
    // word 4; a write is answered the same way with code 0.
    if (stated == 0 && wordAt(8) != 0)
        return REPLY_ERROR;
    if (row.IsWrite())
        return stated == 0 ? REPLY_OK : REPLY_BAD;
    if (stated != count)
        return REPLY_BAD;
    for (std::size_t i = 0; i < count; ++i)
        StoreWord(static_cast<long long>(row.m_nAnIndex) + static_cast<long long>(i),
                  static_cast<std::uint16_t>(wordAt(kLanHeader + 2 * i)));
    return REPLY_OK;
}
