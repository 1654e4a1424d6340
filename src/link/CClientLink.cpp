#include "link/CClientLink.h"

#include "link/CLinkManager.h"

#include <QTcpSocket>

CClientLink::CClientLink(CLinkManager* owner) : m_pOwner(owner), m_pSocket(new QTcpSocket(this)) {
    connect(m_pSocket, &QTcpSocket::connected, this, &CClientLink::OnConnected);
    connect(m_pSocket, &QTcpSocket::errorOccurred, this, &CClientLink::OnError);
    connect(m_pSocket, &QTcpSocket::readyRead, this, &CClientLink::OnData);
    connect(m_pSocket, &QTcpSocket::disconnected, this, &CClientLink::OnClosed);
}

CClientLink::~CClientLink() {
    Close();
}

void CClientLink::ConnectTo(const QString& host, quint16 port) {
    m_pSocket->connectToHost(host, port);
}

void CClientLink::Send(const std::uint8_t* bytes, int count) {
    // Nothing is kept for later: a request sent before the connect finished
    // would reach the device stale. Past the queue limit a block is dropped,
    // as a send that would block is.
    if (m_bOpen && count > 0 && m_bConnected &&
        m_pSocket->state() == QAbstractSocket::ConnectedState &&
        m_pSocket->bytesToWrite() < kMaxQueuedBytes)
        m_pSocket->write(reinterpret_cast<const char*>(bytes), count);
}

void CClientLink::Close() {
    if (!m_bOpen)
        return;
    m_bOpen = false;
    disconnect(m_pSocket, nullptr, this, nullptr);
    m_pSocket->abort();
}

void CClientLink::OnConnected() {
    CBusy busy(this);
    m_bConnected = true;
    m_bResultGiven = true;
    m_pOwner->OnClientConnected(true);
}

void CClientLink::OnError() {
    CBusy busy(this);
    if (!m_bOpen || m_bResultGiven)
        return; // a connected socket reports its end through disconnected
    m_bResultGiven = true;
    if (m_pSocket->error() == QAbstractSocket::HostNotFoundError)
        m_pOwner->OnClientHostNotFound();
    else
        m_pOwner->OnClientConnected(false);
}

void CClientLink::OnData() {
    CBusy busy(this);
    std::uint8_t buffer[kBlockBytes];
    while (m_bOpen && m_pSocket->bytesAvailable() > 0) {
        const qint64 n = m_pSocket->read(reinterpret_cast<char*>(buffer), kBlockBytes);
        if (n <= 0)
            break;
        m_pOwner->OnClientData(buffer, static_cast<int>(n));
    }
}

void CClientLink::OnClosed() {
    CBusy busy(this);
    OnData();
    if (m_bOpen && m_bConnected)
        m_pOwner->OnClientClosed();
}
