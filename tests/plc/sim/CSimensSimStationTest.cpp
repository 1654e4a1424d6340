#include "plc/sim/CSimensSimStation.h"
#include "../PlcTestSupport.h"
#include "TestBytes.h"
#include "link/ILinkHub.h"
#include "plc/codecs/CSimensEngine.h"
#include "plc/sim/CSimStations.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

const Bytes kStx = "02"_hex;
const Bytes kDle = "10"_hex;
const Bytes kNak = "15"_hex;

using Write = std::tuple<std::string, long long, unsigned>;

// The station with what it sends and reports kept.
class SimensStation : public ::testing::Test {
protected:
    SimensStation() {
        m_station.SetSendHandler(
            [this](const std::uint8_t* b, int n) { m_out.insert(m_out.end(), b, b + n); });
        m_station.SetWriteHandler(
            [this](const std::string& device, long long address, unsigned value) {
                m_writes.emplace_back(device, address, value);
            });
    }
    // Feeds the bytes and gives what the station sent in answer.
    Bytes Feed(const Bytes& bytes) {
        m_out.clear();
        m_station.OnReceive(bytes.data(), static_cast<int>(bytes.size()));
        return m_out;
    }
    void Preset(const char* device, long long address, long long value) {
        std::string error;
        ASSERT_TRUE(m_station.Preset(device, address, value, error)) << error;
    }

    CSimensSimStation m_station;
    Bytes m_out;
    std::vector<Write> m_writes;
};

TEST_F(SimensStation, ServesAFetchByteForByte) {
    Preset("DB5", 0, 0x1234);
    Preset("DB5", 1, 0x1056);
    EXPECT_EQ(Feed(kStx), kDle);
    // The telegram a byte at a time: the answer comes with its last byte.
    const Bytes telegram = "00 00 45 44 05 00 00 02 FF FF 10 03 15"_hex;
    for (std::size_t i = 0; i + 1 < telegram.size(); ++i)
        EXPECT_TRUE(Feed(Bytes{telegram[i]}).empty()) << i;
    EXPECT_EQ(Feed(Bytes{telegram.back()}), "10 02"_hex);
    EXPECT_EQ(Feed(kDle), "00 00 00 00 12 34 10 10 56 10 03 63"_hex);
    EXPECT_TRUE(Feed(kDle).empty());
    EXPECT_EQ(m_station.GetState(), CSimensSimStation::ST_IDLE);
    EXPECT_EQ(m_station.GetRequestCount(), 1);
    EXPECT_TRUE(m_writes.empty());
}

TEST_F(SimensStation, StoresASendAndReportsEveryWord) {
    Feed(kStx);
    EXPECT_EQ(Feed("00 00 41 44 10 10 00 00 02 FF FF 12 34 10 10 56 10 03 64"_hex), "10 02"_hex);
    EXPECT_EQ(Feed(kDle), "00 00 00 00 10 03 13"_hex);
    EXPECT_EQ(m_station.Memory().GetWord("DB16", 0), 0x1234);
    EXPECT_EQ(m_station.Memory().GetWord("DB16", 1), 0x1056);
    EXPECT_EQ(m_writes, (std::vector<Write>{{"DB16", 0, 0x1234}, {"DB16", 1, 0x1056}}));
}

