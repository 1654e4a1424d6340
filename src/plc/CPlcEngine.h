#pragma once

#include "plc/CPlcSettingsFile.h"
#include "plc/MemoryTable.h"
#include "plc/PlcRequestRow.h"

#include <cstdint>
#include <functional>
#include <vector>

class ILinkHub;

// The polling cycle every PLC screen shares: the rows of the settings file
// in a circle, one request outstanding, the next row as soon as a reply is
// finished or after a time-out. The codecs supply BuildRequest and
// ParseResponse. Time comes from the host as OnTimer ticks; the host runs a
// 100-ms timer while the engine asks for one (SetTimerHandler).
//
// Memory bounds, the same for every engine: words a reply carries are
// stored only where they fall inside the table, the rest are dropped; a
// write row that would take any word from outside the table is left out
// when the rows are read, since sending made-up values to a PLC is worse
// than not sending.
class CPlcEngine {
public:
    static constexpr int ID_TIMER_POLL = 5;
    static constexpr int POLL_PERIOD_MS = 100;
    static constexpr int kFrameMax = 4096;
    static constexpr const char* kNotConnected = "통신이 연결되지 않았습니다.";
    static constexpr const char* kIniFailed = "INI파링 Read에 실패했습니다.";

    // Called with (ID_TIMER_POLL, 100) to set the poll timer and
    // (ID_TIMER_POLL, 0) to kill it.
    using TimerFn = std::function<void(int id, int periodMs)>;

    CPlcEngine(ILinkHub& hub, int nPlc);
    virtual ~CPlcEngine();
    CPlcEngine(const CPlcEngine&) = delete;
    CPlcEngine& operator=(const CPlcEngine&) = delete;

    void SetTimerHandler(TimerFn fn) { m_fnTimer = std::move(fn); }

    // 1 when polling has begun, 0 when refused (with the engine's message).
    int Start(MemoryTable& memory, int mode);
    int Stop();
    // 0 when the bytes were ignored, 1 otherwise.
    virtual int OnReceive(const std::uint8_t* data, int length);
    virtual void OnTimer(int id);

    bool IsActive() const;
    bool IsRunning() const { return m_bRunning; }
    bool IsPollTimerSet() const { return m_bTimerSet; }
    int GetMode() const { return m_nMode; }
    const std::vector<PlcRequestRow>& GetRows() const { return m_rows; }
    const PlcRequestRow& GetCurrentRequest() const { return m_current; }
    int GetTickCount() const { return m_nTicks; }
    const CPlcSettingsFile& GetSettingsFile() const { return m_file; }

    // Counts since construction: requests sent, exchanges finished by a
    // reply, requests given up by the time-out.
    long long GetRequestCount() const { return m_nRequests; }
    long long GetReplyCount() const { return m_nReplies; }
    long long GetTimeoutCount() const { return m_nTimeouts; }

protected:
    bool ReadIni();
    void NextRow();
    virtual void SendNextRequest();
    // Writes one frame for the current request into a zero-filled buffer of
    // kFrameMax bytes; always 1.
    virtual int BuildRequest(std::uint8_t* buffer, int& length) = 0;
    // 1 when the reply in the receive buffer is finished, 0 for more bytes.
    virtual int ParseResponse() = 0;
    int SendFrame(const std::uint8_t* data, int length);

    // The table words a write row takes, for the bounds rule; by default
    // ANINDEX and DATACOUNT (at least one) for a "자동쓰기" row, none else.
    virtual bool TakesFromMemory(const PlcRequestRow& row, long long& first,
                                 long long& count) const;

    // Stores a reply's word, only inside the table.
    void StoreWord(long long index, std::uint16_t value);
    // The table of the last Start, null before one; write rows read it.
    const MemoryTable* Memory() const { return m_pMemory; }

    ILinkHub& m_hub;
    PlcRequestRow m_current;
    std::vector<std::uint8_t> m_receive;
    int m_nMode = 0;
    int m_nTicks = 0;

private:
    void SetPollTimer(bool on);

    CPlcSettingsFile m_file;
    TimerFn m_fnTimer;
    bool m_bRunning = false;
    bool m_bTimerSet = false;
    bool m_bWaiting = false; // a request is out and not yet finished
    std::vector<PlcRequestRow> m_rows;
    std::size_t m_nCursor = 0; // m_rows.size() stands for "none"
    MemoryTable* m_pMemory = nullptr;
    long long m_nRequests = 0;
    long long m_nReplies = 0;
    long long m_nTimeouts = 0;
};
