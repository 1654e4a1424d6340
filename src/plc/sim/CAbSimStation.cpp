#include "plc/sim/CAbSimStation.h"

namespace {

constexpr std::uint8_t DLE = 0x10;
constexpr std::uint8_t STX = 0x02;
constexpr std::uint8_t ETX = 0x03;
constexpr std::uint8_t ENQ = 0x05;
constexpr std::uint8_t ACK = 0x06;
constexpr std::uint8_t NAK = 0x15;
constexpr std::uint8_t CMD_PLC5 = 0x0F;
constexpr std::uint8_t REPLY_BIT = 0x40;
constexpr std::uint8_t FNC_WRITE = 0x00;
constexpr std::uint8_t FNC_READ = 0x01;

std::uint8_t Bcc(const std::vector<std::uint8_t>& bytes) {
    unsigned sum = 0;
    for (const std::uint8_t b : bytes)
        sum += b;
    return static_cast<std::uint8_t>(-sum & 0xFF);
}

// "$N7:12" into file "N7" and element 12; false when it is not that shape.
bool ParseAddress(const std::string& text, std::string& file, long long& element) {
    const std::size_t colon = text.find(':');
    if (text.size() < 4 || text[0] != '$' || colon == std::string::npos)
        return false;
    file = text.substr(1, colon - 1);
    const std::string digits = text.substr(colon + 1);
    if (!CAbSimStation::IsFileName(file) || digits.empty() || digits.size() > 3)
        return false;
    element = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return false;
        element = element * 10 + (c - '0');
    }
    return true;
}

} // namespace

bool CAbSimStation::IsFileName(const std::string& name) {
    std::size_t letters = 0;
    while (letters < name.size() && name[letters] >= 'A' && name[letters] <= 'Z')
        ++letters;
    const std::size_t digits = name.size() - letters;
    if (letters < 1 || letters > 2 || digits < 1 || digits > 3)
        return false;
    for (std::size_t i = letters; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return false;
    }
    return true;
}

bool CAbSimStation::SetStation(long long station, std::string& error) {
    if (station < 0 || station > 254) {
        error = "DF1 station must be 0-254";
        return false;
    }
    m_nStation = static_cast<int>(station);
    return true;
}

bool CAbSimStation::Preset(const std::string& device, long long address, long long value,
                           std::string& error) {
    if (!IsFileName(device)) {
        error = "no data file '" + device + "' (a type letter or two and a number, e.g. N7)";
        return false;
    }
    if (address < 0 || address >= kElements) {
        error = "element " + std::to_string(address) + " is outside 0-999";
        return false;
    }
    if (value < -32768 || value > 65535) {
        error = "value " + std::to_string(value) + " is not a 16-bit word";
        return false;
    }
    m_memory.SetWord(device, address, static_cast<std::uint16_t>(value & 0xFFFF));
    return true;
}

void CAbSimStation::OnReceive(const std::uint8_t* data, int length) {
    m_nQuietTicks = 0;
    for (int i = 0; data && i < length; ++i)
        Take(data[i]);
}

void CAbSimStation::OnTimer() {
    if (m_state != RX_IDLE && ++m_nQuietTicks >= kStaleTicks) {
        m_state = RX_IDLE;
        m_body.clear();
    }
}

void CAbSimStation::Take(std::uint8_t b) {
    auto startFrame = [this] {
        m_body.clear();
        m_nSum = 0;
        m_bOverflow = false;
        m_state = RX_FRAME;
    };
    auto append = [this](std::uint8_t byte) {
        m_nSum += byte;
        if (m_body.size() < kBodyMax)
            m_body.push_back(byte);
        else
            m_bOverflow = true;
    };
    switch (m_state) {
    case RX_IDLE:
        if (b == DLE)
            m_state = RX_DLE;
        break;
    case RX_DLE:
        m_state = RX_IDLE;
        if (b == DLE) {
            m_state = RX_DLE; // outside a frame any DLE may start the next one
        } else if (b == STX) {
            startFrame();
        } else if (b == NAK) {
            SendReply();
        } else if (b == ENQ) {
            // Our reply again, or the last link answer when none is out.
            if (m_lastReply.empty())
                SendControl(m_lastAnswer);
            else
                SendReply();
        } else if (b == ACK) {
            m_lastReply.clear(); // delivered
        }
        break;
    case RX_FRAME:
        if (b == DLE)
            m_state = RX_FRAME_DLE;
        else
            append(b);
        break;
    case RX_FRAME_DLE:
        if (b == ETX) {
            m_state = RX_BCC;
        } else if (b == DLE) {
            append(DLE);
            m_state = RX_FRAME;
        } else if (b == STX) {
            startFrame(); // the frame before was cut short
        } else {
            m_state = RX_FRAME; // not DF1; the BCC will tell
        }
        break;
    case RX_BCC:
        m_state = RX_IDLE;
        if (m_bOverflow || b != static_cast<std::uint8_t>(-m_nSum & 0xFF)) {
            CountRejected();
            SendControl(NAK);
        } else {
            OnFrame();
        }
        m_body.clear();
        break;
    }
}

