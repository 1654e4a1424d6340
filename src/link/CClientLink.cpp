#include "link/CClientLink.h"

#include "link/CLinkManager.h"
#include "link/CLinkValueCheck.h"

#include <QTcpSocket>
#include <QTimer>

CClientLink::CClientLink(CLinkManager* owner) : CStreamEndpoint(new QTcpSocket), m_pOwner(owner) {
    connect(m_pSocket, &QTcpSocket::connected, this, &CClientLink::OnConnected);
    connect(m_pSocket, &QTcpSocket::errorOccurred, this, &CClientLink::OnError);
    connect(m_pSocket, &QTcpSocket::readyRead, this, &CClientLink::OnData);
    connect(m_pSocket, &QTcpSocket::disconnected, this, &CClientLink::OnClosed);
}

void CClientLink::ConnectTo(const QString& host, quint16 port) {
    if (CLinkValueCheck::IsReservedInvalid(host.toStdString())) {
        // As a resolver's answer would: after the open has returned.
        QTimer::singleShot(0, this, [this] { OnNotFound(QStringLiteral("Host not found")); });
        return;
    }
    m_pSocket->connectToHost(host, port);
}

bool CClientLink::Send(const std::uint8_t* bytes, int count) {
    // Nothing is kept for later: a request sent before the connect finished
    // would reach the device stale.
    return m_bConnected && WriteBlock(bytes, count);
}

void CClientLink::OnConnected() {
    CBusy busy(this);
    m_bConnected = true;
    m_bResultGiven = true;
    m_pOwner->OnClientConnected(true);
}

void CClientLink::OnNotFound(const QString& reason) {
    CBusy busy(this);
    if (!IsOpen() || m_bResultGiven)
        return;
    m_bResultGiven = true;
    m_strReason = reason;
    m_pOwner->OnClientHostNotFound();
}

void CClientLink::OnError() {
    CBusy busy(this);
    m_strReason = m_pSocket->errorString();
    if (!IsOpen() || m_bResultGiven)
        return; // a connected socket reports its end through disconnected
    if (m_pSocket->error() == QAbstractSocket::HostNotFoundError) {
        OnNotFound(m_strReason);
        return;
    }
    m_bResultGiven = true;
    m_pOwner->OnClientConnected(false);
}

void CClientLink::OnData() {
    CBusy busy(this);
    ReadBlocks(
        [this](const std::uint8_t* bytes, int count) { m_pOwner->OnClientData(bytes, count); });
}

void CClientLink::OnClosed() {
    CBusy busy(this);
    OnData();
    if (!IsOpen() || !m_bConnected)
        return;
    // A close without an error first is the peer's orderly one.
    if (m_pSocket->error() == QAbstractSocket::UnknownSocketError || m_strReason.isEmpty())
        m_strReason = QStringLiteral("The remote host closed the connection");
    m_pOwner->OnClientClosed();
}
