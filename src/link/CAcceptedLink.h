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

    bool Send(const std::uint8_t* bytes, int count) { return WriteBlock(bytes, count); }

private:
    void OnData();
    void OnClosed();

    CLinkManager* m_pOwner;
};
