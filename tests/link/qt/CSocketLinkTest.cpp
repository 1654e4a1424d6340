#include "LinkTestSupport.h"

#include "link/CLinkManager.h"
#include "link/CLinkStatus.h"
#include "link/LinkSettings.h"
#include "link/LinkType.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

std::string Text(const char* format, int number) {
    std::string t = format;
    t.replace(t.find("%d"), 2, std::to_string(number));
    return t;
}

class SocketLink : public ::testing::Test {
protected:
    SocketLink() : m_manager(&m_owner) {}
    ~SocketLink() override {
        m_manager.CloseLink();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    bool Open(int kind) {
        m_manager.CloseLink();
        m_manager.CreateEndpoint(kind);
        return m_manager.OpenLink(&m_settings);
    }

    std::unique_ptr<QTcpSocket> Connect(int port, int clientsAfter) {
        auto s = std::make_unique<QTcpSocket>();
        s->connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
        EXPECT_TRUE(WaitFor([&] { return m_manager.GetConnectionCount() == clientsAfter; }));
        return s;
    }

    void Send(const QByteArray& bytes) {
        m_manager.Send(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                       static_cast<int>(bytes.size()));
    }

    RecordingOwner m_owner;
    CLinkManager m_manager;
    LinkSettings m_settings;
};

TEST_F(SocketLink, TcpServerServesEveryClientAndCountsThem) {
    m_settings.m_nPort = FreePort();
    ASSERT_TRUE(Open(LINK_TCP_SERVER));
    EXPECT_TRUE(m_owner.m_bUp);

    auto a = Connect(m_settings.m_nPort, 1);
    auto b = Connect(m_settings.m_nPort, 2);
    auto c = Connect(m_settings.m_nPort, 3);
    EXPECT_EQ(m_owner.m_strStatus, CLinkStatus::Accepted(LINK_TCP_SERVER, m_settings, 3));
    EXPECT_EQ(m_owner.m_statuses.front(),
              " , TCP SERVER설정: PORT:" + std::to_string(m_settings.m_nPort) + " , 접속자 수:1");

    Send("ping");
    for (QTcpSocket* s : {a.get(), b.get(), c.get()}) {
        ASSERT_TRUE(WaitFor([&] { return s->bytesAvailable() >= 4; }));
        EXPECT_EQ(s->readAll(), "ping");
    }

    // A client that leaves: the close text, the lamp stays green, the others
    // still get every block.
    b->disconnectFromHost();
    ASSERT_TRUE(WaitFor([&] { return m_manager.GetConnectionCount() == 2; }));
    EXPECT_EQ(m_owner.m_strStatus,
              " , TCP SERVER설정: PORT:" + std::to_string(m_settings.m_nPort) + " , 접속자 수 : 2");
    EXPECT_TRUE(m_owner.m_bUp);
    Send("pong");
    for (QTcpSocket* s : {a.get(), c.get()}) {
        ASSERT_TRUE(WaitFor([&] { return s->bytesAvailable() >= 4; }));
        EXPECT_EQ(s->readAll(), "pong");
    }

    // Closing the link closes every client connection and the listener.
    m_manager.CloseLink();
    EXPECT_FALSE(m_owner.m_bUp);
    EXPECT_TRUE(WaitFor([&] {
        return a->state() == QAbstractSocket::UnconnectedState &&
               c->state() == QAbstractSocket::UnconnectedState;
    }));
    QTcpSocket late;
    late.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(m_settings.m_nPort));
    EXPECT_FALSE(late.waitForConnected(2000));
}

