#pragma once

#include "plc/CPlcEngine.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The MELSEC computer link, ASCII format 1 of the A-series common commands:
// ENQ-led requests with a two-character sum, answered by STX ... ETX read
// data (which the engine acknowledges with ACK), ACK for a write, or NAK
// with an error code. Four commands: "BR"/"BW" move bits, "WR"/"WW" words.
//
// Rows hold what the protocol can carry: stations 0-31, PLC numbers 0-255,
// a device of the table, an address the device field can write and whose
// points all exist, at most the command's points. A reply must come from
// the request's station and PLC number, pass its sum and carry exactly the
// points asked for before anything is stored; a NAK ends the exchange as an
// error. Bytes before a reply's first control character are line noise and
// are skipped, so a reply behind noise still lands on its own request.
class CMelsecEngine : public CPlcEngine {
public:
    static constexpr std::uint8_t STX = 0x02;
    static constexpr std::uint8_t ETX = 0x03;
    static constexpr std::uint8_t ENQ = 0x05;
    static constexpr std::uint8_t ACK = 0x06;
    static constexpr std::uint8_t NAK = 0x15;
    static constexpr int kMaxStation = 31;
    static constexpr int kMaxPlcNum = 255;
    static constexpr int kMaxBitRead = 256;
    static constexpr int kMaxBitWrite = 160;

    // How a device writes its address into the five-character device field.
    enum AddressFormat {
        ADDRESS_HEX4, // "%04X", rounded down to 16 for a word access
        ADDRESS_DEC4, // "%04d" of the address modulo 10000
        ADDRESS_DEC3, // "%03d" of the address modulo 1000
    };
    struct SDevice {
        const char* m_szName;
        bool m_bBit;
        AddressFormat m_format;
    };
    // What a row asks of the PLC: the command (null when the row makes
    // none), the most points one request may carry, and whether data travel
    // as one character a point (bits) or four (words).
    struct SCommand {
        const char* m_szCode;
        int m_nLimit;
        bool m_bBits;
        bool m_bWrite;
    };

    explicit CMelsecEngine(ILinkHub& hub);

    // The 18 names of the device table in order; M and D appear twice, the
    // second one never matched.
    static const SDevice* Devices(std::size_t& count);
    // The first table index of the name, -1 when it is not there.
    static int DeviceIndex(const std::string& name);
    static SCommand CommandFor(const PlcRequestRow& row);
    // The points the count field states, clamped to the command's limit.
    static int PointCount(const PlcRequestRow& row);
    // The request of one row, write data from memory (zeros without one);
    // what BuildRequest sends. Length 0 when it would not fit.
    static int EncodeRequest(const PlcRequestRow& row, const MemoryTable* memory,
                             std::uint8_t* buffer, int capacity);
    // The byte sum of the characters, modulo 256.
    static std::uint8_t Sum(const std::uint8_t* bytes, std::size_t count);

protected:
    int BuildRequest(std::uint8_t* buffer, int& length) override;
    int ParseResponse() override;
    SLimit FieldLimit(const PlcRequestRow& row, const std::string& key) const override;
    std::string CheckCodecRow(const PlcRequestRow& row) const override;

private:
    int ParseReadData(const SCommand& command);
    // Noise skipped since the request went out: past a work area of it the
    // exchange ends, so a babbling line cannot hold the engine for ever.
    std::size_t m_nSkipped = 0;
};
