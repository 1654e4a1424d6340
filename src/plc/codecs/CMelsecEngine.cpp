#include "plc/codecs/CMelsecEngine.h"

#include "link/CHexCodec.h"
#include "plc/CPlcSettingsFile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

const CMelsecEngine::SDevice kDevices[] = {
    {"X", true, CMelsecEngine::ADDRESS_HEX4},   {"Y", true, CMelsecEngine::ADDRESS_HEX4},
    {"M", true, CMelsecEngine::ADDRESS_DEC4},   {"L", true, CMelsecEngine::ADDRESS_DEC4},
    {"S", true, CMelsecEngine::ADDRESS_DEC4},   {"B", true, CMelsecEngine::ADDRESS_HEX4},
    {"F", true, CMelsecEngine::ADDRESS_DEC4},   {"M", true, CMelsecEngine::ADDRESS_DEC4},
    {"TS", true, CMelsecEngine::ADDRESS_DEC3},  {"TC", true, CMelsecEngine::ADDRESS_DEC3},
    {"CS", true, CMelsecEngine::ADDRESS_DEC3},  {"CC", true, CMelsecEngine::ADDRESS_DEC3},
    {"TN", false, CMelsecEngine::ADDRESS_DEC3}, {"CN", false, CMelsecEngine::ADDRESS_DEC3},
    {"D", false, CMelsecEngine::ADDRESS_DEC4},  {"W", false, CMelsecEngine::ADDRESS_HEX4},
    {"R", false, CMelsecEngine::ADDRESS_DEC4},  {"D", false, CMelsecEngine::ADDRESS_DEC4},
};
constexpr int kLastBitDevice = 11;

// The highest address the device field can name.
long long LastAddress(CMelsecEngine::AddressFormat format) {
    switch (format) {
    case CMelsecEngine::ADDRESS_HEX4:
        return 0xFFFF;
    case CMelsecEngine::ADDRESS_DEC4:
        return 9999;
    default:
        return 999;
    }
}

bool IsWordAccessOfBits(const PlcRequestRow& row, const CMelsecEngine::SDevice& device) {
    return device.m_bBit && row.m_strDeviceType == "WORD";
}

// The device field's address: the row's, rounded down to a word's first
// bit where a hex-numbered bit device is read or written by words.
long long FieldAddress(const PlcRequestRow& row, const CMelsecEngine::SDevice& device) {
    long long address = row.m_nPlcAddress;
    if (device.m_format == CMelsecEngine::ADDRESS_HEX4 && IsWordAccessOfBits(row, device))
        address &= ~0xFLL;
    return address;
}

void PutText(std::string& out, const char* format, long long value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    out += text;
}

void PutHex2(std::string& out, unsigned value) {
    out += kHexDigits[(value >> 4) & 0xF];
    out += kHexDigits[value & 0xF];
}

std::string StationText(const PlcRequestRow& row) {
    std::string text;
    PutHex2(text, static_cast<unsigned>(row.m_nStationNum) & 0xFF);
    PutHex2(text, static_cast<unsigned>(row.m_nPlcNum) & 0xFF);
    return text;
}

} // namespace

CMelsecEngine::CMelsecEngine(ILinkHub& hub) : CPlcEngine(hub, CPlcSettingsFile::PLC_MELSEC) {}

const CMelsecEngine::SDevice* CMelsecEngine::Devices(std::size_t& count) {
    count = std::size(kDevices);
    return kDevices;
}

int CMelsecEngine::DeviceIndex(const std::string& name) {
    for (std::size_t i = 0; i < std::size(kDevices); ++i) {
        if (name == kDevices[i].m_szName)
            return static_cast<int>(i);
    }
    return -1;
}

CMelsecEngine::SCommand CMelsecEngine::CommandFor(const PlcRequestRow& row) {
    const int index = std::max(DeviceIndex(row.m_strDeviceName), 0);
    const bool read = row.IsRead();
    const bool write = row.IsWrite();
    if (!read && !write)
        return {nullptr, 64, false, false};
    if (index > kLastBitDevice)
        return {read ? "WR" : "WW", 64, false, write};
    if (row.m_strDeviceType == "BIT")
        return read ? SCommand{"BR", kMaxBitRead, true, false}
                    : SCommand{"BW", kMaxBitWrite, true, true};
    if (row.m_strDeviceType == "WORD")
        return read ? SCommand{"WR", 32, false, false} : SCommand{"WW", 10, false, true};
    return {nullptr, 64, false, write};
}

