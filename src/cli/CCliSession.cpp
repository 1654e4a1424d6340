#include "cli/CCliSession.h"

#include "cli/CCliLinkOptions.h"

#include <QElapsedTimer>

#include <csignal>
#include <ostream>

namespace {

volatile std::sig_atomic_t g_bInterrupted = 0;

extern "C" void OnStopSignal(int) {
    g_bInterrupted = 1;
}

void SetStopSignals(bool catching) {
    const auto handler = catching ? &OnStopSignal : SIG_DFL;
    std::signal(SIGINT, handler);
    std::signal(SIGTERM, handler);
#ifndef _WIN32
    std::signal(SIGHUP, handler);
    std::signal(SIGPIPE, catching ? SIG_IGN : SIG_DFL);
#endif
}

} // namespace

std::unique_ptr<QCoreApplication> CCliSession::MakeApp() {
    // Qt's own event dispatcher: the GLib one wakes itself through an eventfd
    // each time the serial port's write notifier goes on or off, twice per
    // request, which about halves the polling rate on a fast peer.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    static int argc = 1;
    static char name[] = "quillet-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QCoreApplication>(argc, argv);
}

CCliSession::CCliSession(const CCliLinkOptions& link, std::ostream& err, CLinkHub::ClockFn clock)
    : m_err(err), m_pApp(MakeApp()), m_ports(&m_store),
      m_hub(
          m_doc, nullptr, [&err](const std::string& text) { err << text << std::endl; },
          std::move(clock)),
      m_manager(&m_hub, &m_ports) {
    // COMn means the same device here as in the window program.
    for (const auto& [n, device] : link.m_comDevices)
        m_ports.SetOverride(n, QString::fromStdString(device));
    m_hub.SetLinkControl(&m_manager);
    g_bInterrupted = 0;
    SetStopSignals(true);
}

CCliSession::~CCliSession() {
    m_stopCheck.stop();
    m_hub.SetActiveScreen(nullptr);
    m_manager.CloseLink();
    SetStopSignals(false);
}

bool CCliSession::Interrupted() {
    return g_bInterrupted != 0;
}

bool CCliSession::OpenLink(const CCliLinkOptions& link, bool wait) {
    m_hub.SetupLink(link.m_nKind, &link.m_settings);
    if (wait) {
        QElapsedTimer waited;
        waited.start();
        // A client link is "up" as soon as its connect starts but carries
        // nothing before it finishes; a server carries nothing before a
        // client comes. The stop check's timer wakes this at least every
        // 50 ms.
        if (!m_stopCheck.isActive())
            m_stopCheck.start(kSignalCheckMs);
        while (m_hub.IsLinkUp() && !m_manager.IsReady() && !g_bInterrupted &&
               waited.elapsed() < kReadyWaitMs)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (!m_hub.IsLinkUp() && m_hub.GetLinkFailure().empty() && !m_hub.GetLinkStatus().empty())
        m_err << m_hub.GetLinkStatus() << std::endl;
    return m_hub.IsLinkUp();
}

void CCliSession::QuitOnStop(std::function<bool()> linkLost) {
    m_fnLinkLost = std::move(linkLost);
    QObject::disconnect(&m_stopCheck, nullptr, nullptr, nullptr);
    QObject::connect(&m_stopCheck, &QTimer::timeout, [this] {
        if (g_bInterrupted) {
            QCoreApplication::quit();
        } else if (m_fnLinkLost && m_fnLinkLost()) {
            m_bLinkLost = true;
            QCoreApplication::quit();
        }
    });
    if (!m_stopCheck.isActive())
        m_stopCheck.start(kSignalCheckMs);
}
