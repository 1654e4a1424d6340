// Analyzer screen figures: the repaint of a page (page computation and the
// grid's painting) at the start, middle and end of a 1,000,000-record
// capture, and the program's CPU use while it sits idle on the analyzer.
#include "analyzer/ui/CTessaryView.h"
#include "analyzer/ui/CTrafficGrid.h"
#include "app/CLinkHub.h"
#include "app/CTessaryDoc.h"
#include "app/ui/IScreenHost.h"
#include "link/ILinkControl.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class CNullLink : public ILinkControl {
public:
    void CreateEndpoint(int) override {}
    bool OpenLink(LinkSettings*) override { return true; }
    void CloseLink() override {}
    bool Send(const std::uint8_t*, int) override { return true; }
};

class CBenchHost : public IScreenHost {
public:
    CBenchHost() : m_hub(m_doc, &m_link, [](const std::string&) {}) {}
    CLinkHub& Hub() override { return m_hub; }
    CTessaryDoc& Doc() override { return m_doc; }
    void SetWindowLayer(int) override {}
    void SaveCapture() override {}
    void OpenCapture() override {}
    void SetDocumentTitle(const QString&) override {}

    CTessaryDoc m_doc;
    CNullLink m_link;
    CLinkHub m_hub;
};

// Records of 1..64 bytes, both directions, every byte value.
void Fill(CTessaryDoc& doc, std::size_t records) {
    std::uint32_t seed = 12345;
    std::uint8_t block[64];
    for (std::size_t i = 0; i < records; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const int len = 1 + static_cast<int>((seed >> 16) % 64);
        for (int k = 0; k < len; ++k)
            block[k] = static_cast<std::uint8_t>(seed >> (k % 24));
        doc.AddRecord(i % 3 ? TRAFFIC_RX : TRAFFIC_TX, block, len);
    }
}

// User plus system time of a process, from /proc; negative when unknown.
double ProcessCpuSeconds(long pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // The fields after the command name, which may itself hold blanks.
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return -1;
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    // utime and stime are fields 14 and 15 of the line, 12 and 13 here.
    if (fields.size() < 13)
        return -1;
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    return static_cast<double>(fields[11].toLongLong() + fields[12].toLongLong()) / ticks;
}

void Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// --program PATH, or the program built beside this bench.
QString ProgramPath(const QStringList& args) {
    const qsizetype at = args.indexOf(QStringLiteral("--program"));
    if (at >= 0 && at + 1 < args.size())
        return args[at + 1];
    const QString built = QCoreApplication::applicationDirPath() + "/../src/app/quillet";
    return QFileInfo::exists(built) ? QFileInfo(built).canonicalFilePath() : QString();
}

void TimePage(CTessaryView& view, const char* name, int page, int runs) {
    view.ShowPage(page);
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        const auto a = Clock::now();
        view.RefreshScreen(); // computes the page into the grid
        view.Grid()->grab();  // paints its 522 cells
        const auto b = Clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(b - a).count());
        // The rest of the screen, which the refresh also marks for painting:
        // measured on its own below.
        QCoreApplication::processEvents();
    }
    std::sort(times.begin(), times.end());
    std::printf("repaint %-6s page %7d/%d: median %.3f ms, max %.3f ms (%d runs; target < 5 ms)\n",
                name, view.GetPage(), view.Page().GetPages(), times[times.size() / 2], times.back(),
                runs);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    CBenchHost host;
    const std::size_t records = 1000000;
    Fill(host.m_doc, records);
    CTessaryView view(host);
    view.InitialUpdate();
    view.show();
    QCoreApplication::processEvents();
    const int pages = view.Page().GetPages();
    std::printf("capture: %zu records, %llu bytes, %d pages\n", records,
                static_cast<unsigned long long>(host.m_doc.GetTotalBytes()), pages);

    const int runs = 300;
    TimePage(view, "first", 1, runs);
    TimePage(view, "middle", pages / 2, runs);
    TimePage(view, "last", pages, runs);

    // For comparison: the whole screen (background, controls, lamps, grid)
    // painted at once, as after a refresh.
    std::vector<double> whole;
    for (int r = 0; r < runs; ++r) {
        const auto a = Clock::now();
        view.repaint();
        whole.push_back(std::chrono::duration<double, std::milli>(Clock::now() - a).count());
    }
    std::sort(whole.begin(), whole.end());
    std::printf("whole screen paint: median %.3f ms, max %.3f ms (%d runs; no target)\n",
                whole[whole.size() / 2], whole.back(), runs);

    // Idle CPU is the program's own, not this process's: the main frame's
    // timers, the hub and every screen timer run only there. The program
    // is started fresh (its own settings home, so it opens on the
    // analyzer), left to finish starting, then watched for 10 s.
    const QString program = ProgramPath(app.arguments());
    if (program.isEmpty()) {
        std::printf("idle with the analyzer shown: not measured (program not found; give "
                    "--program PATH)\n");
        return 0;
    }
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    if (!env.contains(QStringLiteral("DISPLAY")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(program, {});
    if (!child.waitForStarted(10000)) {
        std::printf("idle with the analyzer shown: not measured (%s did not start)\n",
                    qPrintable(program));
        return 1;
    }
    Wait(6000); // the splash and the first screen
    const auto pid = static_cast<long>(child.processId());
    const double idleSeconds = 10;
    const double cpuBefore = ProcessCpuSeconds(pid);
    const auto wallBefore = Clock::now();
    Wait(static_cast<int>(idleSeconds * 1000));
    const double cpuAfter = ProcessCpuSeconds(pid);
    const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
    const bool running = child.state() == QProcess::Running;
    child.terminate();
    if (!child.waitForFinished(5000))
        child.kill();
    if (!running || cpuBefore < 0 || cpuAfter < 0) {
        std::printf("idle with the analyzer shown: not measured (the program stopped)\n");
        return 1;
    }
    std::printf("idle, the program with the analyzer shown: %.3f %% of one core over %.1f s "
                "(target < 1 %%)\n",
                100.0 * (cpuAfter - cpuBefore) / wall, wall);
    return 0;
}
