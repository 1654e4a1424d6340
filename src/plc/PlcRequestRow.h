#pragma once

#include <string>
#include <vector>

// One request row of a PLC settings file as the engine polls it: one field
// per key of the PLCs' key lists. A decimal key whose text has no leading
// number reads as 0; fields a PLC has no key for stay 0 or empty.
struct PlcRequestRow {
    std::string m_strCommType;   // COMMTYPE
    std::string m_strDeviceType; // PLCDEVICETYPE
    std::string m_strDeviceName; // PLCDEVICENAME
    int m_nSlaveAddress = 0;     // SLAVEADDRESS
    int m_nStationNum = 0;       // STATIONNUM
    int m_nPlcNum = 0;           // PLCNUM
    int m_nSrc = 0;              // SRC
    int m_nDst = 0;              // DST
    int m_nDbAddress = 0;        // DBADDRESS
    int m_nDwAddress = 0;        // DWADDRESS
    int m_nPlcAddress = 0;       // PLCADDRESS
    int m_nDataCount = 0;        // DATACOUNT
    int m_nAnIndex = 0;          // ANINDEX
    // The texts as the file holds them, one per key in key order: a number
    // field cannot tell "PLC1" or an empty cell from a typed "0".
    std::vector<std::string> m_cells;

    static constexpr const char* kAutoRead = "자동읽기";
    static constexpr const char* kAutoWrite = "자동쓰기";

    bool IsRead() const { return m_strCommType == kAutoRead; }
    bool IsWrite() const { return m_strCommType == kAutoWrite; }
};
