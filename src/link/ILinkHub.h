#pragma once

#include <cstdint>
#include <string>

// What engines, screens and codecs may ask of the link: the main frame
// implements it for the program, a small host for the command line, and a
// recording fake for tests. Nothing in the core sees the link manager.
class ILinkHub {
public:
    virtual ~ILinkHub() = default;
    virtual void SendToLink(const std::uint8_t* bytes, int count) = 0;
    virtual bool IsLinkUp() const = 0;
    virtual int GetLinkKind() const = 0;
    // A modal message box in the window program.
    virtual void ShowMessage(const std::string& text) = 0;
};
