#pragma once

#include "tools/CIpCheckerText.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// Where the IP checker learns who and where this computer is. The program
// asks the system; tests give a fake.
class IIpSource {
public:
    using Neighbours = std::vector<CIpCheckerText::SNeighbour>;
    using NeighboursFn = std::function<void(const Neighbours&)>;

    virtual ~IIpSource() = default;
    // Empty when it cannot be had.
    virtual QString UserName() = 0;
    virtual QString HostName() = 0;
    // The computer's IPv4 addresses, dotted.
    virtual QStringList OwnAddresses() = 0;
    // Starts a look for the network neighbourhood; done is called once, on
    // the UI thread, with what was found (none where there is no
    // discovery), within the source's deadline. A new look cancels an
    // unfinished one, whose done is never called.
    virtual void FindNeighbours(NeighboursFn done) = 0;
};
