#pragma once

#include "link/CLinkEndpoint.h"

#include <QHostAddress>
#include <QString>

#include <cstdint>
#include <deque>
#include <string>

class CLinkManager;
class QSocketNotifier;
class QTcpSocket;
class QTimer;
class QUdpSocket;

// The listening socket of a TCP or IPX/SPX server, or the datagram socket
// of a UDP link.
class CServerLink : public CLinkEndpoint {
    Q_OBJECT
public:
    static constexpr int kBlockBytes = 16384;
    // The largest datagram IPv4 or IPv6 can carry without jumbograms.
    static constexpr int kMaxDatagramBytes = 65535;
    static constexpr int kMaxPendingDatagrams = 256;
    static constexpr int kAcceptRetryMs = 1000;

    explicit CServerLink(CLinkManager* owner);
    ~CServerLink() override;

    // Take over a bound, listening, non-blocking stream descriptor, or a
    // bound datagram one; false (the descriptor closed) when it cannot be
    // taken.
    bool Listen(qintptr fd);
    bool BindUdp(qintptr fd);
    void Close();

    // The connections accepted and not yet taken, oldest first.
    QTcpSocket* NextPendingConnection();

    // Where datagrams go. A host name is looked up without blocking;
    // datagrams sent meanwhile wait (up to 256) and go once it is known.
    void SetUdpTarget(const QString& host, int port);
    // False when the datagram cannot go (no target, a failed look-up, a
    // full queue while the look-up runs, a refused write).
    bool SendDatagram(const std::uint8_t* bytes, int count);
    // The target's address is known: a datagram goes out at once.
    bool HasTarget() const { return m_pUdp && !m_target.isNull() && m_nTargetPort >= 0; }
    QString GetTargetFailure() const { return m_strLookupError; }

private:
    void OnAccept();
    void OnDatagrams();
    void OnLookup(int id, const QHostAddress& address);

    CLinkManager* m_pOwner;
    // The accept is ours, not QTcpServer's, so a failure carries its real
    // cause and the listener can take up accepting again afterwards.
    qintptr m_nListenFd = -1;
    QSocketNotifier* m_pAcceptNotifier = nullptr;
    QTimer* m_pAcceptRetry = nullptr;
    std::deque<QTcpSocket*> m_accepted;
    QUdpSocket* m_pUdp = nullptr;
    QHostAddress m_target;
    int m_nTargetPort = -1;
    int m_nLookupId = -1;
    bool m_bLookupFailed = false;
    QString m_strLookupError;
    std::deque<std::string> m_pending;
};
