#include "plc/sim/CMelsecSimStation.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

constexpr std::uint8_t STX = 0x02;
constexpr std::uint8_t ETX = 0x03;
constexpr std::uint8_t ENQ = 0x05;
constexpr std::uint8_t ACK = 0x06;
constexpr std::uint8_t NAK = 0x15;

// ENQ, station, PC number, command, wait, device (5), count: what every
// request has before its data and sum.
constexpr std::size_t kHeader = 15;

constexpr char kHex[] = "0123456789ABCDEF";

// The bytes a frame starts with; none of them appears inside one.
bool IsStart(std::uint8_t c) {
    return c == ENQ || c == ACK || c == NAK;
}

int HexDigit(std::uint8_t c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Two hex characters, -1 when either is not one.
int Hex2(const std::uint8_t* at) {
    const int high = HexDigit(at[0]);
    const int low = HexDigit(at[1]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

void PutHex2(std::vector<std::uint8_t>& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(kHex[(value >> 4) & 0xF]));
    out.push_back(static_cast<std::uint8_t>(kHex[value & 0xF]));
}

} // namespace

const CMelsecSimStation::SDevice* CMelsecSimStation::Find(const std::string& name) {
    static const SDevice devices[] = {
        {"X", true, true, 4},    {"Y", true, true, 4},   {"M", true, false, 4},
        {"L", true, false, 4},   {"S", true, false, 4},  {"B", true, true, 4},
        {"F", true, false, 4},   {"TS", true, false, 3}, {"TC", true, false, 3},
        {"CS", true, false, 3},  {"CC", true, false, 3}, {"TN", false, false, 3},
        {"CN", false, false, 3}, {"D", false, false, 4}, {"W", false, true, 4},
        {"R", false, false, 4},
    };
    for (const SDevice& d : devices) {
        if (name == d.m_szName)
            return &d;
    }
    return nullptr;
}

long long CMelsecSimStation::Last(const SDevice& device) {
    if (device.m_bHex)
        return 0xFFFF;
    return device.m_nDigits == 4 ? 9999 : 999;
}

bool CMelsecSimStation::SetStation(long long station, std::string& error) {
    if (station < 0 || station > kMaxStation) {
        error = "a MELSEC station number is 0 to " + std::to_string(kMaxStation);
        return false;
    }
    m_nStation = static_cast<int>(station);
    return true;
}

bool CMelsecSimStation::Preset(const std::string& deviceName, long long address, long long value,
                               std::string& error) {
    std::string name = deviceName;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const SDevice* device = Find(name);
    if (!device) {
        error = "no MELSEC device '" + deviceName +
                "' (bits X Y M L S B F TS TC CS CC, words TN CN D W R)";
        return false;
    }
    if (address < 0 || address > Last(*device)) {
        error = name + " addresses are 0 to " + std::to_string(Last(*device));
        return false;
    }
    if (device->m_bBit) {
        if (value != 0 && value != 1) {
            error = name + " is a bit device: its value is 0 or 1";
            return false;
        }
        m_memory.SetBit(name, address, value != 0);
        return true;
    }
    if (value < -32768 || value > 65535) {
        error = name + " holds 16-bit words: -32768 to 65535";
        return false;
    }
    m_memory.SetWord(name, address, static_cast<std::uint16_t>(value));
    return true;
}

void CMelsecSimStation::OnReceive(const std::uint8_t* data, int length) {
    if (!data || length <= 0)
        return;
    m_buffer.insert(m_buffer.end(), data, data + length);
    // A host that answers from inside Send brings its bytes back here: they
    // wait in the buffer for the loop below.
    if (m_bBusy)
        return;
    m_bBusy = true;
    while (TakeFrame()) {
    }
    m_bBusy = false;
}

bool CMelsecSimStation::TakeFrame() {
    const auto start = std::find_if(m_buffer.begin(), m_buffer.end(), IsStart);
    m_buffer.erase(m_buffer.begin(), start);
    if (m_buffer.empty())
        return false;
    const std::size_t need = m_buffer[0] == ENQ ? kHeader : 5;
    // A new frame that starts inside this one means this one broke off.
    for (std::size_t i = 1; i < std::min(need, m_buffer.size()); ++i) {
        if (IsStart(m_buffer[i])) {
            m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(i));
            return true;
        }
    }
    if (m_buffer.size() < need)
        return false;
    std::size_t used = 5;
    if (m_buffer[0] == ENQ) {
        if (!TakeRequest(used))
            return false;
    } else if (Hex2(&m_buffer[1]) == m_nStation) {
        // The computer's word on the read data we sent.
        ++(m_buffer[0] == ACK ? m_nAcks : m_nNaks);
    }
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(used));
    return true;
}

