#include "cli/CCliCapture.h"

#include "app/CAlrFile.h"
#include "app/CLinkHub.h"
#include "app/CProgramSettings.h"
#include "app/CQSettingsStore.h"
#include "app/CTessaryDoc.h"
#include "cli/CCliLinkOptions.h"
#include "cli/CCliLinkWatch.h"
#include "cli/CCliUsage.h"
#include "link/CComPortMap.h"
#include "link/CHexCodec.h"
#include "link/CLinkManager.h"
#include "link/CLinkStatus.h"
#include "link/LinkType.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr const char* kCommand = "quillet-cli capture";
constexpr int kMaxSeconds = 2000000;
constexpr int kOddDigits = 2; // as the tools

volatile std::sig_atomic_t g_bInterrupted = 0;

extern "C" void OnInterrupt(int) {
    g_bInterrupted = 1;
}

bool DecodeHex(const std::string& hex, std::vector<std::uint8_t>& bytes) {
    if (hex.size() % 2 != 0)
        return false;
    bytes.clear();
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = CHexCodec::DigitValue(hex[i]);
        const int lo = CHexCodec::DigitValue(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    return true;
}

int Usage(std::ostream& err, const std::string& problem) {
    err << "quillet-cli capture: " << problem << "\n\n" << CCliUsage::Text();
    return CCliUsage::kUsageError;
}

} // namespace

int CCliCapture::Run(const std::vector<std::string>& argsIn, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args = argsIn;
    CCliLinkOptions link;
    std::string problem;
    if (!link.Parse(args, problem))
        return Usage(err, problem);

    std::string outPath;
    int seconds = -1;
    std::vector<std::vector<std::uint8_t>> sends;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (i + 1 >= args.size())
            return Usage(err, "unexpected '" + a + "'");
        const std::string& v = args[++i];
        if (a == "--out") {
            outPath = v;
        } else if (a == "--seconds") {
            // A timer takes at most about 24 days.
            if (!CProgramSettings::ParseInt(v, seconds) || seconds < 0 || seconds > kMaxSeconds)
                return Usage(err, "--seconds needs a number of seconds up to " +
                                      std::to_string(kMaxSeconds));
        } else if (a == "--send-hex") {
            std::vector<std::uint8_t> bytes;
            if (v.size() % 2 != 0) {
                err << CHexCodec::kOddDigitsMessage << '\n';
                return kOddDigits;
            }
            if (!DecodeHex(v, bytes))
                return Usage(err, "--send-hex needs hex digits");
            sends.push_back(std::move(bytes));
        } else {
            return Usage(err, "unknown option '" + a + "'");
        }
    }
    if (outPath.empty())
        return Usage(err, "--out FILE.alr is required");

    static int argc = 1;
    static char name[] = "quillet-cli";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    // COMn means the same device here as in the window program.
    CQSettingsStore store;
    CComPortMap ports(&store);
    for (const auto& [n, device] : link.m_comDevices)
        ports.SetOverride(n, QString::fromStdString(device));

    const auto start = std::chrono::steady_clock::now();
    // The hub outlives the manager, whose last close still reports to it.
    CTessaryDoc doc;
    CLinkHub hub(
        doc, nullptr, [&err](const std::string& text) { err << text << std::endl; },
        [start] {
            return std::chrono::duration_cast<std::chrono::microseconds>(
                       std::chrono::steady_clock::now() - start)
                .count();
        });
    CLinkManager manager(&hub, &ports);
    hub.SetLinkControl(&manager);
    hub.SetCurrentScreen(CLinkHub::SCREEN_ANALYZER);
    hub.SetStatusListener([&out](const std::string& text) { out << text << std::endl; });

    hub.SetupLink(link.m_nKind, &link.m_settings);
    CCliLinkWatch watch(manager, std::move(sends));
    if (!watch.CameUp() && watch.Ended())
        return watch.Verdict(err, kCommand); // the link has said why

    const auto sendToLink = [&hub](const std::uint8_t* bytes, int count) {
        hub.SendToLink(bytes, count);
    };
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (g_bInterrupted || !watch.Poll(sendToLink))
            app.quit();
    });
    tick.start(10);
    watch.Poll(sendToLink);

    g_bInterrupted = 0;
    std::signal(SIGINT, OnInterrupt);
#ifdef SIGTERM
    std::signal(SIGTERM, OnInterrupt);
#endif
    QTimer limit;
    std::unique_ptr<QSocketNotifier> input;
    if (seconds >= 0) {
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &app, &QCoreApplication::quit);
        limit.start(seconds * 1000);
    } else {
#ifndef _WIN32
        // Without --seconds, the end of standard input ends the capture too.
        input = std::make_unique<QSocketNotifier>(0, QSocketNotifier::Read);
        QObject::connect(input.get(), &QSocketNotifier::activated, [&] {
            char buffer[4096];
            if (::read(0, buffer, sizeof buffer) <= 0) {
                input->setEnabled(false);
                app.quit();
            }
        });
#endif
    }
    app.exec();
    std::signal(SIGINT, SIG_DFL);

    manager.CloseLink();
    if (!watch.CameUp())
        return watch.Verdict(err, kCommand); // nothing crossed a link that never came up

    std::string error;
    if (!CAlrFile::Store(doc, outPath, error)) {
        err << "quillet-cli: " << error << '\n';
        return 1;
    }
    out << "records=" << doc.GetCount() << " bytes=" << doc.GetTotalBytes() << std::endl;
    return watch.Verdict(err, kCommand);
}
