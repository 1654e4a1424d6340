#include "plc/sim/CAbSimStation.h"
#include "../AbTestSupport.h"
#include "../RecordingHub.h"
#include "plc/codecs/CAbEngine.h"
#include "plc/sim/CSimStations.h"

#include <gtest/gtest.h>

#include <deque>

namespace {

const Bytes kAck = "10 06"_hex;
const Bytes kNak = "10 15"_hex;

// The example read: N7:0, ten words, station 1 from node 0, transaction 1.
const Bytes kReadN7 = "10 02 01 00 0F 00 01 00 01 00 00 0A 00 00 24 4E 37 3A 30 00 14 10 03 BD"_hex;

struct SWrite {
    std::string device;
    long long address;
    unsigned value;
    bool operator==(const SWrite&) const = default;
};

// A station whose sends and writes are kept.
class AbStation : public ::testing::Test {
protected:
    AbStation() {
        m_station.SetSendHandler([this](const std::uint8_t* bytes, int count) {
            m_sent.emplace_back(bytes, bytes + count);
        });
        m_station.SetWriteHandler(
            [this](const std::string& device, long long address, unsigned value) {
                m_writes.push_back({device, address, value});
            });
    }
    void Receive(const Bytes& bytes) {
        m_station.OnReceive(bytes.data(), static_cast<int>(bytes.size()));
    }
    void Preset(const std::string& device, long long address, long long value) {
        std::string error;
        ASSERT_TRUE(m_station.Preset(device, address, value, error)) << error;
    }

