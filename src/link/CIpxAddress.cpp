#include "link/CIpxAddress.h"

#include "link/CHexCodec.h"

CIpxAddress CIpxAddress::FromTexts(const std::string& network, const std::string& node,
                                   const std::string& socket) {
    CIpxAddress a;
    CHexCodec codec;
    codec.HexToBytes(network, a.m_network, 4);
    codec.HexToBytes(node, a.m_node, 6);
    codec.HexToBytes(socket, a.m_socket, 2);
    return a;
}

std::uint32_t CIpxAddress::Ipv4() const {
    return (std::uint32_t{m_node[2]} << 24) | (std::uint32_t{m_node[3]} << 16) |
           (std::uint32_t{m_node[4]} << 8) | std::uint32_t{m_node[5]};
}

std::uint16_t CIpxAddress::Port() const {
    return static_cast<std::uint16_t>((m_socket[0] << 8) | m_socket[1]);
}

std::string CIpxAddress::NodeText(std::uint32_t ipv4) {
    const std::uint8_t node[6] = {0,
                                  0,
                                  static_cast<std::uint8_t>(ipv4 >> 24),
                                  static_cast<std::uint8_t>(ipv4 >> 16),
                                  static_cast<std::uint8_t>(ipv4 >> 8),
                                  static_cast<std::uint8_t>(ipv4)};
    return CHexCodec().BytesToHex(node, 6);
}

std::string CIpxAddress::NetworkText() {
    return "00000000";
}
