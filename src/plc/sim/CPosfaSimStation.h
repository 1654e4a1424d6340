#pragma once

#include "plc/sim/CPlcSimStation.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A POSFA controller, in text ("rs232c", the default) or word ("lan")
// framing. Devices and their addresses (hex on the wire):
// - word devices WX, WY, WR, WL, DR (addresses 0-FFF) and C, T (0-FFFF);
// - bit devices X, Y, R, L (the bits of WX, WY, WR, WL: bit address a is
//   bit a mod 16 of word a / 16) and BX, HX, BY, HY, BR, HR, BL, HL (bits of
//   words of their own), addresses 0-FFFF. A word access to a bit device
//   takes the 16 bits from the address it names upward.
// Text requests: ENQ, station, PLC number, "BR"/"BW"/"WR"/"WW", "A",
// device, address, a count of two (three from 256) hex digits, data, and
// the 8-bit sum of everything after ENQ as two hex digits. A read is
// answered with STX, station, PLC number, data, ETX and sum, a write with
// ACK, station and PLC number, anything wrong with NAK, station, PLC number
// and a two-digit code. Requests for another station go unanswered.
// LAN requests are 16-bit words, high byte first: length, 1, 0, 0x51 read /
// 0x52 write, 0, device, address, count, data, "EL". The answer keeps the
// layout; a write's answer and a refusal carry no data, a refusal its code
// in word 4.
class CPosfaSimStation : public CPlcSimStation {
public:
    // The NAK and LAN refusal codes.
    enum Error {
        ERR_CHECK = 1,   // the sum does not match, or the frame is malformed
        ERR_COMMAND = 2, // no such command
        ERR_DEVICE = 3,  // no such device, or the points leave its range
        ERR_COUNT = 4,   // a count of 0 or over the command's limit
    };

    bool SetMode(const std::string& mode, std::string& error) override;
    std::vector<std::string> Modes() const override { return {"rs232c", "lan"}; }
    bool SetStation(long long station, std::string& error) override;
    bool Preset(const std::string& device, long long address, long long value,
                std::string& error) override;
    void OnReceive(const std::uint8_t* data, int length) override;
    void OnTimer() override;

    bool IsLan() const { return m_bLan; }
    int GetStation() const { return m_nStation; }
    // Bytes held of a request not yet complete.
    std::size_t GetPendingCount() const { return m_rx.size(); }

    // What the station holds, as a request would read it.
    std::uint16_t ReadWord(const std::string& device, long long address) const;
    bool ReadBit(const std::string& device, long long address) const;

private:
    struct SDevice {
        const char* m_szName;
        bool m_bBits;
        long long m_nEnd; // one past the last address
    };
    static const SDevice* FindDevice(const std::string& name);
    // The word device that holds a bit device's bits.
    static std::string Backing(const SDevice& device);

    void WriteWord(const SDevice& device, long long address, std::uint16_t value);
    void WriteBit(const SDevice& device, long long address, bool on);

    // One step of the text framing: false when more bytes are needed.
    bool ProcessText();
    void ProcessLan();
    // Executes a decoded text request; the answer's bytes.
    std::vector<std::uint8_t> AnswerText(const std::string& stationText, const std::string& command,
                                         const SDevice* device, long long address, long long count,
                                         std::size_t dataAt, std::size_t dataLength);
    std::vector<std::uint8_t> Nak(const std::string& stationText, int code) const;
    void SendText(std::vector<std::uint8_t> answer);

    bool m_bLan = false;
    int m_nStation = 1;
    std::vector<std::uint8_t> m_rx;
    int m_nIdleTicks = 0;
};
