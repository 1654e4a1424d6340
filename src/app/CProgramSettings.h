#pragma once

#include "link/LinkSettings.h"

#include <string>

class ISettingsStore;

// The ten keys of section "SETTING", with their defaults.
class CProgramSettings {
public:
    static constexpr const char* kSection = "SETTING";

    int m_nPort = 120;
    int m_nUdpPort = 121;
    int m_nScreenChoose = 0;
    int m_nComChoose = 6; // LINK_STOPPED
    int m_nComConnect = 0;
    std::string m_strIp = "localhost";
    std::string m_strEnv = "1,9600,N,8,1,0,0";
    std::string m_strNetwork = "00000000";
    std::string m_strNode = "000000000000";
    std::string m_strSocket = "2FFF";

    // A missing key, or a numeric key that does not hold a number, keeps
    // its default.
    void Load(const ISettingsStore& store);
    void Save(ISettingsStore& store) const;

    // The seven link keys as the main frame's link parameters, and back.
    LinkSettings Link() const;
    void SetLink(const LinkSettings& link);

    // The screen the program opens with: 1..9 as stored, anything else the
    // analyzer (0).
    int StartScreen() const;

    // Whole-text decimal integer within 32 bits, blanks around it allowed.
    static bool ParseInt(const std::string& text, int& value);
};
