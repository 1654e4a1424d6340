#include "link/CAcceptedLink.h"

#include "link/CLinkManager.h"

#include <QTcpSocket>

CAcceptedLink::CAcceptedLink(CLinkManager* owner, QTcpSocket* socket)
    : CStreamEndpoint(socket), m_pOwner(owner) {
    connect(m_pSocket, &QTcpSocket::readyRead, this, &CAcceptedLink::OnData);
    connect(m_pSocket, &QTcpSocket::disconnected, this, &CAcceptedLink::OnClosed);
}

void CAcceptedLink::OnData() {
    CBusy busy(this);
    ReadBlocks(
        [this](const std::uint8_t* bytes, int count) { m_pOwner->OnSocketData(bytes, count); });
}

void CAcceptedLink::OnClosed() {
    CBusy busy(this);
    OnData(); // what arrived before the close still goes up
    if (IsOpen())
        m_pOwner->OnConnectionClosed(this);
}
