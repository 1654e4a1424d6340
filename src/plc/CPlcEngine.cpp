#include "plc/CPlcEngine.h"

#include "link/ILinkHub.h"

#include <array>

CPlcEngine::CPlcEngine(ILinkHub& hub, int nPlc) : m_hub(hub), m_file(nPlc) {
    m_receive.reserve(kFrameMax);
}

CPlcEngine::~CPlcEngine() = default;

bool CPlcEngine::IsActive() const {
    return m_hub.IsLinkUp() && m_bRunning;
}

void CPlcEngine::SetPollTimer(bool on) {
    m_bTimerSet = on;
    if (m_fnTimer)
        m_fnTimer(ID_TIMER_POLL, on ? POLL_PERIOD_MS : 0);
}

int CPlcEngine::Start(MemoryTable& memory, int mode) {
    m_pMemory = &memory;
    m_nMode = mode;
    SetPollTimer(true);
    // The message box runs the event loop: the engine is stopped before it.
    m_bRunning = false;
    if (!m_hub.IsLinkUp()) {
        m_hub.ShowMessage(kNotConnected);
        return 0;
    }
    if (!ReadIni()) {
        m_hub.ShowMessage(kIniFailed);
        return 0;
    }
    m_nCursor = 0;
    NextRow();
    m_bRunning = true;
    SendNextRequest();
    return 1;
}

int CPlcEngine::Stop() {
    m_bRunning = false;
    m_bWaiting = false;
    SetPollTimer(false);
    return 1;
}

bool CPlcEngine::TakesFromMemory(const PlcRequestRow& row, long long& first,
                                 long long& count) const {
    if (!row.IsWrite())
        return false;
    first = row.m_nAnIndex;
    count = row.m_nDataCount < 1 ? 1 : row.m_nDataCount;
    return true;
}

bool CPlcEngine::ReadIni() {
    m_rows.clear();
    std::vector<PlcRequestRow> rows = m_file.ReadRows(m_file.CurrentPath());
    if (rows.empty())
        return false;
    for (PlcRequestRow& row : rows) {
        long long first = 0;
        long long count = 0;
        if (TakesFromMemory(row, first, count) && !MemoryTable::ContainsRange(first, count))
            continue;
        m_rows.push_back(std::move(row));
    }
    m_nCursor = m_rows.size();
    return !m_rows.empty();
}

void CPlcEngine::NextRow() {
    if (m_rows.empty())
        return;
    if (m_nCursor >= m_rows.size())
        m_nCursor = 0;
    m_current = m_rows[m_nCursor];
    ++m_nCursor;
}

void CPlcEngine::SendNextRequest() {
    if (!IsActive())
        return;
    NextRow();
    m_receive.clear();
    std::array<std::uint8_t, kFrameMax> buffer{};
    int length = 0;
    BuildRequest(buffer.data(), length);
    if (length < 0 || length > kFrameMax)
        length = 0;
    ++m_nRequests;
    m_bWaiting = true;
    SendFrame(buffer.data(), length);
    m_nTicks = 0;
}

int CPlcEngine::SendFrame(const std::uint8_t* data, int length) {
    if (IsActive())
        m_hub.SendToLink(data, length);
    return 1;
}

int CPlcEngine::OnReceive(const std::uint8_t* data, int length) {
    if (length < 1 || !data || !IsActive())
        return 0;
    m_receive.insert(m_receive.end(), data, data + length);
    m_nTicks = 0;
    if (ParseResponse() == 1) {
        if (m_bWaiting)
            ++m_nReplies;
        m_bWaiting = false;
        SendNextRequest();
    }
    return 1;
}

void CPlcEngine::OnTimer(int id) {
    if (id != ID_TIMER_POLL)
        return;
    const int old = m_nTicks;
    if (m_nTicks < 1000000)
        ++m_nTicks;
    if (old * POLL_PERIOD_MS > 1500 && IsActive()) {
        if (m_bWaiting)
            ++m_nTimeouts;
        m_bWaiting = false;
        SendNextRequest();
        m_nTicks = 0;
    }
}

void CPlcEngine::StoreWord(long long index, std::uint16_t value) {
    if (m_pMemory && index >= 0 && index < MemoryTable::kSize)
        m_pMemory->Set(static_cast<int>(index), value);
}
