#pragma once

#include "plc/CPlcEngine.h"

#include <cstddef>
#include <cstdint>

// MEMOBUS, the Modbus of Yaskawa controllers: function 0x03 for read rows,
// 0x10 for write rows, in ASCII framing (":" hex text, LRC, CR LF) or RTU
// framing (binary, CRC-16 low byte first). Rows hold what Modbus can carry:
// slaves 1-247 (0, the broadcast, only for a write typed as "0"), registers
// 0-65535, 1-125 registers read and 1-123 written. A reply must come from
// the request's slave with its function, state the asked-for count (a
// write's echo the start and count too) and pass its LRC or CRC; an
// exception reply (function | 0x80) ends the exchange as an error.
class CYaskawaEngine : public CPlcEngine {
public:
    enum MemobusMode { MEMOBUS_ASCII = 0, MEMOBUS_RTU = 1 };

    static constexpr std::uint8_t FN_READ = 0x03;
    static constexpr std::uint8_t FN_WRITE = 0x10;
    static constexpr std::uint8_t FN_EXCEPTION = 0x80;
    static constexpr int kMaxSlave = 247;
    static constexpr int kMaxReadCount = 125;
    static constexpr int kMaxWriteCount = 123;

    explicit CYaskawaEngine(ILinkHub& hub);

    // The frame of one row in the given framing, taking write values from
    // memory (zeros without one); what BuildRequest sends. Length 0 when it
    // would not fit.
    static int EncodeRequest(const PlcRequestRow& row, int mode, const MemoryTable* memory,
                             std::uint8_t* buffer, int capacity);
    // The 8-bit two's complement of the byte sum.
    static std::uint8_t Lrc(const std::uint8_t* bytes, int count);

protected:
    int BuildRequest(std::uint8_t* buffer, int& length) override;
    int ParseResponse() override;
    SLimit FieldLimit(const PlcRequestRow& row, const std::string& key) const override;
    std::string CheckCodecRow(const PlcRequestRow& row) const override;

private:
    int ParseAscii();
    int ParseRtu();
    // The reply's PDU (slave address to the last data byte, check code
    // taken off) judged against the current request.
    int Judge(const std::vector<std::uint8_t>& pdu);
    // The reply PDU's length in bytes (without its check) for its function
    // and, for a read, the byte count it states; 0 for a function no request
    // of ours is answered with.
    static std::size_t PduLength(unsigned function, unsigned byteCount);
};
