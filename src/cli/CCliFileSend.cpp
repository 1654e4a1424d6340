#include "cli/CCliFileSend.h"

#include "app/CLinkHub.h"
#include "app/CProgramSettings.h"
#include "cli/CCliLinkOptions.h"
#include "cli/CCliSession.h"
#include "cli/CCliUsage.h"
#include "filesend/CFileSendEngine.h"
#include "link/CLinkManager.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTime>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <ostream>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

// What the link still holds to send (the last acknowledgement) goes out
// before the link is closed.
constexpr int kDrainMs = 300;

int Usage(std::ostream& err, const std::string& command, const std::string& problem) {
    err << "quillet-cli " << command << ": " << problem << "\n\n" << CCliUsage::Text();
    return CCliUsage::kUsageError;
}

std::string Utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

} // namespace

void CCliFileSend::OnLinkData(const std::uint8_t* bytes, int count) {
    if (m_pEngine)
        m_pEngine->OnReceive(bytes, count);
}

bool CCliFileSend::DeleteRow(int row) {
    if (row != 1 || m_rows.empty())
        return false;
    m_out << "sent " << m_record.m_nTxSize << ' ' << m_rows.front().first << std::endl;
    m_rows.erase(m_rows.begin());
    return true;
}

bool CCliFileSend::LoadFirstRow() {
    if (m_rows.empty())
        return false;
    m_record.m_strTxName = m_rows.front().first;
    m_record.m_strTxPath = m_rows.front().second;
    m_record.m_nTxIndex = 0;
    return true;
}

void CCliFileSend::StopCommand() {
    if (m_pEngine)
        m_pEngine->Stop();
    Finish();
}

void CCliFileSend::Finish() {
    if (m_bDone)
        return;
    m_bDone = true;
    // The sender's last word was the frame just acknowledged.
    QTimer::singleShot(m_bSending ? 0 : kDrainMs, QCoreApplication::instance(),
                       &QCoreApplication::quit);
}

void CCliFileSend::OnFileReceived(const std::string& path, std::uint32_t size) {
    m_out << "received " << size << ' '
          << Utf8(std::filesystem::path(std::u8string(path.begin(), path.end())).filename())
          << std::endl;
    if (m_nWanted > 0 && ++m_nReceived >= m_nWanted)
        Finish();
}

void CCliFileSend::OnSendResumed(std::uint64_t offset) {
    if (!m_rows.empty())
        m_out << "resume " << offset << ' ' << m_rows.front().first << std::endl;
}

void CCliFileSend::OnRatesChanged() {
    const std::string text = m_bSending ? m_pEngine->SendRateText() : m_pEngine->ReceiveRateText();
    if (text == m_strShownRate)
        return;
    m_strShownRate = text;
    m_out << (m_bSending ? "send: " : "receive: ") << text << std::endl;
}

int CCliFileSend::RunSend(const std::vector<std::string>& args, std::ostream& out,
                          std::ostream& err) {
    return Run(true, args, out, err);
}

int CCliFileSend::RunReceive(const std::vector<std::string>& args, std::ostream& out,
                             std::ostream& err) {
    return Run(false, args, out, err);
}

int CCliFileSend::Run(bool sending, const std::vector<std::string>& argsIn, std::ostream& out,
                      std::ostream& err) {
    const std::string command = sending ? "send-files" : "receive-files";
    std::vector<std::string> args = argsIn;
    CCliLinkOptions link;
    std::string problem;
    if (!link.Parse(args, problem))
        return Usage(err, command, problem);

    CCliFileSend host(sending, out);
    std::string folder;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!sending && (a == "--into" || a == "--count")) {
            if (i + 1 >= args.size())
                return Usage(err, command, a + " needs a value");
            const std::string& v = args[++i];
            int count = 0;
            if (a == "--into")
                folder = v;
            else if (!CProgramSettings::ParseInt(v, count) || count < 1)
                return Usage(err, command,
                             "--count needs a number of files from 1, not '" + v + "'");
            else
                host.m_nWanted = count;
        } else if (a.starts_with("--")) {
            return Usage(err, command, "unknown option '" + a + "'");
        } else if (sending) {
            const std::filesystem::path path(std::u8string(a.begin(), a.end()));
            host.m_rows.emplace_back(Utf8(path.filename()), a);
        } else {
            return Usage(err, command, "unexpected argument '" + a + "'");
        }
    }
    if (sending && host.m_rows.empty())
        return Usage(err, command, "FILE is required");
    if (!sending && folder.empty())
        return Usage(err, command, "--into DIR is required");
    if (!sending) {
        // A receiver that cannot store anything would take the sender's
        // chunks unanswered for ever: the folder is made and tried first.
        const std::filesystem::path dir(std::u8string(folder.begin(), folder.end()));
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        if (!std::filesystem::is_directory(dir)) {
            err << command << ": --into " << folder << ": "
                << (ec ? ec.message() : std::string("not a folder")) << std::endl;
            return 1;
        }
#ifndef _WIN32
        if (::access(dir.c_str(), W_OK | X_OK) != 0) {
            err << command << ": --into " << folder << ": " << std::strerror(errno) << std::endl;
            return 1;
        }
#endif
    }
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    host.m_record.m_strRxFolder = folder.empty() ? "./" : folder;

    CCliSession session(link, err);
    QCoreApplication& app = session.App();
    CLinkHub& hub = session.Hub();
    CLinkManager& manager = session.Manager();
    hub.SetCurrentScreen(CLinkHub::SCREEN_FILESEND);

    CFileSendEngine engine(hub, host, host.m_record, [] { return QTime::currentTime().second(); });
    host.m_pEngine = &engine;
    hub.SetActiveScreen(&host);

    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        engine.OnTimer(CFileSendEngine::ID_TIMER_TIMEOUT);
        engine.OnTimer(CFileSendEngine::ID_TIMER_RATES);
    });
    ticks.start(CFileSendEngine::TIMER_MS);

    // Every chunk is on disk once acknowledged, so a run ended by a stop
    // signal loses nothing a resume needs.
    bool bRunning = false;
    session.QuitOnStop([&] { return bRunning && !host.m_bDone && !manager.IsAlive(); });
    session.OpenLink(link, sending);

    bool started = false;
    if (!CCliSession::Interrupted()) {
        if (sending) {
            host.LoadFirstRow();
            started = engine.StartSend() == 1 || host.m_bDone;
        } else {
            started = hub.IsLinkUp();
        }
    }
    if (started) {
        bRunning = true;
        app.exec();
    }
    engine.Stop();
    hub.SetActiveScreen(nullptr);
    manager.CloseLink();
    if (!started)
        return 1;
    if (session.LinkLost())
        err << "quillet-cli " << command << ": the link went down" << std::endl;
    if (sending)
        return host.m_rows.empty() ? 0 : 1;
    return host.m_nWanted > 0 && host.m_nReceived < host.m_nWanted ? 1
                                                                   : (session.LinkLost() ? 1 : 0);
}