TEST_F(SocketLink, BlocksAreWhatOneReceiveReturnsNeverJoinedOrOverSized) {
    m_settings.m_nPort = FreePort();
    ASSERT_TRUE(Open(LINK_TCP_SERVER));
    auto peer = Connect(m_settings.m_nPort, 1);

    peer->write(QByteArray(20, 'x'));
    ASSERT_TRUE(WaitFor([&] { return !m_owner.m_blocks.empty(); }));
    Spin(50);
    ASSERT_EQ(m_owner.m_blocks.size(), 1u);
    EXPECT_EQ(m_owner.m_blocks[0].size(), 20);

    m_owner.m_blocks.clear();
    QByteArray burst(100000, '\0');
    for (int i = 0; i < burst.size(); ++i)
        burst[i] = static_cast<char>(i * 7);
    peer->write(burst);
    ASSERT_TRUE(WaitFor([&] { return m_owner.Received().size() == burst.size(); }));
    EXPECT_EQ(m_owner.Received(), burst);
    EXPECT_GE(m_owner.m_blocks.size(), 2u);
    for (const QByteArray& block : m_owner.m_blocks)
        EXPECT_LE(block.size(), 16384);
}

TEST_F(SocketLink, APortInUseGivesTheMessageWithThePlatformErrorNumberAndItsText) {
    QTcpServer other;
    ASSERT_TRUE(other.listen(QHostAddress::Any, 0));
    m_settings.m_nPort = other.serverPort();
    EXPECT_FALSE(Open(LINK_TCP_SERVER));
    const std::string port = std::to_string(m_settings.m_nPort);
    EXPECT_EQ(m_owner.m_failures,
              std::vector<std::string>{Text(CLinkManager::kPortInUseMessage, EADDRINUSE) +
                                       "\nport " + port + ": " + std::strerror(EADDRINUSE)});
    EXPECT_TRUE(m_owner.m_messages.empty());
    EXPECT_FALSE(m_owner.m_bUp);
    EXPECT_FALSE(m_manager.IsAlive());
    EXPECT_EQ(m_manager.GetKind(), LINK_TCP_SERVER);
    Send("dropped"); // no endpoint: nothing happens

    QUdpSocket udpOther;
    ASSERT_TRUE(udpOther.bind(QHostAddress::Any, 0));
    m_settings.m_nUdpPort = udpOther.localPort();
    EXPECT_FALSE(Open(LINK_UDP));
    EXPECT_EQ(m_owner.m_failures.back(),
              Text(CLinkManager::kPortInUseMessage, EADDRINUSE) + "\nlocal port " +
                  std::to_string(m_settings.m_nUdpPort) + ": " + std::strerror(EADDRINUSE));
}

// Values no dialog lets through are refused here too: port 0 would listen
// on a port the system picks, a socket "ZZZZ" would decode to nonsense.
TEST_F(SocketLink, PortsAndIpxTextsOutsideTheirRangeAreRefusedWithTheValue) {
    struct Case {
        int kind;
        int port, udpPort;
        const char *network, *node, *socket;
        const char* says;
    } cases[] = {
        {LINK_TCP_SERVER, 0, 121, "00000000", "00007F000001", "2FFF", "port 0: "},
        {LINK_TCP_SERVER, 99999, 121, "00000000", "00007F000001", "2FFF", "port 99999: "},
        {LINK_TCP_CLIENT, -5, 121, "00000000", "00007F000001", "2FFF", "port -5: "},
        {LINK_UDP, 5000, 0, "00000000", "00007F000001", "2FFF", "local port 0: "},
        {LINK_UDP, 65536, 5000, "00000000", "00007F000001", "2FFF", "remote port 65536: "},
        {LINK_IPX_SERVER, 1, 1, "00000000", "00007F000001", "ZZZZ", "socket 'ZZZZ': "},
        {LINK_IPX_SERVER, 1, 1, "00000000", "00007F000001", "0000", "socket '0000': "},
        {LINK_IPX_CLIENT, 1, 1, "0000000G", "00007F000001", "2FFF", "network '0000000G': "},
        {LINK_IPX_CLIENT, 1, 1, "00000000", "7F000001", "2FFF", "node '7F000001': "},
        {LINK_IPX_CLIENT, 1, 1, "00000000", "00007F000001", "2FF", "socket '2FF': "},
    };
    for (const Case& c : cases) {
        m_settings.m_nPort = c.port;
        m_settings.m_nUdpPort = c.udpPort;
        m_settings.m_strNetwork = c.network;
        m_settings.m_strNode = c.node;
        m_settings.m_strSocket = c.socket;
        m_owner.m_failures.clear();
        EXPECT_FALSE(Open(c.kind)) << c.says;
        ASSERT_EQ(m_owner.m_failures.size(), 1u) << c.says;
        EXPECT_TRUE(m_owner.m_failures[0].starts_with(c.says)) << m_owner.m_failures[0];
        EXPECT_FALSE(m_owner.m_bUp) << c.says;
        EXPECT_FALSE(m_manager.IsAlive()) << c.says;
    }
}

