#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The IP checker's texts: its two kinds of list line, and the network
// neighbourhood read from the parsable output of "avahi-browse -atrp".
class CIpCheckerText {
public:
    struct SNeighbour {
        std::string m_strName; // UTF-8
        std::array<std::uint8_t, 4> m_address{};
    };

    // "%d번 IP : < %s > ": the 1-based position and the dotted address.
    static std::string OwnAddressLine(int nPosition, std::string_view dotted);
    // "%d번 %s : <%d.%d.%d.%d>": the running number, the name without two
    // leading backslashes, and the address.
    static std::string NeighbourLine(int nNumber, std::string_view name,
                                     const std::array<std::uint8_t, 4>& address);

    // The hosts that resolved service lines ("=;...") announce, each once,
    // in the order first seen, with its first IPv4 address; ".local" is
    // dropped from the names. Lines that are cut, IPv6 or malformed are
    // passed over.
    static std::vector<SNeighbour> ParseAvahiBrowse(std::string_view output);
    // A dotted IPv4 address of four numbers 0-255.
    static bool ParseIpv4(std::string_view text, std::array<std::uint8_t, 4>& address);
};