int CMelsecEngine::PointCount(const PlcRequestRow& row) {
    return std::clamp(row.m_nDataCount, 0, CommandFor(row).m_nLimit);
}

std::uint8_t CMelsecEngine::Sum(const std::uint8_t* bytes, std::size_t count) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += bytes[i];
    return static_cast<std::uint8_t>(sum & 0xFF);
}

int CMelsecEngine::EncodeRequest(const PlcRequestRow& row, const MemoryTable* memory,
                                 std::uint8_t* buffer, int capacity) {
    const int index = DeviceIndex(row.m_strDeviceName);
    const SDevice& device = kDevices[index < 0 ? 0 : index];
    const SCommand command = CommandFor(row);
    const int count = PointCount(row);

    std::string text(1, static_cast<char>(ENQ));
    text += StationText(row);
    if (command.m_szCode)
        text += command.m_szCode;
    text += 'A'; // no message wait
    // A name outside the table goes out as typed, with X's address rules.
    text += row.m_strDeviceName;
    const long long address = FieldAddress(row, device);
    if (device.m_format == ADDRESS_HEX4)
        PutText(text, "%04llX", address & 0xFFFF);
    else if (device.m_format == ADDRESS_DEC4)
        PutText(text, "%04lld", (address % 10000 + 10000) % 10000);
    else
        PutText(text, "%03lld", (address % 1000 + 1000) % 1000);
    // Two characters carry 1-255; a count of 256 (a "BR" of 256 points) is
    // "00", the way the link states its largest count.
    PutHex2(text, static_cast<unsigned>(count) & 0xFF);
    if (command.m_bWrite) {
        for (int i = 0; i < count; ++i) {
            const long long at = static_cast<long long>(row.m_nAnIndex) + i;
            const std::uint16_t word =
                memory && MemoryTable::ContainsRange(at, 1) ? memory->Get(static_cast<int>(at)) : 0;
            if (command.m_bBits) {
                text += word ? '1' : '0';
            } else {
                PutHex2(text, word >> 8);
                PutHex2(text, word & 0xFF);
            }
        }
    }
    PutHex2(text, Sum(reinterpret_cast<const std::uint8_t*>(text.data()) + 1, text.size() - 1));
    if (static_cast<long long>(text.size()) > capacity)
        return 0;
    std::copy(text.begin(), text.end(), buffer);
    return static_cast<int>(text.size());
}

int CMelsecEngine::BuildRequest(std::uint8_t* buffer, int& length) {
    m_nSkipped = 0;
    length = EncodeRequest(m_current, Memory(), buffer, kFrameMax);
    return 1;
}

CPlcEngine::SLimit CMelsecEngine::FieldLimit(const PlcRequestRow& row,
                                             const std::string& key) const {
    if (key == "STATIONNUM")
        return {0, kMaxStation};
    if (key == "PLCNUM")
        return {0, kMaxPlcNum};
    const int index = DeviceIndex(row.m_strDeviceName);
    if (key == "PLCADDRESS" && index >= 0)
        return {0, LastAddress(kDevices[index].m_format)};
    if (key == "DATACOUNT") {
        const SCommand command = CommandFor(row);
        // Without a command the row is refused for its type or name.
        return {1, command.m_szCode && index >= 0 ? command.m_nLimit : kMaxBitRead};
    }
    return CPlcEngine::FieldLimit(row, key);
}

std::string CMelsecEngine::CheckCodecRow(const PlcRequestRow& row) const {
    const int index = DeviceIndex(row.m_strDeviceName);
    if (index < 0)
        return "PLCDEVICENAME \"" + row.m_strDeviceName + "\"은(는) MELSEC 디바이스가 아닙니다.";
    const SDevice& device = kDevices[index];
    if (!CommandFor(row).m_szCode)
        return "PLCDEVICETYPE \"" + row.m_strDeviceType + "\"은(는) \"BIT\"도 \"WORD\"도 아닙니다.";
    // Every point the request names must exist: the field cannot name the
    // ones past the device's last address.
    const long long first = FieldAddress(row, device);
    const long long points =
        static_cast<long long>(PointCount(row)) * (IsWordAccessOfBits(row, device) ? 16 : 1);
    const long long last = LastAddress(device.m_format);
    if (first + points - 1 > last) {
        std::string range;
        PutText(range, device.m_format == ADDRESS_HEX4 ? "%llX" : "%lld", last);
        return "PLCADDRESS " + std::to_string(row.m_nPlcAddress) + "부터 DATACOUNT " +
               std::to_string(row.m_nDataCount) + "개는 " + device.m_szName + " 디바이스의 범위(" +
               device.m_szName + "0~" + device.m_szName + range + ")를 벗어납니다.";
    }
    return {};
}

