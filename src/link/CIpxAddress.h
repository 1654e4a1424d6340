#pragma once

#include <cstdint>
#include <string>

// IPX/SPX carried over TCP/IPv4: the node is "0000" followed by the IPv4
// address as hex, the socket number is the TCP port, the network is kept as
// typed ("00000000" for this machine's own).
class CIpxAddress {
public:
    std::uint8_t m_network[4] = {};
    std::uint8_t m_node[6] = {};
    std::uint8_t m_socket[2] = {};

    // Decodes the hex texts as the link settings hold them ("2FFF" is the
    // bytes 0x2F 0xFF); missing digits read as 0.
    static CIpxAddress FromTexts(const std::string& network, const std::string& node,
                                 const std::string& socket);

    std::uint32_t Ipv4() const; // host order, from the node's last four bytes
    std::uint16_t Port() const; // the socket number

    // "0000" + 8 hex digits, and the network "00000000".
    static std::string NodeText(std::uint32_t ipv4);
    static std::string NetworkText();
};
