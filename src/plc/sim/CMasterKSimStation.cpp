#include "plc/sim/CMasterKSimStation.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

const char* const kDevices = "PMKLFTCDS";
const char* const kBitDevices = "PMKLF";

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The hex number in text[at, at + n), or -1 when the text is shorter or any
// character is no hex digit.
long long HexField(const std::string& text, std::size_t at, std::size_t n) {
    if (at + n > text.size())
        return -1;
    long long value = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const int digit = HexDigit(text[at + i]);
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

// Decimal digits only, at most 9 of them, or -1; empty reads as 0.
long long Decimal(const std::string& text) {
    if (text.size() > 9)
        return -1;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

bool IsDevice(char c) {
    return c != '\0' && std::strchr(kDevices, c) != nullptr;
}

bool IsBitDevice(char c) {
    return c != '\0' && std::strchr(kBitDevices, c) != nullptr;
}

unsigned Sum(const std::uint8_t* bytes, std::size_t count) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += bytes[i];
    return sum & 0xFF;
}

} // namespace

bool CMasterKSimStation::SetStation(long long station, std::string& error) {
    if (station < 0 || station > kMaxStation) {
        error = "a Cnet station number is 0-31";
        return false;
    }
    m_nStation = static_cast<int>(station);
    return true;
}

bool CMasterKSimStation::Preset(const std::string& device, long long address, long long value,
                                std::string& error) {
    const bool named =
        device.size() == 1 || (device.size() == 2 && (device[1] == 'W' || device[1] == 'X'));
    if (!named || !IsDevice(device[0])) {
        error = "no device '" + device + "' (P M K L F T C D S, with W for words or X for bits)";
        return false;
    }
    SWrite write;
    write.m_var.m_cDevice = device[0];
    write.m_var.m_bBit = device.size() == 2 ? device[1] == 'X' : IsBitDevice(device[0]);
    if (write.m_var.m_bBit) {
        if (address < 0 || address > kMaxWordAddress * 16 + 15 || value < 0 || value > 1) {
            error = "a bit is 0 or 1 at bit numbers 0-" + std::to_string(kMaxWordAddress * 16 + 15);
            return false;
        }
        write.m_var.m_nWord = address / 16;
        write.m_var.m_nBit = static_cast<int>(address % 16);
    } else {
        if (address < 0 || address > kMaxWordAddress || value < -32768 || value > 65535) {
            error = "a word holds -32768-65535 at addresses 0-" + std::to_string(kMaxWordAddress);
            return false;
        }
        write.m_var.m_nWord = address;
    }
    write.m_nValue = static_cast<unsigned>(value) & 0xFFFF;
    Apply(write);
    return true;
}

void CMasterKSimStation::OnReceive(const std::uint8_t* data, int length) {
    if (!data)
        return;
    m_nIdleTicks = 0;
    for (int i = 0; i < length; ++i) {
        const std::uint8_t byte = data[i];
        // Every ENQ starts a request: a partial one before it is garbage.
        if (byte == ENQ) {
            if (!m_buffer.empty())
                CountRejected();
            m_buffer.assign(1, ENQ);
            continue;
        }
        if (m_buffer.empty())
            continue;
        if (m_buffer.size() >= kMaxRequest) {
            CountRejected();
            m_buffer.clear();
            continue;
        }
        m_buffer.push_back(byte);
        const std::uint8_t* eot =
            static_cast<const std::uint8_t*>(std::memchr(m_buffer.data(), EOT, m_buffer.size()));
        if (!eot)
            continue;
        const auto eotAt = static_cast<std::size_t>(eot - m_buffer.data());
        // A lower-case command is followed by its BCC, an upper-case one by nothing.
        const bool withBcc = !(eotAt > 3 && std::isupper(m_buffer[3]));
        if (m_buffer.size() == eotAt + 1 + (withBcc ? 2 : 0)) {
            OnFrame();
            m_buffer.clear();
        }
    }
}

void CMasterKSimStation::OnTimer() {
    if (m_buffer.empty())
        return;
    if (++m_nIdleTicks >= kStaleTicks) {
        CountRejected();
        m_buffer.clear();
        m_nIdleTicks = 0;
    }
}

