#include "tools/CIpCheckerText.h"

#include <gtest/gtest.h>

namespace {

TEST(IpCheckerText, LinesHaveTheirFormats) {
    EXPECT_EQ(CIpCheckerText::OwnAddressLine(1, "192.168.0.7"), "1번 IP : < 192.168.0.7 > ");
    EXPECT_EQ(CIpCheckerText::OwnAddressLine(2, "10.0.0.1"), "2번 IP : < 10.0.0.1 > ");
    EXPECT_EQ(CIpCheckerText::NeighbourLine(3, "\\\\PLANT-PC", {10, 1, 2, 254}),
              "3번 PLANT-PC : <10.1.2.254>");
    EXPECT_EQ(CIpCheckerText::NeighbourLine(1, "\\one", {0, 0, 0, 0}), "1번 \\one : <0.0.0.0>");
}

TEST(IpCheckerText, AvahiOutputGivesEachHostOnceWithItsFirstIpv4Address) {
    const std::string output =
        "+;eth0;IPv4;printer;_ipp._tcp;local\n"
        "=;eth0;IPv6;plant;_ssh._tcp;local;plant.local;fe80::1;22;\n"
        "=;eth0;IPv4;plant;_ssh._tcp;local;plant.local;192.168.1.20;22;\n"
        "=;eth0;IPv4;plant web;_http._tcp;local;plant.local;192.168.1.21;80;\"a=b\"\n"
        "=;eth0;IPv4;My\\032Box;_smb._tcp;local;my\\059box.local;192.168.1.30;445;\n"
        "=;eth0;IPv4;bad;_x._tcp;local;bad.local;192.168.1.300;1;\n"
        "=;eth0;IPv4;short;_x._tcp\n"
        "=;eth0;IPv4;cut;_x._tcp;local;cut.local;192.168.1.40;1;";
    const auto hosts = CIpCheckerText::ParseAvahiBrowse(output);
    ASSERT_EQ(hosts.size(), 2u);
    EXPECT_EQ(hosts[0].m_strName, "plant");
    EXPECT_EQ(hosts[0].m_address, (std::array<std::uint8_t, 4>{192, 168, 1, 20}));
    EXPECT_EQ(hosts[1].m_strName, "my;box");
    EXPECT_TRUE(CIpCheckerText::ParseAvahiBrowse("").empty());
}

} // namespace
