#pragma once

#include "plc/CPlcEngine.h"

#include <cstdint>

// MEMOBUS, the Modbus of Yaskawa controllers: function 0x03 for read rows,
// 0x10 for write rows, in ASCII framing (":" hex text, LRC, CR LF) or RTU
// framing (binary, CRC-16 low byte first).
class CYaskawaEngine : public CPlcEngine {
public:
    enum MemobusMode { MEMOBUS_ASCII = 0, MEMOBUS_RTU = 1 };

    static constexpr std::uint8_t FN_READ = 0x03;
    static constexpr std::uint8_t FN_WRITE = 0x10;

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

private:
    int ParseAscii();
    int ParseRtu();
};