void CMasterKSimStation::OnFrame() {
    const std::string frame(m_buffer.begin(), m_buffer.end());
    const long long station = HexField(frame, 1, 2);
    if (station < 0) {
        CountRejected(); // no station to answer as
        return;
    }
    if (station != m_nStation)
        return; // another station's request on a shared line
    const std::size_t eotAt = frame.find(static_cast<char>(EOT));
    if (eotAt < 6) {
        CountRejected(); // no command to answer
        return;
    }
    if (!TakeRequest())
        return;
    const bool withBcc = eotAt + 1 < frame.size();
    const char command = frame[3];
    const std::string type = frame.substr(4, 2);
    bool good = true;
    int error = ERR_FRAME;
    if (withBcc)
        good = frame.substr(eotAt + 1) == Hex(Sum(m_buffer.data(), eotAt + 1), 2);
    std::string reply;
    if (good)
        good = Execute(command, type, frame.substr(6, eotAt - 6), reply, error);
    if (!good) {
        CountRejected();
        Answer(NAK, command, type, Hex(static_cast<unsigned>(error), 4), withBcc);
        return;
    }
    Answer(ACK, command, type, reply, withBcc);
}

bool CMasterKSimStation::Execute(char command, const std::string& type, const std::string& body,
                                 std::string& reply, int& error) {
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(command)));
    error = ERR_FRAME;
    if (lower == 'r' && type == "SB")
        return ReadWords(body, reply, error);
    if (lower == 'w' && type == "SB")
        return WriteWords(body, error);
    if (lower == 'w' && type == "SS")
        return WriteSingles(body, error);
    return false;
}

namespace {

// "%02X" length, the variable and "%02X" count: the head of rSB and wSB.
struct SBlockHead {
    std::string m_strVariable;
    long long m_nCount = 0;
    std::size_t m_nEnd = 0;
};

bool ReadHead(const std::string& body, SBlockHead& head, int& error) {
    const long long length = HexField(body, 0, 2);
    if (length < 0)
        return false;
    if (length > 16) {
        error = CMasterKSimStation::ERR_NAME_LENGTH;
        return false;
    }
    const auto n = static_cast<std::size_t>(length);
    head.m_nCount = HexField(body, 2 + n, 2);
    if (head.m_nCount < 0)
        return false;
    head.m_strVariable = body.substr(2, n);
    head.m_nEnd = 2 + n + 2;
    return true;
}

} // namespace

bool CMasterKSimStation::ReadWords(const std::string& body, std::string& reply, int& error) {
    SBlockHead head;
    SVariable var;
    if (!ReadHead(body, head, error) || !ParseVariable(head.m_strVariable, var, error))
        return false;
    if (var.m_bBit) {
        error = ERR_DATA_TYPE;
        return false;
    }
    if (head.m_nCount < 1 || head.m_nCount > kMaxWords) {
        error = ERR_SIZE;
        return false;
    }
    if (head.m_nEnd != body.size()) {
        error = ERR_EXTRA;
        return false;
    }
    if (var.m_nWord + head.m_nCount - 1 > kMaxWordAddress) {
        error = ERR_AREA;
        return false;
    }
    const std::string device(1, var.m_cDevice);
    reply = "01" + Hex(static_cast<unsigned>(head.m_nCount), 2);
    for (long long i = 0; i < head.m_nCount; ++i)
        reply += Hex(m_memory.GetWord(device, var.m_nWord + i), 4);
    return true;
}

bool CMasterKSimStation::WriteWords(const std::string& body, int& error) {
    SBlockHead head;
    SVariable var;
    if (!ReadHead(body, head, error) || !ParseVariable(head.m_strVariable, var, error))
        return false;
    if (var.m_bBit) {
        error = ERR_DATA_TYPE;
        return false;
    }
    if (head.m_nCount < 1 || head.m_nCount > kMaxWords) {
        error = ERR_SIZE;
        return false;
    }
    const std::size_t end = head.m_nEnd + 4 * static_cast<std::size_t>(head.m_nCount);
    if (body.size() != end) {
        error = body.size() > end ? ERR_EXTRA : ERR_FRAME;
        return false;
    }
    if (var.m_nWord + head.m_nCount - 1 > kMaxWordAddress) {
        error = ERR_AREA;
        return false;
    }
    std::vector<SWrite> writes;
    for (long long i = 0; i < head.m_nCount; ++i) {
        const long long value = HexField(body, head.m_nEnd + 4 * static_cast<std::size_t>(i), 4);
        if (value < 0)
            return false;
        SWrite write;
        write.m_var = var;
        write.m_var.m_nWord = var.m_nWord + i;
        write.m_nValue = static_cast<unsigned>(value);
        writes.push_back(write);
    }
    for (const SWrite& write : writes)
        Store(write);
    return true;
}

