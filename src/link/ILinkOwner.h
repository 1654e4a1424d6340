#pragma once

#include <cstdint>
#include <string>

// What the link manager asks of its owner (the main frame, the command
// line's host, a test). Every call arrives on the owner's thread.
class ILinkOwner {
public:
    virtual ~ILinkOwner() = default;
    virtual void SetLinkUp(bool up) = 0;
    // The bytes are valid only during the call.
    virtual void DispatchReceived(const std::uint8_t* bytes, int count) = 0;
    virtual const std::string& GetLinkStatus() const = 0;
    virtual void SetLinkStatus(const std::string& text) = 0;
    virtual void ShowMessage(const std::string& text) = 0;
    // The link failed to open, or went down, and why: the kind's own
    // message if it has one, then the device or host and the system's
    // reason. The link state is already in order when this arrives; it may
    // come long after the open (a connect that is refused, a peer that
    // closes).
    virtual void OnLinkFailed(const std::string& text) = 0;
};
