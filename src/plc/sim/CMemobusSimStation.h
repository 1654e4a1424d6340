#pragma once

#include "plc/sim/CPlcSimStation.h"

#include <cstdint>
#include <string>
#include <vector>

// A Modbus slave as a Yaskawa controller answers MEMOBUS: holding registers
// read with function 03 and written with function 16, in ASCII framing
// (":" hex text, LRC, CR LF) or RTU framing (binary, CRC-16 low byte first).
// It answers its own slave address only (default 1); a broadcast (slave 0)
// write is stored without a reply. As a Modbus slave must, it stays silent
// on a frame that fails its LRC or CRC, and answers a request it cannot
// serve with an exception reply: 01 for another function, 02 for registers
// past 65535, 03 for a count or byte count Modbus does not allow.
class CMemobusSimStation : public CPlcSimStation {
public:
    static constexpr const char* kDevice = "HR";
    static constexpr int kMaxRead = 125;
    static constexpr int kMaxWrite = 123;
    // ":" + 2 × (address, function, 252 data bytes, LRC) + CR LF; anything
    // longer without its LF is noise.
    static constexpr std::size_t kMaxAsciiFrame = 1 + 2 * 256 + 2;
    // Address, function, start, count, byte count, 246 value bytes, CRC.
    static constexpr std::size_t kMaxRtuFrame = 9 + 2 * kMaxWrite;
    // An ASCII frame may pause up to a second between characters.
    static constexpr int kAsciiGapTicks = 10;

    CMemobusSimStation() = default;

    std::vector<std::string> Modes() const override { return {"ascii", "rtu"}; }
    bool SetMode(const std::string& mode, std::string& error) override;
    bool SetStation(long long station, std::string& error) override;
    bool Preset(const std::string& device, long long address, long long value,
                std::string& error) override;
    void OnReceive(const std::uint8_t* data, int length) override;
    void OnTimer() override;

    bool IsRtu() const { return m_bRtu; }
    int GetSlave() const { return m_nSlave; }

    // The Modbus CRC-16 (0xFFFF, reflected 0xA001), as sent low byte first.
    static std::uint16_t Crc16(const std::uint8_t* bytes, std::size_t count);

private:
    void ScanAscii();
    void ScanRtu(bool silence);
    // The length of the RTU frame starting at the offset, from its function;
    // kNeedMore or kUnknown (a function whose end only the silence shows).
    std::size_t RtuLength(std::size_t at) const;
    bool RtuFrameAt(std::size_t at, std::size_t length) const;
    void TakeRtuFrame(std::size_t at, std::size_t length);
    // The frame's PDU (address to last data byte, check removed), checked.
    void Serve(const std::vector<std::uint8_t>& pdu);
    void Reply(const std::vector<std::uint8_t>& pdu);
    void Exception(std::uint8_t function, std::uint8_t code);

    bool m_bRtu = false;
    int m_nSlave = 1;
    std::vector<std::uint8_t> m_buffer;
    int m_nQuietTicks = 0;
};
