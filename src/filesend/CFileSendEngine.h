#pragma once

#include "filesend/CFileFrame.h"
#include "filesend/CReceiveFile.h"
#include "filesend/CSourceFile.h"
#include "filesend/FileTransferRecord.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class ILinkHub;
class IFileSendScreen;

// Sends files one chunk at a time in CRC-protected frames, stop-and-wait,
// and receives them with resume: a receiver that already holds part of a
// file asks for the first missing chunk. Both ends run the same engine.
// Time comes as ticks of the two 100-ms timers; the seconds of the wall
// clock for the rates come from the function passed in.
class CFileSendEngine {
public:
    static constexpr int ID_TIMER_TIMEOUT = 5;
    static constexpr int ID_TIMER_RATES = 6;
    static constexpr int TIMER_MS = 100;
    static constexpr std::uint32_t kSerialChunk = 912;
    static constexpr std::uint32_t kNetworkChunk = 16112;

    static constexpr const char* kNoLinkMessage = "통신이 연결되지 않았습니다.";
    static constexpr const char* kNoFileMessage = "선택된 파일이 없습니다.";

    using SecondsFn = std::function<int()>; // 0..59 of the local clock

    CFileSendEngine(ILinkHub& hub, IFileSendScreen& screen, FileTransferRecord& record,
                    SecondsFn seconds);

    int StartSend();
    int Stop();
    int OnReceive(const std::uint8_t* bytes, int count);
    void OnTimer(int id);

    bool IsSending() const;
    bool IsActive() const { return m_bActive; }
    std::uint32_t ChunkSize() const;
    std::string SendRateText() const { return m_strSendRate; }
    std::string ReceiveRateText() const { return m_strReceiveRate; }

    // The plain file name a received name stands for (UTF-8): folders,
    // drive prefixes and what follows a NUL are dropped; empty when nothing
    // usable is left ("", ".", "..").
    static std::string SafeName(const std::string& cp949Name);
    // The same in CP949, as it goes back in acknowledgements.
    static std::string SafeWireName(const std::string& cp949Name);
    // "%d분%d초" and "속도: %dK CPS ,남은시간: %s" for a period of e seconds.
    static std::string RateText(std::uint32_t count, std::uint32_t remaining, int seconds);

private:
    void SendNextChunk();
    bool BuildDataFrame(std::vector<std::uint8_t>& frame, std::string& problem);
    // A file that cannot go: said once, then the transfer stops.
    void FailFile(const std::string& problem);
    void ProcessBuffer();
    void OnAck(const CFileFrame& frame);
    void OnData(const CFileFrame& frame);
    void FileComplete();
    void SendAck();
    void SendResume();
    void SendFrame(const std::vector<std::uint8_t>& frame);
    void FinishFile();
    void UpdateRates();
    // The name of the frame just decoded, as record and acknowledgements
    // hold it.
    void NoteRxName(const std::string& wire);
    // A receive problem, said once until a chunk is written again.
    void ReceiveProblem(const std::string& text);
    // Opens the received file at the path, or keeps the one still open
    // there; its length. False (with the problem said) when it cannot.
    bool OpenReceiveFile(const std::string& pathText, std::uint64_t& length);
    void CloseReceiveFile();

    ILinkHub& m_hub;
    IFileSendScreen& m_screen;
    FileTransferRecord& m_record;
    SecondsFn m_fnSeconds;

    bool m_bActive = false;
    std::uint32_t m_nChunk = kNetworkChunk;
    std::vector<std::uint8_t> m_buffer;
    int m_nTimeoutTicks = 0;
    int m_nRateTicks = 0;
    int m_nLastSeconds = 0;
    std::string m_strSendRate = "0K";
    std::string m_strReceiveRate = "0K";
    std::string m_strRxProblem;
    // The file being received stays open between its chunks (each written
    // before its acknowledgement goes); closed when it is complete, on any
    // other answer, on Stop and when deliveries stop for a time-out.
    CReceiveFile m_rxFile;
    std::string m_strRxFilePath;
    std::uint32_t m_nRxFileChunk = 0;  // the chunk size it was opened with
    std::vector<std::uint8_t> m_chunk; // read buffer of one chunk
    CSourceFile m_txFile;              // open from the first chunk to the last
    // Names converted once per file, not once per chunk.
    std::string m_strTxNameUtf8;
    std::string m_strTxNameWire;
    std::string m_strRxWireIn;   // as it came
    std::string m_strRxNameWire; // as it goes back
};
