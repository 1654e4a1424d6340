#include "plc/codecs/CSimensEngine.h"

#include "plc/CPlcSettingsFile.h"

#include <algorithm>
#include <array>
#include <string>

namespace {

constexpr std::uint8_t kFetch = 'E';
constexpr std::uint8_t kSend = 'A';
// The first letter of the RK512 data types "DXEAMPZTSBQ": data block.
constexpr std::uint8_t kDataBlock = 'D';
constexpr std::uint8_t kNoFlag = 0xFF;
constexpr const char* kWord = "WORD";
constexpr const char* kBit = "BIT";

bool IsBits(const PlcRequestRow& row) {
    return row.m_strDeviceType == kBit;
}

// The table word at index + i, 0 without a table or outside it.
std::uint16_t TableWord(const MemoryTable* memory, long long index) {
    if (!memory || index < 0 || index >= MemoryTable::kSize)
        return 0;
    return memory->Get(static_cast<int>(index));
}

} // namespace

CSimensEngine::CSimensEngine(ILinkHub& hub) : CPlcEngine(hub, CPlcSettingsFile::PLC_SIMENS) {
    m_frame.reserve(kReactionHeader + 2 * kMaxWords);
}

std::uint8_t CSimensEngine::BlockCheck(const std::uint8_t* bytes, int count) {
    std::uint8_t check = 0;
    for (int i = 0; i < count; ++i)
        check ^= bytes[i];
    return check;
}

int CSimensEngine::WordCount(const PlcRequestRow& row) {
    if (!IsBits(row))
        return row.m_nDataCount & 0xFFFF;
    const long long words = (static_cast<long long>(row.m_nDataCount) + 15) / 16;
    return static_cast<int>(words & 0xFFFF);
}

int CSimensEngine::EncodeTelegram(const PlcRequestRow& row, const MemoryTable* memory,
                                  std::uint8_t* buffer, int capacity) {
    const bool send = row.IsWrite();
    if (!send && !row.IsRead())
        return 0;
    int length = 0;
    bool overflow = false;
    auto put = [&](std::uint8_t b) {
        if (length < capacity)
            buffer[length++] = b;
        else
            overflow = true;
    };
    // Inside the telegram a DLE goes twice, so that only DLE ETX ends it.
    auto putData = [&](std::uint8_t b) {
        put(b);
        if (b == DLE)
            put(DLE);
    };
    const int words = WordCount(row);
    putData(0x00);
    putData(0x00);
    putData(send ? kSend : kFetch);
    putData(kDataBlock);
    putData(static_cast<std::uint8_t>(row.m_nDbAddress & 0xFF));
    putData(static_cast<std::uint8_t>(row.m_nDwAddress & 0xFF));
    putData(static_cast<std::uint8_t>((words >> 8) & 0xFF));
    putData(static_cast<std::uint8_t>(words & 0xFF));
    putData(kNoFlag);
    putData(kNoFlag);
    if (send) {
        for (int k = 0; k < words && !overflow; ++k) {
            unsigned value = 0;
            if (IsBits(row)) {
                // Item i is bit i mod 16 of word i / 16; the bits past the
                // last item stay 0.
                for (int bit = 0; bit < 16; ++bit) {
                    const long long item = 16LL * k + bit;
                    if (item < row.m_nDataCount &&
                        TableWord(memory, static_cast<long long>(row.m_nAnIndex) + item) != 0)
                        value |= 1u << bit;
                }
            } else {
                value = TableWord(memory, static_cast<long long>(row.m_nAnIndex) + k);
            }
            putData(static_cast<std::uint8_t>(value >> 8));
            putData(static_cast<std::uint8_t>(value & 0xFF));
        }
    }
    put(DLE);
    put(ETX);
    if (!overflow)
        put(BlockCheck(buffer, length));
    return overflow ? 0 : length;
}

int CSimensEngine::BuildRequest(std::uint8_t* buffer, int& length) {
    length = EncodeTelegram(m_current, Memory(), buffer, kFrameMax);
    return 1;
}

CPlcEngine::SLimit CSimensEngine::FieldLimit(const PlcRequestRow& row,
                                             const std::string& key) const {
    if (key == "DBADDRESS" || key == "DWADDRESS")
        return {0, kMaxAddress};
    if (key == "DATACOUNT")
        return IsBits(row) ? SLimit{1, kMaxBits} : SLimit{1, kMaxWords};
    return CPlcEngine::FieldLimit(row, key);
}

std::string CSimensEngine::CheckCodecRow(const PlcRequestRow& row) const {
    if (row.m_strDeviceType != kWord && row.m_strDeviceType != kBit)
        return "PLCDEVICETYPE \"" + row.m_strDeviceType + "\"은(는) \"WORD\"도 \"BIT\"도 아닙니다.";
    return {};
}

void CSimensEngine::SendNextRequest() {
    if (!IsActive())
        return;
    if (m_state != S_IDLE) {
        // Only a Start finds an exchange open: the PLC may still be in it,
        // so the new run waits a whole time-out before its first STX.
        m_nTicks = 0;
        return;
    }
    m_receive.clear();
    SendStx();
    m_nTicks = 0;
}

void CSimensEngine::SendStx() {
    const std::uint8_t stx = STX;
    CountRequest();
    m_state = S_STX_SENT;
    m_nStalled = 0;
    SendFrame(&stx, 1);
}

