#include "plc/sim/CMemobusSimStation.h"

#include <algorithm>

namespace {

constexpr std::uint8_t FN_READ = 0x03;
constexpr std::uint8_t FN_WRITE = 0x10;
constexpr std::size_t kNeedMore = static_cast<std::size_t>(-1);
constexpr std::size_t kUnknown = static_cast<std::size_t>(-2);
constexpr std::uint8_t EX_FUNCTION = 0x01;
constexpr std::uint8_t EX_ADDRESS = 0x02;
constexpr std::uint8_t EX_VALUE = 0x03;

int HexDigit(std::uint8_t c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

unsigned Word(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<unsigned>(b[at]) << 8 | b[at + 1];
}

} // namespace

bool CMemobusSimStation::SetMode(const std::string& mode, std::string& error) {
    if (!CPlcSimStation::SetMode(mode, error))
        return false;
    m_bRtu = mode == "rtu";
    m_buffer.clear();
    return true;
}

bool CMemobusSimStation::SetStation(long long station, std::string& error) {
    if (station < 1 || station > 247) {
        error = "a Modbus slave address is 1-247";
        return false;
    }
    m_nSlave = static_cast<int>(station);
    return true;
}

bool CMemobusSimStation::Preset(const std::string& device, long long address, long long value,
                                std::string& error) {
    if (!device.empty() && device != kDevice) {
        error = "MEMOBUS has holding registers only (HR:N or N)";
        return false;
    }
    if (address < 0 || address > 65535) {
        error = "a holding register is 0-65535";
        return false;
    }
    if (value < -32768 || value > 65535) {
        error = "a register holds -32768 to 65535";
        return false;
    }
    m_memory.SetWord(kDevice, address, static_cast<std::uint16_t>(value));
    return true;
}

std::uint16_t CMemobusSimStation::Crc16(const std::uint8_t* bytes, std::size_t count) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < count; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<std::uint16_t>(crc >> 1);
    }
    return crc;
}

void CMemobusSimStation::OnReceive(const std::uint8_t* data, int length) {
    if (!data || length < 1)
        return;
    m_nQuietTicks = 0;
    m_buffer.insert(m_buffer.end(), data, data + length);
    if (m_bRtu)
        ScanRtu(false);
    else
        ScanAscii();
}

void CMemobusSimStation::OnTimer() {
    if (m_buffer.empty())
        return;
    ++m_nQuietTicks;
    if (m_bRtu) {
        // A silence ends an RTU frame: what is left is a frame of a function
        // we do not serve, or noise.
        ScanRtu(true);
    } else if (m_nQuietTicks >= kAsciiGapTicks) {
        CountRejected();
        m_buffer.clear();
    }
}

void CMemobusSimStation::ScanAscii() {
    for (;;) {
        const auto colon = std::find(m_buffer.begin(), m_buffer.end(), ':');
        m_buffer.erase(m_buffer.begin(), colon); // noise before a frame
        if (m_buffer.empty())
            return;
        const auto lf = std::find(m_buffer.begin(), m_buffer.end(), '\n');
        if (lf == m_buffer.end()) {
            if (m_buffer.size() > kMaxAsciiFrame) {
                CountRejected();
                // A ":" further on may start a good frame.
                const auto next = std::find(m_buffer.begin() + 1, m_buffer.end(), ':');
                m_buffer.erase(m_buffer.begin(), next);
                continue;
            }
            return;
        }
        std::vector<std::uint8_t> line(m_buffer.begin() + 1, lf);
        m_buffer.erase(m_buffer.begin(), lf + 1);
        // A ":" inside means the frame before it was cut: start again there.
        const auto inner = std::find(line.begin(), line.end(), ':');
        if (inner != line.end()) {
            CountRejected();
            m_buffer.insert(m_buffer.begin(), inner, line.end());
            m_buffer.push_back('\n');
            continue;
        }
        if (line.empty() || line.back() != '\r' || line.size() % 2 == 0 || line.size() < 7) {
            CountRejected();
            continue;
        }
        line.pop_back();
        std::vector<std::uint8_t> bytes;
        bool ok = true;
        for (std::size_t i = 0; i < line.size(); i += 2) {
            const int hi = HexDigit(line[i]);
            const int lo = HexDigit(line[i + 1]);
            ok = ok && hi >= 0 && lo >= 0;
            bytes.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
        }
        std::uint8_t sum = 0;
        for (std::uint8_t b : bytes)
            sum = static_cast<std::uint8_t>(sum + b);
        if (!ok || sum != 0) {
            CountRejected();
            continue;
        }
        bytes.pop_back();
        Serve(bytes);
    }
}

std::size_t CMemobusSimStation::RtuLength(std::size_t at) const {
    const std::size_t left = m_buffer.size() - at;
    if (left < 2)
        return kNeedMore;
    const std::uint8_t function = m_buffer[at + 1];
    if (function >= 0x01 && function <= 0x06)
        return 8; // address, function, two words, CRC
    if (function == 0x0F || function == FN_WRITE)
        return left < 7 ? kNeedMore : 9 + static_cast<std::size_t>(m_buffer[at + 6]);
    return kUnknown;
}

bool CMemobusSimStation::RtuFrameAt(std::size_t at, std::size_t length) const {
    if (length < 4 || at + length > m_buffer.size())
        return false;
    const std::uint16_t crc = Crc16(m_buffer.data() + at, length - 2);
    return m_buffer[at + length - 2] == (crc & 0xFF) && m_buffer[at + length - 1] == crc >> 8;
}

