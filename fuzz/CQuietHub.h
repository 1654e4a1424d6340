#pragma once

#include "link/ILinkHub.h"

#include <cstdint>
#include <string>

// A link that is always up and takes everything: what a reply parser under
// fuzzing sends (acknowledgements, repeats) goes nowhere.
class CQuietHub : public ILinkHub {
public:
    void SendToLink(const std::uint8_t*, int) override {}
    bool IsLinkUp() const override { return true; }
    int GetLinkKind() const override { return 0; }
    void ShowMessage(const std::string&) override {}
};
