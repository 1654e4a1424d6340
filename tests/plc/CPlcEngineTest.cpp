#include "plc/CPlcEngine.h"
#include "PlcTestSupport.h"
#include "RecordingHub.h"
#include "TestBytes.h"
#include "plc/codecs/CYaskawaEngine.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

// The diagnostics every screen shows, on the Yaskawa engine in RTU mode (the
// counting is the common engine's) with a clock the test moves by hand.
class PlcEngineCounters : public ::testing::Test {
protected:
    void SetUp() override {
        m_engine.SetClock([this] { return m_nNowUs; });
        WriteYaskawaRows({ReadRow(1, 0, 1, 0)});
        ASSERT_EQ(m_engine.Start(m_memory, CYaskawaEngine::MEMOBUS_RTU), 1);
    }
    void ReceiveAt(std::int64_t nowUs, const Bytes& bytes) {
        m_nNowUs = nowUs;
        m_engine.OnReceive(bytes.data(), static_cast<int>(bytes.size()));
    }
    void TimeOut() {
        for (int i = 0; i < 17; ++i)
            m_engine.OnTimer(CPlcEngine::ID_TIMER_POLL);
    }

    const Bytes m_good = "01 03 02 12 34 B5 33"_hex;
    const Bytes m_exception = "01 83 02 C0 F1"_hex;
    const Bytes m_badCrc = "01 03 02 12 34 00 00"_hex;
    std::int64_t m_nNowUs = 0;
    InTempDir m_dir;
    RecordingHub m_hub;
    CYaskawaEngine m_engine{m_hub};
    MemoryTable m_memory;
};

TEST_F(PlcEngineCounters, EachExchangeEndsInOneCountAndRepliesFromTheStationGiveTheRoundTrip) {
    // The good reply comes in two blocks: its round trip ends with the last.
    ReceiveAt(1000, Bytes(m_good.begin(), m_good.begin() + 3));
    ReceiveAt(4000, Bytes(m_good.begin() + 3, m_good.end()));
    ReceiveAt(6000, m_exception);
    ReceiveAt(7000, m_badCrc); // damaged: says nothing of the station's time
    m_nNowUs = 9000;
    TimeOut();

    const CPlcEngine::SCounters& c = m_engine.GetCounters();
    EXPECT_EQ(c.m_nRequests, 5);
    EXPECT_EQ(c.m_nGood, 1);
    EXPECT_EQ(c.m_nError, 1);
    EXPECT_EQ(c.m_nBad, 1);
    EXPECT_EQ(c.m_nTimeouts, 1);
    // One exchange is open: the fifth request.
    EXPECT_EQ(c.m_nRequests, c.m_nGood + c.m_nError + c.m_nBad + c.m_nTimeouts + 1);
    EXPECT_EQ(c.m_nRttSamples, 2);
    EXPECT_EQ(c.m_nRttLastUs, 2000);
    EXPECT_EQ(c.RttAverageUs(), 3000);

    // The fifth request went out at the time-out; its reply 500 us later.
    ReceiveAt(9500, m_good);
    EXPECT_EQ(m_engine.GetCounters().m_nRttLastUs, 500);
    EXPECT_EQ(m_engine.GetCounters().RttAverageUs(), (4000 + 2000 + 500) / 3);
}

TEST_F(PlcEngineCounters, ResetZeroesEverythingAndForgetsTheOpenExchange) {
    ReceiveAt(2000, m_good);
    ReceiveAt(3000, m_badCrc);
    m_engine.ResetCounters();
    const CPlcEngine::SCounters zero;
    const CPlcEngine::SCounters& c = m_engine.GetCounters();
    EXPECT_EQ(std::tie(c.m_nRequests, c.m_nGood, c.m_nBad, c.m_nError, c.m_nTimeouts,
                       c.m_nRttSamples, c.m_nRttLastUs, c.m_nRttTotalUs),
              std::tie(zero.m_nRequests, zero.m_nGood, zero.m_nBad, zero.m_nError, zero.m_nTimeouts,
                       zero.m_nRttSamples, zero.m_nRttLastUs, zero.m_nRttTotalUs));

    // The reply to the request sent before the reset counts nothing; the
    // request it sends does, and so does its reply.
    ReceiveAt(4000, m_good);
    EXPECT_EQ(c.m_nRequests, 1);
    EXPECT_EQ(c.m_nGood, 0);
    EXPECT_EQ(c.m_nRttSamples, 0);
    ReceiveAt(4700, m_good);
    EXPECT_EQ(c.m_nGood, 1);
    EXPECT_EQ(c.m_nRttLastUs, 700);
    // Polling went on through it all.
    EXPECT_EQ(m_hub.m_sent.size(), 5u);
}

TEST_F(PlcEngineCounters, AClockSteppingBackGivesNoNegativeTime) {
    m_nNowUs = 10000;
    m_engine.ResetCounters();
    ReceiveAt(10000, m_good); // forgotten exchange; the next goes out at 10000
    ReceiveAt(5000, m_good);
    EXPECT_EQ(m_engine.GetCounters().m_nRttLastUs, 0);
    EXPECT_EQ(m_engine.GetCounters().m_nRttSamples, 1);
}

} // namespace