int CMelsecEngine::ParseResponse() {
    std::vector<std::uint8_t>& bytes = m_receive;
    const auto start = std::find_if(bytes.begin(), bytes.end(), [](std::uint8_t b) {
        return b == STX || b == ACK || b == NAK;
    });
    if (start != bytes.begin()) {
        m_nSkipped += static_cast<std::size_t>(start - bytes.begin());
        bytes.erase(bytes.begin(), start);
    }
    if (m_nSkipped > static_cast<std::size_t>(kFrameMax))
        return REPLY_BAD;
    if (bytes.empty())
        return REPLY_WAIT;

    const std::string station = StationText(m_current);
    auto fromStation = [&bytes, &station] {
        return std::equal(station.begin(), station.end(), bytes.begin() + 1);
    };
    const SCommand command = CommandFor(m_current);
    switch (bytes[0]) {
    case ACK:
        if (bytes.size() < 5)
            return REPLY_WAIT;
        return fromStation() && command.m_bWrite ? REPLY_OK : REPLY_BAD;
    case NAK:
        if (bytes.size() < 7)
            return REPLY_WAIT;
        return fromStation() ? REPLY_ERROR : REPLY_BAD;
    default:
        // Read data never answer a write.
        return command.m_bWrite ? REPLY_BAD : ParseReadData(command);
    }
}

int CMelsecEngine::ParseReadData(const SCommand& command) {
    const std::vector<std::uint8_t>& bytes = m_receive;
    const int count = PointCount(m_current);
    const std::size_t dataChars = static_cast<std::size_t>(count) * (command.m_bBits ? 1 : 4);
    // The ETX must stand right after the data asked for; a frame that has
    // gone past that place without one is no answer, and is bounded here.
    const std::size_t etxAt = 5 + dataChars;
    const std::size_t searchEnd = std::min(bytes.size(), etxAt + 1);
    const auto etx =
        std::find(bytes.begin() + 1, bytes.begin() + static_cast<std::ptrdiff_t>(searchEnd), ETX);
    if (etx == bytes.begin() + static_cast<std::ptrdiff_t>(searchEnd))
        return bytes.size() > etxAt ? REPLY_BAD : REPLY_WAIT;
    const std::size_t at = static_cast<std::size_t>(etx - bytes.begin());
    if (bytes.size() < at + 3)
        return REPLY_WAIT;
    const std::uint8_t sum = Sum(bytes.data() + 1, at);
    const auto upper = [](std::uint8_t c) {
        return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    };
    if (upper(bytes[at + 1]) != kHexDigits[sum >> 4] ||
        upper(bytes[at + 2]) != kHexDigits[sum & 0xF])
        return REPLY_BAD;
    const std::string station = StationText(m_current);
    if (at < 5 || !std::equal(station.begin(), station.end(), bytes.begin() + 1))
        return REPLY_BAD;
    // Fewer (or more) data than asked for: nothing is stored.
    if (at != etxAt)
        return REPLY_BAD;
    std::vector<std::uint16_t> values;
    values.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (command.m_bBits) {
            const std::uint8_t c = bytes[5 + static_cast<std::size_t>(i)];
            if (c != '0' && c != '1')
                return REPLY_BAD;
            values.push_back(c == '1' ? 1 : 0);
            continue;
        }
        unsigned word = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const int digit = CHexCodec::DigitValue(
                static_cast<char>(bytes[5 + 4 * static_cast<std::size_t>(i) + k]));
            if (digit < 0)
                return REPLY_BAD;
            word = word * 16 + static_cast<unsigned>(digit);
        }
        values.push_back(static_cast<std::uint16_t>(word));
    }
    for (std::size_t i = 0; i < values.size(); ++i)
        StoreWord(static_cast<long long>(m_current.m_nAnIndex) + static_cast<long long>(i),
                  values[i]);
    const std::string ack = static_cast<char>(ACK) + station;
    SendFrame(reinterpret_cast<const std::uint8_t*>(ack.data()), static_cast<int>(ack.size()));
    return REPLY_OK;
}