    CAbSimStation m_station;
    std::vector<Bytes> m_sent;
    std::vector<SWrite> m_writes;
};

TEST_F(AbStation, ServesTheExampleReadAndRepeatsItsReplyOnNakAndEnq) {
    Preset("N7", 0, 0x1234);
    Preset("N7", 9, 0x1010);
    // Byte by byte, as a slow line delivers it.
    for (const std::uint8_t b : kReadN7)
        Receive(Bytes{b});
    const Bytes reply =
        Df1("00 01 4F 00 01 00 12 34 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 10 10"_hex);
    ASSERT_EQ(m_sent, (std::vector<Bytes>{kAck, reply}));
    Receive(kNak);
    Receive("10 05"_hex);
    EXPECT_EQ(m_sent, (std::vector<Bytes>{kAck, reply, reply, reply}));
    // Delivered: an ENQ now gets the last link answer.
    Receive("10 06 10 05"_hex);
    EXPECT_EQ(m_sent.back(), kAck);
    EXPECT_EQ(m_station.GetRequestCount(), 1);
}

TEST_F(AbStation, ABadBccIsNakedAndTheGoodFrameAfterItServed) {
    Bytes bad = kReadN7;
    bad.back() ^= 1;
    Receive(Cat({"41 42 10"_hex, bad, kReadN7}));
    ASSERT_EQ(m_sent.size(), 3u);
    EXPECT_EQ(m_sent[0], kNak);
    EXPECT_EQ(m_sent[1], kAck);
    EXPECT_EQ(m_station.GetRejectedCount(), 1);
    EXPECT_EQ(m_station.GetRequestCount(), 1);
}

TEST_F(AbStation, WritesStoreAndReportEveryWord) {
    Receive(Df1("01 00 0F 00 07 00 00 00 00 02 00 00 24 42 33 3A 31 30 00 12 34 00 FF"_hex));
    EXPECT_EQ(m_writes, (std::vector<SWrite>{{"B3", 10, 0x1234}, {"B3", 11, 0x00FF}}));
    EXPECT_EQ(m_sent, (std::vector<Bytes>{kAck, Df1("00 01 4F 00 07 00"_hex)}));
    EXPECT_EQ(m_station.Memory().GetWord("B3", 11), 0x00FF);
}

// What the station cannot serve it refuses in the reply's status; nothing
// is stored or read beyond the file's 1000 elements.
TEST_F(AbStation, RequestsItCannotServeGetAnErrorStatus) {
    struct Case {
        const char* name;
        Bytes body;
        Bytes reply;
    } cases[] = {
        {"another command", "01 00 06 00 01 00 03"_hex, "00 01 46 10 01 00"_hex},
        {"another function", "01 00 0F 00 01 00 67 00 00 01 00 00"_hex, "00 01 4F 10 01 00"_hex},
        {"a later packet", "01 00 0F 00 01 00 01 02 00 01 00 00 24 4E 37 3A 30 00 02"_hex,
         "00 01 4F 10 01 00"_hex},
        {"not an address", "01 00 0F 00 01 00 01 00 00 01 00 00 4E 37 3A 30 00 02"_hex,
         "00 01 4F F0 01 00 06"_hex},
        {"element 1000", "01 00 0F 00 01 00 01 00 00 01 00 00 24 4E 37 3A 31 30 30 30 00 02"_hex,
         "00 01 4F F0 01 00 06"_hex},
        {"no end of address", "01 00 0F 00 01 00 01 00 00 01 00 00 24 4E 37 3A 30"_hex,
         "00 01 4F F0 01 00 06"_hex},
        {"past the last element",
         "01 00 0F 00 01 00 01 00 00 02 00 00 24 4E 37 3A 39 39 39 00 04"_hex,
         "00 01 4F F0 01 00 07"_hex},
        {"size not twice the count", "01 00 0F 00 01 00 01 00 00 02 00 00 24 4E 37 3A 30 00 02"_hex,
         "00 01 4F F0 01 00 07"_hex},
        {"123 words", "01 00 0F 00 01 00 01 00 00 7B 00 00 24 4E 37 3A 30 00 F6"_hex,
         "00 01 4F F0 01 00 07"_hex},
        {"write data cut", "01 00 0F 00 01 00 00 00 00 02 00 00 24 4E 37 3A 30 00 12 34 56"_hex,
         "00 01 4F F0 01 00 07"_hex},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_sent.clear();
        Receive(Df1(c.body));
        EXPECT_EQ(m_sent, (std::vector<Bytes>{kAck, Df1(c.reply)}));
    }
    EXPECT_TRUE(m_writes.empty());
    EXPECT_EQ(m_station.Memory().WordCount(), 0u);
}

TEST_F(AbStation, OtherStationsGarbageAndOverlongFramesAreNotServed) {
    Receive(Df1("02 00 0F 00 01 00 01 00 00 01 00 00 24 4E 37 3A 30 00 02"_hex));
    EXPECT_EQ(m_sent, std::vector<Bytes>{kAck});
    // A frame that never ends is bounded and dropped; the next one is served.
    Receive("10 02"_hex);
    Receive(Bytes(100000, 0x41));
    Receive("10 03 00"_hex);
    Receive(kReadN7);
    EXPECT_EQ(m_sent.size(), 4u);
    EXPECT_EQ(m_sent[1], kNak);
    EXPECT_EQ(m_station.GetRequestCount(), 1);

    std::string error;
    EXPECT_FALSE(m_station.Preset("n7", 0, 1, error));
    EXPECT_FALSE(m_station.Preset("N7", 1000, 1, error));
    EXPECT_FALSE(m_station.Preset("N7", 0, 65536, error));
    EXPECT_FALSE(m_station.SetStation(255, error));
    EXPECT_TRUE(m_station.SetStation(5, error));
    m_sent.clear();
    Receive(kReadN7);
    EXPECT_EQ(m_sent, std::vector<Bytes>{kAck});
}

// The engine against its station in the same process: engine sends go to
// the station, station sends come back as received blocks, each in turn.
class AbLoop : public ::testing::Test {
protected:
    AbLoop() {
        m_station = CSimStations::Make("ab");
        m_station->SetSendHandler([this](const std::uint8_t* bytes, int count) {
            m_toEngine.emplace_back(bytes, bytes + count);
        });
        m_station->SetWriteHandler(
            [this](const std::string& device, long long address, unsigned value) {
                m_writes.push_back({device, address, value});
            });
    }
    void Preset(const std::string& device, long long address, long long value) {
        std::string error;
        ASSERT_TRUE(m_station->Preset(device, address, value, error)) << error;
    }
    // Runs the two sides until each has finished n more exchanges, ticking
    // the engine's clock when the line is quiet.
    void Run(long long exchanges) {
        auto finished = [this] {
            return m_engine.GetReplyCount() + m_engine.GetBadReplyCount() +
                   m_engine.GetErrorReplyCount() + m_engine.GetTimeoutCount();
        };
        const long long goal = finished() + exchanges;
        for (int guard = 0; guard < 100000 && finished() < goal; ++guard) {
            if (m_delivered < m_hub.m_sent.size()) {
                const Bytes bytes = m_hub.m_sent[m_delivered++];
                m_station->OnReceive(bytes.data(), static_cast<int>(bytes.size()));
            } else if (!m_toEngine.empty()) {
                const Bytes bytes = m_toEngine.front();
                m_toEngine.pop_front();
                m_engine.OnReceive(bytes.data(), static_cast<int>(bytes.size()));
            } else {
                m_engine.OnTimer(CPlcEngine::ID_TIMER_POLL);
                m_station->OnTimer();
            }
        }
        ASSERT_GE(finished(), goal);
    }

