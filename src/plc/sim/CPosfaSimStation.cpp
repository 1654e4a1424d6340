#include "plc/sim/CPosfaSimStation.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

constexpr std::uint8_t STX = 0x02;
constexpr std::uint8_t ETX = 0x03;
constexpr std::uint8_t ENQ = 0x05;
constexpr std::uint8_t ACK = 0x06;
constexpr std::uint8_t NAK = 0x15;
constexpr unsigned LAN_READ = 0x51;
constexpr unsigned LAN_WRITE = 0x52;
constexpr unsigned LAN_END = 0x454C;
constexpr std::size_t kLanFixed = 18; // every LAN frame's words without data
constexpr long long kLanMaxCount = 1024;
// Room for the longest text request (a 2048-bit write) with some to spare;
// beyond it the buffer is garbage.
constexpr std::size_t kRxMax = 8192;
// A partial request older than this is given up.
constexpr int kIdleTicks = 5;

int Hex(std::uint8_t c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The hex number in n characters at `at`, or -1 when one is no hex digit.
long long HexField(const std::vector<std::uint8_t>& text, std::size_t at, std::size_t n) {
    long long value = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const int d = at + i < text.size() ? Hex(text[at + i]) : -1;
        if (d < 0)
            return -1;
        value = value * 16 + d;
    }
    return value;
}

void PutText(std::vector<std::uint8_t>& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
}

std::string Hex2(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}

void PutWord(std::vector<std::uint8_t>& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

unsigned WordAt(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return at + 1 < bytes.size() ? static_cast<unsigned>(bytes[at] << 8 | bytes[at + 1]) : 0u;
}

// The points one text request may name.
long long CountLimit(const std::string& device, bool bits) {
    if (device == "R")
        return 1024;
    if (device == "X" || device == "Y" || device == "L" ||
        (device.size() == 2 && (device[0] == 'B' || device[0] == 'H')))
        return bits ? 2048 : 128;
    return 1024;
}

} // namespace

const CPosfaSimStation::SDevice* CPosfaSimStation::FindDevice(const std::string& name) {
    static const SDevice devices[] = {
        {"X", true, 0x10000},  {"Y", true, 0x10000},  {"R", true, 0x10000},  {"L", true, 0x10000},
        {"WX", false, 0x1000}, {"WY", false, 0x1000}, {"WR", false, 0x1000}, {"WL", false, 0x1000},
        {"C", false, 0x10000}, {"T", false, 0x10000}, {"DR", false, 0x1000}, {"BX", true, 0x10000},
        {"HX", true, 0x10000}, {"BY", true, 0x10000}, {"HY", true, 0x10000}, {"BR", true, 0x10000},
        {"HR", true, 0x10000}, {"BL", true, 0x10000}, {"HL", true, 0x10000},
    };
    for (const SDevice& d : devices)
        if (name == d.m_szName)
            return &d;
    return nullptr;
}

std::string CPosfaSimStation::Backing(const SDevice& device) {
    const std::string name = device.m_szName;
    if (name.size() == 1 && device.m_bBits)
        return "W" + name;
    return name;
}

bool CPosfaSimStation::SetMode(const std::string& mode, std::string& error) {
    if (!CPlcSimStation::SetMode(mode, error))
        return false;
    m_bLan = mode == "lan";
    m_rx.clear();
    return true;
}

bool CPosfaSimStation::SetStation(long long station, std::string& error) {
    if (station < 0 || station > 255) {
        error = "station " + std::to_string(station) + " is out of range (0-255)";
        return false;
    }
    m_nStation = static_cast<int>(station);
    return true;
}

