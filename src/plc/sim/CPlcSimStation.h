#pragma once

#include "plc/sim/CSimDeviceMemory.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The device side of a PLC protocol: a simulated station that decodes the
// requests it is sent, answers from its own device memory, stores what it is
// written and sends the protocol's acknowledgements. Each station decodes on
// its own, from the protocol, never through an engine's request builder, so
// that an engine and its station check each other.
//
// Like the engines it is sans-I/O: bytes come in through OnReceive in any
// split, bytes to send go out through the send handler, time comes as
// 100-ms OnTimer ticks. Every value a request stores is reported through the
// write handler (device, address, value), so a host can print it.
class CPlcSimStation {
public:
    static constexpr int TICK_MS = 100;

    using SendFn = std::function<void(const std::uint8_t* bytes, int count)>;
    using WriteFn =
        std::function<void(const std::string& device, long long address, unsigned value)>;

    CPlcSimStation() = default;
    virtual ~CPlcSimStation() = default;
    CPlcSimStation(const CPlcSimStation&) = delete;
    CPlcSimStation& operator=(const CPlcSimStation&) = delete;

    void SetSendHandler(SendFn fn) { m_fnSend = std::move(fn); }
    void SetWriteHandler(WriteFn fn) { m_fnWrite = std::move(fn); }

    // Spoils the check of every Nth reply (0: never), leaves every Nth
    // request unanswered (0: never); requests and replies are counted from 1.
    void SetCorruptEvery(int n) { m_nCorruptEvery = n > 0 ? n : 0; }
    void SetDropEvery(int n) { m_nDropEvery = n > 0 ? n : 0; }

    // The station's framing, e.g. "ascii"/"rtu", "lan"/"rs232c"; false with
    // the reason for a mode the protocol does not have. Call before traffic.
    virtual bool SetMode(const std::string& mode, std::string& error);
    // The modes SetMode takes, the default first; empty for none.
    virtual std::vector<std::string> Modes() const { return {}; }
    // The station's own address where the protocol has one (Modbus slave,
    // MELSEC station, Cnet station ...); false with the reason when out of range.
    virtual bool SetStation(long long station, std::string& error);

    // "--set DEVICE:ADDRESS=VALUE": presets a word or a bit of the device
    // memory. The device is the protocol's own name ("D", "M", "N7", "DB5",
    // or empty for the MEMOBUS holding registers); false with the reason when
    // the device, the address or the value does not exist.
    virtual bool Preset(const std::string& device, long long address, long long value,
                        std::string& error) = 0;

    // Bytes from the link, in any split.
    virtual void OnReceive(const std::uint8_t* data, int length) = 0;
    // A 100-ms tick, for stations whose protocol waits (link-layer time-outs,
    // a partial frame left behind).
    virtual void OnTimer() {}

    // Counts since construction.
    long long GetRequestCount() const { return m_nRequests; }
    long long GetReplyCount() const { return m_nReplies; }
    long long GetDroppedCount() const { return m_nDropped; }
    long long GetCorruptedCount() const { return m_nCorrupted; }
    long long GetRejectedCount() const { return m_nRejected; }

    CSimDeviceMemory& Memory() { return m_memory; }
    const CSimDeviceMemory& Memory() const { return m_memory; }

protected:
    // A complete request has been decoded: counts it and says whether to
    // answer it (false: the drop rule leaves it unanswered).
    bool TakeRequest();
    // A reply is about to go out: counts it and says whether its check must
    // be spoiled (the corrupt rule).
    bool TakeReply();
    // A frame that failed its check or could not be decoded (answered with
    // the protocol's NAK or error, or ignored, as the protocol says).
    void CountRejected() { ++m_nRejected; }

    void Send(const std::uint8_t* bytes, int count);
    void Send(const std::vector<std::uint8_t>& bytes) {
        Send(bytes.data(), static_cast<int>(bytes.size()));
    }
    // Records a stored value and tells the host.
    void ReportWrite(const std::string& device, long long address, unsigned value);

    CSimDeviceMemory m_memory;

private:
    SendFn m_fnSend;
    WriteFn m_fnWrite;
    int m_nCorruptEvery = 0;
    int m_nDropEvery = 0;
    long long m_nRequests = 0;
    long long m_nReplies = 0;
    long long m_nDropped = 0;
    long long m_nCorrupted = 0;
    long long m_nRejected = 0;
};
