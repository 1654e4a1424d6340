#pragma once

#include "plc/sim/CPlcSimStation.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A MELSEC PLC behind its computer link, ASCII format 1: it takes ENQ
// requests for its station ("BR"/"BW" bits, "WR"/"WW" words of the A-series
// devices), answers reads with STX ... ETX and a sum, writes with ACK, and a
// request it cannot carry out with NAK and an error code. Requests for other
// stations are left to them. The computer's ACK or NAK after read data is
// taken and counted. Bytes outside a frame are dropped, and a new ENQ
// always starts a new frame, so the station finds its feet after noise.
// The corrupt rule spoils a read reply's sum, and the PLC number of an ACK
// or NAK, which have no check.
class CMelsecSimStation : public CPlcSimStation {
public:
    // NAK error codes of the link.
    enum ErrorCode : unsigned {
        ERR_SUM = 0x02,       // sum check error
        ERR_AREA = 0x06,      // command, device, address or count not carried out
        ERR_CHARACTER = 0x07, // a character that has no place there
    };
    static constexpr int kMaxStation = 31;

    bool SetStation(long long station, std::string& error) override;
    // Devices X Y M L S B F TS TC CS CC (bits, 0 or 1) and TN CN D W R
    // (words); addresses as the device field numbers them (X, Y, B, W up to
    // FFFF, TS ... CN up to 999, the others up to 9999).
    bool Preset(const std::string& device, long long address, long long value,
                std::string& error) override;
    void OnReceive(const std::uint8_t* data, int length) override;

    long long GetAckCount() const { return m_nAcks; }
    long long GetNakCount() const { return m_nNaks; }

private:
    struct SDevice {
        const char* m_szName;
        bool m_bBit;
        bool m_bHex;
        int m_nDigits;
    };
    static const SDevice* Find(const std::string& name);
    static long long Last(const SDevice& device);

    // Handles the frame at the front of the buffer; false when it needs more.
    bool TakeFrame();
    bool TakeRequest(std::size_t& used);
    void Reply(std::vector<std::uint8_t> frame, bool withSum);
    void Refuse(unsigned pc, unsigned code);
    unsigned ReadWord(const SDevice& device, long long address) const;
    void WriteWord(const SDevice& device, long long address, unsigned value);

    std::vector<std::uint8_t> m_buffer;
    int m_nStation = 0;
    bool m_bBusy = false;
    long long m_nAcks = 0;
    long long m_nNaks = 0;
};
