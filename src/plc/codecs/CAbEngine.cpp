#include "plc/codecs/CAbEngine.h"

#include "plc/CPlcSettingsFile.h"

#include <cstring>
#include <string>

CAbEngine::CAbEngine(ILinkHub& hub) : CPlcEngine(hub, CPlcSettingsFile::PLC_AB) {
    m_frameData.reserve(kFrameDataMax);
}

std::uint8_t CAbEngine::Df1Bcc(const std::uint8_t* bytes, std::size_t count) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += bytes[i];
    return static_cast<std::uint8_t>((0x100u - (sum & 0xFF)) & 0xFF);
}

std::vector<std::uint8_t> CAbEngine::BuildBody(const PlcRequestRow& row, unsigned transaction,
                                               const MemoryTable* memory) {
    const bool read = row.IsRead();
    if (!read && !row.IsWrite())
        return {};
    const unsigned count = static_cast<unsigned>(row.m_nDataCount);
    const std::string address =
        "$" + row.m_strDeviceName + ":" + std::to_string(static_cast<unsigned>(row.m_nPlcAddress));
    // An address byte 0 would end the address early; a body beyond the
    // working area is not built. Checked rows have neither.
    const std::size_t size =
        13 + address.size() + (read ? 1 : 2 * static_cast<std::size_t>(count & 0xFFFF));
    if (size > static_cast<std::size_t>(kBodyMax) || address.find('\0') != std::string::npos)
        return {};
    std::vector<std::uint8_t> body;
    body.reserve(size);
    body.push_back(static_cast<std::uint8_t>(row.m_nDst & 0xFF));
    body.push_back(static_cast<std::uint8_t>(row.m_nSrc & 0xFF));
    body.push_back(CMD);
    body.push_back(0x00); // STS
    body.push_back(static_cast<std::uint8_t>(transaction & 0xFF));
    body.push_back(static_cast<std::uint8_t>((transaction >> 8) & 0xFF));
    body.push_back(read ? FNC_READ : FNC_WRITE);
    body.push_back(0x00); // packet offset
    body.push_back(0x00);
    body.push_back(static_cast<std::uint8_t>(count & 0xFF)); // total transaction
    body.push_back(static_cast<std::uint8_t>((count >> 8) & 0xFF));
    body.push_back(0x00);
    body.insert(body.end(), address.begin(), address.end());
    body.push_back(0x00);
    if (read) {
        body.push_back(static_cast<std::uint8_t>((2 * count) & 0xFF));
    } else {
        for (unsigned i = 0; i < (count & 0xFFFF); ++i) {
            const long long index = static_cast<long long>(row.m_nAnIndex) + i;
            const bool inside = memory && index >= 0 && index < MemoryTable::kSize;
            const unsigned word = inside ? memory->Get(static_cast<int>(index)) : 0;
            body.push_back(static_cast<std::uint8_t>(word >> 8));
            body.push_back(static_cast<std::uint8_t>(word & 0xFF));
        }
    }
    return body;
}

std::vector<std::uint8_t> CAbEngine::FrameDf1(const std::vector<std::uint8_t>& body) {
    std::vector<std::uint8_t> frame;
    frame.reserve(2 * body.size() + 5);
    frame.push_back(DLE);
    frame.push_back(STX);
    for (const std::uint8_t b : body) {
        frame.push_back(b);
        if (b == DLE)
            frame.push_back(DLE);
    }
    frame.push_back(DLE);
    frame.push_back(ETX);
    frame.push_back(Df1Bcc(body.data(), body.size()));
    return frame;
}

void CAbEngine::SendNextRequest() {
    if (!IsActive())
        return;
    ++m_nTransaction;
    m_nFirstOfRow = m_nTransaction;
    m_nRepeats = 0;
    m_nBadFrames = 0;
    m_rxState = DF1_IDLE;
    m_frameData.clear();
    m_nStalled = 0;
    CPlcEngine::SendNextRequest();
}

