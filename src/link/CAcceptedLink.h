#pragma once

#include "link/CLinkEndpoint.h"

#include <cstdint>

class CLinkManager;
class QTcpSocket;

// One client connection a TCP or IPX/SPX server accepted.
class CAcceptedLink : public CLinkEndpoint {
    Q_OBJECT
public:
    static constexpr int kBlockBytes = 16384;
    static constexpr qint64 kMaxQueuedBytes = 1024 * 1024;

    CAcceptedLink(CLinkManager* owner, QTcpSocket* socket);
    ~CAcceptedLink() override;

    void Send(const std::uint8_t* bytes, int count);
    void Close();
    QTcpSocket* GetSocket() const { return m_pSocket; }

private:
    void OnData();
    void OnClosed();

    CLinkManager* m_pOwner;
    QTcpSocket* m_pSocket;
    bool m_bOpen = true;
};
