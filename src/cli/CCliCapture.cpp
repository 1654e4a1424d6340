#include "cli/CCliCapture.h"

#include "app/CAlrFile.h"
#include "app/CLinkHub.h"
#include "app/CPcapngReader.h"
#include "app/CPcapngWriter.h"
#include "app/CProgramSettings.h"
#include "app/CQSettingsStore.h"
#include "app/CSafeFile.h"
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
#include <fstream>
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

// Ctrl+C, SIGTERM and a closed terminal (SIGHUP) end the capture and save
// it. A reader of standard output that goes away (SIGPIPE) and a file size
// limit (SIGXFSZ) must not kill the run: the writes fail and say so instead.
void CatchStopSignals() {
    g_bInterrupted = 0;
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
#ifndef _WIN32
    std::signal(SIGHUP, OnInterrupt);
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

void RestoreStopSignals() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
#ifndef _WIN32
    std::signal(SIGHUP, SIG_DFL);
#endif
}

int Usage(std::ostream& err, const std::string& problem) {
    err << "quillet-cli capture: " << problem << "\n\n" << CCliUsage::Text();
    return CCliUsage::kUsageError;
}

// A capture that could not be saved at the end would be lost whole: the
// target is tried before anything is captured.
bool CheckTarget(const std::string& outPath, std::ostream& err) {
    std::string reason;
    if (CSafeFile::CanWrite(outPath, reason))
        return true;
    err << "quillet-cli: 캡처 파일을 만들 수 없습니다: " << outPath << " (" << reason << ")"
        << std::endl;
    return false;
}

// Ends the event loop `seconds` after now and never before: a timer may
// fire a little early, so the steady clock has the last word.
void EndAfter(QTimer& limit, int seconds, QCoreApplication& app) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    limit.setSingleShot(true);
    limit.setTimerType(Qt::PreciseTimer);
    QObject::connect(&limit, &QTimer::timeout, &app, [&limit, &app, deadline] {
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) {
            app.quit();
            return;
        }
        limit.start(static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count()));
    });
    limit.start(seconds * 1000);
}

// A live pcapng capture goes to its file block by block as the records
// come, flushed each time: a crash or a pulled plug loses at most the
// blocks of the last moment, not the capture.
class CPcapngStream {
public:
    CPcapngStream(const std::string& path, CPcapngWriter writer)
        : m_file(path, std::ios::binary | std::ios::trunc), m_writer(std::move(writer)) {
        const std::string header = m_writer.Header();
        m_file.write(header.data(), static_cast<std::streamsize>(header.size()));
        m_file.flush();
    }
    bool IsOk() const { return static_cast<bool>(m_file); }
    // Writes the records that came since the last call. A Modbus RTU frame
    // still awaiting its end is written as it is once the line has been
    // quiet for kQuietUs: a frame is never cut by such a pause, and a
    // killed capture loses no more than the frame of the last moment.
    bool Drain(const CTessaryDoc& doc, std::int64_t nowUs) {
        m_buffer.clear();
        for (; m_nWritten < doc.GetCount(); ++m_nWritten)
            m_writer.AppendPacket(doc.GetRecord(m_nWritten), m_buffer);
        m_writer.FlushIfQuiet(nowUs, kQuietUs, m_buffer);
        return Write();
    }
    // Writes what still waits, then closes the file.
    bool Close() {
        m_buffer.clear();
        m_writer.Flush(m_buffer);
        const bool ok = Write();
        m_file.close();
        return ok && IsOk();
    }

private:
    static constexpr std::int64_t kQuietUs = 100'000;

    bool Write() {
        if (!m_buffer.empty()) {
            m_file.write(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
            m_file.flush();
        }
        return IsOk();
    }

    std::ofstream m_file;
    CPcapngWriter m_writer;
    std::string m_buffer;
    std::size_t m_nWritten = 0;
};

} // namespace

