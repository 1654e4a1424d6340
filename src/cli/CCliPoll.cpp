#include "cli/CCliPoll.h"

#include "app/CLinkHub.h"
#include "app/CProgramSettings.h"
#include "app/CQSettingsStore.h"
#include "app/CTessaryDoc.h"
#include "cli/CCliLinkOptions.h"
#include "cli/CCliUsage.h"
#include "link/CComPortMap.h"
#include "link/CLinkManager.h"
#include "link/LinkType.h"
#include "plc/CPlcEngine.h"
#include "plc/CPlcSettingsFile.h"
#include "plc/MemoryTable.h"
#include "plc/codecs/CAbEngine.h"
#include "plc/codecs/CMasterKEngine.h"
#include "plc/codecs/CMelsecEngine.h"
#include "plc/codecs/CPosfaEngine.h"
#include "plc/codecs/CSimensEngine.h"
#include "plc/codecs/CYaskawaEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace {

constexpr int kMaxSeconds = 2000000; // as capture: a timer takes about 24 days at most
constexpr int kMaxCycles = 1000000000;
// A client link is "up" as soon as its connect starts, but carries nothing
// before the connect finishes; a server carries nothing before a client
// comes. The first request would be lost and the row would only end by the
// time-out, so polling waits this long for the link to be ready.
constexpr int kReadyWaitMs = 5000;
constexpr int kSignalCheckMs = 50;

volatile std::sig_atomic_t g_bInterrupted = 0;

extern "C" void OnPollInterrupt(int) {
    g_bInterrupted = 1;
}

int Usage(std::ostream& err, const std::string& problem) {
    err << "quillet-cli poll: " << problem << "\n\n" << CCliUsage::Text();
    return CCliUsage::kUsageError;
}

// I=V: a word index of the table and a 16-bit value, unsigned or negative.
bool ParseSet(const std::string& text, int& index, std::uint16_t& value) {
    const std::size_t eq = text.find('=');
    int v = 0;
    if (eq == std::string::npos || !CProgramSettings::ParseInt(text.substr(0, eq), index) ||
        !MemoryTable::Contains(index) || !CProgramSettings::ParseInt(text.substr(eq + 1), v) ||
        v < -32768 || v > 65535)
        return false;
    value = static_cast<std::uint16_t>(v);
    return true;
}

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

CPlcEngine* CreateYaskawa(ILinkHub& hub) {
    return new CYaskawaEngine(hub);
}

CPlcEngine* CreateAb(ILinkHub& hub) {
    return new CAbEngine(hub);
}

CPlcEngine* CreateSimens(ILinkHub& hub) {
    return new CSimensEngine(hub);
}

CPlcEngine* CreateMasterK(ILinkHub& hub) {
    return new CMasterKEngine(hub);
}

} // namespace

const std::vector<CCliPoll::SPlc>& CCliPoll::Plcs() {
    static const std::vector<SPlc> plcs = {
        {"yaskawa",
         CPlcSettingsFile::PLC_YASKAWA,
         &CreateYaskawa,
         {{"ascii", CYaskawaEngine::MEMOBUS_ASCII}, {"rtu", CYaskawaEngine::MEMOBUS_RTU}}},
        {"simens", CPlcSettingsFile::PLC_SIMENS, &CreateSimens, {}},
        {"ab", CPlcSettingsFile::PLC_AB, &CreateAb, {}},
        {"masterk", CPlcSettingsFile::PLC_MASTERK, &CreateMasterK, {}},
        {"posfa",
         CPlcSettingsFile::PLC_POSFA,
         [](ILinkHub& hub) -> CPlcEngine* { return new CPosfaEngine(hub); },
         {{"rs232c", CPosfaEngine::POSFA_RS232C}, {"lan", CPosfaEngine::POSFA_LAN}}},
        {"melsec",
         CPlcSettingsFile::PLC_MELSEC,
         [](ILinkHub& hub) -> CPlcEngine* { return new CMelsecEngine(hub); },
         {}},
    };
    return plcs;
}

CCliPoll::CCliPoll(CLinkHub& hub, long long nExchanges) : m_hub(hub), m_nBudget(nExchanges) {}

long long CCliPoll::Finished() const {
    return m_pEngine ? m_pEngine->GetReplyCount() + m_pEngine->GetBadReplyCount() +
                           m_pEngine->GetErrorReplyCount() + m_pEngine->GetTimeoutCount()
                     : 0;
}

void CCliPoll::SendToLink(const std::uint8_t* bytes, int count) {
    m_hub.SendToLink(bytes, count);
}

// Once the budget is spent the engine finds the link down, which is the one
// thing that makes it send nothing more (and count nothing more).
bool CCliPoll::IsLinkUp() const {
    return m_hub.IsLinkUp() && !IsDone();
}

