#pragma once

#include "link/CLinkEndpoint.h"

#include <QString>

#include <cstdint>

class CLinkManager;
class QTcpSocket;

// The connecting socket of a TCP or IPX/SPX client.
class CClientLink : public CLinkEndpoint {
    Q_OBJECT
public:
    static constexpr int kBlockBytes = 16384;
    static constexpr qint64 kMaxQueuedBytes = 1024 * 1024;

    explicit CClientLink(CLinkManager* owner);
    ~CClientLink() override;

    // Starts the connect; the outcome arrives through the manager.
    void ConnectTo(const QString& host, quint16 port);
    void Send(const std::uint8_t* bytes, int count);
    void Close();
    bool IsConnected() const { return m_bConnected; }

private:
    void OnConnected();
    void OnError();
    void OnData();
    void OnClosed();

    CLinkManager* m_pOwner;
    QTcpSocket* m_pSocket;
    bool m_bOpen = true;
    bool m_bConnected = false;
    bool m_bResultGiven = false;
};
