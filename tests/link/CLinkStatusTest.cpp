#include "link/CLinkStatus.h"
#include "link/CIpxAddress.h"
#include "link/LinkSettings.h"
#include "link/LinkType.h"

#include <gtest/gtest.h>

namespace {

TEST(LinkStatus, TextsOfEveryKind) {
    LinkSettings s;
    s.m_nPort = 120;
    s.m_nUdpPort = 121;
    s.m_strIp = "192.168.0.10";
    s.m_strEnv = "1,9600,N,8,1,0,0";
    s.m_strNetwork = "00000000";
    s.m_strNode = "00007F000001";
    s.m_strSocket = "2FFF";
    EXPECT_EQ(CLinkStatus::Opened(LINK_SERIAL, s), " , RS-232C설정: COM1,9600,N,8,1,0,0 ");
    EXPECT_EQ(CLinkStatus::Opened(LINK_TCP_SERVER, s),
              " , TCP SERVER설정: PORT:120 , 접속자 수 : 0");
    EXPECT_EQ(CLinkStatus::Opened(LINK_TCP_CLIENT, s),
              " , TCP CLIENT설정: IP:192.168.0.10 , PORT:120 ");
    EXPECT_EQ(CLinkStatus::Opened(LINK_UDP, s), " , UDP SERVER설정: PORT:121 ");
    EXPECT_EQ(CLinkStatus::Opened(LINK_IPX_SERVER, s),
              " , IPX SERVER설정: NETWORK:00000000 , NODE:00007F000001, SOCKET:2FFF ");
    EXPECT_EQ(CLinkStatus::Opened(LINK_IPX_CLIENT, s),
              " , IPX CLIENT설정: NETWORK:00000000 , NODE:00007F000001, SOCKET:2FFF ");
    EXPECT_EQ(CLinkStatus::Opened(LINK_STOPPED, s), "");

    EXPECT_EQ(CLinkStatus::Failed(LINK_SERIAL), " , RS-232C설정: 통신실패 ");
    EXPECT_EQ(CLinkStatus::Failed(LINK_TCP_SERVER), " , TCP SERVER설정: 통신실패 ");
    EXPECT_EQ(CLinkStatus::Failed(LINK_TCP_CLIENT), " , TCP CLIENT설정: 통신실패 ");
    EXPECT_EQ(CLinkStatus::Failed(LINK_UDP), " , UDP SERVER설정: 통신실패 ");
    EXPECT_EQ(CLinkStatus::Failed(LINK_IPX_SERVER), " , IPX SERVER설정: 통신실패 ");
    EXPECT_EQ(CLinkStatus::Failed(LINK_IPX_CLIENT), " , IPX CLIENT설정: 통신실패 ");

    // Accept and close texts differ in the blanks around the colon.
    EXPECT_EQ(CLinkStatus::Accepted(LINK_TCP_SERVER, s, 2),
              " , TCP SERVER설정: PORT:120 , 접속자 수:2");
    EXPECT_EQ(CLinkStatus::Closed(LINK_TCP_SERVER, s, 1),
              " , TCP SERVER설정: PORT:120 , 접속자 수 : 1");
    EXPECT_EQ(
        CLinkStatus::Accepted(LINK_IPX_SERVER, s, 1),
        " , IPX SERVER설정: NETWORK:00000000 , NODE:00007F000001, SOCKET:2FFF , 접속자 수:1 ");
    EXPECT_EQ(
        CLinkStatus::Closed(LINK_IPX_SERVER, s, 0),
        " , IPX SERVER설정: NETWORK:00000000 , NODE:00007F000001, SOCKET:2FFF , 접속자 수:0 ");
}

TEST(IpxAddress, NodeCarriesTheIpv4AddressAndSocketThePort) {
    const CIpxAddress a = CIpxAddress::FromTexts("00000000", "00007F000001", "2FFF");
    EXPECT_EQ(a.Ipv4(), 0x7F000001u);
    EXPECT_EQ(a.Port(), 0x2FFF);
    EXPECT_EQ(CIpxAddress::NodeText(0xC0A8010Au), "0000C0A8010A");
    // Short texts read the missing digits as zero.
    EXPECT_EQ(CIpxAddress::FromTexts("", "", "2F").Port(), 0x2F00);
}

} // namespace
