#pragma once

#include "DrovaneExport.h"
#include "NetResource.h"

#include <QString>

#include <memory>

// The platform's two connection calls. Both return 0 or a Windows system
// error code, whatever the platform underneath, so the callers' code tables
// hold everywhere.
class DROVANE_EXPORT IConnector {
public:
    // Flag of the second call: remember the mapping for the next log-on.
    static constexpr unsigned CONNECT_UPDATE_PROFILE = 1;

    virtual ~IConnector() = default;
    virtual int AddConnection(const QString& strRemote, const QString& strPassword,
                              const QString& strLocal) = 0;
    virtual int AddConnection2(const NetResource& resource, const QString& strPassword,
                               const QString& strUser, unsigned nFlags) = 0;
};

// The connector of the platform the library was built for: the mpr.dll calls
// on Windows, CIFS mounts elsewhere.
DROVANE_EXPORT std::unique_ptr<IConnector> CreatePlatformConnector();