// A block that fails the procedure gets NAK and changes nothing; a block
// that passes but asks for what the station cannot do gets the reaction
// telegram with an error number.
TEST_F(SimensStation, RefusesWhatItCannotServe) {
    struct Case {
        const char* name;
        Bytes block; // after STX
        Bytes answer;
    } cases[] = {
        {"bad block check", "00 00 41 44 05 00 00 01 FF FF 00 07 10 03 11"_hex, kNak},
        {"a lone DLE", "00 00 41 44 05 00 00 01 FF FF 10 07 10 03 00"_hex, kNak},
        {"no header", "00 00 41 10 03 52"_hex, "10 02"_hex},
        {"a command other than fetch and send", "00 00 58 44 05 00 00 01 FF FF 10 03 0B"_hex,
         "10 02"_hex},
        {"a type other than data block", "00 00 45 4D 05 00 00 01 FF FF 10 03 1F"_hex, "10 02"_hex},
        {"no words", "00 00 45 44 05 00 00 00 FF FF 10 03 17"_hex, "10 02"_hex},
        {"more words than a telegram holds", "00 00 45 44 05 00 00 41 FF FF 10 03 56"_hex,
         "10 02"_hex},
        {"a send whose data are short", "00 00 41 44 05 00 00 02 FF FF 00 07 10 03 16"_hex,
         "10 02"_hex},
    };
    const Bytes reactions[] = {{},
                               {},
                               "00 00 00 10 10 10 03 13"_hex,
                               "00 00 00 10 10 10 03 13"_hex,
                               "00 00 00 0A 10 03 19"_hex,
                               "00 00 00 32 10 03 21"_hex,
                               "00 00 00 32 10 03 21"_hex,
                               "00 00 00 32 10 03 21"_hex};
    int k = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Feed(kStx), kDle);
        EXPECT_EQ(Feed(c.block), c.answer);
        if (c.answer != kNak) {
            EXPECT_EQ(Feed(kDle), reactions[k]);
            Feed(kDle);
        }
        EXPECT_EQ(m_station.GetState(), CSimensSimStation::ST_IDLE);
        ++k;
    }
    EXPECT_EQ(m_station.Memory().WordCount(), 0u);
    EXPECT_TRUE(m_writes.empty());
    EXPECT_EQ(m_station.GetRejectedCount(), 8);
}

TEST_F(SimensStation, ABlockThatStopsOrNeverEndsIsRefusedAndForgotten) {
    // The first character may take a round trip; the next ones may not.
    Feed(kStx);
    for (int i = 1; i < CSimensSimStation::kAckTicks; ++i)
        m_station.OnTimer();
    EXPECT_TRUE(Feed("00 00 45 44"_hex).empty());
    m_station.OnTimer();
    m_station.OnTimer();
    EXPECT_TRUE(m_out.empty());
    m_out.clear();
    m_station.OnTimer();
    EXPECT_EQ(m_out, kNak);
    EXPECT_EQ(Feed(kStx), kDle); // a new block is taken

    // Past the largest telegram the bytes are only counted, then refused.
    Bytes flood(100000, 0x41);
    EXPECT_TRUE(Feed(flood).empty());
    EXPECT_EQ(Feed("10 03 00"_hex), kNak);
    EXPECT_EQ(m_station.Memory().WordCount(), 0u);
    // Noise between blocks is no block.
    EXPECT_TRUE(Feed("00 10 03 41 15"_hex).empty());
}

TEST_F(SimensStation, RepeatsItsReactionOnNakAFewTimesAndGivesWayToTheEnginesStx) {
    Preset("DB1", 0, 7);
    Feed(kStx);
    ASSERT_EQ(Feed("00 00 45 44 01 00 00 01 FF FF 10 03 12"_hex), "10 02"_hex);
    const Bytes reaction = "00 00 00 00 00 07 10 03 14"_hex;
    EXPECT_EQ(Feed(kDle), reaction);
    for (int i = 0; i < CSimensSimStation::kMaxRepeats; ++i) {
        EXPECT_EQ(Feed(kNak), kStx) << i;
        EXPECT_EQ(Feed(kDle), reaction) << i;
    }
    EXPECT_TRUE(Feed(kNak).empty());
    EXPECT_EQ(m_station.GetState(), CSimensSimStation::ST_IDLE);

    // An STX while the station waits for its DLE: the partner goes first.
    Feed(kStx);
    Feed("00 00 45 44 01 00 00 01 FF FF 10 03 12"_hex);
    EXPECT_EQ(Feed(kStx), kDle);
    EXPECT_EQ(m_station.GetState(), CSimensSimStation::ST_RECEIVE);
}

