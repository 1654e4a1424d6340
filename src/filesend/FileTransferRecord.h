#pragma once

#include <cstdint>
#include <string>

// What the file screen and its engine share. The screen fills m_strTxName,
// m_strTxPath and m_strRxFolder; the engine owns the rest. Strings are UTF-8;
// names travel as CP949 in frames.
struct FileTransferRecord {
    std::uint32_t m_nRxSize = 0;      // announced size of the incoming file
    std::string m_strRxName;          // name of the incoming file (no folder)
    std::uint32_t m_nRxIndex = 0;     // last data frame accepted / acknowledgement seen
    std::uint32_t m_nRxRemaining = 0; // bytes of the incoming file still missing
    std::uint32_t m_nRxCount = 0;     // data bytes received in this rate period
    std::uint32_t m_nTxSize = 0;
    std::uint32_t m_nTxChunkLength = 0; // d of the data frame built last
    std::string m_strTxName;
    std::string m_strTxPath;
    std::uint32_t m_nTxIndex = 0;
    std::uint32_t m_nTxRemaining = 0;
    std::uint32_t m_nTxCount = 0; // bytes acknowledged in this rate period
    std::string m_strRxFolder;    // always ends with a folder separator
};
