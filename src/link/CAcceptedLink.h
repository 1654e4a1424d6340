#pragma once

#include "link/CStreamEndpoint.h"

#include <cstdint>

class CLinkManager;
class QTcpSocket;

// One client connection a TCP or IPX/SPX server accepted.
class CAcceptedLink : public CStreamEndpoint {
    Q_OBJECT
public:
    CAcceptedLink(CLinkManager* owner, QTcpSocket* socket);

    void Send(const std::uint8_t* bytes, int count) { WriteBlock(bytes, count); }

private:
    void OnData();
    void OnClosed();

    CLinkManager* m_pOwner;
};