    InTempDir m_dir;
    RecordingHub m_hub;
    CAbEngine m_engine{m_hub};
    MemoryTable m_memory;
    std::unique_ptr<CPlcSimStation> m_station;
    std::size_t m_delivered = 0;
    std::deque<Bytes> m_toEngine;
    std::vector<SWrite> m_writes;
};

TEST_F(AbLoop, ReadsAndWritesArriveOnBothSides) {
    Preset("N7", 0, 100);
    Preset("N7", 1, 0x1010);
    Preset("B3", 4, 0x8001); // bits 0 and 15 of B3:4
    m_memory.Set(20, 4660);
    m_memory.Set(21, 0xFFFF);
    WriteAbRows({AbRow(PlcRequestRow::kAutoRead, "N7", 0, 1, 0, 2, 0),
                 AbRow(PlcRequestRow::kAutoRead, "B3", 0, 1, 4, 1, 10),
                 AbRow(PlcRequestRow::kAutoWrite, "N7", 0, 1, 50, 2, 20)});
    ASSERT_EQ(m_engine.Start(m_memory, 0), 1);
    Run(6);
    EXPECT_EQ(m_memory.Get(0), 100);
    EXPECT_EQ(m_memory.Get(1), 0x1010);
    EXPECT_EQ(m_memory.Get(10), 0x8001);
    EXPECT_EQ(m_station->Memory().GetWord("N7", 50), 4660);
    EXPECT_EQ(m_station->Memory().GetWord("N7", 51), 0xFFFF);
    ASSERT_GE(m_writes.size(), 2u);
    EXPECT_EQ(m_writes[0], (SWrite{"N7", 50, 4660}));
    EXPECT_EQ(m_engine.GetReplyCount(), 6);
    EXPECT_EQ(m_engine.GetBadReplyCount() + m_engine.GetTimeoutCount(), 0);
}

// Spoiled replies are NAKed and sent again; dropped requests time out; the
// values come out right either way.
TEST_F(AbLoop, CorruptedAndDroppedExchangesRecover) {
    struct Case {
        const char* name;
        int corrupt;
        int drop;
    } cases[] = {{"every 2nd reply spoiled", 2, 0},
                 {"every 3rd reply spoiled", 3, 0},
                 {"every 3rd request dropped", 0, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_station = CSimStations::Make("ab");
        m_station->SetSendHandler([this](const std::uint8_t* bytes, int count) {
            m_toEngine.emplace_back(bytes, bytes + count);
        });
        m_station->SetCorruptEvery(c.corrupt);
        m_station->SetDropEvery(c.drop);
        Preset("N7", 3, 777);
        m_memory.Clear();
        m_memory.Set(30, 31000);
        WriteAbRows({AbRow(PlcRequestRow::kAutoRead, "N7", 0, 1, 3, 1, 5),
                     AbRow(PlcRequestRow::kAutoWrite, "N7", 0, 1, 60, 1, 30)});
        ASSERT_EQ(m_engine.Start(m_memory, 0), 1);
        Run(12);
        m_engine.Stop();
        m_toEngine.clear();
        m_delivered = m_hub.m_sent.size();
        EXPECT_EQ(m_memory.Get(5), 777);
        EXPECT_EQ(m_station->Memory().GetWord("N7", 60), 31000);
        if (c.corrupt) {
            EXPECT_GT(m_station->GetCorruptedCount(), 0);
            EXPECT_EQ(m_engine.GetBadReplyCount(), 0);
        }
        if (c.drop) {
            EXPECT_GT(m_engine.GetTimeoutCount(), 0);
        }
    }
}

} // namespace
