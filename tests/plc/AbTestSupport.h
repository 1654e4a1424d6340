#pragma once

#include "PlcTestSupport.h"
#include "TestBytes.h"

#include <string>

// An Allen-Bradley grid row: COMMTYPE, PLCDEVICETYPE, PLCDEVICENAME, SRC,
// DST, PLCADDRESS, DATACOUNT, ANINDEX.
inline CellRow AbRow(const std::string& type, const std::string& file, int src, int dst,
                     int address, int count, int index) {
    return {type,
            "WORD",
            file,
            std::to_string(src),
            std::to_string(dst),
            std::to_string(address),
            std::to_string(count),
            std::to_string(index)};
}

inline void WriteAbRows(const std::vector<CellRow>& rows) {
    CPlcSettingsFile file(CPlcSettingsFile::PLC_AB);
    ASSERT_TRUE(file.SaveRows(file.CurrentPath(), rows));
}

// A DF1 frame of a body, written here on its own so that the tests do not
// check the engine or the station against their own framing.
inline Bytes Df1(const Bytes& body, int bccDelta = 0) {
    Bytes out = {0x10, 0x02};
    unsigned sum = 0;
    for (const std::uint8_t b : body) {
        out.push_back(b);
        if (b == 0x10)
            out.push_back(0x10);
        sum += b;
    }
    out.push_back(0x10);
    out.push_back(0x03);
    out.push_back(static_cast<std::uint8_t>((0x100u - (sum & 0xFF) + unsigned(bccDelta)) & 0xFF));
    return out;
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}
