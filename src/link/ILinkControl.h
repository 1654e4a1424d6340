#pragma once

#include <cstdint>

struct LinkSettings;

// The link manager as the hub drives it.
class ILinkControl {
public:
    virtual ~ILinkControl() = default;
    virtual void CreateEndpoint(int kind) = 0;
    // Keeps the pointer: an IPX/SPX server writes its own address back.
    virtual bool OpenLink(LinkSettings* settings) = 0;
    virtual void CloseLink() = 0;
    // False when the block did not go out: the link is not open or has no
    // way to the peer yet, or its output queue is full. A block goes out
    // whole or not at all; a cut frame would be worse than none.
    virtual bool Send(const std::uint8_t* bytes, int count) = 0;
};
