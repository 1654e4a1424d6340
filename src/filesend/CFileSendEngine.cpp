#include "filesend/CFileSendEngine.h"

#include "filesend/CReceiveFile.h"
#include "filesend/IFileSendScreen.h"
#include "link/CCp949.h"
#include "link/ILinkHub.h"
#include "link/LinkType.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

constexpr int kTimeoutMs = 7000;
constexpr int kRateMs = 3000;
constexpr std::uint64_t kMaxFileSize = 0xFFFFFFFFu; // the size field's width

std::filesystem::path PathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

} // namespace

CFileSendEngine::CFileSendEngine(ILinkHub& hub, IFileSendScreen& screen, FileTransferRecord& record,
                                 SecondsFn seconds)
    : m_hub(hub), m_screen(screen), m_record(record), m_fnSeconds(std::move(seconds)) {
    m_record.m_nTxRemaining = 0;
    m_record.m_nRxRemaining = 0;
    m_nLastSeconds = m_fnSeconds ? m_fnSeconds() : 0;
}

std::uint32_t CFileSendEngine::ChunkSize() const {
    return m_hub.GetLinkKind() == LINK_SERIAL ? kSerialChunk : kNetworkChunk;
}

bool CFileSendEngine::IsSending() const {
    return m_hub.IsLinkUp() && m_bActive;
}

int CFileSendEngine::StartSend() {
    if (!m_hub.IsLinkUp()) {
        m_bActive = false;
        m_hub.ShowMessage(kNoLinkMessage);
        return 0;
    }
    if (m_record.m_strTxName.empty()) {
        m_bActive = false;
        m_hub.ShowMessage(kNoFileMessage);
        return 0;
    }
    m_record.m_nTxIndex = 0;
    m_bActive = true;
    SendNextChunk();
    return m_bActive ? 1 : 0;
}

int CFileSendEngine::Stop() {
    m_bActive = false;
    m_txFile.Close();
    CloseReceiveFile();
    return 1;
}

void CFileSendEngine::FailFile(const std::string& problem) {
    m_bActive = false;
    m_txFile.Close();
    m_hub.ShowMessage(problem);
    m_screen.StopCommand();
}

void CFileSendEngine::SendNextChunk() {
    if (!IsSending())
        return;
    m_nChunk = ChunkSize();
    m_buffer.clear();
    std::vector<std::uint8_t> frame;
    std::string problem;
    if (!BuildDataFrame(frame, problem)) {
        FailFile(problem);
        return;
    }
    SendFrame(frame);
    m_nTimeoutTicks = 0;
}

bool CFileSendEngine::BuildDataFrame(std::vector<std::uint8_t>& frame, std::string& problem) {
    if (m_strTxNameUtf8 != m_record.m_strTxName) {
        m_strTxNameUtf8 = m_record.m_strTxName;
        m_strTxNameWire = CCp949::FromUtf8(m_strTxNameUtf8);
    }
    const std::string& name = m_strTxNameWire;
    if (name.size() > CFileFrame::kMaxName) {
        problem = "파일 이름이 너무 깁니다(" + std::to_string(CFileFrame::kMaxName) +
                  "바이트까지): " + m_record.m_strTxName;
        return false;
    }
    std::uint64_t size = 0;
    if (!m_txFile.Open(PathOf(m_record.m_strTxPath), size)) {
        problem = "보낼 파일을 열 수 없습니다: " + m_record.m_strTxPath + " (" +
                  (m_txFile.IsRegularFile() ? m_txFile.GetReason()
                                            : std::string("일반 파일이 아닙니다")) +
                  ")";
        return false;
    }
    if (size > kMaxFileSize) {
        problem = "파일이 너무 큽니다(4GB 미만까지): " + m_record.m_strTxPath;
        return false;
    }
    m_record.m_nTxSize = static_cast<std::uint32_t>(size);
    // An index past the end (a resume or acknowledgement that does not fit
    // this file) starts the file again; the receiver's rules then resume.
    if (static_cast<std::uint64_t>(m_record.m_nTxIndex) * m_nChunk > size)
        m_record.m_nTxIndex = 0;
    const std::uint64_t offset = static_cast<std::uint64_t>(m_record.m_nTxIndex) * m_nChunk;
    const auto length =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(m_nChunk, size - offset));
    m_chunk.resize(length);
    if (length && !m_txFile.ReadAt(offset, m_chunk.data(), length)) {
        problem = "보낼 파일을 읽을 수 없습니다: " + m_record.m_strTxPath;
        return false;
    }
    m_record.m_nTxChunkLength = length;
    frame = CFileFrame::Build(CFileFrame::FRAME_DATA, m_record.m_nTxIndex, m_record.m_nTxSize, name,
                              m_chunk.data(), length);
    m_record.m_nTxRemaining = static_cast<std::uint32_t>(size - offset - length);
    return true;
}

