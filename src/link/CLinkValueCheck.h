#pragma once

#include <cstddef>
#include <string>

// What a link setting may hold. The dialogs, the command line and the link
// manager all refuse anything else: a port of 0 would make the system pick
// one at random, and a socket number that is not hex would decode to
// whatever the codec makes of it.
class CLinkValueCheck {
public:
    static constexpr int kMinPort = 1;
    static constexpr int kMaxPort = 65535;
    static constexpr std::size_t kNetworkDigits = 8;
    static constexpr std::size_t kNodeDigits = 12;
    static constexpr std::size_t kSocketDigits = 4;

    static bool IsPort(int port) { return port >= kMinPort && port <= kMaxPort; }
    // Exactly count hex digits, either case, nothing else.
    static bool IsHex(const std::string& text, std::size_t count);
    static bool IsIpxNetwork(const std::string& text) { return IsHex(text, kNetworkDigits); }
    static bool IsIpxNode(const std::string& text) { return IsHex(text, kNodeDigits); }
    // Four hex digits other than 0000, which would be no port at all.
    static bool IsIpxSocket(const std::string& text);
    // A host name under ".invalid", which never resolves (RFC 6761). The
    // links refuse it themselves, so asking for one sends no query off the
    // machine.
    static bool IsReservedInvalid(const std::string& host);
};
