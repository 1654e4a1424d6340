#pragma once

#include "app/CLinkHub.h"
#include "app/CQSettingsStore.h"
#include "app/CTessaryDoc.h"
#include "link/CComPortMap.h"
#include "link/CLinkManager.h"

#include <QCoreApplication>
#include <QTimer>

#include <functional>
#include <iosfwd>
#include <memory>

class CCliLinkOptions;

// What every link command sets up alike: Qt's core application, the COMn
// device names of the settings store with the command's --com overrides,
// the hub with its link manager, and the stop signals (Ctrl+C, SIGTERM and
// a closed terminal end the run; a reader of the output that goes away does
// not, its writes fail instead). The hub outlives the manager, whose last
// close still reports to it.
class CCliSession {
public:
    // A client's connect, a server's first client.
    static constexpr int kReadyWaitMs = 5000;
    static constexpr int kSignalCheckMs = 50;

    CCliSession(const CCliLinkOptions& link, std::ostream& err, CLinkHub::ClockFn clock = {});
    ~CCliSession();
    CCliSession(const CCliSession&) = delete;
    CCliSession& operator=(const CCliSession&) = delete;

    QCoreApplication& App() { return *m_pApp; }
    CLinkHub& Hub() { return m_hub; }
    CLinkManager& Manager() { return m_manager; }
    CTessaryDoc& Doc() { return m_doc; }

    // A stop signal came.
    static bool Interrupted();

    // Opens the link as "통신 설정" does; with wait, lets the event loop run
    // until the link can carry bytes (at most kReadyWaitMs, or a stop
    // signal). When the link is not up and has not said why itself, its
    // status text goes to err. True when the link is up.
    bool OpenLink(const CCliLinkOptions& link, bool wait = true);

    // From now on the event loop ends on a stop signal, or once linkLost()
    // says the link has gone (LinkLost() then tells).
    void QuitOnStop(std::function<bool()> linkLost);
    bool LinkLost() const { return m_bLinkLost; }

private:
    static std::unique_ptr<QCoreApplication> MakeApp();

    std::ostream& m_err;
    std::unique_ptr<QCoreApplication> m_pApp;
    CQSettingsStore m_store;
    CComPortMap m_ports;
    CTessaryDoc m_doc;
    CLinkHub m_hub;
    CLinkManager m_manager;
    QTimer m_stopCheck;
    std::function<bool()> m_fnLinkLost;
    bool m_bLinkLost = false;
};
