#pragma once

#include <string>

struct LinkSettings;

// The link status texts every screen shows in its caption.
class CLinkStatus {
public:
    // After "통신 설정" opened (or failed to open) a link of the kind; empty
    // for a kind that has no text.
    static std::string Opened(int kind, const LinkSettings& settings);
    static std::string Failed(int kind);
    // A TCP or IPX/SPX server after a client came (accepted) or went.
    static std::string Accepted(int serverKind, const LinkSettings& settings, int clients);
    static std::string Closed(int serverKind, const LinkSettings& settings, int clients);
};
