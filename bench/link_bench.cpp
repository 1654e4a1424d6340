// Receive throughput of a TCP link into the hub next to a plain QTcpSocket
// read loop, and the round trip of a 16-byte block through a pty pair.
//   build/release/bench/link_bench [MEGABYTES] [ROUND_TRIPS]
#include "app/CLinkHub.h"
#include "app/CTessaryDoc.h"
#include "app/IScreenSink.h"
#include "link/CComPortMap.h"
#include "link/CLinkManager.h"
#include "link/LinkSettings.h"
#include "link/LinkType.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// A PLC screen that only counts what arrives.
class CountingScreen : public IScreenSink {
public:
    void OnLinkSent() override {}
    void OnLinkReceived() override {}
    void OnLinkData(const std::uint8_t*, int count) override { m_nBytes += count; }
    long long m_nBytes = 0;
};

int FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Sends total bytes to the loopback port as fast as the socket takes them.
std::thread Sender(int port, long long total) {
    return std::thread([port, total] {
        int s = -1;
        for (int i = 0; i < 200 && s < 0; ++i) {
            s = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            a.sin_port = htons(static_cast<std::uint16_t>(port));
            if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
                ::close(s);
                s = -1;
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        std::vector<char> chunk(64 * 1024, 'q');
        long long left = total;
        while (s >= 0 && left > 0) {
            const ssize_t n =
                ::send(s, chunk.data(), static_cast<size_t>(std::min<long long>(left, 65536)), 0);
            if (n <= 0)
                break;
            left -= n;
        }
        if (s >= 0)
            ::close(s);
    });
}

double HubThroughput(long long total) {
    CTessaryDoc doc;
    CountingScreen screen;
    CLinkHub hub(doc, nullptr, [](const std::string&) {});
    CLinkManager manager(&hub);
    hub.SetLinkControl(&manager);
    hub.SetActiveScreen(&screen);
    hub.SetCurrentScreen(1); // a PLC screen, capture stopped
    LinkSettings settings;
    settings.m_nPort = FreePort();
    hub.SetupLink(LINK_TCP_SERVER, &settings);
    std::thread sender = Sender(settings.m_nPort, total);
    QElapsedTimer t;
    while (manager.GetConnectionCount() == 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    t.start();
    while (screen.m_nBytes < total)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double seconds = static_cast<double>(t.nsecsElapsed()) / 1e9;
    sender.join();
    return static_cast<double>(total) / 1e6 / seconds;
}

double PlainThroughput(long long total) {
    QTcpServer server;
    server.listen(QHostAddress::Any, 0);
    std::thread sender = Sender(server.serverPort(), total);
    while (!server.hasPendingConnections())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QTcpSocket* s = server.nextPendingConnection();
    long long got = 0;
    QElapsedTimer t;
    t.start();
    char buffer[16384];
    QObject::connect(s, &QTcpSocket::readyRead, [&] {
        qint64 n;
        while ((n = s->read(buffer, sizeof buffer)) > 0)
            got += n;
    });
    while (got < total)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double seconds = static_cast<double>(t.nsecsElapsed()) / 1e9;
    sender.join();
    delete s;
    return static_cast<double>(total) / 1e6 / seconds;
}

void RoundTrip(int rounds) {
    int master = -1, slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::printf("pty round trip: no pseudo-terminal here\n");
        return;
    }
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    // The device: echoes every byte at once.
    std::atomic<bool> stop{false};
    std::thread echo([&] {
        char b[4096];
        while (!stop) {
            const ssize_t n = ::read(master, b, sizeof b);
            if (n > 0 && ::write(master, b, static_cast<size_t>(n)) != n)
                break;
        }
    });

    CTessaryDoc doc;
    CountingScreen screen;
    CComPortMap ports;
    ports.SetOverride(1, QString::fromLocal8Bit(name));
    CLinkHub hub(doc, nullptr, [](const std::string&) {});
    CLinkManager manager(&hub, &ports);
    hub.SetLinkControl(&manager);
    hub.SetActiveScreen(&screen);
    hub.SetCurrentScreen(1);
    LinkSettings settings;
    settings.m_strEnv = "1,115200,N,8,1,0,0";
    hub.SetupLink(LINK_SERIAL, &settings);
    if (!hub.IsLinkUp()) {
        std::printf("pty round trip: the port did not open\n");
    } else {
        const std::uint8_t block[16] = {1, 3, 0, 0, 0, 10, 0xC5, 0xCD, 9, 8, 7, 6, 5, 4, 3, 2};
        std::vector<double> us;
        for (int i = 0; i < rounds; ++i) {
            const long long want = screen.m_nBytes + 16;
            QElapsedTimer t;
            t.start();
            hub.SendToLink(block, 16);
            while (screen.m_nBytes < want)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            us.push_back(static_cast<double>(t.nsecsElapsed()) / 1e3);
        }
        std::sort(us.begin(), us.end());
        std::printf("pty round trip of 16 bytes (%d rounds): median %.1f us, p99 %.1f us"
                    " (target: median < 200 us)\n",
                    rounds, us[us.size() / 2], us[us.size() * 99 / 100]);
    }
    manager.CloseLink();
    stop = true;
    ::close(slave);
    ::write(master, "", 0);
    echo.detach(); // blocked in read on a pty nobody else holds; ends with the process
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const long long megabytes = argc > 1 ? std::atoll(argv[1]) : 512;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 2000;
    const long long total = megabytes * 1000 * 1000;

    // Alternate the two so neither gets a warmer machine.
    double hub = 0, plain = 0;
    for (int i = 0; i < 3; ++i) {
        plain = std::max(plain, PlainThroughput(total));
        hub = std::max(hub, HubThroughput(total));
    }
    std::printf("TCP receive, %lld MB on loopback (best of 3): hub %.0f MB/s, plain QTcpSocket"
                " %.0f MB/s, ratio %.2f (target >= 0.8)\n",
                megabytes, hub, plain, hub / plain);
    RoundTrip(rounds);
    return 0;
}
