#include "link/CLinkManager.h"

#include "link/CAcceptedLink.h"
#include "link/CClientLink.h"
#include "link/CIpxAddress.h"
#include "link/CLinkStatus.h"
#include "link/CSerialLink.h"
#include "link/CServerLink.h"
#include "link/CSocketBinder.h"
#include "link/ILinkOwner.h"
#include "link/LinkSettings.h"
#include "link/LinkType.h"

#include <QHostAddress>
#include <QNetworkInterface>
#include <QTcpSocket>

#include <algorithm>

namespace {

std::string WithNumber(const char* format, int number) {
    std::string text = format;
    const std::size_t at = text.find("%d");
    if (at != std::string::npos)
        text.replace(at, 2, std::to_string(number));
    return text;
}

// The address a remote IPX/SPX client would reach this machine at.
quint32 OwnIpv4() {
    for (const QHostAddress& a : QNetworkInterface::allAddresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback())
            return a.toIPv4Address();
    }
    return QHostAddress(QHostAddress::LocalHost).toIPv4Address();
}

} // namespace

CLinkManager::CLinkManager(ILinkOwner* owner, const CComPortMap* ports)
    : m_pOwner(owner), m_pPorts(ports ? ports : &m_ownPorts) {}

CLinkManager::~CLinkManager() {
    CloseLink();
}

void CLinkManager::SetLinkUp(bool up) {
    if (m_pOwner)
        m_pOwner->SetLinkUp(up);
}

void CLinkManager::SetStatus(const std::string& text) {
    if (m_pOwner)
        m_pOwner->SetLinkStatus(text);
}

void CLinkManager::Message(const std::string& text) {
    if (m_pOwner)
        m_pOwner->ShowMessage(text);
}

void CLinkManager::Dispatch(const std::uint8_t* bytes, int count) {
    if (m_pOwner)
        m_pOwner->DispatchReceived(bytes, count);
}

void CLinkManager::Dispose(CLinkEndpoint* endpoint) {
    if (endpoint)
        endpoint->Dispose();
}

void CLinkManager::CreateEndpoint(int kind) {
    m_nKind = kind;
    switch (kind) {
    case LINK_SERIAL:
        m_pSerial = new CSerialLink(this, *m_pPorts);
        break;
    case LINK_TCP_SERVER:
    case LINK_UDP:
    case LINK_IPX_SERVER:
        m_pServer = new CServerLink(this);
        break;
    case LINK_TCP_CLIENT:
    case LINK_IPX_CLIENT:
        m_pClient = new CClientLink(this);
        break;
    default:
        break;
    }
}

bool CLinkManager::OpenLink(LinkSettings* settings) {
    m_pSettings = settings;
    bool ok = false;
    switch (m_nKind) {
    case LINK_SERIAL:
        if (m_pSerial && m_pSettings) {
            m_pSerial->Configure(m_pSettings->m_strEnv);
            ok = m_pSerial->Open();
        }
        break;
    case LINK_TCP_SERVER:
    case LINK_UDP:
    case LINK_IPX_SERVER:
        ok = m_pSettings && StartServer(m_nKind);
        break;
    case LINK_TCP_CLIENT:
    case LINK_IPX_CLIENT:
        ok = m_pSettings && StartClient(m_nKind);
        break;
    default:
        return true;
    }
    if (ok) {
        SetLinkUp(true);
        return true;
    }
    SetLinkUp(false);
    CloseLink();
    return false;
}

void CLinkManager::CloseLink() {
    std::vector<CAcceptedLink*> connections;
    connections.swap(m_connections);
    for (CAcceptedLink* c : connections) {
        c->Close();
        Dispose(c);
    }
    if (m_pServer) {
        m_pServer->Close();
        Dispose(m_pServer);
        m_pServer = nullptr;
    }
    CloseClient();
    if (m_pSerial) {
        m_pSerial->Close();
        Dispose(m_pSerial);
        m_pSerial = nullptr;
    }
    SetLinkUp(false);
}

void CLinkManager::Send(const std::uint8_t* bytes, int count) {
    if (count < 0 || (count > 0 && !bytes))
        return;
    switch (m_nKind) {
    case LINK_SERIAL:
        if (m_pSerial)
            m_pSerial->Write(bytes, count);
        break;
    case LINK_TCP_SERVER:
    case LINK_IPX_SERVER: {
        // A copy: a send cannot change the list today, but the list must
        // not move under the loop if one ever does.
        const std::vector<CAcceptedLink*> connections = m_connections;
        for (CAcceptedLink* c : connections)
            c->Send(bytes, count);
        break;
    }
    case LINK_TCP_CLIENT:
    case LINK_IPX_CLIENT:
        if (m_pClient)
            m_pClient->Send(bytes, count);
        break;
    case LINK_UDP:
        if (m_pServer)
            m_pServer->SendDatagram(bytes, count);
        break;
    case LINK_STOPPED:
        CloseLink();
        break;
    default:
        break;
    }
}

bool CLinkManager::IsReady() const {
    switch (m_nKind) {
    case LINK_SERIAL:
        return m_pSerial && m_pSerial->IsOpen();
    case LINK_TCP_SERVER:
    case LINK_IPX_SERVER:
        return !m_connections.empty();
    case LINK_TCP_CLIENT:
    case LINK_IPX_CLIENT:
        return m_pClient && m_pClient->IsConnected();
    case LINK_UDP:
        return m_pServer != nullptr;
    default:
        return false;
    }
}

