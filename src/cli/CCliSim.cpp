#include "cli/CCliSim.h"

#include "app/CLinkHub.h"
#include "app/IScreenSink.h"
#include "cli/CCliLinkOptions.h"
#include "cli/CCliLinkWatch.h"
#include "cli/CCliSession.h"
#include "cli/CCliUsage.h"
#include "link/CLinkManager.h"
#include "plc/sim/CPlcSimStation.h"
#include "plc/sim/CSimStations.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cctype>
#include <cstdint>
#include <memory>
#include <ostream>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

constexpr const char* kCommand = "quillet-cli sim";
constexpr int kMaxEvery = 1000000000;

int Usage(std::ostream& err, const std::string& problem) {
    err << kCommand << ": " << problem << "\n\n" << CCliUsage::Text();
    return CCliUsage::kUsageError;
}

std::string Names() {
    std::string names;
    for (const std::string& n : CSimStations::Names())
        names += (names.empty() ? "" : ", ") + n;
    return names;
}

// Decimal with an optional sign, or 0x hex; the whole text, no overflow.
bool ParseNumber(const std::string& text, long long& value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    int base = 10;
    if (text.size() - i > 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size() || text.size() - i > 16)
        return false;
    long long v = 0;
    for (; i < text.size(); ++i) {
        const int c = std::tolower(static_cast<unsigned char>(text[i]));
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        if (digit < 0)
            return false;
        v = v * base + digit;
    }
    value = negative ? -v : v;
    return true;
}

// Hands the link's received blocks to the station.
class CSimSink : public IScreenSink {
public:
    explicit CSimSink(CPlcSimStation& station) : m_station(station) {}
    void OnLinkSent() override {}
    void OnLinkReceived() override {}
    void OnLinkData(const std::uint8_t* bytes, int count) override {
        m_station.OnReceive(bytes, count);
    }

private:
    CPlcSimStation& m_station;
};

} // namespace

bool CCliSim::ParsePreset(const std::string& text, std::string& device, long long& address,
                          long long& value) {
    const std::size_t eq = text.find('=');
    if (eq == std::string::npos)
        return false;
    std::string where = text.substr(0, eq);
    device.clear();
    if (const std::size_t colon = where.find(':'); colon != std::string::npos) {
        device = where.substr(0, colon);
        where.erase(0, colon + 1);
        if (device.empty())
            return false;
        for (char& c : device) {
            if (!std::isalnum(static_cast<unsigned char>(c)))
                return false;
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    return ParseNumber(where, address) && address >= 0 && ParseNumber(text.substr(eq + 1), value);
}

int CCliSim::Run(const std::vector<std::string>& argsIn, std::ostream& out, std::ostream& err) {
    if (argsIn.empty() || argsIn[0].starts_with("--"))
        return Usage(err, "PLC is required (" + Names() + ")");
    std::unique_ptr<CPlcSimStation> station = CSimStations::Make(argsIn[0]);
    if (!station)
        return Usage(err, "no simulated station for '" + argsIn[0] + "' (" + Names() + ")");

    std::vector<std::string> args(argsIn.begin() + 1, argsIn.end());
    CCliLinkOptions link;
    std::string problem;
    if (!link.Parse(args, problem))
        return Usage(err, problem);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a != "--mode" && a != "--station" && a != "--slave" && a != "--set" &&
            a != "--corrupt-every" && a != "--drop-every")
            return Usage(err, "unknown option '" + a + "'");
        if (i + 1 >= args.size())
            return Usage(err, a + " needs a value");
        const std::string& v = args[++i];
        if (a == "--mode") {
            if (!station->SetMode(v, problem))
                return Usage(err, "--mode '" + v + "': " + problem);
        } else if (a == "--station" || a == "--slave") {
            long long n = 0;
            if (!ParseNumber(v, n))
                return Usage(err, a + " needs a number, not '" + v + "'");
            if (!station->SetStation(n, problem))
                return Usage(err, a + " " + v + ": " + problem);
        } else if (a == "--set") {
            std::string device;
            long long address = 0;
            long long value = 0;
            if (!ParsePreset(v, device, address, value))
                return Usage(err, "--set needs DEVICE:ADDRESS=VALUE (or ADDRESS=VALUE), not '" + v +
                                      "'");
            if (!station->Preset(device, address, value, problem))
                return Usage(err, "--set " + v + ": " + problem);
        } else {
            long long n = 0;
            if (!ParseNumber(v, n) || n < 1 || n > kMaxEvery)
                return Usage(err, a + " needs a number from 1 to " + std::to_string(kMaxEvery) +
                                      ", not '" + v + "'");
            if (a == "--corrupt-every")
                station->SetCorruptEvery(static_cast<int>(n));
            else
                station->SetDropEvery(static_cast<int>(n));
        }
    }

    CCliSession session(link, err);
    QCoreApplication& app = session.App();
    CLinkHub& hub = session.Hub();
    CLinkManager& manager = session.Manager();
    // A PLC screen's delivery; capture stays off, so a station answering
    // for hours keeps no record of it.
    hub.SetCurrentScreen(1);
    hub.SetStatusListener([&err](const std::string& text) { err << text << std::endl; });

    CSimSink sink(*station);
    hub.SetActiveScreen(&sink);
    station->SetSendHandler(
        [&hub](const std::uint8_t* bytes, int count) { hub.SendToLink(bytes, count); });
    station->SetWriteHandler([&out](const std::string& device, long long address, unsigned value) {
        out << "write " << device << ' ' << address << ' ' << value << std::endl;
    });

    hub.SetupLink(link.m_nKind, &link.m_settings);
    CCliLinkWatch watch(manager, {});
    int status = 0;
    if (watch.CameUp() || !watch.Ended()) {
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            station->OnTimer();
            if (CCliSession::Interrupted() || !watch.Poll([](const std::uint8_t*, int) {}))
                app.quit();
        });
        tick.start(CPlcSimStation::TICK_MS);
        std::unique_ptr<QSocketNotifier> input;
#ifndef _WIN32
        input = std::make_unique<QSocketNotifier>(0, QSocketNotifier::Read);
        QObject::connect(input.get(), &QSocketNotifier::activated, [&] {
            char buffer[4096];
            if (::read(0, buffer, sizeof buffer) <= 0) {
                input->setEnabled(false);
                app.quit();
            }
        });
#endif
        app.exec();
    }
    hub.SetActiveScreen(nullptr);
    manager.CloseLink();
    if (!watch.CameUp() || (watch.Ended() && !CCliSession::Interrupted()))
        status = watch.Verdict(err, kCommand);
    out << "requests=" << station->GetRequestCount() << " replies=" << station->GetReplyCount()
        << " dropped=" << station->GetDroppedCount()
        << " corrupted=" << station->GetCorruptedCount()
        << " rejected=" << station->GetRejectedCount() << std::endl;
    return status;
}