// A burst of clients while the UI thread is busy elsewhere: the system
// queues every handshake instead of dropping all but a handful, which the
// clients would only retry a second later.
TEST_F(SocketLink, TheListenQueueTakesABurstOfClientsWhileNothingAccepts) {
    m_settings.m_nPort = FreePort();
    ASSERT_TRUE(Open(LINK_TCP_SERVER));
    int burst = 200;
    if (FILE* f = std::fopen("/proc/sys/net/core/somaxconn", "r")) {
        int most = 0;
        if (std::fscanf(f, "%d", &most) == 1 && most > 0)
            burst = std::min(burst, most - 1);
        std::fclose(f);
    }
    std::vector<int> clients;
    for (int i = 0; i < burst; ++i) {
        const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ASSERT_GE(s, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<std::uint16_t>(m_settings.m_nPort));
        ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
        clients.push_back(s);
    }
    // No event loop runs, so nothing is accepted: only the queue can take
    // them. Wait for each handshake to finish (a generous bound, for a
    // loaded machine; a full queue never finishes them).
    int established = 0;
    QElapsedTimer t;
    t.start();
    std::vector<pollfd> waiting;
    for (int s : clients)
        waiting.push_back({s, POLLOUT, 0});
    while (!waiting.empty() && t.elapsed() < 5000) {
        ::poll(waiting.data(), waiting.size(), 100);
        for (std::size_t i = waiting.size(); i-- > 0;) {
            if (waiting[i].revents == 0)
                continue;
            int error = 0;
            socklen_t len = sizeof error;
            ::getsockopt(waiting[i].fd, SOL_SOCKET, SO_ERROR, &error, &len);
            if (error == 0)
                ++established;
            waiting.erase(waiting.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    EXPECT_EQ(established, burst);
    for (int s : clients)
        ::close(s);
}

TEST_F(SocketLink, TcpClientIsUpAtOnceAndDownWithTheReasonWhenRefused) {
    m_settings.m_strIp = "127.0.0.1";
    m_settings.m_nPort = FreePort();
    ASSERT_TRUE(Open(LINK_TCP_CLIENT));
    EXPECT_TRUE(m_owner.m_bUp);
    EXPECT_TRUE(m_owner.m_failures.empty()) << "the refusal comes after the open";
    ASSERT_TRUE(WaitFor([&] { return !m_owner.m_bUp; }));
    EXPECT_EQ(m_owner.m_failures,
              std::vector<std::string>{"127.0.0.1:" + std::to_string(m_settings.m_nPort) +
                                       ": Connection refused"});
    EXPECT_TRUE(m_owner.m_messages.empty());
    EXPECT_TRUE(m_owner.m_statuses.empty()) << "the caption keeps the IP and port";
    EXPECT_FALSE(m_manager.IsAlive());
    EXPECT_FALSE(m_manager.WasConnected());
}

TEST_F(SocketLink, TcpClientWithAHostThatCannotBeResolvedReportsTheHostAndWhy) {
    // ".invalid" is refused on the machine itself: no query leaves it.
    for (const char* host : {"quillet-test.invalid", "Quillet-Test.INVALID.", ""}) {
        m_settings.m_strIp = host;
        m_settings.m_nPort = 5020;
        m_owner.m_failures.clear();
        ASSERT_TRUE(Open(LINK_TCP_CLIENT)) << host;
        EXPECT_TRUE(m_owner.m_failures.empty()) << "the answer comes after the open";
        ASSERT_TRUE(WaitFor([&] { return !m_owner.m_bUp; })) << host;
        EXPECT_EQ(m_owner.m_strStatus, " , TCP CLIENT설정: 통신실패 ");
        ASSERT_EQ(m_owner.m_failures.size(), 1u) << host;
        const std::string shown = *host ? host : "(no host)";
        EXPECT_EQ(m_owner.m_failures[0], shown + ":5020: Host not found");
        EXPECT_FALSE(m_manager.IsAlive());
    }
}

TEST_F(SocketLink, AServerThatClosesAtOnceTakesTheClientDownWithTheReason) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        QTcpSocket* s = server.nextPendingConnection();
        s->close();
        s->deleteLater();
    });
    m_settings.m_strIp = "127.0.0.1";
    m_settings.m_nPort = server.serverPort();
    ASSERT_TRUE(Open(LINK_TCP_CLIENT));
    ASSERT_TRUE(WaitFor([&] { return !m_owner.m_failures.empty(); }));
    EXPECT_EQ(m_owner.m_failures,
              std::vector<std::string>{"127.0.0.1:" + std::to_string(m_settings.m_nPort) +
                                       ": The remote host closed the connection"});
    EXPECT_FALSE(m_owner.m_bUp);
    EXPECT_TRUE(m_manager.WasConnected());
    EXPECT_FALSE(m_manager.IsAlive());
}

