#include "plc/CPlcEngine.h"

#include "link/ILinkHub.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>

namespace {

std::int64_t SteadyMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

CPlcEngine::CPlcEngine(ILinkHub& hub, int nPlc)
    : m_hub(hub), m_file(nPlc), m_fnClock(&SteadyMicroseconds) {
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
    std::string problem;
    if (!ReadIni(problem)) {
        m_hub.ShowMessage(problem);
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

bool CPlcEngine::UsesMemory(const PlcRequestRow& row, long long& first, long long& count) const {
    first = row.m_nAnIndex;
    count = row.m_nDataCount;
    return true;
}

CPlcEngine::SLimit CPlcEngine::FieldLimit(const PlcRequestRow&, const std::string& key) const {
    if (key == "ANINDEX")
        return {0, MemoryTable::kSize - 1};
    if (key == "DATACOUNT")
        return {1, MemoryTable::kSize};
    return {INT_MIN, INT_MAX};
}

std::string CPlcEngine::RowLabel(int nRow) const {
    return "ROW " + std::to_string(nRow) + " (" + m_file.SectionName(nRow - 1) + "): ";
}

namespace {

// An optional sign and digits, nothing else: the lenient reading takes
// "PLC1" or an empty cell as 0, which on Modbus is the broadcast.
bool IsNumber(const std::string& text) {
    std::size_t i = text.starts_with('-') || text.starts_with('+') ? 1 : 0;
    if (i >= text.size())
        return false;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    return true;
}

} // namespace

std::string CPlcEngine::CheckRow(const PlcRequestRow& row, int nRow) const {
    if (!row.IsRead() && !row.IsWrite())
        return RowLabel(nRow) + "COMMTYPE \"" + row.m_strCommType +
               "\"은(는) \"자동읽기\"도 \"자동쓰기\"도 아닙니다 (파일은 CP949로 저장합니다).";
    const auto& keys = m_file.GetLayout().m_keys;
    for (std::size_t k = 0; k < keys.size(); ++k) {
        if (!keys[k].m_pNumber)
            continue;
        const std::string key = keys[k].m_szName;
        const std::string text = k < row.m_cells.size() ? row.m_cells[k] : std::string();
        if (!IsNumber(text))
            return RowLabel(nRow) + key + " \"" + text + "\"은(는) 숫자가 아닙니다.";
        const long long value = row.*keys[k].m_pNumber;
        const SLimit limit = FieldLimit(row, key);
        if (value < limit.m_nMin || value > limit.m_nMax || text.size() > 11) {
            const std::string range =
                limit.m_szNote ? std::string(limit.m_szNote)
                               : std::to_string(limit.m_nMin) + "~" + std::to_string(limit.m_nMax);
            return RowLabel(nRow) + key + " \"" + text + "\"은(는) 범위(" + range +
                   ")를 벗어납니다.";
        }
    }
    if (std::string problem = CheckCodecRow(row); !problem.empty())
        return RowLabel(nRow) + problem;
    long long first = 0;
    long long count = 0;
    if (UsesMemory(row, first, count) && !MemoryTable::ContainsRange(first, count))
        return RowLabel(nRow) + "ANINDEX " + std::to_string(first) + "부터 " +
               std::to_string(count) + "개의 워드는 메모리 테이블(0~" +
               std::to_string(MemoryTable::kSize - 1) + ")을 벗어납니다.";
    return {};
}

bool CPlcEngine::ReadIni(std::string& problem) {
    m_rows.clear();
    m_nCursor = 0;
    const std::filesystem::path path = m_rowsPath.empty() ? m_file.CurrentPath() : m_rowsPath;
    CPlcSettingsFile::SReadInfo info;
    std::vector<PlcRequestRow> rows = m_file.ReadRows(path, &info);
    if (!info.m_strError.empty()) {
        problem = std::string(kIniFailed) + "\n" + path.string() + ": " + info.m_strError;
        return false;
    }
    if (rows.empty()) {
        problem = std::string(kIniFailed) + "\n" + path.string() + ": " + m_file.SectionName(0) +
                  "의 COMMTYPE이 비어 있어 요청 ROW가 없습니다.";
        return false;
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string bad = CheckRow(rows[i], static_cast<int>(i) + 1);
        if (!bad.empty()) {
            problem = std::string(kBadRow) + "\n" + bad;
            return false;
        }
    }
    // Said, but not refused: the rows read are good ones.
    if (info.m_bCut)
        m_hub.ShowMessage(kRowsCut + path.string());
    m_rows = std::move(rows);
    m_nCursor = m_rows.size();
    return true;
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
    CountRequest();
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
    const int result = ParseResponse();
    if (result != REPLY_WAIT) {
        CountFinished(result);
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
        CountTimeout();
        SendNextRequest();
        m_nTicks = 0;
    }
}

void CPlcEngine::StoreWord(long long index, std::uint16_t value) {
    if (m_pMemory && index >= 0 && index < MemoryTable::kSize)
        m_pMemory->Set(static_cast<int>(index), value);
}

void CPlcEngine::CountRequest() {
    ++m_counters.m_nRequests;
    m_bWaiting = true;
    m_nSentUs = m_fnClock ? m_fnClock() : 0;
}

void CPlcEngine::CountFinished(int result) {
    if (m_bWaiting) {
        if (result == REPLY_OK)
            ++m_counters.m_nGood;
        else if (result == REPLY_ERROR)
            ++m_counters.m_nError;
        else
            ++m_counters.m_nBad;
        if ((result == REPLY_OK || result == REPLY_ERROR) && m_fnClock) {
            // A clock stepping back gives 0, never a negative time.
            const std::int64_t rtt = std::max<std::int64_t>(0, m_fnClock() - m_nSentUs);
            m_counters.m_nRttLastUs = rtt;
            m_counters.m_nRttTotalUs += rtt;
            ++m_counters.m_nRttSamples;
        }
    }
    m_bWaiting = false;
}

void CPlcEngine::CountTimeout() {
    if (m_bWaiting)
        ++m_counters.m_nTimeouts;
    m_bWaiting = false;
}

void CPlcEngine::ResetCounters() {
    m_counters = SCounters();
    m_bWaiting = false;
}
