#pragma once

#include <cstdint>

// The active screen as the hub delivers to it.
class IScreenSink {
public:
    virtual ~IScreenSink() = default;
    // Only blink the TX and RX lamps.
    virtual void OnLinkSent() = 0;
    virtual void OnLinkReceived() = 0;
    // The data path of screens 1..9; the bytes are valid only during the call.
    virtual void OnLinkData(const std::uint8_t* bytes, int count) = 0;
};
