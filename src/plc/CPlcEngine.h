#pragma once

#include "plc/CPlcSettingsFile.h"
#include "plc/MemoryTable.h"
#include "plc/PlcRequestRow.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class ILinkHub;

// The polling cycle every PLC screen shares: the rows of the settings file
// in a circle, one request outstanding, the next row as soon as a reply is
// finished or after a time-out. The codecs supply BuildRequest and
// ParseResponse. Time comes from the host as OnTimer ticks; the host runs a
// 100-ms timer while the engine asks for one (SetTimerHandler).
//
// Rows are checked when they are read: a row whose COMMTYPE is unknown, or
// whose number fields are not numbers or lie outside what the codec's
// protocol can carry (FieldLimit, CheckCodecRow), or whose words fall
// outside the table, refuses the start with a message naming the row and
// the field. Nothing of a bad row is ever sent: a frame a PLC misreads, or
// one that lands on another station, is worse than no frame.
//
// A reply counts only when it answers the request (station, function, what
// it echoes) and passes its check; anything else is a bad reply. A reply
// that says the request failed (a Modbus exception) is an error reply. All
// three end the exchange at once.
class CPlcEngine {
public:
    static constexpr int ID_TIMER_POLL = 5;
    static constexpr int POLL_PERIOD_MS = 100;
    static constexpr int kFrameMax = 4096;
    static constexpr const char* kNotConnected = "통신이 연결되지 않았습니다.";
    static constexpr const char* kIniFailed = "INI파링 Read에 실패했습니다.";
    static constexpr const char* kBadRow = "요청 ROW가 잘못되어 통신을 시작하지 않습니다.";
    static constexpr const char* kRowsCut =
        "ROW는 9999개까지만 읽습니다. 그 뒤의 ROW는 쓰지 않습니다: ";

    // What ParseResponse makes of the receive buffer.
    enum ReplyResult {
        REPLY_WAIT = 0,  // more bytes are needed
        REPLY_OK = 1,    // the answer to the request, checked (and stored)
        REPLY_BAD = 2,   // finished, but not an answer to this request
        REPLY_ERROR = 3, // the PLC refused the request
    };
    // The values a number key may take; the note, when given, says them
    // in place of "min~max".
    struct SLimit {
        long long m_nMin;
        long long m_nMax;
        const char* m_szNote = nullptr;
    };

    // Called with (ID_TIMER_POLL, 100) to set the poll timer and
    // (ID_TIMER_POLL, 0) to kill it.
    using TimerFn = std::function<void(int id, int periodMs)>;
    // A monotonic clock in microseconds, for the round-trip times only (the
    // cycle itself runs on ticks).
    using ClockFn = std::function<std::int64_t()>;

    // The diagnostics of the polling, all counted since construction or the
    // last ResetCounters. Every request sent opens an exchange, which ends
    // in exactly one of: a good reply, a bad one (not an answer to the
    // request: damaged, foreign, late, echoing another request), an error
    // reply (the PLC answered and refused) or a time-out. So requests =
    // good + bad + error + time-outs, plus one while an exchange is open.
    // The round trip runs from the request's first byte sent to the last
    // byte of the reply that ends it, and is taken from good and error
    // replies: those come from the station, a bad reply may not.
    struct SCounters {
        long long m_nRequests = 0;
        long long m_nGood = 0;
        long long m_nBad = 0;
        long long m_nError = 0;
        long long m_nTimeouts = 0;
        long long m_nRttSamples = 0;
        std::int64_t m_nRttLastUs = 0;
        std::int64_t m_nRttTotalUs = 0;
        // The average round trip in microseconds; 0 without a sample.
        std::int64_t RttAverageUs() const {
            return m_nRttSamples ? m_nRttTotalUs / m_nRttSamples : 0;
        }
    };

    CPlcEngine(ILinkHub& hub, int nPlc);
    virtual ~CPlcEngine();
    CPlcEngine(const CPlcEngine&) = delete;
    CPlcEngine& operator=(const CPlcEngine&) = delete;

    void SetTimerHandler(TimerFn fn) { m_fnTimer = std::move(fn); }
    // Replaces the steady clock (tests).
    void SetClock(ClockFn fn) { m_fnClock = std::move(fn); }
    // Reads the rows from this file rather than the PLC's file in the
    // current directory (the command line names its own).
    void SetRowsPath(std::filesystem::path path) { m_rowsPath = std::move(path); }

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

    // The counts of SCounters: requests sent, exchanges finished by a good
    // reply, by a bad one, by an error reply, and requests given up by the
    // time-out.
    const SCounters& GetCounters() const { return m_counters; }
    long long GetRequestCount() const { return m_counters.m_nRequests; }
    long long GetReplyCount() const { return m_counters.m_nGood; }
    long long GetBadReplyCount() const { return m_counters.m_nBad; }
    long long GetErrorReplyCount() const { return m_counters.m_nError; }
    long long GetTimeoutCount() const { return m_counters.m_nTimeouts; }
    // Zeroes every counter. An exchange open now is forgotten: its end
    // counts nothing, so the counts stay whole from here on.
    void ResetCounters();

    // Why a row of the file cannot be polled (row numbers from 1, as the
    // grid shows them); empty when it can.
    std::string CheckRow(const PlcRequestRow& row, int nRow) const;

protected:
    // False with the message to show when there is nothing to poll.
    bool ReadIni(std::string& problem);
    void NextRow();
    virtual void SendNextRequest();
    // Writes one frame for the current request into a zero-filled buffer of
    // kFrameMax bytes; always 1.
    virtual int BuildRequest(std::uint8_t* buffer, int& length) = 0;
    // A ReplyResult for the bytes in the receive buffer.
    virtual int ParseResponse() = 0;
    int SendFrame(const std::uint8_t* data, int length);

    // The table words a row stores into or takes from, for the bounds rule;
    // by default ANINDEX and DATACOUNT words.
    virtual bool UsesMemory(const PlcRequestRow& row, long long& first, long long& count) const;
    // The values a number key may hold; by default ANINDEX inside the
    // table, DATACOUNT from 1, anything for the others.
    virtual SLimit FieldLimit(const PlcRequestRow& row, const std::string& key) const;
    // A codec's rules beyond the limits; the problem, or empty.
    virtual std::string CheckCodecRow(const PlcRequestRow& /*row*/) const { return {}; }
    // "ROW n (SECTION): " for a message about a row.
    std::string RowLabel(int nRow) const;

    // Stores a reply's word, only inside the table.
    void StoreWord(long long index, std::uint16_t value);

    // The counting of SendNextRequest, OnReceive and OnTimer, for engines
    // whose exchange runs over several frames and that drive it themselves:
    // an exchange has started; it has ended with a ReplyResult; the
    // time-out has given it up. The last two count only an open exchange.
    void CountRequest();
    void CountFinished(int result);
    void CountTimeout();
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
    std::filesystem::path m_rowsPath; // empty: the PLC's file in the current directory
    ClockFn m_fnClock;
    std::int64_t m_nSentUs = 0; // when the open exchange's request went out
    SCounters m_counters;
};
