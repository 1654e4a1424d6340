#include "plc/sim/CSimensSimStation.h"

#include <cctype>

namespace {

constexpr std::uint8_t kFetch = 'E';
constexpr std::uint8_t kSend = 'A';
constexpr std::uint8_t kDataBlock = 'D';

std::string DbName(unsigned block) {
    return "DB" + std::to_string(block);
}

// "DB0" .. "DB255", either case; the block number, or -1.
int ParseDb(const std::string& device) {
    if (device.size() < 3 || device.size() > 5 || std::toupper(device[0]) != 'D' ||
        std::toupper(device[1]) != 'B')
        return -1;
    int block = 0;
    for (std::size_t i = 2; i < device.size(); ++i) {
        if (device[i] < '0' || device[i] > '9')
            return -1;
        block = block * 10 + (device[i] - '0');
    }
    return block <= CSimensSimStation::kMaxBlock ? block : -1;
}

} // namespace

bool CSimensSimStation::Preset(const std::string& device, long long address, long long value,
                               std::string& error) {
    const int block = ParseDb(device);
    if (block < 0) {
        error =
            (device.empty() ? std::string("no data block given") : "no device '" + device + "'") +
            ": data blocks are DB0 to DB" + std::to_string(kMaxBlock) + " (DB5:0=1)";
        return false;
    }
    if (address < 0 || address >= kDbWords) {
        error = "no data word " + std::to_string(address) + " in " + DbName(block) + " (0 to " +
                std::to_string(kDbWords - 1) + ")";
        return false;
    }
    if (value < -32768 || value > 65535) {
        error = "value " + std::to_string(value) + " does not fit a word (-32768 to 65535)";
        return false;
    }
    m_memory.SetWord(DbName(block), address, static_cast<std::uint16_t>(value & 0xFFFF));
    return true;
}

void CSimensSimStation::OnReceive(const std::uint8_t* data, int length) {
    if (!data || length < 1)
        return;
    m_nTicks = 0;
    for (int i = 0; i < length; ++i)
        OnByte(data[i]);
}

void CSimensSimStation::OnTimer() {
    if (m_nTicks < 1000000)
        ++m_nTicks;
    switch (m_state) {
    case ST_RECEIVE:
    case ST_RECEIVE_DLE:
    case ST_CHECK:
        // The first character may take a round trip to come; after it, the
        // block flows.
        if (m_nTicks >= (m_state == ST_RECEIVE && m_telegram.empty() ? kAckTicks : kCharTicks))
            Refuse(); // the block stopped halfway
        break;
    case ST_WAIT_ACK_STX:
    case ST_WAIT_ACK_END:
        if (m_nTicks >= kAckTicks)
            m_state = ST_IDLE; // the partner has given the exchange up
        break;
    case ST_IDLE:
        break;
    }
}

void CSimensSimStation::Refuse() {
    const std::uint8_t nak = NAK;
    CountRejected();
    m_state = ST_IDLE;
    Send(&nak, 1);
}