bool CLinkManager::StartServer(int kind) {
    if (!m_pServer)
        return false;
    m_nServerKind = kind;
    if (kind == LINK_TCP_SERVER || kind == LINK_UDP) {
        const bool tcp = kind == LINK_TCP_SERVER;
        const int port = tcp ? m_pSettings->m_nPort : m_pSettings->m_nUdpPort;
        const CSocketBinder::Result bound = CSocketBinder::Bind(
            CSocketBinder::FAMILY_DUAL,
            tcp ? CSocketBinder::TYPE_STREAM : CSocketBinder::TYPE_DATAGRAM, port);
        if (bound.m_nFd < 0) {
            Message(WithNumber(kPortInUseMessage, bound.m_nError));
            return false;
        }
        if (tcp ? !m_pServer->Listen(bound.m_nFd) : !m_pServer->BindUdp(bound.m_nFd)) {
            Message(WithNumber(kPortInUseMessage, CSocketBinder::InvalidArgument()));
            return false;
        }
        if (!tcp)
            m_pServer->SetUdpTarget(QString::fromStdString(m_pSettings->m_strIp),
                                    m_pSettings->m_nPort);
        return true;
    }
    if (kind == LINK_IPX_SERVER) {
        const CIpxAddress address = CIpxAddress::FromTexts("", "", m_pSettings->m_strSocket);
        const CSocketBinder::Result bound = CSocketBinder::Bind(
            CSocketBinder::FAMILY_IPV4, CSocketBinder::TYPE_STREAM, address.Port());
        if (bound.m_nFd < 0) {
            Message(kBindFailedMessage);
            return false;
        }
        quint32 local = 0;
        quint16 port = 0;
        if (CSocketBinder::LocalIpv4(bound.m_nFd, local, port)) {
            m_pSettings->m_strNetwork = CIpxAddress::NetworkText();
            m_pSettings->m_strNode = CIpxAddress::NodeText(local != 0 ? local : OwnIpv4());
        } else {
            Message(kIpxAddressMessage);
        }
        if (!m_pServer->Listen(bound.m_nFd)) {
            Message(std::to_string(CSocketBinder::InvalidArgument()));
            return false;
        }
        return true;
    }
    return false;
}

bool CLinkManager::StartClient(int kind) {
    if (!m_pClient)
        return false;
    if (kind == LINK_TCP_CLIENT) {
        const int port = m_pSettings->m_nPort;
        if (port < 0 || port > 65535)
            return false;
        m_pClient->ConnectTo(QString::fromStdString(m_pSettings->m_strIp),
                             static_cast<quint16>(port));
        return true;
    }
    if (kind == LINK_IPX_CLIENT) {
        const CIpxAddress address = CIpxAddress::FromTexts(
            m_pSettings->m_strNetwork, m_pSettings->m_strNode, m_pSettings->m_strSocket);
        m_pClient->ConnectTo(QHostAddress(address.Ipv4()).toString(), address.Port());
        return true;
    }
    return false;
}

void CLinkManager::OnSerialData(const std::uint8_t* bytes, int count) {
    Dispatch(bytes, count);
}

void CLinkManager::OnSerialLost() {
    SetLinkUp(false);
}

void CLinkManager::OnServerAccept() {
    while (m_pServer) {
        QTcpSocket* socket = m_pServer->NextPendingConnection();
        if (!socket)
            break;
        m_connections.push_back(new CAcceptedLink(this, socket));
        SetLinkUp(true);
        if (m_pSettings)
            SetStatus(CLinkStatus::Accepted(m_nServerKind, *m_pSettings,
                                            static_cast<int>(m_connections.size())));
    }
}

void CLinkManager::OnAcceptFailed() {
    SetLinkUp(false);
    Message(kAcceptFailedMessage);
}

void CLinkManager::OnSocketData(const std::uint8_t* bytes, int count) {
    Dispatch(bytes, count);
}

void CLinkManager::OnConnectionClosed(CAcceptedLink* endpoint) {
    auto it = std::find(m_connections.begin(), m_connections.end(), endpoint);
    if (it != m_connections.end()) {
        m_connections.erase(it);
        endpoint->Close();
        Dispose(endpoint);
    }
    if (m_pSettings)
        SetStatus(CLinkStatus::Closed(m_nServerKind, *m_pSettings,
                                      static_cast<int>(m_connections.size())));
}

void CLinkManager::OnClientConnected(bool ok) {
    SetLinkUp(ok);
}

void CLinkManager::OnClientHostNotFound() {
    SetLinkUp(false);
    SetStatus(CLinkStatus::Failed(m_nKind));
}

void CLinkManager::OnClientData(const std::uint8_t* bytes, int count) {
    Dispatch(bytes, count);
}

void CLinkManager::OnClientClosed() {
    CloseClient();
}

void CLinkManager::CloseClient() {
    if (!m_pClient)
        return;
    SetLinkUp(false);
    m_pClient->Close();
    Dispose(m_pClient);
    m_pClient = nullptr;
}
