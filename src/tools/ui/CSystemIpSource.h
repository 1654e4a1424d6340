#pragma once

#include "tools/ui/IIpSource.h"

#include <QObject>
#include <QTimer>

class QProcess;

// The system's answers: the logged-on user, the host name, the IPv4
// addresses of the network interfaces, and the neighbourhood as the hosts
// DNS-SD/mDNS announces through Avahi ("avahi-browse -atrp", package
// avahi-utils). The browse runs as a child process and is ended at the
// deadline, keeping what it had printed; without Avahi the neighbourhood is
// empty. Nothing here waits on the UI thread.
class CSystemIpSource : public QObject, public IIpSource {
    Q_OBJECT
public:
    static constexpr int kDeadlineMs = 2000;

    explicit CSystemIpSource(QObject* parent = nullptr);
    ~CSystemIpSource() override;

    QString UserName() override;
    QString HostName() override;
    QStringList OwnAddresses() override;
    void FindNeighbours(NeighboursFn done) override;

private:
    void Finish();
    void Cancel();

    QProcess* m_pBrowse = nullptr;
    QTimer m_deadline;
    NeighboursFn m_fnDone;
};
