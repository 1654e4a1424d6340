#pragma once

#include <string>

// The link parameters the main frame owns and the dialogs edit.
struct LinkSettings {
    int m_nPort = 120;                         // "PORT"
    int m_nUdpPort = 121;                      // "UDPORT"
    std::string m_strIp = "localhost";         // "IP"
    std::string m_strEnv = "1,9600,N,8,1,0,0"; // "ENV"
    std::string m_strNode = "000000000000";    // "NODE"
    std::string m_strNetwork = "00000000";     // "NETWORK"
    std::string m_strSocket = "2FFF";          // "SOCKET"

    bool operator==(const LinkSettings&) const = default;
};
