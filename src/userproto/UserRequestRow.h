#pragma once

#include <string>
#include <vector>

// One row of "user_plc.ini" as the engine holds it: the five keys, the
// numbers read leniently, and the texts as they stand (UTF-8) for checking.
struct UserRequestRow {
    static constexpr const char* kAscii = "ASCII";
    static constexpr const char* kBinary = "BINARY";
    static constexpr const char* kSendFirst = "먼저보내기";
    static constexpr const char* kReceiveFirst = "먼저받기";

    std::string m_strDataType;
    std::string m_strSendChoose;
    std::string m_strData;
    int m_nReceiveCount = 0;
    int m_nWaitTime = 0;
    std::vector<std::string> m_cells; // the five texts in key order

    bool IsSendFirst() const { return m_strSendChoose == kSendFirst; }
};
