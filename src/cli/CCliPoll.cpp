#include "cli/CCliPoll.h"

#include "app/CLinkHub.h"
#include "app/CProgramSettings.h"
#include "cli/CCliLinkOptions.h"
#include "cli/CCliSession.h"
#include "cli/CCliUsage.h"
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
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace {

constexpr int kMaxSeconds = 2000000; // as capture: a timer takes about 24 days at most
constexpr int kMaxCycles = 1000000000;

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

// A round trip in ms with one decimal, as the screens show it; "-" before
// any reply has given one.
std::string Milliseconds(const CPlcEngine::SCounters& counts, std::int64_t us) {
    if (counts.m_nRttSamples == 0)
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(us) / 1000.0);
    return text;
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

    CCliSession session(link, err);
    QCoreApplication& app = session.App();
    CLinkHub& hub = session.Hub();
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

    // Nothing reopens a link that went down here, so polling would wait for
    // ever: that ends the run too.
    bool bPolling = false;
    session.QuitOnStop([&] { return bPolling && !hub.IsLinkUp(); });
    session.OpenLink(link);

    const std::int64_t startNs = NowNs();
    const int started = CCliSession::Interrupted() ? 0 : engine->Start(memory, mode);
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
    hub.SetActiveScreen(nullptr);
    session.Manager().CloseLink();
    if (!started)
        return 1;
    if (session.LinkLost())
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
    const CPlcEngine::SCounters& counts = engine->GetCounters();
    out << "requests=" << counts.m_nRequests << " replies=" << counts.m_nGood
        << " timeouts=" << counts.m_nTimeouts << " bad=" << counts.m_nBad
        << " errors=" << counts.m_nError << " polls_per_s=" << rate
        << " rtt_last_ms=" << Milliseconds(counts, counts.m_nRttLastUs)
        << " rtt_avg_ms=" << Milliseconds(counts, counts.RttAverageUs()) << std::endl;
    if (engine->GetReplyCount() == 0 && !session.LinkLost())
        err << "quillet-cli poll: no request got a good reply" << std::endl;
    return session.LinkLost() || engine->GetReplyCount() == 0 ? 1 : 0;
}
