#include "CWNetConnector.h"

#include "CWNetCalls.h"

#include <memory>
#include <optional>
#include <string>

namespace {

std::string Utf8(const QString& str) {
    return str.toStdString();
}

// Nothing for a null string, as the calls expect for "none".
std::optional<std::string> OrNull(const QString& str) {
    if (str.isNull())
        return std::nullopt;
    return str.toStdString();
}

} // namespace

int CWNetConnector::AddConnection(const QString& strRemote, const QString& strPassword,
                                  const QString& strLocal) {
    return CWNetCalls().AddConnection(Utf8(strRemote), Utf8(strPassword), Utf8(strLocal));
}

int CWNetConnector::AddConnection2(const NetResource& resource, const QString& strPassword,
                                   const QString& strUser, unsigned nFlags) {
    WNetResource net;
    net.m_nScope = resource.m_nScope;
    net.m_nType = resource.m_nType;
    net.m_nDisplayType = resource.m_nDisplayType;
    net.m_nUsage = resource.m_nUsage;
    net.m_strLocalName = OrNull(resource.m_strLocalName);
    net.m_strRemoteName = OrNull(resource.m_strRemoteName);
    net.m_strComment = OrNull(resource.m_strComment);
    net.m_strProvider = OrNull(resource.m_strProvider);
    return CWNetCalls().AddConnection2(net, Utf8(strPassword), Utf8(strUser), nFlags);
}

std::unique_ptr<IConnector> CreatePlatformConnector() {
    return std::make_unique<CWNetConnector>();
}