TEST_F(SimensStation, TheDropRuleLeavesATelegramUnansweredAndUnserved) {
    m_station.SetDropEvery(1);
    Feed(kStx);
    EXPECT_TRUE(Feed("00 00 41 44 05 00 00 01 FF FF 00 07 10 03 15"_hex).empty());
    EXPECT_EQ(m_station.Memory().WordCount(), 0u);
    EXPECT_EQ(m_station.GetDroppedCount(), 1);
    EXPECT_EQ(Feed(kStx), kDle);
}

TEST_F(SimensStation, PresetTakesDataBlocksOnly) {
    struct Case {
        const char* device;
        long long address;
        long long value;
        bool ok;
    } cases[] = {
        {"DB5", 0, 1, true},      {"db255", 2047, 65535, true}, {"DB0", 0, -1, true},
        {"DB256", 0, 1, false},   {"DX5", 0, 1, false},         {"DB", 0, 1, false},
        {"DB-1", 0, 1, false},    {"DB5", 2048, 1, false},      {"DB5", -1, 1, false},
        {"DB5", 0, 65536, false}, {"DB5", 0, -32769, false},    {"", 0, 1, false},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(m_station.Preset(c.device, c.address, c.value, error), c.ok) << c.device;
        EXPECT_EQ(error.empty(), c.ok) << c.device;
    }
    EXPECT_EQ(m_station.Memory().GetWord("DB255", 2047), 65535);
    EXPECT_EQ(m_station.Memory().GetWord("DB0", 0), 65535);
    EXPECT_NE(CSimStations::Make("simens"), nullptr);
}

// The engine and the station on one wire, each block delivered after the
// call that sent it has returned, as a link does.
class SimensLoop : public ::testing::Test, public ILinkHub {
protected:
    SimensLoop() {
        m_station.SetSendHandler([this](const std::uint8_t* b, int n) {
            m_toEngine.insert(m_toEngine.end(), b, b + n);
        });
        m_station.SetWriteHandler(
            [this](const std::string& device, long long address, unsigned value) {
                m_writes.emplace_back(device, address, value);
            });
    }
    void SendToLink(const std::uint8_t* bytes, int count) override {
        m_toStation.insert(m_toStation.end(), bytes, bytes + count);
    }
    bool IsLinkUp() const override { return true; }
    int GetLinkKind() const override { return 0; }
    void ShowMessage(const std::string& text) override { m_messages.push_back(text); }

    void StartWith(const std::vector<CellRow>& rows) {
        CPlcSettingsFile file(CPlcSettingsFile::PLC_SIMENS);
        ASSERT_TRUE(file.SaveRows(file.CurrentPath(), rows));
        ASSERT_EQ(m_engine.Start(m_memory, 0), 1) << (m_messages.empty() ? "" : m_messages[0]);
    }
    // Delivers the bytes on the wire until it is quiet; a tick of both
    // clocks when it is. Stops once the engine has finished n exchanges.
    void RunExchanges(long long n) {
        for (int guard = 0; guard < 100000 && Finished() < n; ++guard) {
            if (m_toStation.empty() && m_toEngine.empty()) {
                m_engine.OnTimer(CPlcEngine::ID_TIMER_POLL);
                m_station.OnTimer();
                continue;
            }
            Bytes block;
            block.swap(m_toStation);
            if (!block.empty())
                m_station.OnReceive(block.data(), static_cast<int>(block.size()));
            block.clear();
            block.swap(m_toEngine);
            if (!block.empty())
                m_engine.OnReceive(block.data(), static_cast<int>(block.size()));
        }
    }
    long long Finished() const {
        return m_engine.GetReplyCount() + m_engine.GetBadReplyCount() +
               m_engine.GetErrorReplyCount() + m_engine.GetTimeoutCount();
    }
    static CellRow Row(const char* type, const char* unit, int db, int dw, int count, int index) {
        return {type,
                unit,
                std::to_string(db),
                std::to_string(dw),
                std::to_string(count),
                std::to_string(index)};
    }

    InTempDir m_dir;
    CSimensSimStation m_station;
    CSimensEngine m_engine{*this};
    MemoryTable m_memory;
    Bytes m_toStation;
    Bytes m_toEngine;
    std::vector<Write> m_writes;
    std::vector<std::string> m_messages;
};