void CMemobusSimStation::TakeRtuFrame(std::size_t at, std::size_t length) {
    if (at > 0)
        CountRejected(); // the noise before it
    std::vector<std::uint8_t> pdu(m_buffer.begin() + static_cast<long>(at),
                                  m_buffer.begin() + static_cast<long>(at + length - 2));
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<long>(at + length));
    Serve(pdu);
}

void CMemobusSimStation::ScanRtu(bool silence) {
    while (!m_buffer.empty()) {
        // Frames follow each other in a block, and noise may come before one:
        // the first place where a whole frame passes its CRC is a frame.
        bool found = false;
        for (std::size_t at = 0; at < m_buffer.size() && !found; ++at) {
            const std::size_t length = RtuLength(at);
            if (length != kNeedMore && length != kUnknown && RtuFrameAt(at, length)) {
                TakeRtuFrame(at, length);
                found = true;
            }
        }
        if (found)
            continue;
        if (silence) {
            // What the silence closed: a frame of a function we do not serve
            // when its CRC holds, noise otherwise.
            if (RtuFrameAt(0, m_buffer.size()))
                TakeRtuFrame(0, m_buffer.size());
            else
                CountRejected();
            m_buffer.clear();
            return;
        }
        if (m_buffer.size() <= kMaxRtuFrame)
            return; // a frame still coming in
        CountRejected();
        m_buffer.erase(m_buffer.begin()); // nothing can start here
    }
}

void CMemobusSimStation::Serve(const std::vector<std::uint8_t>& pdu) {
    if (pdu.size() < 2)
        return;
    const bool broadcast = pdu[0] == 0;
    if (!broadcast && pdu[0] != m_nSlave)
        return; // another station's frame
    if (!TakeRequest())
        return;
    const std::uint8_t function = pdu[1];
    if (function == FN_READ) {
        if (broadcast)
            return; // nobody may answer a broadcast
        if (pdu.size() != 6)
            return Exception(function, EX_VALUE);
        const unsigned start = Word(pdu, 2);
        const unsigned count = Word(pdu, 4);
        if (count < 1 || count > kMaxRead)
            return Exception(function, EX_VALUE);
        if (start + count > 65536)
            return Exception(function, EX_ADDRESS);
        std::vector<std::uint8_t> reply{pdu[0], FN_READ, static_cast<std::uint8_t>(2 * count)};
        for (unsigned i = 0; i < count; ++i) {
            const std::uint16_t v = m_memory.GetWord(kDevice, start + i);
            reply.push_back(static_cast<std::uint8_t>(v >> 8));
            reply.push_back(static_cast<std::uint8_t>(v & 0xFF));
        }
        return Reply(reply);
    }
    if (function == FN_WRITE) {
        if (pdu.size() < 7)
            return broadcast ? void() : Exception(function, EX_VALUE);
        const unsigned start = Word(pdu, 2);
        const unsigned count = Word(pdu, 4);
        const unsigned byteCount = pdu[6];
        if (count < 1 || count > kMaxWrite || byteCount != 2 * count || pdu.size() != 7 + byteCount)
            return broadcast ? void() : Exception(function, EX_VALUE);
        if (start + count > 65536)
            return broadcast ? void() : Exception(function, EX_ADDRESS);
        for (unsigned i = 0; i < count; ++i) {
            const auto v = static_cast<std::uint16_t>(Word(pdu, 7 + 2 * i));
            m_memory.SetWord(kDevice, start + i, v);
            ReportWrite(kDevice, start + i, v);
        }
        if (!broadcast)
            Reply(std::vector<std::uint8_t>(pdu.begin(), pdu.begin() + 6));
        return;
    }
    if (!broadcast)
        Exception(function, EX_FUNCTION);
}

void CMemobusSimStation::Exception(std::uint8_t function, std::uint8_t code) {
    Reply({static_cast<std::uint8_t>(m_nSlave), static_cast<std::uint8_t>(function | 0x80), code});
}

void CMemobusSimStation::Reply(const std::vector<std::uint8_t>& pdu) {
    const bool spoil = TakeReply();
    std::vector<std::uint8_t> frame;
    if (m_bRtu) {
        std::uint16_t crc = Crc16(pdu.data(), pdu.size());
        if (spoil)
            crc ^= 0xFFFF;
        frame = pdu;
        frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
        frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    } else {
        static constexpr char kHex[] = "0123456789ABCDEF";
        std::uint8_t sum = 0;
        frame.push_back(':');
        for (std::uint8_t b : pdu) {
            sum = static_cast<std::uint8_t>(sum + b);
            frame.push_back(static_cast<std::uint8_t>(kHex[b >> 4]));
            frame.push_back(static_cast<std::uint8_t>(kHex[b & 0xF]));
        }
        std::uint8_t lrc = static_cast<std::uint8_t>(0x100 - sum);
        if (spoil)
            lrc ^= 0xFF;
        frame.push_back(static_cast<std::uint8_t>(kHex[lrc >> 4]));
        frame.push_back(static_cast<std::uint8_t>(kHex[lrc & 0xF]));
        frame.push_back('\r');
        frame.push_back('\n');
    }
    Send(frame);
}