int CCliPoll::GetLinkKind() const {
    return m_hub.GetLinkKind();
}

void CCliPoll::ShowMessage(const std::string& text) {
    m_hub.ShowMessage(text);
}

void CCliPoll::OnLinkData(const std::uint8_t* bytes, int count) {
    if (m_pEngine)
        m_pEngine->OnReceive(bytes, count);
    CheckDone();
}

void CCliPoll::CheckDone() {
    if (m_bQuitting || !IsDone())
        return;
    m_bQuitting = true;
    m_nDoneNs = NowNs();
    QCoreApplication::quit();
}

namespace {

// The PLCs poll can run, in the screens' order.
std::string Names() {
    std::string names;
    for (const CCliPoll::SPlc& p : CCliPoll::Plcs()) {
        if (p.m_pfnCreate)
            names += (names.empty() ? "" : ", ") + std::string(p.m_szName);
    }
    return names;
}

} // namespace

int CCliPoll::Run(const std::vector<std::string>& argsIn, std::ostream& out, std::ostream& err) {
    if (argsIn.empty() || argsIn[0].starts_with("--"))
        return Usage(err, "PLC is required (" + Names() + ")");
    const SPlc* plc = nullptr;
    for (const SPlc& p : Plcs()) {
        if (argsIn[0] == p.m_szName)
            plc = &p;
    }
    if (!plc)
        return Usage(err, "unknown PLC '" + argsIn[0] + "'");
    if (!plc->m_pfnCreate)
        return Usage(err, std::string(plc->m_szName) + " is not available yet");

    std::vector<std::string> args(argsIn.begin() + 1, argsIn.end());
    CCliLinkOptions link;
    std::string problem;
    if (!link.Parse(args, problem))
        return Usage(err, problem);

    std::string rowsPath;
    int mode = plc->m_modes.empty() ? 0 : plc->m_modes.front().m_nValue;
    int cycles = -1;
    int seconds = -1;
    MemoryTable memory;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool known =
            a == "--rows" || a == "--mode" || a == "--cycles" || a == "--seconds" || a == "--set";
        if (!known)
            return Usage(err, a.starts_with("--") ? "unknown option '" + a + "'"
                                                  : "unexpected argument '" + a + "'");
        if (i + 1 >= args.size())
            return Usage(err, a + " needs a value");
        const std::string& v = args[++i];
        if (a == "--rows") {
            rowsPath = v;
        } else if (a == "--mode") {
            bool found = false;
            std::string names;
            for (const SMode& m : plc->m_modes) {
                names += (names.empty() ? "" : ", ") + std::string(m.m_szName);
                if (v == m.m_szName) {
                    mode = m.m_nValue;
                    found = true;
                }
            }
            if (!found)
                return Usage(err, std::string(plc->m_szName) + " has no mode '" + v + "' (" +
                                      names + ")");
        } else if (a == "--cycles") {
            if (!CProgramSettings::ParseInt(v, cycles) || cycles < 1 || cycles > kMaxCycles)
                return Usage(err, "--cycles needs a number from 1 to " +
                                      std::to_string(kMaxCycles) + ", not '" + v + "'");
        } else if (a == "--seconds") {
            if (!CProgramSettings::ParseInt(v, seconds) || seconds < 1 || seconds > kMaxSeconds)
                return Usage(err, "--seconds needs a number of seconds from 1 to " +
                                      std::to_string(kMaxSeconds) + ", not '" + v + "'");
        } else if (a == "--set") {
            int index = 0;
            std::uint16_t value = 0;
            if (!ParseSet(v, index, value))
                return Usage(err, "--set needs I=V with I from 0 to 999 and V from -32768 to "
                                  "65535, not '" +
                                      v + "'");
            memory.Set(index, value);
        }
    }
    if (rowsPath.empty())
        return Usage(err, "--rows FILE.ini is required");
    if (cycles > 0 && seconds > 0)
        return Usage(err, "--cycles and --seconds cannot go together");
    if (seconds < 0 && cycles < 0)
        cycles = 1;

    // Qt's own event dispatcher: the GLib one wakes itself through an eventfd
    // each time the serial port's write notifier goes on or off, twice per
    // request, which about halves the polling rate on a fast peer.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    static int argc = 1;
    static char name[] = "quillet-cli";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    CQSettingsStore store;
    CComPortMap ports(&store);
    for (const auto& [n, device] : link.m_comDevices)
        ports.SetOverride(n, QString::fromStdString(device));

    // The hub outlives the manager, whose last close still reports to it.
    CTessaryDoc doc;
    CLinkHub hub(doc, nullptr, [&err](const std::string& text) { err << text << std::endl; });
    CLinkManager manager(&hub, &ports);
    hub.SetLinkControl(&manager);
    hub.SetCurrentScreen(plc->m_nScreen);

    CCliPoll poll(hub, 0);
    std::unique_ptr<CPlcEngine> engine(plc->m_pfnCreate(poll));
    // The rows come from the named file, not the screen's file in the
    // current directory; the engine's messages then name it.
    engine->SetRowsPath(rowsPath);
    poll.m_pEngine = engine.get();
    hub.SetActiveScreen(&poll);

    QTimer pollTimer;
    QObject::connect(&pollTimer, &QTimer::timeout, [&] {
        engine->OnTimer(CPlcEngine::ID_TIMER_POLL);
        poll.CheckDone();
    });
    engine->SetTimerHandler([&pollTimer](int, int periodMs) {
        if (periodMs > 0)
            pollTimer.start(periodMs);
        else
            pollTimer.stop();
    });

    g_bInterrupted = 0;
    std::signal(SIGINT, OnPollInterrupt);