int CAbEngine::BuildRequest(std::uint8_t* buffer, int& length) {
    const std::vector<std::uint8_t> frame =
        FrameDf1(BuildBody(m_current, m_nTransaction, Memory()));
    length = 0;
    if (frame.size() <= static_cast<std::size_t>(kFrameMax)) {
        std::memcpy(buffer, frame.data(), frame.size());
        length = static_cast<int>(frame.size());
    }
    return 1;
}

void CAbEngine::RepeatRequest() {
    if (!IsActive())
        return;
    if (m_nRepeats >= kRepeatLimit) {
        // The row is given up; the next one goes at the end of the block.
        m_nRepeats = 0;
        m_rxState = DF1_IDLE;
        m_nOutcome = REPLY_BAD;
        return;
    }
    ++m_nTransaction;
    ++m_nRepeats;
    const std::vector<std::uint8_t> frame =
        FrameDf1(BuildBody(m_current, m_nTransaction, Memory()));
    if (!frame.empty())
        SendFrame(frame.data(), static_cast<int>(frame.size()));
    m_rxState = DF1_IDLE;
    m_nStalled = 0;
}

void CAbEngine::SendControl(std::uint8_t code) {
    m_lastAnswer = code;
    const std::uint8_t pair[2] = {DLE, code};
    SendFrame(pair, 2);
}

int CAbEngine::OnReceive(const std::uint8_t* data, int length) {
    // Each block is worked on by itself; the automata keep what spans blocks.
    m_receive.clear();
    return CPlcEngine::OnReceive(data, length);
}

int CAbEngine::ParseResponse() {
    m_nOutcome = REPLY_WAIT;
    for (const std::uint8_t b : m_receive) {
        // Link down or stopped inside the block: the rest is not looked at.
        if (!IsActive())
            return REPLY_WAIT;
        ++m_nStalled;
        Respond(b);
        Parse(b);
        if (m_nOutcome != REPLY_WAIT)
            return m_nOutcome; // what follows belongs to no request yet
    }
    if (m_nOutcome == REPLY_WAIT && m_nStalled > kStalledMax) {
        m_rxState = DF1_IDLE;
        return REPLY_BAD;
    }
    return m_nOutcome;
}

void CAbEngine::Respond(std::uint8_t b) {
    if (m_linkState == RSP_IDLE) {
        if (b == DLE)
            m_linkState = RSP_DLE;
        return;
    }
    // The PLC asks for our last answer again.
    if (b == ENQ)
        SendControl(m_lastAnswer);
    m_linkState = RSP_IDLE;
}

void CAbEngine::Parse(std::uint8_t b) {
    auto startFrame = [this] {
        m_frameData.clear();
        m_frameSum = 0;
        m_bFrameTooLong = false;
        m_rxState = DF1_IN_FRAME;
        m_nStalled = 0;
    };
    auto append = [this](std::uint8_t byte) {
        m_frameSum = static_cast<std::uint8_t>(m_frameSum + byte);
        if (m_frameData.size() < static_cast<std::size_t>(kFrameDataMax))
            m_frameData.push_back(byte);
        else
            m_bFrameTooLong = true;
    };
    switch (m_rxState) {
    case DF1_IDLE:
        if (b == DLE)
            m_rxState = DF1_ACK_DLE;
        break;
    case DF1_ACK_DLE:
        if (b == ACK)
            m_rxState = DF1_WAIT_REPLY;
        else if (b == STX)
            startFrame(); // the ACK was lost on the way; the reply is here
        else
            RepeatRequest();
        break;
    case DF1_WAIT_REPLY:
        if (b == DLE)
            m_rxState = DF1_REPLY_DLE;
        break;
    case DF1_REPLY_DLE:
        if (b == STX)
            startFrame();
        else if (b == ENQ)
            RepeatRequest();
        else
            m_rxState = DF1_WAIT_REPLY;
        break;
    case DF1_IN_FRAME:
        if (b == DLE)
            m_rxState = DF1_FRAME_DLE;
        else
            append(b);
        break;
    case DF1_FRAME_DLE:
        if (b == ETX) {
            m_rxState = DF1_BCC;
        } else if (b == DLE) {
            append(DLE);
            m_rxState = DF1_IN_FRAME;
        } else if (b == STX) {
            startFrame(); // a frame cut short; the new one counts
        } else {
            m_rxState = DF1_IN_FRAME;
        }
        break;
    case DF1_BCC:
        if (b != static_cast<std::uint8_t>((0x100u - m_frameSum) & 0xFF)) {
            SendControl(NAK);
            m_rxState = DF1_WAIT_REPLY;
            if (++m_nBadFrames > kBadFrameLimit) {
                m_rxState = DF1_IDLE;
                m_nOutcome = REPLY_BAD;
            }
        } else {
            SendControl(ACK);
            Judge();
        }
        m_frameData.clear();
        break;
    }
}