void CSimensSimStation::OnByte(std::uint8_t b) {
    const std::uint8_t dle = DLE;
    switch (m_state) {
    case ST_WAIT_ACK_STX:
    case ST_WAIT_ACK_END:
        if (b == DLE) {
            if (m_state == ST_WAIT_ACK_STX) {
                m_state = ST_WAIT_ACK_END;
                m_nTicks = 0;
                Send(m_reaction);
            } else {
                m_state = ST_IDLE;
            }
            return;
        }
        if (b == NAK) {
            if (++m_nRepeats > kMaxRepeats)
                m_state = ST_IDLE;
            else
                SendReactionStx();
            return;
        }
        if (b != STX)
            return;
        // The partner starts a block of its own: it has given up ours, or
        // both sent STX at once and the station gives way.
        m_state = ST_IDLE;
        [[fallthrough]];
    case ST_IDLE:
        if (b == STX) {
            m_telegram.clear();
            m_nCheck = 0;
            m_bTooLong = false;
            m_state = ST_RECEIVE;
            Send(&dle, 1);
        }
        return; // anything else is noise between blocks
    case ST_RECEIVE:
        m_nCheck ^= b;
        if (b == DLE)
            m_state = ST_RECEIVE_DLE;
        else if (m_telegram.size() < kMaxTelegram)
            m_telegram.push_back(b);
        else
            m_bTooLong = true;
        return;
    case ST_RECEIVE_DLE:
        m_nCheck ^= b;
        if (b == ETX) {
            m_state = ST_CHECK;
            return;
        }
        // DLE DLE is one data DLE; DLE before anything else spoils the block.
        if (b != DLE || m_telegram.size() >= kMaxTelegram)
            m_bTooLong = true;
        else
            m_telegram.push_back(DLE);
        m_state = ST_RECEIVE;
        return;
    case ST_CHECK:
        if (b != m_nCheck || m_bTooLong) {
            Refuse();
            return;
        }
        if (!Serve()) {
            m_state = ST_IDLE; // dropped: no DLE, no reaction
            return;
        }
        Send(&dle, 1);
        m_nRepeats = 0;
        SendReactionStx();
        return;
    }
}

void CSimensSimStation::SendReactionStx() {
    const std::uint8_t stx = STX;
    m_state = ST_WAIT_ACK_STX;
    m_nTicks = 0;
    Send(&stx, 1);
}

bool CSimensSimStation::Serve() {
    if (!TakeRequest())
        return false;
    const std::vector<std::uint8_t>& t = m_telegram;
    std::uint8_t error = ERR_NONE;
    std::vector<std::uint8_t> data;
    if (t.size() < kHeaderSize || t[0] != 0 || t[1] != 0 || (t[2] != kFetch && t[2] != kSend)) {
        error = ERR_HEADER;
    } else if (t[3] != kDataBlock) {
        error = ERR_TYPE;
    } else {
        const bool fetch = t[2] == kFetch;
        const std::string db = DbName(t[4]);
        const unsigned dw = t[5];
        const unsigned words = static_cast<unsigned>(t[6] << 8 | t[7]);
        const std::size_t expected = kHeaderSize + (fetch ? 0 : 2 * words);
        // Bytes 8 and 9 are the coordination flag; this station has none
        // and takes whatever they hold.
        if (words < 1 || words > kMaxWords || t.size() != expected || dw + words > kDbWords) {
            error = ERR_LENGTH;
        } else if (fetch) {
            for (unsigned k = 0; k < words; ++k) {
                const std::uint16_t value = m_memory.GetWord(db, dw + k);
                data.push_back(static_cast<std::uint8_t>(value >> 8));
                data.push_back(static_cast<std::uint8_t>(value & 0xFF));
            }
        } else {
            for (unsigned k = 0; k < words; ++k) {
                const auto value = static_cast<std::uint16_t>(t[kHeaderSize + 2 * k] << 8 |
                                                              t[kHeaderSize + 2 * k + 1]);
                m_memory.SetWord(db, dw + k, value);
                ReportWrite(db, dw + k, value);
            }
        }
    }
    if (error != ERR_NONE)
        CountRejected();

    std::vector<std::uint8_t> reaction = {0x00, 0x00, 0x00, error};
    reaction.insert(reaction.end(), data.begin(), data.end());
    m_reaction.clear();
    for (const std::uint8_t b : reaction) {
        m_reaction.push_back(b);
        if (b == DLE)
            m_reaction.push_back(DLE);
    }
    m_reaction.push_back(DLE);
    m_reaction.push_back(ETX);
    std::uint8_t check = 0;
    for (const std::uint8_t b : m_reaction)
        check ^= b;
    if (TakeReply())
        check ^= 0xFF;
    m_reaction.push_back(check);
    return true;
}
