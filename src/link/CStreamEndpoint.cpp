#include "link/CStreamEndpoint.h"

#include <QTcpSocket>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <cerrno>
#include <sys/socket.h>
#endif

namespace {

// Sends what the socket takes now without blocking: the count, 0 when it
// takes nothing now, -1 on any error (left for Qt's own write to meet and
// report from the event loop, as before).
qint64 SendNow(qintptr descriptor, const std::uint8_t* bytes, int count) {
#ifdef _WIN32
    const int n =
        ::send(static_cast<SOCKET>(descriptor), reinterpret_cast<const char*>(bytes), count, 0);
    if (n == SOCKET_ERROR)
        return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
    return n;
#else
    for (;;) {
        const ssize_t n = ::send(static_cast<int>(descriptor), bytes,
                                 static_cast<std::size_t>(count), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
#endif
}

} // namespace

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
    if (count <= 0)
        return true;
    // With nothing queued the block goes to the socket at once: Qt's own
    // write waits for the next event-loop pass, one more poll per block in
    // a stop-and-wait exchange. What the socket does not take now is queued
    // behind it, so the block still goes out whole and in order.
    if (m_pSocket->bytesToWrite() == 0) {
        const qint64 sent = SendNow(m_pSocket->socketDescriptor(), bytes, count);
        if (sent == count)
            return true;
        if (sent > 0) {
            bytes += sent;
            count -= static_cast<int>(sent);
        }
    }
    return m_pSocket->write(reinterpret_cast<const char*>(bytes), count) == count;
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