bool CMasterKSimStation::WriteSingles(const std::string& body, int& error) {
    const long long blocks = HexField(body, 0, 2);
    if (blocks < 0)
        return false;
    if (blocks < 1 || blocks > kMaxBlocks) {
        error = ERR_BLOCKS;
        return false;
    }
    std::vector<SWrite> writes;
    std::size_t at = 2;
    for (long long b = 0; b < blocks; ++b) {
        const long long length = HexField(body, at, 2);
        if (length < 0)
            return false;
        if (length > 16) {
            error = ERR_NAME_LENGTH;
            return false;
        }
        SWrite write;
        if (!ParseVariable(body.substr(at + 2, static_cast<std::size_t>(length)), write.m_var,
                           error))
            return false;
        at += 2 + static_cast<std::size_t>(length);
        const std::size_t digits = write.m_var.m_bBit ? 2 : 4;
        const long long value = HexField(body, at, digits);
        if (value < 0 || (write.m_var.m_bBit && value > 1)) {
            error = ERR_FRAME;
            return false;
        }
        write.m_nValue = static_cast<unsigned>(value);
        writes.push_back(write);
        at += digits;
    }
    if (at != body.size()) {
        error = ERR_EXTRA;
        return false;
    }
    for (const SWrite& write : writes)
        Store(write);
    return true;
}

bool CMasterKSimStation::ParseVariable(const std::string& text, SVariable& var, int& error) {
    if (text.size() < 4 || text.size() > 16) {
        error = ERR_NAME_LENGTH;
        return false;
    }
    if (text[0] != '%') {
        error = ERR_FRAME;
        return false;
    }
    if (!IsDevice(text[1])) {
        error = ERR_DEVICE;
        return false;
    }
    var.m_cDevice = text[1];
    const std::string address = text.substr(3);
    if (text[2] == 'W') {
        var.m_bBit = false;
        var.m_nWord = Decimal(address);
    } else if (text[2] == 'X') {
        var.m_bBit = true;
        var.m_nBit = HexDigit(address.back());
        var.m_nWord = Decimal(address.substr(0, address.size() - 1));
        if (var.m_nBit < 0)
            var.m_nWord = -1;
    } else {
        error = ERR_DATA_TYPE;
        return false;
    }
    if (var.m_nWord < 0) {
        error = ERR_FRAME;
        return false;
    }
    if (var.m_nWord > kMaxWordAddress) {
        error = ERR_AREA;
        return false;
    }
    return true;
}

// A bit is one bit of its word, so word and bit commands see each other.
void CMasterKSimStation::Apply(const SWrite& write) {
    const SVariable& var = write.m_var;
    const std::string device(1, var.m_cDevice);
    std::uint16_t value = static_cast<std::uint16_t>(write.m_nValue);
    if (var.m_bBit) {
        const auto mask = static_cast<std::uint16_t>(1u << var.m_nBit);
        const std::uint16_t word = m_memory.GetWord(device, var.m_nWord);
        value = static_cast<std::uint16_t>(write.m_nValue ? word | mask : word & ~mask);
    }
    m_memory.SetWord(device, var.m_nWord, value);
}

// Reported under the name the command line presets it by.
void CMasterKSimStation::Store(const SWrite& write) {
    Apply(write);
    const SVariable& var = write.m_var;
    const std::string device(1, var.m_cDevice);
    if (var.m_bBit)
        ReportWrite(IsBitDevice(var.m_cDevice) ? device : device + "X",
                    var.m_nWord * 16 + var.m_nBit, write.m_nValue);
    else
        ReportWrite(IsBitDevice(var.m_cDevice) ? device + "W" : device, var.m_nWord,
                    write.m_nValue);
}

void CMasterKSimStation::Answer(std::uint8_t lead, char command, const std::string& type,
                                const std::string& body, bool withBcc) {
    std::string text(1, static_cast<char>(lead));
    text += Hex(static_cast<unsigned>(m_nStation), 2);
    text += command;
    text += type;
    text += body;
    text += static_cast<char>(ETX);
    const bool spoil = TakeReply();
    if (withBcc) {
        unsigned bcc = Sum(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
        if (spoil)
            bcc = (bcc + 1) & 0xFF;
        text += Hex(bcc, 2);
    }
    Send(reinterpret_cast<const std::uint8_t*>(text.data()), static_cast<int>(text.size()));
}
