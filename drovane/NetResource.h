#pragma once

#include <QString>

// The network resource the second connection call takes, laid out like the
// platform's NETRESOURCE. A null QString stands for a null pointer.
struct NetResource {
    static constexpr int RESOURCE_GLOBALNET = 2;
    static constexpr int RESOURCETYPE_ANY = 0;
    static constexpr int RESOURCEDISPLAYTYPE_SHARE = 3;

    int m_nScope = RESOURCE_GLOBALNET;
    int m_nType = RESOURCETYPE_ANY;
    int m_nDisplayType = RESOURCEDISPLAYTYPE_SHARE;
    int m_nUsage = 0;
    QString m_strLocalName;
    QString m_strRemoteName;
    QString m_strComment;
    QString m_strProvider;
};