void CAbEngine::Judge() {
    const std::vector<std::uint8_t>& f = m_frameData;
    if (m_bFrameTooLong || f.size() < 6) {
        m_rxState = DF1_IDLE;
        m_nOutcome = REPLY_BAD;
        return;
    }
    // A transaction number of an earlier request: its late reply, passed over.
    const unsigned tns = static_cast<unsigned>(f[4] | f[5] << 8);
    const unsigned sinceFirst = (tns - m_nFirstOfRow) & 0xFFFF;
    if (sinceFirst > static_cast<unsigned>(m_nRepeats)) {
        m_rxState = DF1_WAIT_REPLY;
        return;
    }
    m_rxState = DF1_IDLE;
    const PlcRequestRow& row = m_current;
    if (f[0] != static_cast<std::uint8_t>(row.m_nSrc & 0xFF) ||
        f[1] != static_cast<std::uint8_t>(row.m_nDst & 0xFF) || f[2] != CMD_REPLY) {
        m_nOutcome = REPLY_BAD;
        return;
    }
    if (f[3] != 0) {
        m_nOutcome = REPLY_ERROR;
        return;
    }
    const std::size_t count = row.IsRead() ? static_cast<std::size_t>(row.m_nDataCount) : 0;
    if (f.size() != 6 + 2 * count) {
        m_nOutcome = REPLY_BAD;
        return;
    }
    for (std::size_t i = 0; i < count; ++i)
        StoreWord(static_cast<long long>(row.m_nAnIndex) + static_cast<long long>(i),
                  static_cast<std::uint16_t>(f[6 + 2 * i] << 8 | f[7 + 2 * i]));
    m_nOutcome = REPLY_OK;
}

CPlcEngine::SLimit CAbEngine::FieldLimit(const PlcRequestRow& row, const std::string& key) const {
    if (key == "SRC" || key == "DST")
        return {0, kMaxNode};
    if (key == "PLCADDRESS")
        return {0, kMaxElement};
    if (key == "DATACOUNT")
        return {1, kMaxCount};
    return CPlcEngine::FieldLimit(row, key);
}

namespace {

// A data file as the ASCII address names it: one or two capital letters
// for its type, then its number ("N7", "B3", "ST9").
bool IsFileName(const std::string& name) {
    std::size_t i = 0;
    while (i < name.size() && i < 2 && name[i] >= 'A' && name[i] <= 'Z')
        ++i;
    const std::size_t digits = name.size() - i;
    if (i == 0 || digits < 1 || digits > 3)
        return false;
    for (; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return false;
    }
    return true;
}

} // namespace

std::string CAbEngine::CheckCodecRow(const PlcRequestRow& row) const {
    if (!row.m_strDeviceType.empty() && row.m_strDeviceType != "WORD")
        return "PLCDEVICETYPE \"" + row.m_strDeviceType +
               "\"은(는) 쓸 수 없습니다: WORD만 "
               "읽고 씁니다.";
    if (!IsFileName(row.m_strDeviceName))
        return "PLCDEVICENAME \"" + row.m_strDeviceName +
               "\"은(는) 데이터 파일 이름이 아닙니다 (대문자 1~2개와 파일 번호, 예: N7).";
    if (static_cast<long long>(row.m_nPlcAddress) + row.m_nDataCount > kMaxElement + 1)
        return "PLCADDRESS " + std::to_string(row.m_nPlcAddress) + "부터 DATACOUNT " +
               std::to_string(row.m_nDataCount) + "개의 워드는 파일의 원소 범위(0~" +
               std::to_string(kMaxElement) + ")를 벗어납니다.";
    return {};
}
