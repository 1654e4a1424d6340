// The control on a pseudo-terminal: bursts, text conversion, the last text,
// opening and its failures, line errors.

#include "CPtyPair.h"
#include "CRecordingBrevel.h"
#include "MSComm.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

constexpr int kPort = 7;
constexpr int kWaitMs = 3000; // generous: the suite also runs under ASan on 2 busy cores

class BrevelOnPty : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_pty.IsOpen());
        qputenv("BREVEL_COM7", m_pty.SlavePath().toLocal8Bit());
        m_brevel.setCommPort(kPort);
        m_brevel.setSettings(QStringLiteral("9600,n,8,1"));
        ASSERT_TRUE(m_brevel.PortOpen(true)) << m_brevel.m_messages.join(u'\n').toStdString();
    }
    void TearDown() override { qunsetenv("BREVEL_COM7"); }

    bool WaitForEvents(qsizetype nCount) {
        return QTest::qWaitFor([&] { return m_brevel.m_events.size() >= nCount; }, kWaitMs);
    }

    CPtyPair m_pty;
    CRecordingBrevel m_brevel;
};

TEST_F(BrevelOnPty, BytesWithinTheQuietTimeJoinOneEvent) {
    // Notifications and timer ticks in order: 'c' for bytes, 't' for a tick.
    QString strLog;
    QObject context; // gone before strLog, and the connections with it
    QObject::connect(m_brevel.findChild<MSComm*>(QStringLiteral("MSComm1")), &MSComm::OnComm,
                     &context, [&strLog] { strLog += u'c'; });
    QObject::connect(m_brevel.findChild<QTimer*>(QStringLiteral("Timer1")), &QTimer::timeout,
                     &context, [&strLog] { strLog += u't'; });

    QElapsedTimer gap;
    m_pty.Send("\x01\x02");
    gap.start();
    QTest::qWait(20);
    m_pty.Send("\x03\x04");
    const qint64 nGapMs = gap.elapsed();
    const qint64 nLastSent = m_brevel.m_clock.elapsed();
    if (nGapMs >= 45)
        GTEST_SKIP() << "the machine held the test for " << nGapMs << " ms between the writes";

    ASSERT_TRUE(WaitForEvents(1));
    QTest::qWait(150); // nothing more may follow
    ASSERT_EQ(m_brevel.m_events, QStringList{QStringLiteral("\x01\x02\x03\x04")});
    const qint64 nDelay = m_brevel.m_eventTimes[0] - nLastSent;
    EXPECT_GE(nDelay, 40); // five 10 ms ticks after the last bytes
    EXPECT_LT(nDelay, 1000);
    // The event went on the fifth tick after the last bytes, and the timer stopped.
    EXPECT_TRUE(strLog.endsWith(QStringLiteral("cttttt"))) << strLog.toStdString();
    EXPECT_GE(strLog.count(u'c'), 2);
}

TEST_F(BrevelOnPty, GetDataHoldsTheLastEventsText) {
    EXPECT_EQ(m_brevel.GetData(), QString());

    m_pty.Send("AB");
    ASSERT_TRUE(WaitForEvents(1));
    EXPECT_EQ(m_brevel.GetData(), QStringLiteral("AB"));
    QTest::qWait(100);
    EXPECT_EQ(m_brevel.GetData(), QStringLiteral("AB"));

    m_pty.Send("CD");
    ASSERT_TRUE(WaitForEvents(2));
    EXPECT_EQ(m_brevel.m_events, (QStringList{QStringLiteral("AB"), QStringLiteral("CD")}));
    EXPECT_EQ(m_brevel.GetData(), QStringLiteral("CD"));
}

TEST_F(BrevelOnPty, BurstsAreCodePage949Text) {
    struct Case {
        const char* pszName;
        QList<QByteArray> chunks; // written 15 ms apart
        QString strText;
    };
    const QList<Case> cases = {
        {"hangul syllable", {"\xC7\xD1"}, QString(QChar(0xD55C))},
        {"lead byte and trail byte in separate reads", {"\xC7", "\xD1"}, QString(QChar(0xD55C))},
        {"ASCII around hangul",
         {"A\xC7\xD1"
          "B"},
         QStringLiteral("A") + QChar(0xD55C) + u'B'},
        {"lead byte left alone at the end", {"A\xC7"}, QStringLiteral("A") + QChar(0xFFFD)},
        // Where IBM's 949 differs from Windows' 949.
        {"extended syllable", {"\x81\x41"}, QString(QChar(0xAC02))},
        {"backslash, not the won sign", {"\x5C"}, QStringLiteral("\\")},
        {"0x80 alone", {"\x80"}, QString(QChar(0x0080))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszName);
        m_brevel.m_events.clear();
        for (const QByteArray& chunk : c.chunks) {
            m_pty.Send(chunk);
            QTest::qWait(15);
        }
        ASSERT_TRUE(WaitForEvents(1));
        QTest::qWait(80);
        EXPECT_EQ(m_brevel.m_events, QStringList{c.strText});
    }
}