void CFileSendEngine::SendFrame(const std::vector<std::uint8_t>& frame) {
    if (!frame.empty())
        m_hub.SendToLink(frame.data(), static_cast<int>(frame.size()));
}

int CFileSendEngine::OnReceive(const std::uint8_t* bytes, int count) {
    if (count < 1 || !bytes)
        return 0;
    m_buffer.insert(m_buffer.end(), bytes, bytes + count);
    m_nTimeoutTicks = 0;
    ProcessBuffer();
    return 1;
}

void CFileSendEngine::ProcessBuffer() {
    CFileFrame frame;
    CFileFrame::Result result = CFileFrame::Decode(m_buffer.data(), m_buffer.size(), frame);
    // No frame is longer than this: more bytes without one complete can only
    // be garbage, and waiting for more would grow the buffer for ever.
    if (result == CFileFrame::FRAME_WAIT && m_buffer.size() >= CFileFrame::kMaxFrame)
        result = CFileFrame::FRAME_BAD;
    if (result == CFileFrame::FRAME_WAIT)
        return;
    if (result == CFileFrame::FRAME_BAD) {
        m_buffer.clear();
        SendResume();
        return;
    }
    // The frame's data points into the buffer: act first, drop after.
    switch (frame.m_nKind) {
    case CFileFrame::FRAME_ACK:
        OnAck(frame);
        break;
    case CFileFrame::FRAME_DATA:
        OnData(frame);
        break;
    default: // FRAME_RESUME
        m_record.m_nTxIndex = frame.m_nIndex;
        if (IsSending())
            m_screen.OnSendResumed(static_cast<std::uint64_t>(frame.m_nIndex) * ChunkSize());
        SendNextChunk();
        break;
    }
    m_buffer.clear();
}

void CFileSendEngine::OnAck(const CFileFrame& frame) {
    m_record.m_nRxSize = frame.m_nSize;
    m_record.m_nRxIndex = frame.m_nIndex;
    NoteRxName(frame.m_strName);
    // An acknowledgement of another file, or of a chunk before the one in
    // flight, comes late (its chunk was repeated after the time-out, so it
    // is answered twice): acting on it would end the next file unsent or
    // send chunks twice for ever after.
    if (frame.m_nSize != m_record.m_nTxSize || frame.m_nIndex < m_record.m_nTxIndex ||
        SafeWireName(frame.m_strName) != SafeWireName(m_strTxNameWire))
        return;
    const std::uint32_t chunk = ChunkSize();
    m_screen.SetSendProgress(frame.m_nSize, static_cast<std::uint64_t>(frame.m_nIndex) * chunk +
                                                m_record.m_nTxChunkLength);
    if (frame.m_nIndex == frame.m_nSize / chunk) {
        m_record.m_nTxRemaining = 0;
        m_screen.SetSendProgress(0, 0);
        // After Stop an acknowledgement only moves the index: a late one must
        // not take the next row off the list.
        if (m_bActive)
            FinishFile();
        return;
    }
    m_record.m_nTxCount += m_record.m_nTxChunkLength;
    m_record.m_nTxIndex = frame.m_nIndex + 1;
    SendNextChunk();
}

std::string CFileSendEngine::SafeName(const std::string& cp949Name) {
    const std::string name = SafeWireName(cp949Name);
    return name.empty() ? name : CCp949::ToUtf8(name);
}