int CCliCapture::Run(const std::vector<std::string>& argsIn, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args = argsIn;
    CCliLinkOptions link;
    std::string problem;
    if (!link.Parse(args, problem))
        return Usage(err, problem);

    std::string outPath;
    bool modbusRtu = false;
    int seconds = -1;
    std::vector<std::vector<std::uint8_t>> sends;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a != "--out" && a != "--seconds" && a != "--send-hex" && a != "--as")
            return Usage(err, "unknown option '" + a + "'");
        if (i + 1 >= args.size())
            return Usage(err, a + " needs a value");
        const std::string& v = args[++i];
        if (a == "--out") {
            outPath = v;
        } else if (a == "--as") {
            if (v != "modbus-rtu")
                return Usage(err, "--as knows modbus-rtu only, not '" + v + "'");
            modbusRtu = true;
        } else if (a == "--seconds") {
            // A timer takes at most about 24 days.
            if (!CProgramSettings::ParseInt(v, seconds) || seconds < 0 || seconds > kMaxSeconds)
                return Usage(err, "--seconds needs a number of seconds up to " +
                                      std::to_string(kMaxSeconds) + ", not '" + v + "'");
        } else {
            // The one strict reading of typed hex: pairs, blanks between them.
            std::string bytes;
            std::size_t at = 0;
            const CHexCodec::HexError error = CHexCodec::ParseHexText(v, bytes, at);
            if (error == CHexCodec::HEX_ODD_DIGITS) {
                err << CHexCodec::kOddDigitsMessage << '\n';
                return kOddDigits;
            }
            if (error != CHexCodec::HEX_OK)
                return Usage(err,
                             "--send-hex '" + v + "': " + CHexCodec::HexErrorText(v, error, at));
            if (bytes.empty())
                return Usage(err, "--send-hex needs at least one hex pair");
            sends.emplace_back(bytes.begin(), bytes.end());
        }
    }
    if (outPath.empty())
        return Usage(err, "--out FILE.alr is required");
    // The extension chooses the format: ".pcapng" (any case), else .alr.
    const bool pcapng = CPcapngReader::IsPcapngPath(outPath);
    if (modbusRtu && !pcapng)
        return Usage(err, "--as modbus-rtu needs an --out FILE.pcapng");
    if (!CheckTarget(outPath, err))
        return 1;
    CatchStopSignals();

    static int argc = 1;
    static char name[] = "quillet-cli";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    // COMn means the same device here as in the window program.
    CQSettingsStore store;
    CComPortMap ports(&store);
    for (const auto& [n, device] : link.m_comDevices)
        ports.SetOverride(n, QString::fromStdString(device));

    // Record times are wall-clock microseconds since the epoch, as in the
    // window program, advanced by the steady clock so that a clock set
    // during the capture neither reorders nor stretches the records.
    const auto start = std::chrono::steady_clock::now();
    const std::int64_t startEpochUs = std::chrono::duration_cast<std::chrono::microseconds>(
                                          std::chrono::system_clock::now().time_since_epoch())
                                          .count();
    // The hub outlives the manager, whose last close still reports to it.
    const auto nowUs = [start, startEpochUs] {
        return startEpochUs + std::chrono::duration_cast<std::chrono::microseconds>(
                                  std::chrono::steady_clock::now() - start)
                                  .count();
    };
    CTessaryDoc doc;
    CLinkHub hub(
        doc, nullptr, [&err](const std::string& text) { err << text << std::endl; }, nowUs);
    CLinkManager manager(&hub, &ports);
    hub.SetLinkControl(&manager);
    hub.SetCurrentScreen(CLinkHub::SCREEN_ANALYZER);
    hub.SetStatusListener([&out](const std::string& text) { out << text << std::endl; });

    hub.SetupLink(link.m_nKind, &link.m_settings);
    CCliLinkWatch watch(manager, std::move(sends));
    if (!watch.CameUp() && watch.Ended())
        return watch.Verdict(err, kCommand); // the link has said why

    // The pcapng file is opened once the link is up: a link that never
    // comes up leaves any file of that name as it was, as for .alr.
    std::unique_ptr<CPcapngStream> stream;
    bool streamFailed = false;
    const auto drain = [&] {
        if (streamFailed)
            return false;
        if (!pcapng || !watch.CameUp())
            return true;
        if (!stream)
            stream = std::make_unique<CPcapngStream>(outPath, modbusRtu ? CPcapngWriter::ModbusRtu()
                                                                        : CPcapngWriter());
        streamFailed = !stream->Drain(doc, nowUs());
        return !streamFailed;
    };
    const auto sendToLink = [&hub](const std::uint8_t* bytes, int count) {
        hub.SendToLink(bytes, count);
    };
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (!drain())
            app.quit(); // said once the loop has ended
        if (g_bInterrupted || !watch.Poll(sendToLink))
            app.quit();
    });
    tick.start(10);
    watch.Poll(sendToLink);

    QTimer limit;
    std::unique_ptr<QSocketNotifier> input;
    if (seconds >= 0) {
        EndAfter(limit, seconds, app);
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

    manager.CloseLink();
    if (!watch.CameUp())
        return watch.Verdict(err, kCommand); // nothing crossed a link that never came up

    std::string error;
    bool saved = false;
    if (pcapng) {
        saved = drain() && stream->Close();
        if (!saved)
            error = "캡처 파일을 쓸 수 없습니다: " + outPath;
    } else {
        saved = CAlrFile::Store(doc, outPath, error);
    }
    RestoreStopSignals();
    if (!saved) {
        err << "quillet-cli: " << error << '\n';
        return 1;
    }
    // Standard output may be gone by now; the capture is saved all the same.
    out << "records=" << doc.GetCount() << " bytes=" << doc.GetTotalBytes() << std::endl;
    int status = watch.Verdict(err, kCommand);
    if (hub.GetUnsentBlocks() > 0) {
        err << kCommand << ": " << hub.GetUnsentBlocks() << " blocks (" << hub.GetUnsentBytes()
            << " bytes) not sent: the link did not take them" << std::endl;
        status = 1;
    }
    return status;
}