bool CPosfaSimStation::Preset(const std::string& device, long long address, long long value,
                              std::string& error) {
    std::string name = device;
    for (char& c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const SDevice* d = FindDevice(name);
    if (!d) {
        error = "no device '" + device +
                "' (words: WX WY WR WL DR C T; bits: X Y R L BX HX BY HY BR HR BL HL)";
        return false;
    }
    if (address < 0 || address >= d->m_nEnd) {
        error = name + " has addresses 0-" + std::to_string(d->m_nEnd - 1);
        return false;
    }
    const long long top = d->m_bBits ? 1 : 0xFFFF;
    if (value < 0 || value > top) {
        error = name + (d->m_bBits ? " is a bit: 0 or 1" : " takes 0-65535");
        return false;
    }
    if (d->m_bBits)
        WriteBit(*d, address, value != 0);
    else
        WriteWord(*d, address, static_cast<std::uint16_t>(value));
    return true;
}

bool CPosfaSimStation::ReadBit(const std::string& device, long long address) const {
    const SDevice* d = FindDevice(device);
    if (!d || address < 0 || address >= d->m_nEnd)
        return false;
    if (!d->m_bBits)
        return false;
    return (m_memory.GetWord(Backing(*d), address >> 4) >> (address & 15)) & 1;
}

std::uint16_t CPosfaSimStation::ReadWord(const std::string& device, long long address) const {
    const SDevice* d = FindDevice(device);
    if (!d || address < 0 || address >= d->m_nEnd)
        return 0;
    if (!d->m_bBits)
        return m_memory.GetWord(d->m_szName, address);
    unsigned value = 0;
    for (int j = 0; j < 16; ++j)
        value |= static_cast<unsigned>(ReadBit(device, address + j)) << j;
    return static_cast<std::uint16_t>(value);
}

void CPosfaSimStation::WriteBit(const SDevice& device, long long address, bool on) {
    const std::string backing = Backing(device);
    const unsigned mask = 1u << (address & 15);
    const unsigned word = m_memory.GetWord(backing, address >> 4);
    m_memory.SetWord(backing, address >> 4,
                     static_cast<std::uint16_t>(on ? word | mask : word & ~mask));
}

void CPosfaSimStation::WriteWord(const SDevice& device, long long address, std::uint16_t value) {
    if (!device.m_bBits) {
        m_memory.SetWord(device.m_szName, address, value);
        return;
    }
    for (int j = 0; j < 16; ++j)
        WriteBit(device, address + j, (value >> j) & 1);
}

void CPosfaSimStation::OnReceive(const std::uint8_t* data, int length) {
    if (!data || length <= 0)
        return;
    m_rx.insert(m_rx.end(), data, data + length);
    m_nIdleTicks = 0;
    if (m_bLan) {
        ProcessLan();
        return;
    }
    while (ProcessText()) {
    }
}

void CPosfaSimStation::OnTimer() {
    if (m_rx.empty() || ++m_nIdleTicks < kIdleTicks)
        return;
    // A text request that stopped short: said to be bad when it is ours.
    if (!m_bLan && m_rx.size() >= 5 && m_rx[0] == ENQ && HexField(m_rx, 1, 4) >= 0 &&
        HexField(m_rx, 1, 2) == m_nStation) {
        CountRejected();
        if (TakeRequest())
            SendText(Nak(std::string(m_rx.begin() + 1, m_rx.begin() + 5), ERR_CHECK));
    }
    m_rx.clear();
    m_nIdleTicks = 0;
}

std::vector<std::uint8_t> CPosfaSimStation::Nak(const std::string& stationText, int code) const {
    std::vector<std::uint8_t> out{NAK};
    PutText(out, stationText);
    PutText(out, Hex2(static_cast<unsigned>(code)));
    return out;
}

void CPosfaSimStation::SendText(std::vector<std::uint8_t> answer) {
    if (TakeReply() && answer.size() >= 3) {
        // An STX answer gets a wrong sum; ACK and NAK have none, so they
        // name another station.
        std::uint8_t& spoilt = answer[0] == STX ? answer.back() : answer[1];
        spoilt = spoilt == '0' ? '1' : '0';
    }
    Send(answer);
}

bool CPosfaSimStation::ProcessText() {
    // Everything before a request's ENQ is noise, or the master's ACK.
    const auto enq = std::find(m_rx.begin(), m_rx.end(), ENQ);
    m_rx.erase(m_rx.begin(), enq);
    if (m_rx.size() > kRxMax) {
        m_rx.erase(m_rx.begin());
        return true;
    }
    // No request holds an ENQ: one that comes before this request is
    // complete supersedes it (the master gave up waiting).
    const auto next = std::find(m_rx.begin() + (m_rx.empty() ? 0 : 1), m_rx.end(), ENQ);
    const std::size_t size = static_cast<std::size_t>(next - m_rx.begin());
    const bool superseded = next != m_rx.end();
    auto wait = [this, size, superseded] {
        if (!superseded)
            return false;
        CountRejected();
        m_rx.erase(m_rx.begin(), m_rx.begin() + static_cast<std::ptrdiff_t>(size));
        return true;
    };
    if (size < 8)
        return wait();
    auto skip = [this] {
        m_rx.erase(m_rx.begin());
        return true;
    };
    if (HexField(m_rx, 1, 4) < 0)
        return skip();
    // Another station's request is none of ours.
    if (HexField(m_rx, 1, 2) != m_nStation)
        return skip();
    const std::string stationText(m_rx.begin() + 1, m_rx.begin() + 5);
    const std::string command(m_rx.begin() + 5, m_rx.begin() + 7);
    auto refuse = [this, &stationText, &skip](int code) {
        CountRejected();
        if (TakeRequest())
            SendText(Nak(stationText, code));
        return skip();
    };
    if ((command != "BR" && command != "BW" && command != "WR" && command != "WW") ||
        m_rx[7] != 'A')
        return refuse(ERR_COMMAND);
    if (size < 10)
        return wait();
    std::size_t at = 8;
    const SDevice* device = FindDevice(std::string(m_rx.begin() + 8, m_rx.begin() + 10));
    if (device && std::string(device->m_szName).size() == 2) {
        at = 10;
    } else {
        device = FindDevice(std::string(1, static_cast<char>(m_rx[8])));
        at = 9;
    }
    if (!device)
        return refuse(ERR_DEVICE);
    const std::size_t digits = device->m_nEnd > 0x1000 ? 4 : 3;
    if (size < at + digits)
        return wait();
    const long long address = HexField(m_rx, at, digits);
    if (address < 0)
        return refuse(ERR_DEVICE);
    at += digits;

    // The count has two digits, three from 256 on, and nothing ends the
    // request: the longer reading wins when its sum holds, then the shorter.
    const bool bits = command[0] == 'B';
    const bool write = command[1] == 'W';
    const std::size_t unit = write ? (bits ? 1 : 4) : 0;
    const long long limit = CountLimit(device->m_szName, bits);
    bool waiting = false;
    for (std::size_t k : {std::size_t{3}, std::size_t{2}}) {
        if (size < at + k) {
            waiting = true;
            continue;
        }
        const long long count = HexField(m_rx, at, k);
        // "%02X" gives three digits only from 256 on; a write's count must
        // be one whose data can be framed.
        if (count < 0 || (k == 3 && count < 0x100) || (write && count > std::max(limit, 0xFFLL)))
            continue;
        const std::size_t end = at + k + unit * static_cast<std::size_t>(count) + 2;
        if (size < end) {
            waiting = true;
            continue;
        }
        unsigned sum = 0;
        for (std::size_t i = 1; i < end - 2; ++i)
            sum += m_rx[i];
        if (HexField(m_rx, end - 2, 2) != static_cast<long long>(sum & 0xFF))
            continue;
        if (TakeRequest())
            SendText(AnswerText(stationText, command, device, address, count, at + k,
                                unit * static_cast<std::size_t>(count)));
        m_rx.erase(m_rx.begin(), m_rx.begin() + static_cast<std::ptrdiff_t>(end));
        return true;
    }
    if (waiting)
        return wait();
    return refuse(ERR_CHECK);
}

std::vector<std::uint8_t> CPosfaSimStation::AnswerText(const std::string& stationText,
                                                       const std::string& command,
                                                       const SDevice* device, long long address,
                                                       long long count, std::size_t dataAt,
                                                       std::size_t dataLength) {
    const bool bits = command[0] == 'B';
    const bool write = command[1] == 'W';
    if (bits && !device->m_bBits) {
        CountRejected();
        return Nak(stationText, ERR_COMMAND);
    }
    if (count < 1 || count > CountLimit(device->m_szName, bits)) {
        CountRejected();
        return Nak(stationText, ERR_COUNT);
    }
    const long long span = !bits && device->m_bBits ? 16 : 1; // addresses a point covers
    if (address + span * count > device->m_nEnd) {
        CountRejected();
        return Nak(stationText, ERR_DEVICE);
    }
    if (write) {
        for (std::size_t i = 0; i < dataLength; ++i) {
            const std::uint8_t c = m_rx[dataAt + i];
            if (bits ? (c != '0' && c != '1') : Hex(c) < 0) {
                CountRejected();
                return Nak(stationText, ERR_CHECK);
            }
        }
        for (long long i = 0; i < count; ++i) {
            const long long where = address + span * i;
            if (bits) {
                const bool on = m_rx[dataAt + static_cast<std::size_t>(i)] == '1';
                WriteBit(*device, where, on);
                ReportWrite(device->m_szName, where, on ? 1 : 0);
            } else {
                const auto value = static_cast<std::uint16_t>(
                    HexField(m_rx, dataAt + 4 * static_cast<std::size_t>(i), 4));
                WriteWord(*device, where, value);
                ReportWrite(device->m_szName, where, value);
            }
        }
        std::vector<std::uint8_t> out{ACK};
        PutText(out, stationText);
        return out;
    }
    std::vector<std::uint8_t> out{STX};
    PutText(out, stationText);
    for (long long i = 0; i < count; ++i) {
        const long long where = address + span * i;
        if (bits) {
            out.push_back(ReadBit(device->m_szName, where) ? '1' : '0');
        } else {
            char text[8];
            std::snprintf(text, sizeof text, "%04X", ReadWord(device->m_szName, where));
            PutText(out, text);
        }
    }
    out.push_back(ETX);
    unsigned sum = 0;
    for (std::size_t i = 1; i < out.size(); ++i)
        sum += out[i];
    PutText(out, Hex2(sum));
    return out;
}

void CPosfaSimStation::ProcessLan() {
    while (m_rx.size() >= 2) {
        const std::size_t length = WordAt(m_rx, 0);
        if (length < kLanFixed || length > kLanFixed + 2 * kLanMaxCount) {
            // No length to frame by: nothing held can be trusted.
            CountRejected();
            m_rx.clear();
            return;
        }
        if (m_rx.size() < length)
            return;
        const std::vector<std::uint8_t> frame(m_rx.begin(),
                                              m_rx.begin() + static_cast<std::ptrdiff_t>(length));
        m_rx.erase(m_rx.begin(), m_rx.begin() + static_cast<std::ptrdiff_t>(length));

        const unsigned command = WordAt(frame, 6);
        const unsigned deviceWord = WordAt(frame, 10);
        const unsigned address = WordAt(frame, 12);
        const long long count = WordAt(frame, 14);
        std::string name(1, static_cast<char>(deviceWord >> 8));
        if (deviceWord & 0xFF)
            name += static_cast<char>(deviceWord & 0xFF);
        const SDevice* device = FindDevice(name);
        int error = 0;
        const std::size_t dataWords = command == LAN_WRITE ? static_cast<std::size_t>(count) : 0;
        if (WordAt(frame, 2) != 1 || WordAt(frame, 4) != 0 || WordAt(frame, 8) != 0 ||
            WordAt(frame, length - 2) != LAN_END || length != kLanFixed + 2 * dataWords)
            error = ERR_CHECK;
        else if (command != LAN_READ && command != LAN_WRITE)
            error = ERR_COMMAND;
        else if (!device)
            error = ERR_DEVICE;
        else if (count < 1 || count > kLanMaxCount)
            error = ERR_COUNT;
        else if (address + (device->m_bBits ? 16 : 1) * count > device->m_nEnd)
            error = ERR_DEVICE;
        if (!TakeRequest())
            continue;
        std::vector<std::uint8_t> out;
        PutWord(out, 0);
        PutWord(out, 1);
        PutWord(out, 0);
        PutWord(out, command);
        PutWord(out, static_cast<unsigned>(error));
        PutWord(out, deviceWord);
        PutWord(out, address);
        if (error) {
            CountRejected();
            PutWord(out, 0);
        } else if (command == LAN_WRITE) {
            PutWord(out, 0);
            for (long long i = 0; i < count; ++i) {
                const long long where = address + (device->m_bBits ? 16 : 1) * i;
                const auto value =
                    static_cast<std::uint16_t>(WordAt(frame, 16 + 2 * static_cast<std::size_t>(i)));
                WriteWord(*device, where, value);
                ReportWrite(device->m_szName, where, value);
            }
        } else {
            PutWord(out, static_cast<unsigned>(count));
            for (long long i = 0; i < count; ++i)
                PutWord(out, ReadWord(device->m_szName, address + (device->m_bBits ? 16 : 1) * i));
        }
        PutWord(out, TakeReply() ? LAN_END + 1 : LAN_END); // no check: a spoilt end marker
        out[0] = static_cast<std::uint8_t>(out.size() >> 8);
        out[1] = static_cast<std::uint8_t>(out.size() & 0xFF);
        Send(out);
    }
}
