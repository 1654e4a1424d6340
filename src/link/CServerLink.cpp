#include "link/CServerLink.h"

#include "link/CLinkManager.h"
#include "link/CLinkValueCheck.h"
#include "link/CSocketBinder.h"

#include <QHostInfo>
#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

#include <vector>

CServerLink::CServerLink(CLinkManager* owner) : CLinkEndpoint(nullptr), m_pOwner(owner) {}

CServerLink::~CServerLink() {
    Close();
}

bool CServerLink::Listen(qintptr fd) {
    if (fd < 0)
        return false;
    m_nListenFd = fd;
    m_pAcceptNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_pAcceptNotifier, &QSocketNotifier::activated, this, &CServerLink::OnAccept);
    m_pAcceptRetry = new QTimer(this);
    m_pAcceptRetry->setSingleShot(true);
    connect(m_pAcceptRetry, &QTimer::timeout, this, [this] {
        if (m_pAcceptNotifier) {
            m_pAcceptNotifier->setEnabled(true);
            OnAccept(); // what waited meanwhile sends no new notification
        }
    });
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
    if (m_nLookupId >= 0)
        QHostInfo::abortHostLookup(m_nLookupId);
    m_nLookupId = -1;
    if (m_pAcceptNotifier) {
        m_pAcceptNotifier->setEnabled(false);
        delete m_pAcceptNotifier;
        m_pAcceptNotifier = nullptr;
    }
    if (m_pAcceptRetry)
        m_pAcceptRetry->stop();
    if (m_nListenFd >= 0) {
        CSocketBinder::CloseFd(m_nListenFd);
        m_nListenFd = -1;
    }
    for (QTcpSocket* s : m_accepted) {
        s->abort();
        delete s;
    }
    m_accepted.clear();
    if (m_pUdp) {
        disconnect(m_pUdp, nullptr, this, nullptr);
        m_pUdp->abort();
    }
    m_pending.clear();
}

QTcpSocket* CServerLink::NextPendingConnection() {
    if (m_accepted.empty())
        return nullptr;
    QTcpSocket* s = m_accepted.front();
    m_accepted.pop_front();
    s->setParent(nullptr);
    return s;
}

void CServerLink::OnAccept() {
    CBusy busy(this);
    while (m_nListenFd >= 0) {
        int error = 0;
        const qintptr fd = CSocketBinder::Accept(m_nListenFd, error);
        if (fd < 0) {
            if (CSocketBinder::IsNothingWaiting(error))
                return;
            // Out of descriptors, say: tell, and listen again a moment
            // later rather than spin on a connection that cannot be taken.
            m_pAcceptNotifier->setEnabled(false);
            m_pAcceptRetry->start(kAcceptRetryMs);
            m_pOwner->OnAcceptFailed();
            return;
        }
        auto* socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(fd)) {
            delete socket;
            CSocketBinder::CloseFd(fd);
            m_pOwner->OnAcceptFailed();
            continue;
        }
        m_accepted.push_back(socket);
        m_pOwner->OnServerAccept();
    }
}

void CServerLink::SetUdpTarget(const QString& host, int port) {
    m_nTargetPort = port >= 0 && port <= 65535 ? port : -1;
    m_bLookupFailed = false;
    if (m_target.setAddress(host))
        return;
    m_target.clear();
    if (CLinkValueCheck::IsReservedInvalid(host.toStdString())) {
        // As a resolver's answer would: after the open has returned.
        m_nLookupId = -2;
        QTimer::singleShot(0, this, [this] {
            m_strLookupError = QStringLiteral("Host not found");
            OnLookup(-2, QHostAddress());
        });
        return;
    }
    m_nLookupId = QHostInfo::lookupHost(host, this, [this](const QHostInfo& info) {
        m_strLookupError = info.errorString();
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
    CBusy busy(this);
    if (id != m_nLookupId)
        return;
    m_nLookupId = -1;
    m_target = address;
    m_bLookupFailed = address.isNull();
    std::deque<std::string> pending;
    pending.swap(m_pending);
    if (m_bLookupFailed) {
        if (m_strLookupError.isEmpty())
            m_strLookupError = QStringLiteral("Host not found");
        m_pOwner->OnUdpTargetNotFound();
        return; // nowhere to send them
    }
    for (const std::string& d : pending)
        SendDatagram(reinterpret_cast<const std::uint8_t*>(d.data()), static_cast<int>(d.size()));
}

bool CServerLink::SendDatagram(const std::uint8_t* bytes, int count) {
    if (!m_pUdp || count < 0 || m_nTargetPort < 0 || m_bLookupFailed)
        return false;
    if (m_target.isNull()) {
        if (m_nLookupId == -1 || m_pending.size() >= kMaxPendingDatagrams)
            return false;
        m_pending.emplace_back(reinterpret_cast<const char*>(bytes), count);
        return true;
    }
    return m_pUdp->writeDatagram(reinterpret_cast<const char*>(bytes), count, m_target,
                                 static_cast<quint16>(m_nTargetPort)) == count;
}

void CServerLink::OnDatagrams() {
    CBusy busy(this);
    // One block per datagram, whole, whatever its size: cutting it would
    // lose bytes that crossed the link.
    std::vector<char> buffer(kMaxDatagramBytes);
    while (m_pUdp && m_pUdp->isOpen() && m_pUdp->hasPendingDatagrams()) {
        const qint64 n = m_pUdp->readDatagram(buffer.data(), kMaxDatagramBytes);
        if (n < 0)
            continue;
        m_pOwner->OnSocketData(reinterpret_cast<const std::uint8_t*>(buffer.data()),
                               static_cast<int>(n));
    }
}