TEST_F(SocketLink, TcpClientTalksUntilThePeerCloses) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    m_settings.m_strIp = "localhost";
    m_settings.m_nPort = server.serverPort();
    ASSERT_TRUE(Open(LINK_TCP_CLIENT));
    ASSERT_TRUE(WaitFor([&] { return server.hasPendingConnections(); }));
    std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
    ASSERT_TRUE(WaitFor([&] { return m_manager.IsReady(); }));

    Send("hello");
    ASSERT_TRUE(WaitFor([&] { return peer->bytesAvailable() >= 5; }));
    EXPECT_EQ(peer->readAll(), "hello");
    peer->write("world");
    ASSERT_TRUE(WaitFor([&] { return m_owner.Received() == "world"; }));

    peer->close();
    ASSERT_TRUE(WaitFor([&] { return !m_owner.m_bUp; }));
    EXPECT_FALSE(m_manager.IsReady());
    Send("gone"); // no endpoint any more: dropped
    EXPECT_EQ(m_manager.GetKind(), LINK_TCP_CLIENT);
}

// Blocks go to the socket at once while nothing waits, and behind what
// waits otherwise: a peer that stops reading gets every accepted block whole
// and in order once it reads again, and the queue stops taking blocks at its
// bound instead of growing.
TEST_F(SocketLink, TcpBlocksGoWholeAndInOrderAndTheQueueIsBounded) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    m_settings.m_strIp = "127.0.0.1";
    m_settings.m_nPort = server.serverPort();
    ASSERT_TRUE(Open(LINK_TCP_CLIENT));
    ASSERT_TRUE(WaitFor([&] { return server.hasPendingConnections(); }));
    std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
    ASSERT_TRUE(WaitFor([&] { return m_manager.IsReady(); }));

    // No event loop runs while sending: the kernel's buffers fill, a send is
    // taken in part, then the queue fills to its bound.
    constexpr int kBlock = 16384;
    constexpr int kGiveUp = 4096; // 64 MiB: far past any socket buffer
    int accepted = 0;
    while (accepted < kGiveUp) {
        const QByteArray block(kBlock, static_cast<char>('A' + accepted % 26));
        if (!m_manager.Send(reinterpret_cast<const std::uint8_t*>(block.data()), kBlock))
            break;
        ++accepted;
    }
    ASSERT_LT(accepted, kGiveUp) << "the queue never refused a block";
    ASSERT_GT(accepted, 0);

    QByteArray got;
    const qint64 expected = static_cast<qint64>(accepted) * kBlock;
    ASSERT_TRUE(WaitFor(
        [&] {
            got += peer->readAll();
            return got.size() >= expected;
        },
        20000));
    Spin(50);
    got += peer->readAll();
    ASSERT_EQ(got.size(), expected) << "a refused block went out, in part or whole";
    for (int i = 0; i < accepted; ++i) {
        const QByteArray block = got.mid(static_cast<qsizetype>(i) * kBlock, kBlock);
        ASSERT_EQ(block.count(static_cast<char>('A' + i % 26)), kBlock) << "block " << i;
    }
    // Once drained the link takes blocks again.
    Send("again");
    ASSERT_TRUE(WaitFor([&] { return peer->bytesAvailable() >= 5; }));
    EXPECT_EQ(peer->readAll(), "again");
}

