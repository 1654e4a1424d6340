#pragma once

#include "link/LinkSettings.h"

#include <map>
#include <string>
#include <vector>

// The link options the link commands share: --link KIND and the settings
// the link's dialog would hold.
class CCliLinkOptions {
public:
    int m_nKind = -1;
    LinkSettings m_settings;
    std::map<int, std::string> m_comDevices; // --com N=DEVICE

    // Takes the link options out of args, leaving the rest; false with a
    // message in error when one is malformed or --link is missing.
    bool Parse(std::vector<std::string>& args, std::string& error);

    // "serial", "tcp-server" ... as a kind, -1 when unknown.
    static int KindOf(const std::string& name);
    static const char* kUsage;
};