bool CMelsecSimStation::TakeRequest(std::size_t& used) {
    const std::uint8_t* f = m_buffer.data();
    // Whatever cannot be read in the header drops just the ENQ: the next
    // ENQ starts the next try.
    used = 1;
    if (Hex2(f + 1) != m_nStation)
        return true; // another station's, or unreadable
    const int pcField = Hex2(f + 3);
    const unsigned pc = static_cast<unsigned>(std::max(pcField, 0));
    if (pcField < 0) {
        Refuse(pc, ERR_CHARACTER);
        return true;
    }
    const std::string command(reinterpret_cast<const char*>(f + 5), 2);
    const bool bits = command == "BR" || command == "BW";
    const bool write = command == "BW" || command == "WW";
    if (!bits && command != "WR" && command != "WW") {
        Refuse(pc, ERR_AREA);
        return true;
    }
    if (HexDigit(f[7]) < 0) {
        Refuse(pc, ERR_CHARACTER);
        return true;
    }
    const SDevice* device = Find(std::string(reinterpret_cast<const char*>(f + 8), 2));
    std::size_t digitsAt = 10;
    if (!device) {
        device = Find(std::string(reinterpret_cast<const char*>(f + 8), 1));
        digitsAt = 9;
    }
    if (!device || (device->m_nDigits == 3) != (digitsAt == 10)) {
        Refuse(pc, ERR_AREA);
        return true;
    }
    long long address = 0;
    for (std::size_t i = digitsAt; i < 13; ++i) {
        const int digit = HexDigit(f[i]);
        if (digit < 0 || (!device->m_bHex && digit > 9)) {
            Refuse(pc, ERR_CHARACTER);
            return true;
        }
        address = address * (device->m_bHex ? 16 : 10) + digit;
    }
    int count = Hex2(f + 13);
    if (count < 0) {
        Refuse(pc, ERR_CHARACTER);
        return true;
    }
    if (count == 0)
        count = 256; // the link's way to state its largest count
    int limit = 64;
    if (bits)
        limit = device->m_bBit ? (write ? 160 : 256) : 0;
    else if (device->m_bBit)
        limit = write ? 10 : 32;
    if (count > limit) {
        Refuse(pc, ERR_AREA);
        return true;
    }

    const std::size_t dataChars = write ? static_cast<std::size_t>(count) * (bits ? 1 : 4) : 0;
    const std::size_t frame = kHeader + dataChars + 2;
    for (std::size_t i = kHeader; i < std::min(frame, m_buffer.size()); ++i) {
        if (IsStart(f[i])) {
            used = i;
            return true;
        }
    }
    if (m_buffer.size() < frame)
        return false;
    used = frame;
    unsigned sum = 0;
    for (std::size_t i = 1; i < kHeader + dataChars; ++i)
        sum += f[i];
    if (Hex2(f + kHeader + dataChars) != static_cast<int>(sum & 0xFF)) {
        Refuse(pc, ERR_SUM);
        return true;
    }
    if (!CPlcSimStation::TakeRequest())
        return true;

    const long long span = device->m_bBit && !bits ? 16 : 1;
    if (address + count * span - 1 > Last(*device)) {
        Refuse(pc, ERR_AREA);
        return true;
    }
    const std::uint8_t* data = f + kHeader;
    for (std::size_t i = 0; i < dataChars; ++i) {
        if (bits ? data[i] != '0' && data[i] != '1' : HexDigit(data[i]) < 0) {
            Refuse(pc, ERR_CHARACTER);
            return true;
        }
    }

    std::vector<std::uint8_t> reply;
    reply.push_back(write ? ACK : STX);
    PutHex2(reply, static_cast<unsigned>(m_nStation));
    PutHex2(reply, pc);
    for (int i = 0; i < count; ++i) {
        const long long at = address + i * span;
        if (bits && write) {
            m_memory.SetBit(device->m_szName, at, data[i] == '1');
            ReportWrite(device->m_szName, at, data[i] == '1' ? 1 : 0);
        } else if (bits) {
            reply.push_back(m_memory.GetBit(device->m_szName, at) ? '1' : '0');
        } else if (write) {
            const std::size_t k = 4 * static_cast<std::size_t>(i);
            WriteWord(*device, at, static_cast<unsigned>(Hex2(data + k) << 8 | Hex2(data + k + 2)));
        } else {
            const unsigned word = ReadWord(*device, at);
            PutHex2(reply, word >> 8);
            PutHex2(reply, word & 0xFF);
        }
    }
    if (!write)
        reply.push_back(ETX);
    Reply(std::move(reply), !write);
    return true;
}

void CMelsecSimStation::Reply(std::vector<std::uint8_t> frame, bool withSum) {
    // ACK and NAK carry no check: spoiling one spoils its PLC number, the
    // one thing in it the computer can find wrong.
    const bool spoil = TakeReply();
    if (withSum) {
        unsigned sum = 0;
        for (std::size_t i = 1; i < frame.size(); ++i)
            sum += frame[i];
        PutHex2(frame, (sum + (spoil ? 1 : 0)) & 0xFF);
    } else if (spoil && frame.size() >= 5) {
        frame[4] = frame[4] == '0' ? '1' : '0';
    }
    Send(frame);
}

void CMelsecSimStation::Refuse(unsigned pc, unsigned code) {
    CountRejected();
    std::vector<std::uint8_t> reply{NAK};
    PutHex2(reply, static_cast<unsigned>(m_nStation));
    PutHex2(reply, pc);
    PutHex2(reply, code);
    Reply(std::move(reply), false);
}

unsigned CMelsecSimStation::ReadWord(const SDevice& device, long long address) const {
    if (!device.m_bBit)
        return m_memory.GetWord(device.m_szName, address);
    // A word of a bit device: its first point in bit 0.
    unsigned word = 0;
    for (int k = 0; k < 16; ++k) {
        if (m_memory.GetBit(device.m_szName, address + k))
            word |= 1u << k;
    }
    return word;
}

void CMelsecSimStation::WriteWord(const SDevice& device, long long address, unsigned value) {
    if (!device.m_bBit) {
        m_memory.SetWord(device.m_szName, address, static_cast<std::uint16_t>(value));
        ReportWrite(device.m_szName, address, value);
        return;
    }
    for (int k = 0; k < 16; ++k) {
        const bool on = (value >> k & 1) != 0;
        m_memory.SetBit(device.m_szName, address + k, on);
        ReportWrite(device.m_szName, address + k, on ? 1 : 0);
    }
}
