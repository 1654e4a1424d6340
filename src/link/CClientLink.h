#pragma once

#include "link/CStreamEndpoint.h"

#include <QString>

#include <cstdint>

class CLinkManager;
class QTcpSocket;

// The connecting socket of a TCP or IPX/SPX client.
class CClientLink : public CStreamEndpoint {
    Q_OBJECT
public:
    explicit CClientLink(CLinkManager* owner);

    // Starts the connect; the outcome arrives through the manager.
    void ConnectTo(const QString& host, quint16 port);
    bool Send(const std::uint8_t* bytes, int count);
    bool IsConnected() const { return m_bConnected; }
    // The connect finished without a connection.
    bool HasFailed() const { return m_bResultGiven && !m_bConnected; }
    // Why the connect failed or the connection ended, in the system's words.
    QString GetReason() const { return m_strReason; }

private:
    void OnConnected();
    void OnError();
    void OnData();
    void OnClosed();
    void OnNotFound(const QString& reason);

    CLinkManager* m_pOwner;
    bool m_bConnected = false;
    bool m_bResultGiven = false;
    QString m_strReason;
};