#ifdef SIGTERM
    std::signal(SIGTERM, OnPollInterrupt);
#endif
    // Nothing reopens a link that went down here, so polling would wait for
    // ever: that ends the run too.
    bool bPolling = false;
    bool bLinkLost = false;
    QTimer signalCheck;
    QObject::connect(&signalCheck, &QTimer::timeout, [&] {
        if (g_bInterrupted) {
            app.quit();
        } else if (bPolling && !hub.IsLinkUp()) {
            bLinkLost = true;
            app.quit();
        }
    });
    signalCheck.start(kSignalCheckMs);

    hub.SetupLink(link.m_nKind, &link.m_settings);
    {
        QElapsedTimer waited;
        waited.start();
        while (hub.IsLinkUp() && !manager.IsReady() && !g_bInterrupted &&
               waited.elapsed() < kReadyWaitMs)
            // Blocks: the signal check's timer wakes it at least every 50 ms.
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    // Why the link is not up, when the link itself has not told.
    if (!hub.IsLinkUp() && hub.GetLinkFailure().empty() && !hub.GetLinkStatus().empty())
        err << hub.GetLinkStatus() << std::endl;

    const std::int64_t startNs = NowNs();
    const int started = g_bInterrupted ? 0 : engine->Start(memory, mode);
    if (started) {
        if (cycles > 0)
            poll.m_nBudget =
                static_cast<long long>(cycles) * static_cast<long long>(engine->GetRows().size());
        // A coarse timer may fire 5 % early (7.6 s for 8): a precise one,
        // and the clock has the last word.
        QTimer limit;
        const std::int64_t endNs = startNs + static_cast<std::int64_t>(seconds) * 1000000000;
        if (seconds > 0) {
            limit.setSingleShot(true);
            limit.setTimerType(Qt::PreciseTimer);
            QObject::connect(&limit, &QTimer::timeout, &app, [&] {
                const std::int64_t leftNs = endNs - NowNs();
                if (leftNs > 0)
                    limit.start(static_cast<int>((leftNs + 999999) / 1000000));
                else
                    app.quit();
            });
            limit.start(seconds * 1000);
        }
        bPolling = true;
        app.exec();
        if (!poll.m_bQuitting)
            poll.m_nDoneNs = NowNs();
    }
    engine->Stop();
    std::signal(SIGINT, SIG_DFL);
#ifdef SIGTERM
    std::signal(SIGTERM, SIG_DFL);
#endif
    hub.SetActiveScreen(nullptr);
    manager.CloseLink();
    if (!started)
        return 1;
    if (bLinkLost)
        err << "quillet-cli poll: the link went down" << std::endl;

    for (int i = 0; i < MemoryTable::kSize; ++i) {
        if (const std::uint16_t v = memory.Get(i)) {
            char line[32];
            std::snprintf(line, sizeof line, "[%03d] %u", i, static_cast<unsigned>(v));
            out << line << '\n';
        }
    }
    const double secondsPolled = static_cast<double>(poll.m_nDoneNs - startNs) / 1e9;
    char rate[64];
    std::snprintf(rate, sizeof rate, "%.1f",
                  secondsPolled > 0 ? static_cast<double>(poll.Finished()) / secondsPolled : 0.0);
    out << "requests=" << engine->GetRequestCount() << " replies=" << engine->GetReplyCount()
        << " timeouts=" << engine->GetTimeoutCount() << " bad=" << engine->GetBadReplyCount()
        << " errors=" << engine->GetErrorReplyCount() << " polls_per_s=" << rate << std::endl;
    if (engine->GetReplyCount() == 0 && !bLinkLost)
        err << "quillet-cli poll: no request got a good reply" << std::endl;
    return bLinkLost || engine->GetReplyCount() == 0 ? 1 : 0;
}
