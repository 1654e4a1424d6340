#include "link/CServerLink.h"

#include "link/CLinkManager.h"
#include "link/CSocketBinder.h"

#include <QHostInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

#include <vector>

CServerLink::CServerLink(CLinkManager* owner) : m_pOwner(owner) {}

CServerLink::~CServerLink() {
    Close();
}

bool CServerLink::Listen(qintptr fd) {
    m_pServer = new QTcpServer(this);
    if (!m_pServer->setSocketDescriptor(fd)) {
        CSocketBinder::CloseFd(fd);
        return false;
    }
    connect(m_pServer, &QTcpServer::newConnection, this, [this] { m_pOwner->OnServerAccept(); });
    connect(m_pServer, &QTcpServer::acceptError, this, [this] { m_pOwner->OnAcceptFailed(); });
    return true;
}

bool CServerLink::BindUdp(qintptr fd) {
    m_pUdp = new QUdpSocket(this);
    if (!m_pUdp->setSocketDescriptor(fd, QAbstractSocket::BoundState)) {
        CSocketBinder::CloseFd(fd);
        return false;
    }
    connect(m_pUdp, &QUdpSocket::readyRead, this, &CServerLink::OnDatagrams);
    return true;
}

void CServerLink::Close() {
    if (m_nLookupId >= 0) {
        QHostInfo::abortHostLookup(m_nLookupId);
        m_nLookupId = -1;
    }
    if (m_pServer) {
        disconnect(m_pServer, nullptr, this, nullptr);
        m_pServer->close();
    }
    if (m_pUdp) {
        disconnect(m_pUdp, nullptr, this, nullptr);
        m_pUdp->abort();
    }
    m_pending.clear();
}

QTcpSocket* CServerLink::NextPendingConnection() {
    return m_pServer ? m_pServer->nextPendingConnection() : nullptr;
}

void CServerLink::SetUdpTarget(const QString& host, int port) {
    m_nTargetPort = port >= 0 && port <= 65535 ? port : -1;
    m_bLookupFailed = false;
    if (m_target.setAddress(host))
        return;
    m_target.clear();
    m_nLookupId = QHostInfo::lookupHost(host, this, [this](const QHostInfo& info) {
        QHostAddress chosen;
        for (const QHostAddress& a : info.addresses()) {
            // IPv4 first: "localhost" means 127.0.0.1 to the peers we meet.
            if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                chosen = a;
                break;
            }
            if (chosen.isNull())
                chosen = a;
        }
        OnLookup(info.lookupId(), chosen);
    });
}

void CServerLink::OnLookup(int id, const QHostAddress& address) {
    if (id != m_nLookupId)
        return;
    m_nLookupId = -1;
    m_target = address;
    m_bLookupFailed = address.isNull();
    std::deque<std::string> pending;
    pending.swap(m_pending);
    if (m_bLookupFailed)
        return; // nowhere to send them
    for (const std::string& d : pending)
        SendDatagram(reinterpret_cast<const std::uint8_t*>(d.data()), static_cast<int>(d.size()));
}

void CServerLink::SendDatagram(const std::uint8_t* bytes, int count) {
    if (!m_pUdp || count < 0 || m_nTargetPort < 0 || m_bLookupFailed)
        return;
    if (m_target.isNull()) {
        if (m_nLookupId >= 0 && m_pending.size() < kMaxPendingDatagrams)
            m_pending.emplace_back(reinterpret_cast<const char*>(bytes), count);
        return;
    }
    m_pUdp->writeDatagram(reinterpret_cast<const char*>(bytes), count, m_target,
                          static_cast<quint16>(m_nTargetPort));
}

void CServerLink::OnDatagrams() {
    // One block per datagram; one larger than a block is a failed receive
    // and passes nothing on.
    std::vector<char> buffer(kBlockBytes + 1);
    while (m_pUdp && m_pUdp->hasPendingDatagrams()) {
        const qint64 size = m_pUdp->pendingDatagramSize();
        const qint64 n = m_pUdp->readDatagram(buffer.data(), kBlockBytes + 1);
        if (n < 0 || size > kBlockBytes || n > kBlockBytes)
            continue;
        m_pOwner->OnSocketData(reinterpret_cast<const std::uint8_t*>(buffer.data()),
                               static_cast<int>(n));
        if (!m_pUdp->isOpen())
            break;
    }
}
