#include "link/CStreamEndpoint.h"

#include <QTcpSocket>

CStreamEndpoint::CStreamEndpoint(QTcpSocket* socket) : m_pSocket(socket) {
    m_pSocket->setParent(this);
}

CStreamEndpoint::~CStreamEndpoint() {
    Close();
}

void CStreamEndpoint::Close() {
    if (!m_bOpen)
        return;
    m_bOpen = false;
    disconnect(m_pSocket, nullptr, this, nullptr);
    m_pSocket->abort();
}

bool CStreamEndpoint::WriteBlock(const std::uint8_t* bytes, int count) {
    if (!m_bOpen || m_pSocket->state() != QAbstractSocket::ConnectedState ||
        m_pSocket->bytesToWrite() >= kMaxQueuedBytes)
        return false;
    return count <= 0 || m_pSocket->write(reinterpret_cast<const char*>(bytes), count) == count;
}

void CStreamEndpoint::ReadBlocks(const std::function<void(const std::uint8_t*, int)>& deliver) {
    std::uint8_t buffer[kBlockBytes];
    while (m_bOpen && m_pSocket->bytesAvailable() > 0) {
        const qint64 n = m_pSocket->read(reinterpret_cast<char*>(buffer), kBlockBytes);
        if (n <= 0)
            break;
        deliver(buffer, static_cast<int>(n));
    }
}