TEST_F(SimensLoop, WordsAndBitsGoBothWays) {
    const std::uint16_t words[] = {0x1010, 0x0002, 0xFFFF};
    for (int i = 0; i < 3; ++i)
        m_memory.Set(i, words[i]);
    for (int i = 0; i < 20; ++i)
        m_memory.Set(10 + i, i % 3 == 0 ? 5 : 0); // items 0, 3, 6, ... set
    std::string error;
    ASSERT_TRUE(m_station.Preset("DB7", 10, 0x1234, error));
    ASSERT_TRUE(m_station.Preset("DB7", 11, 0x1056, error));
    ASSERT_TRUE(m_station.Preset("DB16", 0, 0x8001, error));
    ASSERT_TRUE(m_station.Preset("DB16", 1, 0x0002, error));
    StartWith({Row("자동쓰기", "WORD", 5, 0, 3, 0), Row("자동쓰기", "BIT", 6, 16, 20, 10),
               Row("자동읽기", "WORD", 7, 10, 2, 100), Row("자동읽기", "BIT", 16, 0, 18, 200)});
    RunExchanges(8);

    EXPECT_EQ(m_engine.GetReplyCount(), 8);
    EXPECT_EQ(m_engine.GetTimeoutCount() + m_engine.GetBadReplyCount(), 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(m_station.Memory().GetWord("DB5", i), words[i]) << i;
    // Items 0, 3, 6, 9, 12, 15 in the first word, 18 (bit 2) in the second.
    EXPECT_EQ(m_station.Memory().GetWord("DB6", 16), 0x9249);
    EXPECT_EQ(m_station.Memory().GetWord("DB6", 17), 0x0004);
    EXPECT_EQ(m_memory.Get(100), 0x1234);
    EXPECT_EQ(m_memory.Get(101), 0x1056);
    for (int i = 0; i < 18; ++i)
        EXPECT_EQ(m_memory.Get(200 + i), i == 0 || i == 15 || i == 17 ? 1 : 0) << i;
    EXPECT_EQ(m_memory.Get(218), 0);
    // Each send reported once a cycle, word by word.
    ASSERT_EQ(m_writes.size(), 2u * (3u + 2u));
    EXPECT_EQ(m_writes[0], (Write{"DB6", 16, 0x9249}));
    EXPECT_EQ(m_writes[2], (Write{"DB5", 0, 0x1010}));
}

// Spoilt reactions are acknowledged and dropped, unanswered telegrams time
// out; the values still come out right and no row is stuck.
TEST_F(SimensLoop, CorruptAndDropRulesCostExchangesNotValues) {
    m_station.SetCorruptEvery(3);
    m_station.SetDropEvery(4);
    std::string error;
    ASSERT_TRUE(m_station.Preset("DB9", 0, 4660, error));
    ASSERT_TRUE(m_station.Preset("DB9", 1, 22136, error));
    m_memory.Set(50, 777);
    StartWith({Row("자동읽기", "WORD", 9, 0, 2, 0), Row("자동쓰기", "WORD", 9, 5, 1, 50)});
    RunExchanges(24);

    EXPECT_EQ(Finished(), 24);
    // Requests 4, 8, ... 24 dropped; replies 3, 6, ... 18 of the other 18
    // spoilt.
    EXPECT_EQ(m_engine.GetTimeoutCount(), 6);
    EXPECT_EQ(m_engine.GetBadReplyCount(), 6);
    EXPECT_EQ(m_engine.GetReplyCount(), 12);
    EXPECT_EQ(m_station.GetCorruptedCount(), m_engine.GetBadReplyCount());
    EXPECT_EQ(m_station.GetDroppedCount(), m_engine.GetTimeoutCount());
    EXPECT_EQ(m_memory.Get(0), 4660);
    EXPECT_EQ(m_memory.Get(1), 22136);
    EXPECT_EQ(m_station.Memory().GetWord("DB9", 5), 777);
}

} // namespace
