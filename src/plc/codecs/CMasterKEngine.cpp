#include "plc/codecs/CMasterKEngine.h"

#include "link/CHexCodec.h"
#include "plc/CPlcSettingsFile.h"

#include <cstdio>
#include <cstring>

namespace {

const char* const kWord = "WORD";
const char* const kBit = "BIT";

std::string Format(const char* format, long long value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Hex2(long long value) {
    return Format("%02llX", value & 0xFFFFFFFFLL);
}

// MASTER-K numbers device words in decimal and the bits of a word with one
// hex digit: bit 26 is word 1, bit A ("1A"), bit 160 is word 10, bit 0
// ("100").
std::string BitName(long long bit) {
    const long long word = bit / 16;
    return (word > 0 ? Format("%lld", word) : std::string()) + Format("%llX", bit % 16);
}

// The variable a row names; empty for a device type that has none.
std::string Variable(const PlcRequestRow& row) {
    const std::string& type = row.m_strDeviceType;
    const std::string name = "%" + row.m_strDeviceName;
    if (type == kWord)
        return name + "W" + Format("%lld", row.m_nPlcAddress);
    if (type == kBit && row.IsRead())
        return name + "W" + Format("%02lld", row.m_nPlcAddress / 16);
    if (type == kBit)
        return name + "X" + BitName(row.m_nPlcAddress);
    return {};
}

int HexDigit(std::uint8_t c) {
    return CHexCodec::DigitValue(static_cast<char>(c));
}

// The hex number in frame[at, at + n), or -1 when any of them is no hex digit.
long long HexAt(const std::vector<std::uint8_t>& frame, std::size_t at, std::size_t n) {
    if (at + n > frame.size())
        return -1;
    long long value = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const int digit = HexDigit(frame[at + i]);
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

bool TextAt(const std::vector<std::uint8_t>& frame, std::size_t at, const std::string& text) {
    return at + text.size() <= frame.size() &&
           std::memcmp(frame.data() + at, text.data(), text.size()) == 0;
}

} // namespace

CMasterKEngine::CMasterKEngine(ILinkHub& hub) : CPlcEngine(hub, CPlcSettingsFile::PLC_MASTERK) {
    m_frame.reserve(kFrameMax);
}

std::uint8_t CMasterKEngine::Bcc(const std::uint8_t* bytes, std::size_t count) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += bytes[i];
    return static_cast<std::uint8_t>(sum & 0xFF);
}

int CMasterKEngine::BitReadWords(const PlcRequestRow& row) {
    return (row.m_nDataCount + row.m_nPlcAddress % 16) / 16 + 1;
}

int CMasterKEngine::EncodeRequest(const PlcRequestRow& row, const MemoryTable* memory,
                                  std::uint8_t* buffer, int capacity) {
    std::string text(1, static_cast<char>(ENQ));
    text += Hex2(row.m_nStationNum);
    const std::string variable = Variable(row);
    const bool word = row.m_strDeviceType == kWord;
    const bool bit = row.m_strDeviceType == kBit;
    auto value = [memory, &row](int i) -> unsigned {
        const long long index = static_cast<long long>(row.m_nAnIndex) + i;
        return memory && MemoryTable::Contains(static_cast<int>(index))
                   ? memory->Get(static_cast<int>(index))
                   : 0;
    };
    if (row.IsRead() && (word || bit)) {
        text += "rSB" + Hex2(static_cast<long long>(variable.size())) + variable;
        text += Hex2(word ? row.m_nDataCount : BitReadWords(row));
    } else if (row.IsWrite() && word) {
        text += "wSB" + Hex2(static_cast<long long>(variable.size())) + variable;
        text += Hex2(row.m_nDataCount);
        for (int i = 0; i < row.m_nDataCount && static_cast<int>(text.size()) < capacity; ++i)
            text += Format("%04llX", value(i));
    } else if (row.IsWrite() && bit) {
        text += "wSS01" + Hex2(static_cast<long long>(variable.size())) + variable;
        for (int i = 0; i < row.m_nDataCount && static_cast<int>(text.size()) < capacity; ++i)
            text += value(i) ? "01" : "00";
    }
    if (text.size() > 3) {
        text += static_cast<char>(EOT);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
        text += Hex2(Bcc(bytes, text.size()));
    }
    if (static_cast<int>(text.size()) > capacity)
        return 0;
    std::memcpy(buffer, text.data(), text.size());
    return static_cast<int>(text.size());
}

void CMasterKEngine::SendNextRequest() {
    if (IsActive()) {
        m_nState = STATE_START;
        m_frame.clear();
        m_nSkipped = 0;
    }
    CPlcEngine::SendNextRequest();
}

int CMasterKEngine::BuildRequest(std::uint8_t* buffer, int& length) {
    length = EncodeRequest(m_current, Memory(), buffer, kFrameMax);
    return 1;
}

// The receive buffer holds only the block just received: the state machine
// keeps what it needs in the reply frame, which is bounded, so a block of
// any length and an endless stream are taken byte by byte.
int CMasterKEngine::ParseResponse() {
    int result = REPLY_WAIT;
    for (std::uint8_t byte : m_receive) {
        result = Feed(byte);
        if (result != REPLY_WAIT)
            break; // what follows a finished reply in the same block is ignored
    }
    m_receive.clear();
    // Noise that never starts a frame restarts the time-out with every
    // block: past the work area's size it ends the exchange instead.
    if (result == REPLY_WAIT && m_nState == STATE_START &&
        m_nSkipped > static_cast<std::size_t>(kFrameMax)) {
        m_nState = STATE_DONE;
        return REPLY_BAD;
    }
    return result;
}

int CMasterKEngine::Feed(std::uint8_t byte) {
    switch (m_nState) {
    case STATE_START:
        if (byte == ENQ || byte == ACK || byte == NAK) {
            m_frame.clear();
            m_bRequestFrame = byte == ENQ;
            if (!m_bRequestFrame)
                m_frame.push_back(byte);
            m_nState = byte == NAK ? STATE_NAK : STATE_FRAME;
        } else {
            ++m_nSkipped;
        }
        return REPLY_WAIT;
    case STATE_FRAME:
    case STATE_NAK:
        // No reply a row can ask for comes near the work area's size: a
        // stream that fills it ends the exchange and the engine goes on.
        if (m_frame.size() >= static_cast<std::size_t>(kFrameMax)) {
            m_nState = STATE_DONE;
            m_frame.clear();
            return REPLY_BAD;
        }
        m_frame.push_back(byte);
        // A request-shaped frame ends with EOT and its BCC.
        if (byte == ETX || (byte == EOT && m_bRequestFrame))
            m_nState = m_nState == STATE_NAK ? STATE_NAK_BCC1 : STATE_BCC1;
        return REPLY_WAIT;
    case STATE_BCC1:
    case STATE_NAK_BCC1:
        m_frame.push_back(byte);
        m_nState = m_nState == STATE_NAK_BCC1 ? STATE_NAK_BCC2 : STATE_BCC2;
        return REPLY_WAIT;
    case STATE_BCC2:
    case STATE_NAK_BCC2: {
        m_frame.push_back(byte);
        const bool nak = m_nState == STATE_NAK_BCC2;
        if (m_bRequestFrame && m_frame.size() >= 3 && m_frame[m_frame.size() - 3] == EOT) {
            // The echo of our request, or another master's: not the reply.
            m_nState = STATE_START;
            m_frame.clear();
            return REPLY_WAIT;
        }
        m_nState = STATE_DONE;
        int result = REPLY_BAD;
        if (!m_bRequestFrame) {
            result = nak ? JudgeNak() : JudgeAck();
            if (result == REPLY_OK && m_current.IsRead())
                StoreRead();
        }
        m_frame.clear();
        return result;
    }
    default:
        return REPLY_WAIT;
    }
}

int CMasterKEngine::JudgeAck() const {
    const std::vector<std::uint8_t>& f = m_frame;
    // ACK, station (2), command (3), ETX, BCC (2) at the least.
    if (f.size() < 9 || f[0] != ACK)
        return REPLY_BAD;
    const std::size_t etx = f.size() - 3;
    if (!TextAt(f, etx + 1, Hex2(Bcc(f.data(), etx + 1))))
        return REPLY_BAD;
    const PlcRequestRow& row = m_current;
    if (!TextAt(f, 1, Hex2(row.m_nStationNum)))
        return REPLY_BAD;
    if (row.IsWrite()) {
        const char* command = row.m_strDeviceType == kBit ? "wSS" : "wSB";
        return TextAt(f, 3, command) && etx == 6 ? REPLY_OK : REPLY_BAD;
    }
    // Block count 1, the word count asked for, and exactly its data.
    const long long words = row.m_strDeviceType == kBit ? BitReadWords(row) : row.m_nDataCount;
    if (!TextAt(f, 3, "rSB") || HexAt(f, 6, 2) != 1 || HexAt(f, 8, 2) != words ||
        etx != 10 + 4 * static_cast<std::size_t>(words))
        return REPLY_BAD;
    for (std::size_t i = 10; i < etx; ++i) {
        if (HexDigit(f[i]) < 0)
            return REPLY_BAD;
    }
    return REPLY_OK;
}

int CMasterKEngine::JudgeNak() const {
    const std::vector<std::uint8_t>& f = m_frame;
    if (f.size() < 9 || f[0] != NAK)
        return REPLY_BAD;
    const std::size_t etx = f.size() - 3;
    if (!TextAt(f, etx + 1, Hex2(Bcc(f.data(), etx + 1))))
        return REPLY_BAD;
    const PlcRequestRow& row = m_current;
    const char* command = row.IsRead() ? "rSB" : (row.m_strDeviceType == kBit ? "wSS" : "wSB");
    return TextAt(f, 1, Hex2(row.m_nStationNum)) && TextAt(f, 3, command) ? REPLY_ERROR : REPLY_BAD;
}

// JudgeAck has checked that the frame holds the data of every word.
void CMasterKEngine::StoreRead() {
    const PlcRequestRow& row = m_current;
    auto word = [this](int i) {
        return static_cast<std::uint16_t>(HexAt(m_frame, 10 + 4 * static_cast<std::size_t>(i), 4));
    };
    if (row.m_strDeviceType == kWord) {
        for (int i = 0; i < row.m_nDataCount; ++i)
            StoreWord(static_cast<long long>(row.m_nAnIndex) + i, word(i));
        return;
    }
    int bit = row.m_nPlcAddress % 16;
    int w = 0;
    std::uint16_t value = word(w);
    for (int i = 0; i < row.m_nDataCount; ++i) {
        if (bit >= 16) {
            value = word(++w);
            bit = 0;
        }
        StoreWord(static_cast<long long>(row.m_nAnIndex) + i, (value >> bit) & 1);
        ++bit;
    }
}

CPlcEngine::SLimit CMasterKEngine::FieldLimit(const PlcRequestRow& row,
                                              const std::string& key) const {
    if (key == "STATIONNUM")
        return {0, kMaxStation};
    if (key == "PLCADDRESS")
        return {0, kMaxAddress};
    if (key == "DATACOUNT") {
        if (row.m_strDeviceType == kBit && row.IsWrite())
            return {1, 1, "1: 비트 쓰기는 한 프레임에 1비트"};
        if (row.m_strDeviceType == kBit)
            return {1, kMaxBitReadCount};
        return {1, kMaxWords};
    }
    return CPlcEngine::FieldLimit(row, key);
}

std::string CMasterKEngine::CheckCodecRow(const PlcRequestRow& row) const {
    const std::string& type = row.m_strDeviceType;
    if (type != kWord && type != kBit)
        return "PLCDEVICETYPE \"" + type + "\"은(는) \"BIT\"도 \"WORD\"도 아닙니다.";
    const std::string& name = row.m_strDeviceName;
    if (name.size() != 1 || !std::strchr(kDevices, name[0]) || name[0] == '\0')
        return "PLCDEVICENAME \"" + name +
               "\"은(는) MASTER-K 디바이스(P, M, K, L, F, T, C, D, S)가 아닙니다.";
    if (type == kBit && row.IsRead() && BitReadWords(row) > kMaxWords)
        return "PLCADDRESS " + std::to_string(row.m_nPlcAddress) + "부터 DATACOUNT " +
               std::to_string(row.m_nDataCount) + "비트는 " + std::to_string(BitReadWords(row)) +
               "워드를 읽습니다: 한 프레임은 " + std::to_string(kMaxWords) + "워드까지입니다.";
    if (type == kWord && row.m_nPlcAddress + row.m_nDataCount > kMaxAddress + 1)
        return "PLCADDRESS " + std::to_string(row.m_nPlcAddress) + "부터 DATACOUNT " +
               std::to_string(row.m_nDataCount) + "개의 워드는 주소 범위(0~" +
               std::to_string(kMaxAddress) + ")를 벗어납니다.";
    return {};
}
