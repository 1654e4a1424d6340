#include "link/CLinkStatus.h"

#include "link/LinkSettings.h"
#include "link/LinkType.h"

namespace {

std::string IpxText(const char* head, const LinkSettings& s) {
    std::string t = head;
    t.append("NETWORK:").append(s.m_strNetwork);
    t.append(" , NODE:").append(s.m_strNode);
    t.append(", SOCKET:").append(s.m_strSocket);
    return t;
}

} // namespace

std::string CLinkStatus::Opened(int kind, const LinkSettings& s) {
    std::string t;
    switch (kind) {
    case LINK_SERIAL:
        t.append(" , RS-232C설정: COM").append(s.m_strEnv).append(" ");
        break;
    case LINK_TCP_SERVER:
        t.append(" , TCP SERVER설정: PORT:").append(std::to_string(s.m_nPort));
        t.append(" , 접속자 수 : 0");
        break;
    case LINK_TCP_CLIENT:
        t.append(" , TCP CLIENT설정: IP:").append(s.m_strIp);
        t.append(" , PORT:").append(std::to_string(s.m_nPort)).append(" ");
        break;
    case LINK_UDP:
        t.append(" , UDP SERVER설정: PORT:").append(std::to_string(s.m_nUdpPort)).append(" ");
        break;
    case LINK_IPX_SERVER:
        t = IpxText(" , IPX SERVER설정: ", s).append(" ");
        break;
    case LINK_IPX_CLIENT:
        t = IpxText(" , IPX CLIENT설정: ", s).append(" ");
        break;
    default:
        break;
    }
    return t;
}

std::string CLinkStatus::Failed(int kind) {
    switch (kind) {
    case LINK_SERIAL:
        return " , RS-232C설정: 통신실패 ";
    case LINK_TCP_SERVER:
        return " , TCP SERVER설정: 통신실패 ";
    case LINK_TCP_CLIENT:
        return " , TCP CLIENT설정: 통신실패 ";
    case LINK_UDP:
        return " , UDP SERVER설정: 통신실패 ";
    case LINK_IPX_SERVER:
        return " , IPX SERVER설정: 통신실패 ";
    case LINK_IPX_CLIENT:
        return " , IPX CLIENT설정: 통신실패 ";
    default:
        return {};
    }
}

std::string CLinkStatus::Accepted(int serverKind, const LinkSettings& s, int clients) {
    std::string t;
    if (serverKind == LINK_IPX_SERVER) {
        t = IpxText(" , IPX SERVER설정: ", s);
        t.append(" , 접속자 수:").append(std::to_string(clients)).append(" ");
    } else {
        t.append(" , TCP SERVER설정: PORT:").append(std::to_string(s.m_nPort));
        t.append(" , 접속자 수:").append(std::to_string(clients));
    }
    return t;
}

std::string CLinkStatus::Closed(int serverKind, const LinkSettings& s, int clients) {
    if (serverKind == LINK_IPX_SERVER)
        return Accepted(serverKind, s, clients);
    std::string t;
    t.append(" , TCP SERVER설정: PORT:").append(std::to_string(s.m_nPort));
    t.append(" , 접속자 수 : ").append(std::to_string(clients));
    return t;
}
