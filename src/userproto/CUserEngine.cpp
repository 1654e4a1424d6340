#include "userproto/CUserEngine.h"

#include "link/CCp949.h"
#include "link/CHexCodec.h"
#include "link/ILinkHub.h"
#include "userproto/CUserSettingsFile.h"

#include <algorithm>
#include <cstdio>

CUserEngine::CUserEngine(ILinkHub& hub, PacketFn addPacketRow)
    : m_hub(hub), m_fnAddPacketRow(std::move(addPacketRow)) {
    m_receive.reserve(kBufferMax);
}

bool CUserEngine::IsActive() const {
    return m_hub.IsLinkUp() && m_bRunning;
}

void CUserEngine::SetTimer(bool on) {
    m_bTimerSet = on;
    if (m_fnTimer)
        m_fnTimer(ID_TIMER_USER, on ? TICK_MS : 0);
}

int CUserEngine::Start(int viewMode) {
    SetTimer(true);
    m_nViewMode = viewMode == VIEW_BINARY ? VIEW_BINARY : VIEW_ASCII;
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
    // The first row of the file goes first.
    m_nCursor = 0;
    m_bRunning = true;
    SendNextRequest();
    return 1;
}

void CUserEngine::Stop() {
    m_bRunning = false;
    m_bWaiting = false;
    SetTimer(false);
}

