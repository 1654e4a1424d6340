#include "LinkTestSupport.h"

#include "TestFiles.h"
#include "app/CQSettingsStore.h"
#include "link/CComPortMap.h"
#include "link/CLinkManager.h"
#include "link/CSerialLink.h"
#include "link/LinkSettings.h"
#include "link/LinkType.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// A pseudo-terminal pair stands in for a null-modem cable: the link opens
// the slave, the test plays the device on the master.
class PtyPair {
public:
    PtyPair() {
        char name[256] = {};
        if (::openpty(&m_nMaster, &m_nSlave, name, nullptr, nullptr) == 0) {
            m_path = name;
            ::fcntl(m_nMaster, F_SETFL, ::fcntl(m_nMaster, F_GETFL) | O_NONBLOCK);
            termios t{};
            ::tcgetattr(m_nSlave, &t);
            ::cfmakeraw(&t);
            ::tcsetattr(m_nSlave, TCSANOW, &t);
        }
    }
    ~PtyPair() {
        if (m_nMaster >= 0)
            ::close(m_nMaster);
        if (m_nSlave >= 0)
            ::close(m_nSlave);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    void Write(const QByteArray& bytes) const {
        ASSERT_EQ(::write(m_nMaster, bytes.data(), static_cast<size_t>(bytes.size())),
                  bytes.size());
    }
    // Everything that reaches the master within the time.
    QByteArray Read(int expected, int ms = 3000) const {
        QByteArray all;
        WaitFor(
            [&] {
                char b[8192];
                ssize_t n;
                while ((n = ::read(m_nMaster, b, sizeof b)) > 0)
                    all.append(b, static_cast<int>(n));
                return all.size() >= expected;
            },
            ms);
        return all;
    }

    QString m_path;
    int m_nMaster = -1;
    int m_nSlave = -1;
};

class SerialLink : public ::testing::Test {
protected:
    SerialLink() : m_manager(&m_owner, &m_ports) {
        m_ports.SetOverride(1, m_pty.m_path);
        m_settings.m_strEnv = "1,9600,N,8,1,0,0";
    }
    ~SerialLink() override {
        m_manager.CloseLink();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    bool Open() {
        m_manager.CloseLink();
        m_manager.CreateEndpoint(LINK_SERIAL);
        return m_manager.OpenLink(&m_settings);
    }

    PtyPair m_pty;
    CComPortMap m_ports;
    RecordingOwner m_owner;
    CLinkManager m_manager;
    LinkSettings m_settings;
};

TEST_F(SerialLink, EchoesThroughAPtyPair) {
    ASSERT_FALSE(m_pty.m_path.isEmpty());
    ASSERT_TRUE(Open());
    EXPECT_TRUE(m_owner.m_bUp);
    EXPECT_TRUE(m_owner.m_messages.empty());

    m_pty.Write("\x02"
                "R01\x03");
    ASSERT_TRUE(WaitFor([&] { return m_owner.Received().size() == 5; }));
    EXPECT_EQ(m_owner.Received(), QByteArray("\x02R01\x03"));

    const QByteArray reply("\x06"
                           "OK\r\n");
    m_manager.Send(reinterpret_cast<const std::uint8_t*>(reply.data()),
                   static_cast<int>(reply.size()));
    EXPECT_EQ(m_pty.Read(static_cast<int>(reply.size())), reply);

    // Bursts come up in blocks of at most 4096 bytes, in order.
    QByteArray burst(10000, '\0');
    for (int i = 0; i < burst.size(); ++i)
        burst[i] = static_cast<char>(i);
    m_owner.m_blocks.clear();
    m_pty.Write(burst);
    ASSERT_TRUE(WaitFor([&] { return m_owner.Received().size() == burst.size(); }));
    EXPECT_EQ(m_owner.Received(), burst);
    for (const QByteArray& block : m_owner.m_blocks)
        EXPECT_LE(block.size(), 4096);
}

TEST_F(SerialLink, ADeviceThatGoesAwayTakesTheLinkDown) {
    ASSERT_TRUE(Open());
    m_pty.Write("A");
    ASSERT_TRUE(WaitFor([&] { return m_owner.Received().size() == 1; }));
    // The far end vanishes, as an unplugged USB adapter does.
    ::close(m_pty.m_nMaster);
    m_pty.m_nMaster = -1;
    EXPECT_TRUE(WaitFor([&] { return !m_owner.m_bUp; }));
    EXPECT_FALSE(m_manager.IsReady());
    EXPECT_FALSE(m_manager.IsAlive());
    EXPECT_TRUE(m_owner.m_messages.empty());
    ASSERT_EQ(m_owner.m_failures.size(), 1u);
    EXPECT_TRUE(m_owner.m_failures[0].starts_with("COM1 (" + m_pty.m_path.toStdString() +
                                                  "): the device went away"))
        << m_owner.m_failures[0];
    const std::uint8_t byte = 0x41;
    m_manager.Send(&byte, 1); // nothing to write to, and no harm
    Spin(100);
    EXPECT_EQ(m_owner.Received(), QByteArray("A"));
}

TEST_F(SerialLink, ABlockGoesOutWholeOrNotAtAll) {
    ASSERT_TRUE(Open());
    const auto send = [this](const QByteArray& b) {
        return m_manager.Send(reinterpret_cast<const std::uint8_t*>(b.data()),
                              static_cast<int>(b.size()));
    };
    // Longer than the driver's queue: all of it, in order.
    QByteArray big(6000, 'w');
    big[5999] = 'z';
    EXPECT_TRUE(send(big));
    EXPECT_EQ(m_pty.Read(6000), big);

    // A device that holds the line: once the queue's limit waits, a block
    // is refused whole, and what was queued still goes out uncut.
    const QByteArray flood(static_cast<int>(CSerialLink::kMaxQueuedBytes), 'f');
    EXPECT_TRUE(send(flood));
    EXPECT_FALSE(send(QByteArray("late")));
    EXPECT_EQ(m_pty.Read(static_cast<int>(flood.size()), 20000), flood);
    EXPECT_EQ(m_pty.Read(1, 100), QByteArray()); // nothing of the refused block
}

TEST_F(SerialLink, AFailedOpenNamesThePortItsDeviceAndTheReason) {
    ASSERT_TRUE(Open());
    const std::string pty = m_pty.m_path.toStdString();
    // The same device again: busy (held by this program, as by another).
    RecordingOwner other;
    CLinkManager second(&other, &m_ports);
    second.CreateEndpoint(LINK_SERIAL);
    LinkSettings s = m_settings;
    EXPECT_FALSE(second.OpenLink(&s));
    EXPECT_FALSE(other.m_bUp);
    EXPECT_TRUE(other.m_messages.empty());
    ASSERT_EQ(other.m_failures.size(), 1u);
    EXPECT_TRUE(other.m_failures[0].starts_with("COM1 (" + pty + "): ")) << other.m_failures[0];
    EXPECT_GT(other.m_failures[0].size(), ("COM1 (" + pty + "): ").size());
    EXPECT_EQ(second.GetKind(), LINK_SERIAL);
    const QByteArray lost("x");
    second.Send(reinterpret_cast<const std::uint8_t*>(lost.data()), 1); // silently dropped

    // A device that does not exist.
    m_ports.SetOverride(2, "/dev/quillet-no-such-port");
    s.m_strEnv = "2,9600,N,8,1,0,0";
    second.CreateEndpoint(LINK_SERIAL);
    EXPECT_FALSE(second.OpenLink(&s));
    EXPECT_EQ(other.m_failures.back(),
              "COM2 (/dev/quillet-no-such-port): " + std::string(std::strerror(ENOENT)));

    // Parameters the port cannot take.
    m_manager.CloseLink();
    m_settings.m_strEnv = "1,9600,N,9,1,0,0";
    EXPECT_FALSE(Open());
    EXPECT_TRUE(m_owner.m_messages.empty());
    ASSERT_EQ(m_owner.m_failures.size(), 1u);
    EXPECT_TRUE(m_owner.m_failures[0].starts_with("COM1 (" + pty +
                                                  "): the settings 1,9600,N,9,1,0,0 were refused"))
        << m_owner.m_failures[0];
}

TEST_F(SerialLink, NoBlockArrivesAfterCloseLinkReturns) {
    ASSERT_TRUE(Open());
    m_owner.m_fnOnBlock = [this] {
        if (m_owner.m_blocks.size() == 1)
            m_manager.CloseLink();
    };
    m_pty.Write(QByteArray(3000, 'a'));
    ASSERT_TRUE(WaitFor([&] { return !m_owner.m_blocks.empty(); }));
    m_pty.Write(QByteArray(3000, 'b'));
    Spin(200);
    EXPECT_EQ(m_owner.m_blocks.size(), 1u);
    EXPECT_FALSE(m_owner.m_bUp);
}

TEST_F(SerialLink, ClosingFromAMessageBoxInsideADeliveryIsSafe) {
    ASSERT_TRUE(Open());
    m_owner.m_fnOnBlock = [this] {
        if (m_owner.m_blocks.size() == 1)
            NestedLoop(200, [this] {
                m_pty.Write(QByteArray(100, 'c'));
                Spin(50);
                m_manager.CloseLink(); // the user closes the link from the box
            });
    };
    m_pty.Write(QByteArray(10, 'a'));
    ASSERT_TRUE(WaitFor([&] { return !m_owner.m_bUp; }));
    const std::size_t blocks = m_owner.m_blocks.size();
    m_pty.Write(QByteArray(10, 'd'));
    Spin(200);
    EXPECT_EQ(m_owner.m_blocks.size(), blocks);
    EXPECT_EQ(m_owner.Received().left(10), QByteArray(10, 'a'));
}

TEST(ComPortMap, StoredDevicesWinOverTheMachinesPortsAndOrderIsNatural) {
    QStringList ports = {"/dev/ttyS10", "/dev/ttyS2", "/dev/ttyACM0", "/dev/ttyUSB1",
                         "/dev/ttyUSB0"};
    CComPortMap::SortPorts(ports);
    EXPECT_EQ(ports, (QStringList{"/dev/ttyACM0", "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyS2",
                                  "/dev/ttyS10"}));

    CComPortMap map;
    map.SetOverride(3, "/dev/pts/9");
    EXPECT_EQ(map.DevicePath(3), "/dev/pts/9");
    EXPECT_TRUE(map.DevicePath(0).isEmpty());
    // Beyond the ports the machine has, COMn is the traditional ttyS(n-1).
    EXPECT_EQ(map.DevicePath(200), "/dev/ttyS199");

    // Devices kept in the settings store, group "PORTS".
    TempDir dir;
    const QString ini = QString::fromStdString((dir / "QUILLET.conf").string());
    {
        CQSettingsStore store(ini);
        CComPortMap stored(&store);
        stored.SetDevicePath(2, "/dev/ttyUSB7");
        store.Sync();
    }
    CQSettingsStore store(ini);
    CComPortMap reread(&store);
    EXPECT_EQ(reread.DevicePath(2), "/dev/ttyUSB7");
    EXPECT_NE(ReadFile(dir / "QUILLET.conf").find("[PORTS]\nCOM2=/dev/ttyUSB7"), std::string::npos);
}

} // namespace
