// The hosted serial control on its own, on a pseudo-terminal: what OnComm
// reports, in which order, and what becomes of bytes the receive buffer has
// no room for.

#include "MSComm.h"
#include "CPtyPair.h"

#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr int kPort = 7;
constexpr int kWaitMs = 3000; // generous: the suite also runs under ASan on 2 busy cores

// The driver's error counters, set by the test; a pty has none of its own.
class CFakeCounterComm : public MSComm {
public:
    int m_nFrameErrors = 0;

protected:
    bool ReadLineCounters(LineCounters& counters) const override {
        counters = {};
        counters.nFrame = m_nFrameErrors;
        return true;
    }
};

// One OnComm as the handler saw it.
struct Notification {
    int nEvent;
    int nInBufferCount;
    bool operator==(const Notification&) const = default;
};

void PrintTo(const Notification& n, std::ostream* pOut) {
    *pOut << '{' << n.nEvent << ", " << n.nInBufferCount << '}';
}

class MSCommOnPty : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_pty.IsOpen());
        qputenv("BREVEL_COM7", m_pty.SlavePath().toLocal8Bit());
    }
    void TearDown() override { qunsetenv("BREVEL_COM7"); }

    // As the control opens it: binary input, a notification per arrival.
    static void Open(MSComm& comm) {
        ASSERT_FALSE(comm.SetCommPort(kPort).Failed());
        ASSERT_FALSE(comm.SetInputMode(MSComm::comInputModeBinary).Failed());
        ASSERT_FALSE(comm.SetRThreshold(1).Failed());
        const CommError error = comm.SetPortOpen(true);
        ASSERT_FALSE(error.Failed()) << error.strDescription.toStdString();
    }

    static void Record(MSComm& comm, QList<Notification>& log) {
        QObject::connect(&comm, &MSComm::OnComm, &comm, [&comm, &log] {
            log.append({comm.CommEvent(), comm.InBufferCount()});
        });
    }

    CPtyPair m_pty;
};

TEST_F(MSCommOnPty, BytesBeyondTheBufferWaitInThePortUntilThereIsRoom) {
    MSComm comm;
    ASSERT_FALSE(comm.SetInBufferSize(8).Failed());
    QList<Notification> log;
    Record(comm, log); // and reads nothing, so the buffer fills
    Open(comm);

    const QByteArray baSent("0123456789abcdefghij");
    m_pty.Send(baSent);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return log.contains(Notification{MSComm::comEventRxOver, 8});
        },
        kWaitMs));
    QTest::qWait(50);
    EXPECT_EQ(log.count(Notification{MSComm::comEventRxOver, 8}), 1) << "reported once while full";

    // Each read makes room, and what waited in the port comes in.
    QByteArray baReceived;
    while (baReceived.size() < baSent.size()) {
        if (!QTest::qWaitFor([&] { return comm.InBufferCount() > 0; }, kWaitMs))
            break;
        baReceived.append(comm.Input().toByteArray());
    }
    EXPECT_EQ(baReceived, baSent);
}

TEST_F(MSCommOnPty, LineErrorsAreReportedAfterTheBytesOfTheSameRead) {
    CFakeCounterComm comm;
    QList<Notification> log;
    Record(comm, log);
    Open(comm);

    comm.m_nFrameErrors = 1;
    m_pty.Send("abc");
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.size() >= 2; }, kWaitMs));
    EXPECT_EQ(log, (QList<Notification>{{MSComm::comEvReceive, 3}, {MSComm::comEventFrame, 3}}));
}

TEST_F(MSCommOnPty, AHandlerMayDeleteTheControl) {
    QPointer<MSComm> pComm = new MSComm;
    ASSERT_FALSE(pComm->SetEOFEnable(true).Failed()); // more work after the first OnComm
    QObject::connect(pComm, &MSComm::OnComm, [&pComm] { delete pComm.data(); });
    Open(*pComm);

    m_pty.Send("a\x1A"
               "b");
    ASSERT_TRUE(QTest::qWaitFor([&] { return pComm.isNull(); }, kWaitMs));
    QTest::qWait(50); // anything still queued for it runs now
}

} // namespace