namespace {

bool IsNumber(const std::string& text) {
    std::size_t i = text.starts_with('-') || text.starts_with('+') ? 1 : 0;
    if (i >= text.size() || text.size() > 11)
        return false;
    return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(i), text.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

} // namespace

std::string CUserEngine::CheckRow(const UserRequestRow& row, int nRow) {
    const std::string label =
        "ROW " + std::to_string(nRow) + " (" + CUserSettingsFile::SectionName(nRow - 1) + "): ";
    if (row.m_strDataType != UserRequestRow::kAscii && row.m_strDataType != UserRequestRow::kBinary)
        return label + "DATATYPE " + Quoted(row.m_strDataType) +
               "은(는) \"ASCII\"도 \"BINARY\"도 아닙니다.";
    if (row.m_strSendChoose != UserRequestRow::kSendFirst &&
        row.m_strSendChoose != UserRequestRow::kReceiveFirst)
        return label + "SENDCHOOSE " + Quoted(row.m_strSendChoose) +
               "은(는) \"먼저보내기\"도 \"먼저받기\"도 아닙니다 (파일은 CP949로 저장합니다).";
    if (row.m_strDataType == UserRequestRow::kBinary) {
        std::string bytes;
        std::size_t at = 0;
        const CHexCodec::HexError error = CHexCodec::ParseHexText(row.m_strData, bytes, at);
        if (error != CHexCodec::HEX_OK)
            return label + "DATA: " + CHexCodec::HexErrorText(row.m_strData, error, at);
    }
    // The file keeps at most 4095 bytes of a value, cut at a character: a
    // text that long may have lost its end.
    const std::size_t size = CCp949::FromUtf8(row.m_strData).size();
    if (size > static_cast<std::size_t>(kMaxDataText))
        return label + "DATA는 " + std::to_string(size) + "바이트입니다. 설정 파일의 값은 " +
               std::to_string(kMaxDataText) + "바이트까지만 온전히 읽히므로 보내지 않습니다.";
    const std::string count = row.m_cells.size() > 3 ? row.m_cells[3] : "";
    if (!IsNumber(count) || row.m_nReceiveCount < 0 || row.m_nReceiveCount > kBufferMax)
        return label + "SENDBYTE " + Quoted(count) + "은(는) 범위(0~" + std::to_string(kBufferMax) +
               ")를 벗어납니다.";
    const std::string wait = row.m_cells.size() > 4 ? row.m_cells[4] : "";
    if (!IsNumber(wait) || row.m_nWaitTime < 0 || row.m_nWaitTime > kMaxWaitMs)
        return label + "WAITTIME " + Quoted(wait) + "은(는) 범위(0~" + std::to_string(kMaxWaitMs) +
               ")를 벗어납니다.";
    return {};
}

std::string CUserEngine::DataBytes(const UserRequestRow& row) {
    if (row.m_strDataType == UserRequestRow::kBinary) {
        std::string bytes;
        std::size_t at = 0;
        CHexCodec::ParseHexText(row.m_strData, bytes, at);
        return bytes;
    }
    if (row.m_strDataType == UserRequestRow::kAscii)
        return CCp949::FromUtf8(row.m_strData);
    return {};
}

CUserEngine::SPacketLine CUserEngine::Show(const std::string& bytes, int viewMode,
                                           const char* direction, long long size) {
    SPacketLine line;
    if (viewMode == VIEW_BINARY) {
        static const char digits[] = "0123456789ABCDEF";
        line.m_strData.reserve(bytes.size() * 2);
        for (unsigned char b : bytes) {
            line.m_strData += digits[b >> 4];
            line.m_strData += digits[b & 15];
        }
        line.m_strType = UserRequestRow::kBinary;
    } else {
        line.m_strData = CCp949::ToUtf8(bytes.substr(0, bytes.find('\0')));
        line.m_strType = UserRequestRow::kAscii;
    }
    line.m_strSize = std::to_string(size < 0 ? static_cast<long long>(bytes.size()) : size);
    line.m_strDirection = direction;
    return line;
}

bool CUserEngine::ReadIni(std::string& problem) {
    m_rows.clear();
    const std::filesystem::path path =
        m_rowsPath.empty() ? CUserSettingsFile::CurrentPath() : m_rowsPath;
    std::string error;
    std::vector<UserRequestRow> rows = CUserSettingsFile::ReadRows(path, &error);
    if (!error.empty()) {
        problem = std::string(kIniFailed) + "\n" + path.string() + ": " + error;
        return false;
    }
    if (rows.empty()) {
        problem = std::string(kIniFailed) + "\n" + path.string() + ": " +
                  CUserSettingsFile::SectionName(0) + "의 DATATYPE이 비어 있어 ROW가 없습니다.";
        return false;
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string bad = CheckRow(rows[i], static_cast<int>(i) + 1);
        if (!bad.empty()) {
            problem = std::string(kBadRow) + "\n" + bad;
            return false;
        }
    }
    m_rows = std::move(rows);
    return true;
}

void CUserEngine::NextRow() {
    if (m_rows.empty())
        return;
    if (m_nCursor >= m_rows.size())
        m_nCursor = 0;
    m_current = m_rows[m_nCursor++];
}

void CUserEngine::AddPacketRow(const SPacketLine& line) {
    if (m_fnAddPacketRow)
        m_fnAddPacketRow(line);
}

void CUserEngine::SendNextRequest() {
    if (!IsActive())
        return;
    NextRow();
    m_receive.clear();
    m_nReceivedTotal = 0;
    m_bWaiting = true;
    if (m_current.IsSendFirst()) {
        const std::string bytes = DataBytes(m_current);
        AddPacketRow(Show(bytes, m_nViewMode, kSend));
        SendFrame(bytes);
    }
    m_nTicks = 0;
}

void CUserEngine::SendFrame(const std::string& bytes) {
    if (IsActive() && !bytes.empty())
        m_hub.SendToLink(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                         static_cast<int>(bytes.size()));
}

int CUserEngine::OnReceive(const std::uint8_t* data, int length) {
    if (length < 1 || !data || !IsActive())
        return 0;
    const std::size_t room = kBufferMax - m_receive.size();
    m_receive.append(reinterpret_cast<const char*>(data),
                     std::min(room, static_cast<std::size_t>(length)));
    m_nReceivedTotal += length;
    m_nTicks = 0;
    if (CheckUserReceive()) {
        ++m_nAnswered;
        m_bWaiting = false;
        SendNextRequest();
    }
    return 1;
}

bool CUserEngine::CheckUserReceive() {
    if (m_nReceivedTotal < m_current.m_nReceiveCount)
        return false;
    AddPacketRow(Show(m_receive, m_nViewMode, kReceived, m_nReceivedTotal));
    if (!m_current.IsSendFirst()) {
        const std::string bytes = DataBytes(m_current);
        AddPacketRow(Show(bytes, m_nViewMode, kSend));
        SendFrame(bytes);
    }
    return true;
}

void CUserEngine::OnTimer(int id) {
    if (id != ID_TIMER_USER)
        return;
    const long long old = m_nTicks;
    if (m_nTicks < kMaxWaitMs)
        ++m_nTicks;
    if (old * TICK_MS > m_current.m_nWaitTime && IsActive()) {
        AddPacketRow({kTimeOut, kFailed, kFailed, kReceived});
        if (m_bWaiting)
            ++m_nTimeouts;
        m_bWaiting = false;
        SendNextRequest();
        m_nTicks = 0;
    }
}