TEST_F(SocketLink, UdpSendsOneDatagramPerBlockAndReceivesOnItsOwnPort) {
    QUdpSocket peer;
    ASSERT_TRUE(peer.bind(QHostAddress::LocalHost, 0));
    QUdpSocket peer6;
    const bool ipv6 = peer6.bind(QHostAddress::LocalHostIPv6, 0);
    m_settings.m_strIp = "localhost";
    m_settings.m_nPort = peer.localPort();
    m_settings.m_nUdpPort = FreePort();
    ASSERT_TRUE(Open(LINK_UDP));

    Send("one");
    Send("two");
    ASSERT_TRUE(WaitFor([&] { return peer.hasPendingDatagrams(); }));
    QByteArray d(64, '\0');
    EXPECT_EQ(peer.readDatagram(d.data(), d.size()), 3);
    ASSERT_TRUE(WaitFor([&] { return peer.hasPendingDatagrams(); }));
    EXPECT_EQ(peer.readDatagram(d.data(), d.size()), 3);
    EXPECT_EQ(d.left(3), "two");

    const auto local = static_cast<quint16>(m_settings.m_nUdpPort);
    peer.writeDatagram(QByteArray(20, 'u'), QHostAddress::LocalHost, local);
    ASSERT_TRUE(WaitFor([&] { return m_owner.m_blocks.size() == 1; }));
    EXPECT_EQ(m_owner.m_blocks[0], QByteArray(20, 'u'));
    if (ipv6) {
        peer6.writeDatagram("v6", QHostAddress::LocalHostIPv6, local);
        ASSERT_TRUE(WaitFor([&] { return m_owner.m_blocks.size() == 2; }));
        EXPECT_EQ(m_owner.m_blocks[1], "v6");
    }
}

// A target host that does not resolve is told, after the open; the socket
// still receives, but nothing can be sent.
TEST_F(SocketLink, UdpWithATargetThatCannotBeResolvedSaysSoAndKeepsReceiving) {
    m_settings.m_strIp = "quillet-test.invalid";
    m_settings.m_nPort = 5020;
    m_settings.m_nUdpPort = FreePort();
    ASSERT_TRUE(Open(LINK_UDP));
    EXPECT_TRUE(m_owner.m_failures.empty()) << "the answer comes after the open";
    EXPECT_FALSE(m_manager.IsReady());
    ASSERT_TRUE(WaitFor([&] { return !m_owner.m_failures.empty(); }));
    EXPECT_EQ(m_owner.m_failures,
              std::vector<std::string>{"quillet-test.invalid:5020: Host not found"});
    EXPECT_TRUE(m_owner.m_bUp);
    EXPECT_TRUE(m_manager.IsAlive());
    EXPECT_FALSE(m_manager.IsReady());
    QUdpSocket peer;
    peer.writeDatagram("in", QHostAddress::LocalHost, static_cast<quint16>(m_settings.m_nUdpPort));
    ASSERT_TRUE(WaitFor([&] { return m_owner.Received() == "in"; }));
}

