// Polls per second of the MEMOBUS RTU engine through the link manager and
// the hub on a pty pair, against libmodbus's RTU slave, next to libmodbus's
// own master reading the same register from the same slave program on a
// fresh pty pair. Pseudo-terminals ignore the baud rate, so both rates are
// round trips of the host and the slave, not of a line.
//   build/release/bench/poll_bench [SECONDS_EACH] [ROUNDS] [engine|master]
// (the third argument runs one side only, for a profiler.)
#include "app/CLinkHub.h"
#include "app/CTessaryDoc.h"
#include "app/IScreenSink.h"
#include "link/CComPortMap.h"
#include "link/CLinkManager.h"
#include "link/LinkSettings.h"
#include "link/LinkType.h"
#include "plc/CPlcSettingsFile.h"
#include "plc/MemoryTable.h"
#include "plc/codecs/CYaskawaEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <modbus.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace {

constexpr int kRegister = 0;
constexpr std::uint16_t kValue = 4660;

pid_t Spawn(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void End(pid_t pid) {
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
}

// CPU time of this process so far, in microseconds.
double CpuMicroseconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e6 +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

// One side's figures; rate -1 when it could not run.
struct Figures {
    double rate = -1;      // polls per second
    double cpuPerPoll = 0; // this process's CPU microseconds per poll
};

bool WaitForFile(const std::filesystem::path& p) {
    for (int i = 0; i < 500; ++i) {
        if (std::filesystem::exists(p))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// socat's pty pair with libmodbus's slave on one end; the other end's path
// in m_strDevice.
class SlaveOnCable {
public:
    explicit SlaveOnCable(const std::filesystem::path& dir) {
        m_socat = Spawn({"socat", "pty,raw,echo=0,link=" + (dir / "dev0").string(),
                         "pty,raw,echo=0,link=" + (dir / "dev1").string()});
        if (m_socat <= 0 || !WaitForFile(dir / "dev0") || !WaitForFile(dir / "dev1"))
            return;
        const std::string slaveEnd = std::filesystem::canonical(dir / "dev1").string();
        m_slave = Spawn({MODBUS_RTU_SLAVE_PATH, slaveEnd, (dir / "dump").string(),
                         std::to_string(kRegister) + "=" + std::to_string(kValue)});
        if (m_slave > 0 && WaitForFile(dir / "dump"))
            m_strDevice = std::filesystem::canonical(dir / "dev0").string();
    }
    ~SlaveOnCable() {
        End(m_slave);
        End(m_socat);
    }
    SlaveOnCable(const SlaveOnCable&) = delete;
    SlaveOnCable& operator=(const SlaveOnCable&) = delete;

    std::string m_strDevice; // empty when the set-up failed

private:
    pid_t m_socat = -1;
    pid_t m_slave = -1;
};

void RunEventLoop(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

// The PLC screen's part: received blocks to the engine.
class EngineScreen : public IScreenSink {
public:
    explicit EngineScreen(CPlcEngine& engine) : m_engine(engine) {}
    void OnLinkSent() override {}
    void OnLinkReceived() override {}
    void OnLinkData(const std::uint8_t* bytes, int count) override {
        m_engine.OnReceive(bytes, count);
    }

private:
    CPlcEngine& m_engine;
};

// Replies per second of the engine, -1 when it could not run.
Figures EngineRate(double seconds, long long& timeouts, bool& valueSeen) {
    QTemporaryDir dir;
    SlaveOnCable cable(dir.path().toStdString());
    if (cable.m_strDevice.empty())
        return {};

    CTessaryDoc doc;
    CLinkHub hub(doc, nullptr, [](const std::string& text) { std::printf("%s\n", text.c_str()); });
    CComPortMap ports;
    ports.SetOverride(1, QString::fromStdString(cable.m_strDevice));
    CLinkManager manager(&hub, &ports);
    hub.SetLinkControl(&manager);
    hub.SetCurrentScreen(CPlcSettingsFile::PLC_YASKAWA);
    CYaskawaEngine engine(hub);
    EngineScreen screen(engine);
    hub.SetActiveScreen(&screen);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { engine.OnTimer(CPlcEngine::ID_TIMER_POLL); });
    engine.SetTimerHandler([&tick](int, int periodMs) {
        if (periodMs > 0)
            tick.start(periodMs);
        else
            tick.stop();
    });

    LinkSettings settings;
    settings.m_strEnv = "1,115200,N,8,1,0,0";
    hub.SetupLink(LINK_SERIAL, &settings);

    // One read row, in the engine's file in the current directory.
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path(dir.path().toStdString());
    const CPlcSettingsFile file(CPlcSettingsFile::PLC_YASKAWA);
    file.SaveRows(file.CurrentPath(),
                  {{"자동읽기", "1", "WORD", std::to_string(kRegister), "1", "0"}});
    MemoryTable memory;
    const int started = engine.Start(memory, CYaskawaEngine::MEMOBUS_RTU);
    std::filesystem::current_path(home);
    if (!started) {
        manager.CloseLink();
        return {};
    }
    // Let the first exchanges settle, then count. The event loop blocks as
    // the command line's does.
    RunEventLoop(0.2);
    const long long before = engine.GetReplyCount();
    const long long timeoutsBefore = engine.GetTimeoutCount();
    const double cpu = CpuMicroseconds();
    QElapsedTimer t;
    t.start();
    RunEventLoop(seconds);
    const double elapsed = static_cast<double>(t.nsecsElapsed()) / 1e9;
    const long long replies = engine.GetReplyCount() - before;
    const double cpuUsed = CpuMicroseconds() - cpu;
    timeouts = engine.GetTimeoutCount() - timeoutsBefore;
    valueSeen = memory.Get(0) == kValue;
    engine.Stop();
    hub.SetActiveScreen(nullptr);
    manager.CloseLink();
    if (replies <= 0)
        return {};
    return {static_cast<double>(replies) / elapsed, cpuUsed / static_cast<double>(replies)};
}

// Reads per second of libmodbus's master, -1 when it could not run.
Figures MasterRate(double seconds) {
    QTemporaryDir dir;
    SlaveOnCable cable(dir.path().toStdString());
    if (cable.m_strDevice.empty())
        return {};
    modbus_t* ctx = modbus_new_rtu(cable.m_strDevice.c_str(), 115200, 'N', 8, 1);
    if (!ctx)
        return {};
    Figures figures;
    if (modbus_set_slave(ctx, 1) == 0 && modbus_connect(ctx) == 0) {
        std::uint16_t value = 0;
        for (int i = 0; i < 50; ++i) // settle as the engine does
            modbus_read_registers(ctx, kRegister, 1, &value);
        long long reads = 0;
        const double cpu = CpuMicroseconds();
        const auto start = std::chrono::steady_clock::now();
        const auto end = start + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            if (modbus_read_registers(ctx, kRegister, 1, &value) == 1 && value == kValue)
                ++reads;
        }
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (reads > 0)
            figures = {static_cast<double>(reads) / elapsed,
                       (CpuMicroseconds() - cpu) / static_cast<double>(reads)};
        modbus_close(ctx);
    }
    modbus_free(ctx);
    return figures;
}

} // namespace

int main(int argc, char** argv) {
    // As quillet-cli poll runs; QT_NO_GLIB=0 measures the GLib dispatcher.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    else if (qgetenv("QT_NO_GLIB") == "0")
        qunsetenv("QT_NO_GLIB");
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const std::string only = argc > 3 ? argv[3] : "";

    // Alternate the two so neither gets a warmer machine; best of each.
    Figures engine, master;
    long long timeouts = 0;
    bool valueSeen = true;
    for (int i = 0; i < rounds; ++i) {
        if (only != "engine") {
            const Figures m = MasterRate(seconds);
            if (m.rate > master.rate)
                master = m;
        }
        if (only != "master") {
            long long t = 0;
            bool seen = false;
            const Figures e = EngineRate(seconds, t, seen);
            if (e.rate > engine.rate)
                engine = e;
            timeouts += t;
            valueSeen = valueSeen && seen;
        }
    }
    std::printf("MEMOBUS RTU reads of one register on a pty pair against libmodbus's slave, "
                "%.1f s each, best of %d:\n",
                seconds, rounds);
    if (only != "master")
        std::printf("  engine via link manager and hub  %6.0f polls/s, %5.1f us CPU/poll "
                    "(time-outs %lld%s)\n",
                    engine.rate, engine.cpuPerPoll, timeouts, valueSeen ? "" : ", WRONG VALUE");
    if (only != "engine")
        std::printf("  libmodbus master, tight loop     %6.0f polls/s, %5.1f us CPU/poll\n",
                    master.rate, master.cpuPerPoll);
    if (engine.rate > 0 && master.rate > 0)
        std::printf("  ratio %.2f (target >= 0.8)\n", engine.rate / master.rate);
    if ((only != "master" && engine.rate <= 0) || (only != "engine" && master.rate <= 0)) {
        std::printf("poll_bench: a side could not run (needs socat and pseudo-terminals)\n");
        return 1;
    }
    return 0;
}
