#pragma once

#include "plc/CPlcEngine.h"

#include <cstdint>
#include <string>

// POSFA controllers in two framings. RS232C: ENQ, station and PLC number,
// command letters ("BR"/"BW" bits, "WR"/"WW" words), "A", device and hex
// address, hex count, data, and an 8-bit sum as hex text; the PLC answers a
// read with STX text, ETX and a sum, a write with ACK, a refusal with NAK,
// and a good read answer is acknowledged with ACK. LAN: big-endian words,
// the length first and the marker "EL" last.
//
// Rows hold what the framing carries: stations and PLC numbers 0-255, the
// address in the device's digits, counts within the device's RS232C limit,
// and only device codes and units the framing has letters for. An answer
// must echo the request (station and PLC number; in LAN the command,
// device, address and count), state exactly the data asked for and pass its
// sum before anything is stored.
class CPosfaEngine : public CPlcEngine {
public:
    enum PosfaMode { POSFA_LAN = 0, POSFA_RS232C = 1 };

    static constexpr std::uint8_t STX = 0x02;
    static constexpr std::uint8_t ETX = 0x03;
    static constexpr std::uint8_t ENQ = 0x05;
    static constexpr std::uint8_t ACK = 0x06;
    static constexpr std::uint8_t NAK = 0x15;
    static constexpr unsigned LAN_READ = 0x0051;
    static constexpr unsigned LAN_WRITE = 0x0052;
    static constexpr unsigned LAN_END = 0x454C; // "EL"
    static constexpr int kLanHeader = 16;       // bytes before the data words

    explicit CPosfaEngine(ILinkHub& hub);

    // The frame of one row in the given mode, write values from memory
    // (zeros without one); what BuildRequest sends. Length 0 for a mode that
    // is neither or a frame that would not fit.
    static int EncodeRequest(const PlcRequestRow& row, int mode, const MemoryTable* memory,
                             std::uint8_t* buffer, int capacity);
    // The points an RS232C request asks for: the smaller of the row's count
    // and the limit of its device, unit and command.
    static int CountLimit(const PlcRequestRow& row);
    // Position of the device name in the code table, 0 for any other name.
    static int DeviceIndex(const std::string& name);

protected:
    int BuildRequest(std::uint8_t* buffer, int& length) override;
    int ParseResponse() override;
    SLimit FieldLimit(const PlcRequestRow& row, const std::string& key) const override;
    std::string CheckCodecRow(const PlcRequestRow& row) const override;

private:
    int ParseText();
    int ParseLan();
    // Whether bytes at..at+3 are the row's station and PLC number.
    bool EchoesStation(std::size_t at) const;
};
