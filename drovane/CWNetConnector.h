#pragma once

#include "IConnector.h"

// The Windows back end: the two calls of mpr.dll, as they are.
class DROVANE_EXPORT CWNetConnector : public IConnector {
public:
    int AddConnection(const QString& strRemote, const QString& strPassword,
                      const QString& strLocal) override;
    int AddConnection2(const NetResource& resource, const QString& strPassword,
                       const QString& strUser, unsigned nFlags) override;
};
