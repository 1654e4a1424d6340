#pragma once

#include "userproto/UserRequestRow.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class ILinkHub;

// The user protocol: the rows of "user_plc.ini" one after the other in a
// circle, each sending its data first or waiting for the device first, and
// complete once its receive count of bytes is in or given up after its wait
// time. Every packet sent, received or given up becomes a line of the
// screen's packet list. Time comes as 10-ms OnTimer ticks from the host.
//
// Rows are checked when they are read: a data type or send choice the grid
// does not offer, hex data that is not whole pairs of hex digits, numbers
// that are not numbers, a receive count past what the receive buffer holds,
// or a data text longer than the settings file keeps whole (kMaxDataText)
// refuse the start with a message naming the row, rather than sending bytes
// the user did not write. Sent data thus never exceeds 4096 bytes.
//
// The receive buffer keeps at most 4096 bytes of a row's answer; bytes past
// them are counted (the line's size says how many came) but not kept.
class CUserEngine {
public:
    static constexpr int ID_TIMER_USER = 5;
    static constexpr int TICK_MS = 10;
    static constexpr int kBufferMax = 4096;
    static constexpr int kMaxDataText = 4093;    // CP949 bytes of a DATA text
    static constexpr int kMaxWaitMs = 100000000; // about 28 hours
    static constexpr const char* kNotConnected = "통신이 연결되지 않았습니다.";
    static constexpr const char* kIniFailed = "INI파링 Read에 실패했습니다.";
    static constexpr const char* kBadRow = "요청 ROW가 잘못되어 통신을 시작하지 않습니다.";
    static constexpr const char* kTimeOut = "TIME OUT";
    static constexpr const char* kFailed = "실패";
    static constexpr const char* kSend = "SEND";
    static constexpr const char* kReceived = "REV";

    enum ViewMode { VIEW_ASCII = 0, VIEW_BINARY = 1 };

    // One line of the packet list: data, size, type and direction (UTF-8).
    struct SPacketLine {
        std::string m_strData;
        std::string m_strSize;
        std::string m_strType;
        std::string m_strDirection;
        bool operator==(const SPacketLine&) const = default;
    };
    using PacketFn = std::function<void(const SPacketLine&)>;
    // Called with (ID_TIMER_USER, 10) to set the timer, (ID_TIMER_USER, 0)
    // to kill it.
    using TimerFn = std::function<void(int id, int periodMs)>;

    CUserEngine(ILinkHub& hub, PacketFn addPacketRow);
    CUserEngine(const CUserEngine&) = delete;
    CUserEngine& operator=(const CUserEngine&) = delete;

    void SetTimerHandler(TimerFn fn) { m_fnTimer = std::move(fn); }
    // Reads the rows from this file rather than "user_plc.ini" in the
    // current directory.
    void SetRowsPath(std::filesystem::path path) { m_rowsPath = std::move(path); }

    // 1 when the rows have started, 0 when refused (with the message).
    int Start(int viewMode);
    void Stop();
    // 0 when the bytes were ignored, 1 otherwise.
    int OnReceive(const std::uint8_t* data, int length);
    void OnTimer(int id);

    bool IsActive() const;
    bool IsRunning() const { return m_bRunning; }
    bool IsTimerSet() const { return m_bTimerSet; }
    int GetViewMode() const { return m_nViewMode; }
    const std::vector<UserRequestRow>& GetRows() const { return m_rows; }
    const UserRequestRow& GetCurrentRow() const { return m_current; }
    int GetTickCount() const { return m_nTicks; }
    // Rows ended since construction: by their answer, and by the time-out.
    long long GetAnsweredCount() const { return m_nAnswered; }
    long long GetTimeoutCount() const { return m_nTimeouts; }

    // Why a row cannot be run (rows counted from 1), empty when it can.
    static std::string CheckRow(const UserRequestRow& row, int nRow);
    // The row's data as bytes: hex pairs for "BINARY", the text's CP949
    // bytes for "ASCII", none for any other type.
    static std::string DataBytes(const UserRequestRow& row);
    // A packet's bytes as the list shows them in the view mode.
    static SPacketLine Show(const std::string& bytes, int viewMode, const char* direction,
                            long long size = -1);

private:
    void SetTimer(bool on);
    bool ReadIni(std::string& problem);
    void NextRow();
    void SendNextRequest();
    void SendFrame(const std::string& bytes);
    bool CheckUserReceive();
    void AddPacketRow(const SPacketLine& line);

    ILinkHub& m_hub;
    PacketFn m_fnAddPacketRow;
    TimerFn m_fnTimer;
    std::filesystem::path m_rowsPath;
    bool m_bRunning = false;
    bool m_bTimerSet = false;
    bool m_bWaiting = false; // the current row has not ended yet
    int m_nViewMode = VIEW_ASCII;
    int m_nTicks = 0;
    std::vector<UserRequestRow> m_rows;
    std::size_t m_nCursor = 0;
    UserRequestRow m_current;
    std::string m_receive;          // at most kBufferMax bytes
    long long m_nReceivedTotal = 0; // including what did not fit
    long long m_nAnswered = 0;
    long long m_nTimeouts = 0;
};