TEST_F(BrevelOnPty, ClosingStillReportsTheBurstInFlight) {
    QSignalSpy comm(m_brevel.findChild<MSComm*>(QStringLiteral("MSComm1")), &MSComm::OnComm);
    m_pty.Send("xy");
    ASSERT_TRUE(comm.wait(kWaitMs));
    EXPECT_FALSE(m_brevel.PortOpen(false));
    EXPECT_FALSE(m_brevel.IsPortOpen());
    ASSERT_TRUE(WaitForEvents(1));
    EXPECT_EQ(m_brevel.m_events, QStringList{QStringLiteral("xy")});
}

TEST_F(BrevelOnPty, OpeningAnOpenPortFailsAndLeavesItOpen) {
    EXPECT_FALSE(m_brevel.PortOpen(true));
    EXPECT_EQ(m_brevel.m_messages, QStringList{QStringLiteral("포트가 이미 열려 있습니다.")});
    EXPECT_TRUE(m_brevel.IsPortOpen());

    m_pty.Send("still here");
    ASSERT_TRUE(WaitForEvents(1));
    EXPECT_EQ(m_brevel.m_events, QStringList{QStringLiteral("still here")});
}

TEST_F(BrevelOnPty, PortNumberCannotChangeWhileOpen) {
    m_brevel.setCommPort(3);
    EXPECT_EQ(m_brevel.LastError().nNumber, MSComm::comPortOpen);
    EXPECT_EQ(m_brevel.CommPort(), kPort);
}

TEST_F(BrevelOnPty, ASecondControlCannotOpenTheSamePort) {
    CRecordingBrevel other;
    other.setCommPort(kPort);
    EXPECT_FALSE(other.PortOpen(true));
    EXPECT_EQ(other.m_messages,
              QStringList{QStringLiteral(
                  "포트를 사용할 수 없습니다. 다른 프로그램이 사용 중이거나 권한이 없습니다.")});
    EXPECT_FALSE(other.IsPortOpen());
}

TEST_F(BrevelOnPty, EachEventCarriesAllBufferedBytesWhateverInputLen) {
    m_brevel.setInputLen(2);
    ASSERT_FALSE(m_brevel.LastError().Failed());
    m_pty.Send("abcdef");
    ASSERT_TRUE(WaitForEvents(1));
    QTest::qWait(150); // nothing held back for a later event
    EXPECT_EQ(m_brevel.m_events, QStringList{QStringLiteral("abcdef")});
}

TEST_F(BrevelOnPty, MoreBytesThanTheBufferHoldsArriveWholeAndInOrder) {
    m_brevel.setInBufferSize(1024);
    QByteArray baSent;
    for (int i = 0; i < 3000; ++i)
        baSent.append(static_cast<char>('a' + i % 26));
    m_pty.Send(baSent);
    QThread::msleep(200); // the host is busy; all 3000 bytes wait in the port
    const auto received = [this] { return m_brevel.m_events.join(QString()); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return received().size() >= baSent.size(); }, kWaitMs))
        << received().size() << " of " << baSent.size() << " bytes arrived";
    QTest::qWait(100);
    EXPECT_EQ(received(), QString::fromLatin1(baSent));
    EXPECT_EQ(m_brevel.m_messages, QStringList{});
}

TEST(BrevelPort, OpeningAMissingDeviceFails) {
    qputenv("BREVEL_COM8", "/nonexistent/tty-brevel");
    CRecordingBrevel brevel;
    brevel.setCommPort(8);
    EXPECT_FALSE(brevel.PortOpen(true));
    EXPECT_EQ(brevel.m_messages, QStringList{QStringLiteral("잘못된 포트 번호입니다.")});
    EXPECT_FALSE(brevel.IsPortOpen());
    qunsetenv("BREVEL_COM8");
}

TEST(BrevelPort, PortNumbersMapToDevices) {
    qunsetenv("BREVEL_COM2");
    EXPECT_EQ(MSComm::DevicePath(2), QStringLiteral("/dev/ttyS1"));
    qputenv("BREVEL_COM2", "/dev/ttyUSB0");
    EXPECT_EQ(MSComm::DevicePath(2), QStringLiteral("/dev/ttyUSB0"));
    qunsetenv("BREVEL_COM2");
}

TEST(BrevelPort, DriverErrorCountersBecomeLineErrorEvents) {
    using C = MSComm::LineCounters;
    const C before{1, 2, 3, 4, 5};
    EXPECT_EQ(MSComm::LineEvents(before, before), QList<int>{});
    EXPECT_EQ(MSComm::LineEvents(before, C{2, 2, 3, 4, 5}), QList<int>{MSComm::comEventBreak});
    EXPECT_EQ(MSComm::LineEvents(before, C{1, 3, 3, 4, 7}),
              (QList<int>{MSComm::comEventFrame, MSComm::comEventRxParity}));
    EXPECT_EQ(MSComm::LineEvents(before, C{1, 2, 4, 5, 5}),
              (QList<int>{MSComm::comEventOverrun, MSComm::comEventRxOver}));
}

} // namespace
