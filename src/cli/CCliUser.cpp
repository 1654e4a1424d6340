#include "cli/CCliUser.h"

#include "app/CLinkHub.h"
#include "app/CProgramSettings.h"
#include "cli/CCliLinkOptions.h"
#include "cli/CCliSession.h"
#include "cli/CCliUsage.h"
#include "link/CLinkManager.h"
#include "userproto/CUserEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <ostream>

namespace {

constexpr const char* kCommand = "quillet-cli user";
constexpr int kMaxSeconds = 2000000;
constexpr int kMaxCycles = 1000000000;

int Usage(std::ostream& err, const std::string& problem) {
    err << kCommand << ": " << problem << "\n\n" << CCliUsage::Text();
    return CCliUsage::kUsageError;
}

} // namespace

void CCliUser::SendToLink(const std::uint8_t* bytes, int count) {
    m_hub.SendToLink(bytes, count);
}

bool CCliUser::IsLinkUp() const {
    return m_hub.IsLinkUp() && !IsDone();
}

int CCliUser::GetLinkKind() const {
    return m_hub.GetLinkKind();
}

void CCliUser::ShowMessage(const std::string& text) {
    m_hub.ShowMessage(text);
}

long long CCliUser::Finished() const {
    return m_pEngine ? m_pEngine->GetAnsweredCount() + m_pEngine->GetTimeoutCount() : 0;
}

void CCliUser::OnLinkData(const std::uint8_t* bytes, int count) {
    if (m_pEngine)
        m_pEngine->OnReceive(bytes, count);
    CheckDone();
}

void CCliUser::CheckDone() {
    if (m_bQuitting || !IsDone())
        return;
    m_bQuitting = true;
    QCoreApplication::quit();
}

int CCliUser::Run(const std::vector<std::string>& argsIn, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args = argsIn;
    CCliLinkOptions link;
    std::string problem;
    if (!link.Parse(args, problem))
        return Usage(err, problem);

    std::string rowsPath;
    int viewMode = CUserEngine::VIEW_ASCII;
    int cycles = -1;
    int seconds = -1;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--binary-view") {
            viewMode = CUserEngine::VIEW_BINARY;
            continue;
        }
        if (a != "--rows" && a != "--cycles" && a != "--seconds")
            return Usage(err, a.starts_with("--") ? "unknown option '" + a + "'"
                                                  : "unexpected argument '" + a + "'");
        if (i + 1 >= args.size())
            return Usage(err, a + " needs a value");
        const std::string& v = args[++i];
        if (a == "--rows") {
            rowsPath = v;
        } else if (a == "--cycles") {
            if (!CProgramSettings::ParseInt(v, cycles) || cycles < 1 || cycles > kMaxCycles)
                return Usage(err, "--cycles needs a number from 1 to " +
                                      std::to_string(kMaxCycles) + ", not '" + v + "'");
        } else if (!CProgramSettings::ParseInt(v, seconds) || seconds < 1 ||
                   seconds > kMaxSeconds) {
            return Usage(err, "--seconds needs a number of seconds from 1 to " +
                                  std::to_string(kMaxSeconds) + ", not '" + v + "'");
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
    hub.SetCurrentScreen(7);

    CCliUser user(hub);
    CUserEngine engine(user, [&out](const CUserEngine::SPacketLine& line) {
        out << line.m_strData << '\t' << line.m_strSize << '\t' << line.m_strType << '\t'
            << line.m_strDirection << std::endl;
    });
    engine.SetRowsPath(rowsPath);
    user.m_pEngine = &engine;
    hub.SetActiveScreen(&user);

    QTimer tickTimer;
    tickTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tickTimer, &QTimer::timeout, [&] {
        engine.OnTimer(CUserEngine::ID_TIMER_USER);
        user.CheckDone();
    });
    engine.SetTimerHandler([&tickTimer](int, int periodMs) {
        if (periodMs > 0)
            tickTimer.start(periodMs);
        else
            tickTimer.stop();
    });

    bool bRunning = false;
    session.QuitOnStop([&] { return bRunning && !hub.IsLinkUp(); });
    session.OpenLink(link);

    const int started = CCliSession::Interrupted() ? 0 : engine.Start(viewMode);
    if (started) {
        if (cycles > 0)
            user.m_nBudget =
                static_cast<long long>(cycles) * static_cast<long long>(engine.GetRows().size());
        QTimer limit;
        if (seconds > 0) {
            limit.setSingleShot(true);
            limit.setTimerType(Qt::PreciseTimer);
            QObject::connect(&limit, &QTimer::timeout, &app, &QCoreApplication::quit);
            limit.start(seconds * 1000);
        }
        bRunning = true;
        app.exec();
    }
    engine.Stop();
    hub.SetActiveScreen(nullptr);
    session.Manager().CloseLink();
    if (!started)
        return 1;
    err << kCommand << ": rows answered=" << engine.GetAnsweredCount()
        << " timeouts=" << engine.GetTimeoutCount() << std::endl;
    if (session.LinkLost()) {
        err << kCommand << ": the link went down" << std::endl;
        return 1;
    }
    if (engine.GetAnsweredCount() == 0) {
        err << kCommand << ": no row got an answer" << std::endl;
        return 1;
    }
    return 0;
}