TEST_F(SocketLink, IpxServerAndClientTalkOverTcp) {
    const int port = FreePort();
    char socket[8];
    std::snprintf(socket, sizeof socket, "%04X", port);
    m_settings.m_strSocket = socket;
    m_settings.m_strNetwork = "12345678";
    m_settings.m_strNode = "";
    ASSERT_TRUE(Open(LINK_IPX_SERVER));
    // The server reports its own address into the settings.
    EXPECT_EQ(m_settings.m_strNetwork, "00000000");
    ASSERT_EQ(m_settings.m_strNode.size(), 12u);
    EXPECT_EQ(m_settings.m_strNode.substr(0, 4), "0000");

    RecordingOwner clientOwner;
    CLinkManager client(&clientOwner);
    LinkSettings clientSettings;
    clientSettings.m_strNetwork = "00000000";
    clientSettings.m_strNode = "00007F000001";
    clientSettings.m_strSocket = socket;
    client.CreateEndpoint(LINK_IPX_CLIENT);
    ASSERT_TRUE(client.OpenLink(&clientSettings));
    ASSERT_TRUE(WaitFor([&] { return client.IsReady() && m_manager.GetConnectionCount() == 1; }));
    EXPECT_EQ(m_owner.m_strStatus,
              " , IPX SERVER설정: NETWORK:00000000 , NODE:" + m_settings.m_strNode +
                  ", SOCKET:" + socket + " , 접속자 수:1 ");

    Send("to client");
    ASSERT_TRUE(WaitFor([&] { return clientOwner.Received() == "to client"; }));
    const QByteArray back = "to server";
    client.Send(reinterpret_cast<const std::uint8_t*>(back.data()), static_cast<int>(back.size()));
    ASSERT_TRUE(WaitFor([&] { return m_owner.Received() == back; }));

    // The socket is taken now: a second server cannot bind it.
    RecordingOwner otherOwner;
    CLinkManager other(&otherOwner);
    LinkSettings otherSettings = clientSettings;
    other.CreateEndpoint(LINK_IPX_SERVER);
    EXPECT_FALSE(other.OpenLink(&otherSettings));
    ASSERT_EQ(otherOwner.m_failures.size(), 1u);
    EXPECT_EQ(otherOwner.m_failures[0], std::string("바인드 실패\nsocket ") + socket +
                                            " (TCP port " + std::to_string(port) +
                                            "): " + std::strerror(EADDRINUSE));
}

TEST_F(SocketLink, NoBlockArrivesAfterCloseLinkReturns) {
    m_settings.m_nPort = FreePort();
    ASSERT_TRUE(Open(LINK_TCP_SERVER));
    auto peer = Connect(m_settings.m_nPort, 1);
    // The screen closes the link on the first block of a burst.
    m_owner.m_fnOnBlock = [this] {
        if (m_owner.m_blocks.size() == 1)
            m_manager.CloseLink();
    };
    peer->write(QByteArray(200000, 'b'));
    ASSERT_TRUE(WaitFor([&] { return !m_owner.m_blocks.empty(); }));
    Spin(200);
    EXPECT_EQ(m_owner.m_blocks.size(), 1u);
    EXPECT_FALSE(m_owner.m_bUp);
}

TEST_F(SocketLink, AMessageBoxInsideADeliveryMayOutliveTheConnection) {
    // The peer sends again and leaves while the screen's box is open; the
    // endpoint must survive until its own notification has returned.
    m_settings.m_nPort = FreePort();
    ASSERT_TRUE(Open(LINK_TCP_SERVER));
    auto peer = Connect(m_settings.m_nPort, 1);
    m_owner.m_fnOnBlock = [&] {
        if (m_owner.m_blocks.size() == 1)
            NestedLoop(300, [&] {
                peer->write("second");
                peer->disconnectFromHost();
            });
    };
    peer->write("first");
    ASSERT_TRUE(WaitFor([&] { return m_manager.GetConnectionCount() == 0; }));
    Spin(50);
    EXPECT_EQ(m_owner.Received(), "firstsecond");
    EXPECT_TRUE(m_owner.m_bUp) << "a client leaving does not take the server down";
}