void CSimensEngine::SendTelegram() {
    m_state = S_BUILDING;
    m_nStalled = 0;
    NextRow();
    std::array<std::uint8_t, kFrameMax> buffer{};
    int length = 0;
    BuildRequest(buffer.data(), length);
    if (length <= 0)
        return; // nothing to send: the time-out moves on
    m_state = S_TELEGRAM_SENT;
    SendFrame(buffer.data(), length);
}

void CSimensEngine::SendDle() {
    const std::uint8_t dle = DLE;
    if (m_state == S_STX_RECEIVED) {
        m_state = S_IN_TELEGRAM;
        SendFrame(&dle, 1);
    } else if (m_state == S_FINISHING) {
        m_state = S_IDLE;
        SendFrame(&dle, 1);
    }
}

int CSimensEngine::ParseResponse() {
    int result = REPLY_WAIT;
    const std::size_t maxFrame = kReactionHeader + 2 * kMaxWords;
    // The block is walked from a vector of its own: what is sent on the way
    // must not be able to touch it.
    std::vector<std::uint8_t> block;
    block.swap(m_receive);
    for (const std::uint8_t b : block) {
        if (m_state == S_IDLE)
            break; // nothing is asked for: the rest of the block is not ours
        ++m_nStalled;
        switch (m_state) {
        case S_STX_SENT:
            if (b == DLE)
                SendTelegram();
            break;
        case S_TELEGRAM_SENT:
            if (b == DLE)
                m_state = S_WAIT_STX;
            break;
        case S_WAIT_STX:
            if (b == STX) {
                m_frame.clear();
                m_nCheck = 0;
                m_bSpoilt = false;
                m_nStalled = 0;
                m_state = S_STX_RECEIVED;
                SendDle();
            }
            break;
        case S_IN_TELEGRAM:
            m_nCheck ^= b;
            if (b == DLE) {
                m_state = S_TELEGRAM_DLE;
            } else if (m_frame.size() < maxFrame) {
                m_frame.push_back(b);
            } else {
                m_bSpoilt = true;
            }
            break;
        case S_TELEGRAM_DLE:
            if (b == ETX) {
                m_nCheck ^= b;
                m_state = S_BCC;
            } else if (b == DLE) {
                m_nCheck ^= b;
                if (m_frame.size() < maxFrame)
                    m_frame.push_back(DLE);
                else
                    m_bSpoilt = true;
                m_state = S_IN_TELEGRAM;
            } else {
                // A lone DLE: the telegram cannot be right, but its DLE ETX
                // still ends it.
                m_nCheck ^= b;
                m_bSpoilt = true;
                m_state = S_IN_TELEGRAM;
            }
            break;
        case S_BCC:
            // The procedure ends with our DLE whatever the check says.
            m_state = S_FINISHING;
            SendDle();
            result = Judge(b);
            break;
        default: // S_BUILDING and the states left within one byte
            break;
        }
    }
    block.clear();
    if (m_receive.empty())
        m_receive.swap(block); // keeps the capacity
    // Every block restarts the time-out: bytes that never move the exchange
    // on (noise, a reaction that never ends) end it past four work areas.
    if (result == REPLY_WAIT && m_state != S_IDLE && m_nStalled > 4 * std::size_t{kFrameMax}) {
        m_state = S_IDLE;
        result = REPLY_BAD;
    }
    return result;
}

int CSimensEngine::Judge(std::uint8_t received) {
    if (m_bSpoilt || received != m_nCheck)
        return REPLY_BAD;
    // 00 00 00 and the error number, then a fetch's data.
    if (m_frame.size() < kReactionHeader || m_frame[0] != 0 || m_frame[1] != 0 || m_frame[2] != 0)
        return REPLY_BAD;
    if (m_frame[3] != 0)
        return REPLY_ERROR;
    const PlcRequestRow& row = m_current;
    const bool fetch = row.IsRead();
    const std::size_t words = fetch ? static_cast<std::size_t>(WordCount(row)) : 0;
    if (m_frame.size() != kReactionHeader + 2 * words)
        return REPLY_BAD;
    if (!fetch)
        return REPLY_OK;
    auto word = [this](long long k) {
        const std::size_t at = kReactionHeader + 2 * static_cast<std::size_t>(k);
        return static_cast<std::uint16_t>(m_frame[at] << 8 | m_frame[at + 1]);
    };
    const long long index = row.m_nAnIndex;
    if (IsBits(row)) {
        const long long items = std::min<long long>(row.m_nDataCount, 16LL * words);
        for (long long i = 0; i < items; ++i)
            StoreWord(index + i, (word(i / 16) >> (i % 16)) & 1u);
    } else {
        for (long long i = 0; i < static_cast<long long>(words); ++i)
            StoreWord(index + i, word(i));
    }
    return REPLY_OK;
}

void CSimensEngine::OnTimer(int id) {
    if (id != ID_TIMER_POLL)
        return;
    const int old = m_nTicks;
    if (m_nTicks < 1000000)
        ++m_nTicks;
    if (old * POLL_PERIOD_MS > kTimeoutMs && IsActive()) {
        CountTimeout();
        m_state = S_IDLE;
        SendNextRequest();
        m_nTicks = 0;
    }
}
