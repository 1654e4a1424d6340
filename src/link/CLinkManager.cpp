#include "link/CLinkManager.h"

#include "link/CAcceptedLink.h"
#include "link/CClientLink.h"
#include "link/CIpxAddress.h"
#include "link/CLinkStatus.h"
#include "link/CLinkValueCheck.h"
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

std::string SystemReason(int error) {
    return qt_error_string(error).toStdString();
}

std::string PortProblem(const char* what, int port) {
    return std::string(what) + " " + std::to_string(port) + ": not a port number (1-65535)";
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

void CLinkManager::Failed(const std::string& text) {
    if (m_pOwner)
        m_pOwner->OnLinkFailed(text);
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
    m_bConnected = false;
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

bool CLinkManager::CheckSettings(int kind, std::string& reason) const {
    const LinkSettings& s = *m_pSettings;
    switch (kind) {
    case LINK_TCP_SERVER:
    case LINK_TCP_CLIENT:
        if (!CLinkValueCheck::IsPort(s.m_nPort))
            reason = PortProblem("port", s.m_nPort);
        break;
    case LINK_UDP:
        if (!CLinkValueCheck::IsPort(s.m_nUdpPort))
            reason = PortProblem("local port", s.m_nUdpPort);
        else if (!CLinkValueCheck::IsPort(s.m_nPort))
            reason = PortProblem("remote port", s.m_nPort);
        break;
    case LINK_IPX_CLIENT:
        if (!CLinkValueCheck::IsIpxNetwork(s.m_strNetwork))
            reason = "network '" + s.m_strNetwork + "': not 8 hex digits";
        else if (!CLinkValueCheck::IsIpxNode(s.m_strNode))
            reason = "node '" + s.m_strNode + "': not 12 hex digits";
        [[fallthrough]];
    case LINK_IPX_SERVER:
        if (reason.empty() && !CLinkValueCheck::IsIpxSocket(s.m_strSocket))
            reason = "socket '" + s.m_strSocket + "': not 4 hex digits other than 0000";
        break;
    default:
        break;
    }
    return reason.empty();
}

bool CLinkManager::OpenLink(LinkSettings* settings) {
    m_pSettings = settings;
    m_strOpenFailure.clear();
    bool ok = false;
    if (m_nKind >= LINK_SERIAL && m_nKind <= LINK_IPX_CLIENT &&
        (!m_pSettings || !CheckSettings(m_nKind, m_strOpenFailure))) {
        SetLinkUp(false);
        CloseLink();
        if (!m_strOpenFailure.empty())
            Failed(m_strOpenFailure);
        return false;
    }
    switch (m_nKind) {
    case LINK_SERIAL:
        if (m_pSerial) {
            m_pSerial->Configure(m_pSettings->m_strEnv);
            ok = m_pSerial->Open();
            if (!ok)
                m_strOpenFailure = m_pSerial->GetFailure();
        }
        break;
    case LINK_TCP_SERVER:
    case LINK_UDP:
    case LINK_IPX_SERVER:
        ok = StartServer(m_nKind);
        break;
    case LINK_TCP_CLIENT:
    case LINK_IPX_CLIENT:
        ok = StartClient(m_nKind);
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
    // Told once everything is closed: a message box runs the event loop.
    if (!m_strOpenFailure.empty())
        Failed(m_strOpenFailure);
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

bool CLinkManager::Send(const std::uint8_t* bytes, int count) {
    if (count < 0 || (count > 0 && !bytes))
        return false;
    switch (m_nKind) {
    case LINK_SERIAL:
        return m_pSerial && m_pSerial->Write(bytes, count) == count;
    case LINK_TCP_SERVER:
    case LINK_IPX_SERVER: {
        // A copy: a send cannot change the list today, but the list must
        // not move under the loop if one ever does. The block went out when
        // some client took it, or when there is none to take it (a server
        // without clients is up, and sends to all of them).
        const std::vector<CAcceptedLink*> connections = m_connections;
        bool taken = connections.empty();
        for (CAcceptedLink* c : connections)
            taken = c->Send(bytes, count) || taken;
        return taken;
    }
    case LINK_TCP_CLIENT:
    case LINK_IPX_CLIENT:
        return m_pClient && m_pClient->Send(bytes, count);
    case LINK_UDP:
        return m_pServer && m_pServer->SendDatagram(bytes, count);
    case LINK_STOPPED:
        CloseLink();
        return false;
    default:
        return false;
    }
}

bool CLinkManager::IsAlive() const {
    switch (m_nKind) {
    case LINK_SERIAL:
        return m_pSerial && m_pSerial->IsOpen();
    case LINK_TCP_SERVER:
    case LINK_IPX_SERVER:
    case LINK_UDP:
        return m_pServer != nullptr;
    case LINK_TCP_CLIENT:
    case LINK_IPX_CLIENT:
        return m_pClient && !m_pClient->HasFailed();
    default:
        return false;
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
        return m_pServer != nullptr && m_pServer->HasTarget();
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
        const std::string where = (tcp ? "port " : "local port ") + std::to_string(port) + ": ";
        if (bound.m_nFd < 0) {
            m_strOpenFailure = WithNumber(kPortInUseMessage, bound.m_nError) + "\n" + where +
                               SystemReason(bound.m_nError);
            return false;
        }
        if (tcp ? !m_pServer->Listen(bound.m_nFd) : !m_pServer->BindUdp(bound.m_nFd)) {
            const int error = CSocketBinder::InvalidArgument();
            m_strOpenFailure =
                WithNumber(kPortInUseMessage, error) + "\n" + where + SystemReason(error);
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
            m_strOpenFailure = std::string(kBindFailedMessage) + "\nsocket " +
                               m_pSettings->m_strSocket + " (TCP port " +
                               std::to_string(address.Port()) +
                               "): " + SystemReason(bound.m_nError);
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
            const int error = CSocketBinder::InvalidArgument();
            m_strOpenFailure = std::to_string(error) + "\nsocket " + m_pSettings->m_strSocket +
                               ": " + SystemReason(error);
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
        m_pClient->ConnectTo(QString::fromStdString(m_pSettings->m_strIp),
                             static_cast<quint16>(m_pSettings->m_nPort));
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
    if (m_pSerial)
        Failed(m_pSerial->GetFailure());
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

void CLinkManager::OnUdpTargetNotFound() {
    if (m_pServer && m_pSettings)
        Failed(m_pSettings->m_strIp + ":" + std::to_string(m_pSettings->m_nPort) + ": " +
               m_pServer->GetTargetFailure().toStdString());
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

std::string CLinkManager::ClientTarget() const {
    if (!m_pSettings)
        return {};
    if (m_nKind == LINK_IPX_CLIENT) {
        const CIpxAddress a = CIpxAddress::FromTexts(
            m_pSettings->m_strNetwork, m_pSettings->m_strNode, m_pSettings->m_strSocket);
        return "IPX " + m_pSettings->m_strNetwork + ":" + m_pSettings->m_strNode + ":" +
               m_pSettings->m_strSocket + " (" + QHostAddress(a.Ipv4()).toString().toStdString() +
               ":" + std::to_string(a.Port()) + ")";
    }
    const std::string host = m_pSettings->m_strIp.empty() ? "(no host)" : m_pSettings->m_strIp;
    return host + ":" + std::to_string(m_pSettings->m_nPort);
}

void CLinkManager::OnClientConnected(bool ok) {
    SetLinkUp(ok);
    if (ok)
        m_bConnected = true;
    else if (m_pClient)
        Failed(ClientTarget() + ": " + m_pClient->GetReason().toStdString());
}

void CLinkManager::OnClientHostNotFound() {
    SetLinkUp(false);
    SetStatus(CLinkStatus::Failed(m_nKind));
    if (m_pClient)
        Failed(ClientTarget() + ": " + m_pClient->GetReason().toStdString());
}

void CLinkManager::OnClientData(const std::uint8_t* bytes, int count) {
    Dispatch(bytes, count);
}

void CLinkManager::OnClientClosed() {
    if (!m_pClient)
        return;
    const std::string reason = m_pClient->GetReason().toStdString();
    CloseClient();
    Failed(ClientTarget() + ": " + reason);
}

void CLinkManager::CloseClient() {
    if (!m_pClient)
        return;
    SetLinkUp(false);
    m_pClient->Close();
    Dispose(m_pClient);
    m_pClient = nullptr;
}
