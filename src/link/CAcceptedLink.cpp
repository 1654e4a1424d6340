#include "link/CAcceptedLink.h"

#include "link/CLinkManager.h"

#include <QTcpSocket>

CAcceptedLink::CAcceptedLink(CLinkManager* owner, QTcpSocket* socket)
    : m_pOwner(owner), m_pSocket(socket) {
    m_pSocket->setParent(this);
    connect(m_pSocket, &QTcpSocket::readyRead, this, &CAcceptedLink::OnData);
    connect(m_pSocket, &QTcpSocket::disconnected, this, &CAcceptedLink::OnClosed);
}

CAcceptedLink::~CAcceptedLink() {
    Close();
}

void CAcceptedLink::Send(const std::uint8_t* bytes, int count) {
    // A peer that stops reading does not make the queue grow without end:
    // past the limit a block is dropped, as a send that would block is.
    if (m_bOpen && count > 0 && m_pSocket->state() == QAbstractSocket::ConnectedState &&
        m_pSocket->bytesToWrite() < kMaxQueuedBytes)
        m_pSocket->write(reinterpret_cast<const char*>(bytes), count);
}

void CAcceptedLink::Close() {
    if (!m_bOpen)
        return;
    m_bOpen = false;
    disconnect(m_pSocket, nullptr, this, nullptr);
    m_pSocket->abort();
}

void CAcceptedLink::OnData() {
    CBusy busy(this);
    std::uint8_t buffer[kBlockBytes];
    while (m_bOpen && m_pSocket->bytesAvailable() > 0) {
        const qint64 n = m_pSocket->read(reinterpret_cast<char*>(buffer), kBlockBytes);
        if (n <= 0)
            break;
        m_pOwner->OnSocketData(buffer, static_cast<int>(n));
    }
}

void CAcceptedLink::OnClosed() {
    CBusy busy(this);
    OnData(); // what arrived before the close still goes up
    if (m_bOpen)
        m_pOwner->OnConnectionClosed(this);
}
