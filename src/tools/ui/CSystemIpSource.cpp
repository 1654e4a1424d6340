#include "tools/ui/CSystemIpSource.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QProcess>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

CSystemIpSource::CSystemIpSource(QObject* parent) : QObject(parent) {
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &CSystemIpSource::Finish);
}

CSystemIpSource::~CSystemIpSource() {
    Cancel();
}

QString CSystemIpSource::UserName() {
#ifndef _WIN32
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
#else
    return qEnvironmentVariable("USERNAME");
#endif
}

QString CSystemIpSource::HostName() {
    // gethostname: no look-up, so it cannot hang.
    return QHostInfo::localHostName();
}

QStringList CSystemIpSource::OwnAddresses() {
    // The interfaces' own addresses, not a name look-up that may wait on a
    // resolver; the loopback last, as it tells a peer nothing.
    QStringList addresses;
    QStringList loopback;
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        if (address.protocol() != QAbstractSocket::IPv4Protocol)
            continue;
        (address.isLoopback() ? loopback : addresses).append(address.toString());
    }
    return addresses + loopback;
}

void CSystemIpSource::FindNeighbours(NeighboursFn done) {
    Cancel();
    m_fnDone = std::move(done);
    m_pBrowse = new QProcess(this);
    m_pBrowse->setProcessChannelMode(QProcess::SeparateChannels);
    m_pBrowse->setStandardInputFile(QProcess::nullDevice());
    m_pBrowse->setStandardErrorFile(QProcess::nullDevice());
    connect(m_pBrowse, &QProcess::finished, this, &CSystemIpSource::Finish);
    connect(m_pBrowse, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            Finish();
    });
    m_deadline.start(kDeadlineMs);
    m_pBrowse->start(QStringLiteral("avahi-browse"), {QStringLiteral("-a"), QStringLiteral("-t"),
                                                      QStringLiteral("-r"), QStringLiteral("-p")});
}

void CSystemIpSource::Finish() {
    if (!m_pBrowse)
        return;
    m_deadline.stop();
    QProcess* browse = m_pBrowse;
    m_pBrowse = nullptr;
    const QByteArray output = browse->readAllStandardOutput();
    browse->disconnect(this);
    if (browse->state() != QProcess::NotRunning) {
        browse->kill();
        browse->waitForFinished(200);
    }
    browse->deleteLater();
    NeighboursFn done = std::move(m_fnDone);
    m_fnDone = {};
    if (done)
        done(CIpCheckerText::ParseAvahiBrowse(
            std::string_view(output.constData(), static_cast<std::size_t>(output.size()))));
}

void CSystemIpSource::Cancel() {
    m_deadline.stop();
    m_fnDone = {};
    if (!m_pBrowse)
        return;
    QProcess* browse = m_pBrowse;
    m_pBrowse = nullptr;
    browse->disconnect(this);
    if (browse->state() != QProcess::NotRunning) {
        browse->kill();
        browse->waitForFinished(200);
    }
    delete browse;
}