std::string CFileSendEngine::SafeWireName(const std::string& cp949Name) {
    std::string name = cp949Name.substr(0, cp949Name.find('\0'));
    // Neither byte is ever the second byte of a CP949 character.
    if (const std::size_t cut = name.find_last_of("/\\"); cut != std::string::npos)
        name.erase(0, cut + 1);
    if (name.size() >= 2 && name[1] == ':' &&
        ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')))
        name.erase(0, 2);
    if (name.empty() || name == "." || name == "..")
        return {};
    return name;
}

void CFileSendEngine::NoteRxName(const std::string& wire) {
    if (wire == m_strRxWireIn && !m_record.m_strRxName.empty())
        return;
    m_strRxWireIn = wire;
    m_strRxNameWire = SafeWireName(wire);
    m_record.m_strRxName =
        m_strRxNameWire.empty() ? std::string() : CCp949::ToUtf8(m_strRxNameWire);
}

void CFileSendEngine::ReceiveProblem(const std::string& text) {
    if (text == m_strRxProblem)
        return;
    m_strRxProblem = text;
    m_hub.ShowMessage(text);
}

void CFileSendEngine::CloseReceiveFile() {
    m_rxFile.Close();
    m_strRxFilePath.clear();
}

bool CFileSendEngine::OpenReceiveFile(const std::string& pathText, std::uint64_t& length) {
    const std::filesystem::path path = PathOf(pathText);
    if (m_strRxFilePath == pathText && m_nRxFileChunk == ChunkSize() &&
        m_rxFile.IsStillAt(path, length))
        return true;
    CloseReceiveFile();
    std::error_code ec;
    std::filesystem::create_directory(PathOf(m_record.m_strRxFolder), ec);
    if (!m_rxFile.Open(path)) {
        // A later chunk finds the folder writable again.
        ReceiveProblem("받은 파일을 쓸 수 없습니다: " + pathText + " (" + m_rxFile.GetReason() +
                       ")");
        return false;
    }
    m_strRxFilePath = pathText;
    m_nRxFileChunk = ChunkSize();
    length = m_rxFile.Length();
    return true;
}

void CFileSendEngine::OnData(const CFileFrame& frame) {
    const std::uint32_t chunk = ChunkSize();
    const std::uint32_t index = frame.m_nIndex;
    const std::uint32_t size = frame.m_nSize;
    const std::uint32_t d = frame.m_nDataLength;
    m_record.m_nRxCount += d;
    m_record.m_nRxSize = size;
    m_record.m_nRxIndex = index;
    NoteRxName(frame.m_strName);
    const std::string name = m_record.m_strRxName;
    if (name.empty()) {
        ReceiveProblem("받은 파일 이름을 쓸 수 없습니다: \"" + CCp949::ToUtf8(frame.m_strName) +
                       "\"");
        return;
    }
    const std::string pathText = m_record.m_strRxFolder + name;
    m_screen.ShowReceivePath(pathText);
    std::uint64_t length = 0;
    if (!OpenReceiveFile(pathText, length))
        return; // dropped without an answer: the sender repeats the chunk
    CReceiveFile& file = m_rxFile;
    const std::uint32_t last = size / chunk;
    const std::uint64_t offset = static_cast<std::uint64_t>(index) * chunk;
    if (index == 0 && length > 0 && length % chunk == 0 && length < size) {
        CloseReceiveFile();
        SendResume();
    } else if (index == 0 && length > 0 && length != size) {
        const bool emptied = file.Truncate(0);
        const std::string reason = file.GetReason();
        CloseReceiveFile();
        if (emptied)
            SendResume();
        else
            ReceiveProblem("받은 파일을 쓸 수 없습니다: " + pathText + " (" + reason + ")");
    } else if (length == size && (index == 0 || index == last)) {
        // The file is whole already: chunk 0 meeting it, the empty last
        // chunk of an exact multiple, the last chunk again after its
        // acknowledgement was lost, a file of size 0. Acknowledging the last
        // index ends the file at the sender.
        CloseReceiveFile();
        m_record.m_nRxIndex = last;
        // Only chunk 0 starts a transfer; a later index repeats the end of
        // one already reported.
        FileComplete();
        SendAck();
        if (index == 0)
            m_screen.OnFileReceived(pathText, size);
    } else if (length >= size || length / chunk != index) {
        CloseReceiveFile();
        SendResume();
    } else if (d != std::min<std::uint64_t>(chunk, size - offset)) {
        // The sender cuts with another chunk size: its data would not land
        // where its index says.
        CloseReceiveFile();
        ReceiveProblem("받은 조각의 크기가 맞지 않습니다. 두 쪽의 통신 종류가 같아야 합니다: " +
                       pathText);
    } else {
        // A partial chunk at the end (a link kind changed, a write cut short)
        // is written over, never appended to.
        if (length > offset && !file.Truncate(offset)) {
            const std::string reason = file.GetReason();
            CloseReceiveFile();
            ReceiveProblem("받은 파일을 쓸 수 없습니다: " + pathText + " (" + reason + ")");
            return;
        }
        // Written with the system's write before the acknowledgement goes:
        // what is acknowledged is in the file whether or not it stays open.
        if (!file.WriteAt(offset, frame.m_pData, d)) {
            const std::string reason = file.GetReason();
            file.Truncate(offset); // what was received before stays for a resume
            CloseReceiveFile();
            ReceiveProblem("받은 파일을 쓸 수 없습니다: " + pathText + " (" + reason + ")");
            return;
        }
        m_strRxProblem.clear();
        const std::uint64_t now = offset + d;
        if (now < size) {
            m_record.m_nRxRemaining = static_cast<std::uint32_t>(size - now);
            m_screen.SetReceiveProgress(size, now);
        } else {
            CloseReceiveFile();
            FileComplete();
            m_screen.Repaint();
        }
        SendAck();
        if (now >= size)
            m_screen.OnFileReceived(pathText, size);
    }
}

void CFileSendEngine::FileComplete() {
    m_screen.ShowReceivePath(m_record.m_strRxFolder);
    m_record.m_nRxRemaining = 0;
    m_screen.SetReceiveProgress(0, 0);
}

void CFileSendEngine::SendAck() {
    m_buffer.clear();
    SendFrame(CFileFrame::Build(CFileFrame::FRAME_ACK, m_record.m_nRxIndex, m_record.m_nRxSize,
                                m_strRxNameWire, nullptr, 0));
}

void CFileSendEngine::SendResume() {
    m_nChunk = ChunkSize();
    m_buffer.clear();
    if (m_record.m_strRxName.empty())
        return;
    std::uint64_t length = 0;
    if (!CReceiveFile::LengthOf(PathOf(m_record.m_strRxFolder + m_record.m_strRxName), length))
        return;
    const std::uint64_t index = std::min<std::uint64_t>(length / m_nChunk, 0xFFFFFFFFu);
    SendFrame(CFileFrame::Build(CFileFrame::FRAME_RESUME, static_cast<std::uint32_t>(index),
                                m_record.m_nRxSize, m_strRxNameWire, nullptr, 0));
}

void CFileSendEngine::FinishFile() {
    m_txFile.Close();
    if (m_screen.DeleteRow(1) && m_screen.LoadFirstRow()) {
        m_record.m_nTxIndex = 0;
        SendNextChunk();
        return;
    }
    m_screen.StopCommand();
    m_bActive = false;
}

void CFileSendEngine::OnTimer(int id) {
    if (id == ID_TIMER_TIMEOUT) {
        if (m_nTimeoutTicks++ * TIMER_MS > kTimeoutMs) {
            // Nothing arrived for a time-out: the peer went, and the file
            // it was sending is let go until it comes back.
            CloseReceiveFile();
            SendNextChunk(); // the same chunk again: the index has not moved
            m_nTimeoutTicks = 0;
        }
    } else if (id == ID_TIMER_RATES) {
        if (m_nRateTicks++ * TIMER_MS > kRateMs) {
            UpdateRates();
            m_nRateTicks = 0;
        }
    }
}

std::string CFileSendEngine::RateText(std::uint32_t count, std::uint32_t remaining, int seconds) {
    const std::uint64_t k =
        count / (static_cast<std::uint64_t>(seconds) * 1000) + (count % 1000 != 0 ? 1 : 0);
    const double t = static_cast<double>(remaining) / (static_cast<double>(k + 1) * 1000.0);
    char time[64];
    std::snprintf(time, sizeof time, "%d분%d초", static_cast<int>(t / 60),
                  static_cast<int>(std::fmod(t, 60.0)));
    char text[160];
    std::snprintf(text, sizeof text, "속도: %dK CPS ,남은시간: %s", static_cast<int>(k), time);
    return text;
}

void CFileSendEngine::UpdateRates() {
    const int now = m_fnSeconds ? m_fnSeconds() : 0;
    int e = now - m_nLastSeconds;
    if (e < 0)
        e += 60;
    if (e == 0)
        e = 1;
    m_nLastSeconds = now;
    const std::string before = m_strSendRate + '\n' + m_strReceiveRate;

    m_strSendRate = RateText(m_record.m_nTxCount, m_record.m_nTxRemaining, e);
    if (m_record.m_nTxCount == 0) {
        m_strSendRate += ", 완료";
        m_screen.SetSendProgress(0, 0);
        m_record.m_nTxRemaining = 0;
    }
    m_strReceiveRate = RateText(m_record.m_nRxCount, m_record.m_nRxRemaining, e);
    if (m_record.m_nRxCount == 0) {
        m_strReceiveRate += ", 완료";
        m_screen.SetReceiveProgress(0, 0);
        m_record.m_nRxRemaining = 0;
        m_screen.ShowReceivePath(m_record.m_strRxFolder);
    }
    m_record.m_nTxCount = 0;
    m_record.m_nRxCount = 0;
    if (before != m_strSendRate + '\n' + m_strReceiveRate)
        m_screen.OnRatesChanged();
}
