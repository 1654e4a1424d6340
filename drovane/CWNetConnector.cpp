#include "CWNetConnector.h"

#include <memory>
#include <windows.h>
#include <winnetwk.h>

namespace {
// Null for a null string, as the calls expect for "none".
const char* Ansi(const QByteArray& bytes, const QString& str) {
    return str.isNull() ? nullptr : bytes.constData();
}
} // namespace

int CWNetConnector::AddConnection(const QString& strRemote, const QString& strPassword,
                                  const QString& strLocal) {
    const QByteArray remote = strRemote.toLocal8Bit();
    const QByteArray password = strPassword.toLocal8Bit();
    const QByteArray local = strLocal.toLocal8Bit();
    return static_cast<int>(
        WNetAddConnectionA(remote.constData(), password.constData(), local.constData()));
}

int CWNetConnector::AddConnection2(const NetResource& resource, const QString& strPassword,
                                   const QString& strUser, unsigned nFlags) {
    QByteArray local = resource.m_strLocalName.toLocal8Bit();
    QByteArray remote = resource.m_strRemoteName.toLocal8Bit();
    QByteArray comment = resource.m_strComment.toLocal8Bit();
    QByteArray provider = resource.m_strProvider.toLocal8Bit();
    NETRESOURCEA net{};
    net.dwScope = static_cast<DWORD>(resource.m_nScope);
    net.dwType = static_cast<DWORD>(resource.m_nType);
    net.dwDisplayType = static_cast<DWORD>(resource.m_nDisplayType);
    net.dwUsage = static_cast<DWORD>(resource.m_nUsage);
    net.lpLocalName = const_cast<char*>(Ansi(local, resource.m_strLocalName));
    net.lpRemoteName = const_cast<char*>(Ansi(remote, resource.m_strRemoteName));
    net.lpComment = const_cast<char*>(Ansi(comment, resource.m_strComment));
    net.lpProvider = const_cast<char*>(Ansi(provider, resource.m_strProvider));
    const QByteArray password = strPassword.toLocal8Bit();
    const QByteArray user = strUser.toLocal8Bit();
    return static_cast<int>(
        WNetAddConnection2A(&net, password.constData(), user.constData(), nFlags));
}

std::unique_ptr<IConnector> CreatePlatformConnector() {
    return std::make_unique<CWNetConnector>();
}
