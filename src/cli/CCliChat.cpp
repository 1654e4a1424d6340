#include "cli/CCliChat.h"

#include "app/CLinkHub.h"
#include "app/CProgramSettings.h"
#include "app/IScreenSink.h"
#include "cli/CCliLinkOptions.h"
#include "cli/CCliSession.h"
#include "cli/CCliUsage.h"
#include "link/CLinkManager.h"
#include "tools/CChatLineBuffer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <deque>
#include <memory>
#include <ostream>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

constexpr const char* kCommand = "quillet-cli chat";
constexpr int kMaxSeconds = 2000000;
constexpr int kDrainMs = 200;

int Usage(std::ostream& err, const std::string& problem) {
    err << kCommand << ": " << problem << "\n\n" << CCliUsage::Text();
    return CCliUsage::kUsageError;
}

// The screen's receive side: every block goes through the line buffer.
class CChatSink : public IScreenSink {
public:
    explicit CChatSink(std::ostream& out) : m_out(out) {}
    void OnLinkSent() override {}
    void OnLinkReceived() override {}
    void OnLinkData(const std::uint8_t* bytes, int count) override {
        Print(m_buffer.OnReceive(bytes, count));
    }
    void OnTimer() { Print(m_buffer.OnTimer()); }
    // What is held at the end is shown, as the silence would show it.
    void Flush() {
        for (int i = 0; i < 8 && m_buffer.GetHeldBytes() > 0; ++i)
            OnTimer();
    }
    void Print(const std::vector<std::string>& lines) {
        for (const std::string& line : lines)
            m_out << line << std::endl;
    }

private:
    std::ostream& m_out;
    CChatLineBuffer m_buffer;
};

} // namespace

int CCliChat::Run(const std::vector<std::string>& argsIn, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args = argsIn;
    CCliLinkOptions link;
    std::string problem;
    if (!link.Parse(args, problem))
        return Usage(err, problem);
    int seconds = -1;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a != "--seconds")
            return Usage(err, a.starts_with("--") ? "unknown option '" + a + "'"
                                                  : "unexpected argument '" + a + "'");
        if (i + 1 >= args.size())
            return Usage(err, a + " needs a value");
        const std::string& v = args[++i];
        if (!CProgramSettings::ParseInt(v, seconds) || seconds < 1 || seconds > kMaxSeconds)
            return Usage(err, "--seconds needs a number of seconds from 1 to " +
                                  std::to_string(kMaxSeconds) + ", not '" + v + "'");
    }

    CCliSession session(link, err);
    QCoreApplication& app = session.App();
    CLinkHub& hub = session.Hub();
    hub.SetCurrentScreen(9);
    CChatSink sink(out);
    hub.SetActiveScreen(&sink);

    // Lines typed before the link is ready wait for it; once it is, each
    // goes as it comes.
    std::deque<std::string> pending;
    bool bReady = false;
    bool bInputEnded = false;
    bool bRefused = false;
    auto sendPending = [&] {
        while (bReady && !pending.empty()) {
            const std::string text = pending.front();
            pending.pop_front();
            if (!hub.IsLinkUp()) {
                err << kNotUp << std::endl;
                bRefused = true;
                continue;
            }
            out << CChatLineBuffer::OwnLine(text) << std::endl;
            const std::string bytes = CChatLineBuffer::WireBytes(text);
            hub.SendToLink(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                           static_cast<int>(bytes.size()));
        }
    };

    std::string partial;
    auto takeInput = [&](const char* data, std::size_t n) {
        partial.append(data, n);
        std::size_t start = 0;
        for (std::size_t nl; (nl = partial.find('\n', start)) != std::string::npos;
             start = nl + 1) {
            std::string line = partial.substr(start, nl - start);
            if (line.ends_with('\r'))
                line.pop_back();
            // Enter on an empty box sends nothing.
            if (!line.empty())
                pending.push_back(std::move(line));
        }
        partial.erase(0, start);
    };

    std::unique_ptr<QSocketNotifier> input;
#ifndef _WIN32
    input = std::make_unique<QSocketNotifier>(0, QSocketNotifier::Read);
    QObject::connect(input.get(), &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t n = ::read(0, buffer, sizeof buffer);
        if (n > 0) {
            takeInput(buffer, static_cast<std::size_t>(n));
        } else {
            input->setEnabled(false);
            if (!partial.empty())
                pending.push_back(partial);
            partial.clear();
            bInputEnded = true;
        }
        sendPending();
        // Without --seconds the end of the input ends the chat.
        if (bInputEnded && seconds < 0 && bReady)
            app.quit();
    });
#endif

    QTimer silence;
    QObject::connect(&silence, &QTimer::timeout, [&] { sink.OnTimer(); });
    silence.start(CChatLineBuffer::TICK_MS);

    session.QuitOnStop([&] { return bReady && !hub.IsLinkUp(); });
    if (!session.OpenLink(link)) {
        err << kNotUp << std::endl;
        return 1;
    }
    bReady = true;
    sendPending();
    QTimer limit;
    if (seconds > 0) {
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &app, &QCoreApplication::quit);
        limit.start(seconds * 1000);
    }
    if (!CCliSession::Interrupted() && !(bInputEnded && seconds < 0))
        app.exec();
    // The link gets a moment to write out the last lines it was given.
    {
        QElapsedTimer drain;
        drain.start();
        while (drain.elapsed() < kDrainMs && hub.IsLinkUp())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents,
                                            CCliSession::kSignalCheckMs);
    }
    sink.Flush();
    hub.SetActiveScreen(nullptr);
    session.Manager().CloseLink();
    if (session.LinkLost())
        err << kCommand << ": the link went down" << std::endl;
    return session.LinkLost() || bRefused || hub.GetUnsentBlocks() > 0 ? 1 : 0;
}