void CAbSimStation::OnFrame() {
    // DST SRC CMD STS TNS TNS at the least; another node's frame is not ours.
    if (m_body.size() < 6 || m_body[0] != m_nStation) {
        CountRejected();
        SendControl(ACK);
        return;
    }
    if (!TakeRequest())
        return; // dropped: no answer at all, the master's time-out runs
    SendControl(ACK);
    m_lastReply = Serve(m_body);
    SendReply();
}

std::vector<std::uint8_t> CAbSimStation::Serve(const std::vector<std::uint8_t>& q) {
    std::vector<std::uint8_t> reply = {q[1], q[0], static_cast<std::uint8_t>(q[2] | REPLY_BIT),
                                       0x00, q[4], q[5]};
    auto refuse = [&reply](std::uint8_t status, int ext = -1) {
        reply[3] = status;
        if (ext >= 0)
            reply.push_back(static_cast<std::uint8_t>(ext));
        return reply;
    };
    // FNC, packet offset, total transaction, 0x00 before the address.
    if (q[2] != CMD_PLC5 || q.size() < 12 || (q[6] != FNC_READ && q[6] != FNC_WRITE) || q[7] != 0 ||
        q[8] != 0 || q[11] != 0)
        return refuse(STS_BAD_COMMAND);
    const bool read = q[6] == FNC_READ;
    const long long count = q[9] | q[10] << 8;
    std::size_t at = 12;
    std::string text;
    while (at < q.size() && q[at] != 0 && text.size() < 16)
        text.push_back(static_cast<char>(q[at++]));
    if (at >= q.size() || q[at] != 0)
        return refuse(STS_EXTENDED, EXT_BAD_ADDRESS);
    ++at;
    std::string file;
    long long element = 0;
    if (!ParseAddress(text, file, element))
        return refuse(STS_EXTENDED, EXT_BAD_ADDRESS);
    const std::size_t rest = q.size() - at;
    const bool sizeRight =
        read ? rest == 1 && q[at] == 2 * count : rest == 2 * static_cast<std::size_t>(count);
    if (count < 1 || count > kMaxCount || element + count > kElements || !sizeRight)
        return refuse(STS_EXTENDED, EXT_BAD_SIZE);
    for (long long i = 0; i < count; ++i) {
        if (read) {
            const std::uint16_t word = m_memory.GetWord(file, element + i);
            reply.push_back(static_cast<std::uint8_t>(word >> 8));
            reply.push_back(static_cast<std::uint8_t>(word & 0xFF));
        } else {
            const std::size_t k = at + 2 * static_cast<std::size_t>(i);
            const auto word = static_cast<std::uint16_t>(q[k] << 8 | q[k + 1]);
            m_memory.SetWord(file, element + i, word);
            ReportWrite(file, element + i, word);
        }
    }
    return reply;
}

void CAbSimStation::SendReply() {
    if (m_lastReply.empty())
        return;
    std::vector<std::uint8_t> frame = {DLE, STX};
    for (const std::uint8_t b : m_lastReply) {
        frame.push_back(b);
        if (b == DLE)
            frame.push_back(DLE);
    }
    frame.push_back(DLE);
    frame.push_back(ETX);
    std::uint8_t bcc = Bcc(m_lastReply);
    if (TakeReply())
        bcc = static_cast<std::uint8_t>(bcc ^ 0x5A);
    frame.push_back(bcc);
    Send(frame);
}

void CAbSimStation::SendControl(std::uint8_t code) {
    m_lastAnswer = code;
    const std::uint8_t pair[2] = {DLE, code};
    Send(pair, 2);
}