TEST_F(SocketLink, AClientLinkClosedByItsPeerDuringAMessageBoxSurvives) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    m_settings.m_strIp = "127.0.0.1";
    m_settings.m_nPort = server.serverPort();
    ASSERT_TRUE(Open(LINK_TCP_CLIENT));
    ASSERT_TRUE(WaitFor([&] { return server.hasPendingConnections() && m_manager.IsReady(); }));
    std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
    m_owner.m_fnOnBlock = [&] {
        if (m_owner.m_blocks.size() == 1)
            NestedLoop(300, [&] { peer->close(); });
    };
    peer->write("bye");
    ASSERT_TRUE(WaitFor([&] { return !m_owner.m_bUp && !m_owner.m_blocks.empty(); }));
    Spin(50);
    // Down from the close before the open, up at the open and at the
    // connect, down when the peer left.
    EXPECT_EQ(m_owner.m_upChanges, (std::vector<bool>{false, true, true, false}));
}

TEST_F(SocketLink, TcpClientSendsNothingBeforeItIsConnected) {
    // A server whose accept queue is full leaves the client connecting.
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    m_settings.m_strIp = "127.0.0.1";
    m_settings.m_nPort = server.serverPort();
    ASSERT_TRUE(Open(LINK_TCP_CLIENT));
    Send("stale request"); // the connect has not finished yet
    ASSERT_TRUE(WaitFor([&] { return server.hasPendingConnections() && m_manager.IsReady(); }));
    std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
    Send("fresh");
    ASSERT_TRUE(WaitFor([&] { return peer->bytesAvailable() >= 5; }));
    Spin(50);
    EXPECT_EQ(peer->readAll(), "fresh");
}

TEST_F(SocketLink, TheServerAcceptsAgainAfterAnAcceptFailed) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers' own checks need free descriptors; the plain build runs this";
#endif
    // One client is served before the machine runs out of descriptors.
    m_settings.m_nPort = FreePort();
    ASSERT_TRUE(Open(LINK_TCP_SERVER));
    auto first = Connect(m_settings.m_nPort, 1);
    m_owner.m_fnOnBlock = [] {};
    first->write("0");
    ASSERT_TRUE(WaitFor([&] { return m_owner.Received() == "0"; }));
    m_owner.m_blocks.clear();
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(m_settings.m_nPort));
    // No descriptor left for the accepted socket: fill the free numbers
    // below the highest one in use and allow no more.
    int highest = 0;
    for (int fd = 0; fd < 4096; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1)
            highest = fd;
    }
    std::vector<int> fillers;
    for (int fd = ::open("/dev/null", O_RDONLY); fd >= 0 && fd < highest;
         fd = ::open("/dev/null", O_RDONLY))
        fillers.push_back(fd);
    for (int fd = highest + 1; fd < 4096; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 && fd > highest)
            fillers.push_back(fd), highest = fd;
    }
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(highest + 1);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    const bool failed = WaitFor([&] { return !m_owner.m_messages.empty(); }, 3000);
    ::setrlimit(RLIMIT_NOFILE, &saved);
    for (int fd : fillers)
        ::close(fd);
    ASSERT_TRUE(failed);
    EXPECT_EQ(m_owner.m_messages.front(), "접속 허용 실패 ");
    EXPECT_FALSE(m_owner.m_bUp);
    ASSERT_TRUE(WaitFor([&] { return m_manager.GetConnectionCount() == 2; }));
    EXPECT_TRUE(m_owner.m_bUp);
    EXPECT_EQ(m_owner.m_messages.size(), 1u);
    client.write("after");
    ASSERT_TRUE(WaitFor([&] { return m_owner.Received() == "after"; }));
}

} // namespace
