#include "plc/sim/CMasterKSimStation.h"
#include "../CnetText.h"
#include "../PlcTestSupport.h"
#include "link/ILinkHub.h"
#include "plc/codecs/CMasterKEngine.h"

#include <gtest/gtest.h>

#include <deque>

namespace {

// A station with presets, keeping what it sends and the writes it reports.
class MasterKStation : public ::testing::Test {
protected:
    MasterKStation() {
        m_station.SetSendHandler([this](const std::uint8_t* bytes, int count) {
            m_replies.emplace_back(reinterpret_cast<const char*>(bytes), count);
        });
        m_station.SetWriteHandler(
            [this](const std::string& device, long long address, unsigned value) {
                m_writes.push_back(device + " " + std::to_string(address) + " " +
                                   std::to_string(value));
            });
        std::string error;
        EXPECT_TRUE(m_station.Preset("D", 100, 0x1234, error));
        EXPECT_TRUE(m_station.Preset("M", 50, 1, error)); // M3, bit 2
    }
    void Receive(const std::string& text) {
        m_station.OnReceive(reinterpret_cast<const std::uint8_t*>(text.data()),
                            static_cast<int>(text.size()));
    }
    std::string Last() const { return m_replies.empty() ? std::string() : m_replies.back(); }

    CMasterKSimStation m_station;
    std::vector<std::string> m_replies;
    std::vector<std::string> m_writes;
};

TEST_F(MasterKStation, AnswersRequestsFromItsMemory) {
    struct Case {
        const char* name;
        std::string request;
        std::string reply;
        std::vector<std::string> writes;
    } cases[] = {
        {"read D100", CnetBcc("^E01rSB06%DW10001^T"), CnetBcc("^A01rSB01011234^X"), {}},
        {"read two words of M from M2",
         CnetBcc("^E01rSB04%MW202^T"),
         CnetBcc("^A01rSB010200000004^X"),
         {}},
        {"words written",
         CnetBcc("^E01wSB06%DW20002001200AB^T"),
         CnetBcc("^A01wSB^X"),
         {"D 200 18", "D 201 171"}},
        {"bit written (bit 26 is word 1, bit A)",
         CnetBcc("^E01wSS0105%MX1A01^T"),
         CnetBcc("^A01wSS^X"),
         {"M 26 1"}},
        {"bit of word 10", CnetBcc("^E01wSS0106%PX10501^T"), CnetBcc("^A01wSS^X"), {"P 165 1"}},
        {"a word and a bit in one wSS",
         CnetBcc("^E01wSS0204%DW500FF05%DX1F01^T"),
         CnetBcc("^A01wSS^X"),
         {"D 5 255", "DX 31 1"}},
        {"word of a bit device",
         CnetBcc("^E01wSB04%MW701FFFF^T"),
         CnetBcc("^A01wSB^X"),
         {"MW 7 65535"}},
        {"upper-case command, no BCC", Cnet("^E01RSB06%DW10001^T"), Cnet("^A01RSB01011234^X"), {}},
        {"bad BCC", Cnet("^E01rSB06%DW10001^T00"), CnetBcc("^N01rSB0011^X"), {}},
        {"lower-case BCC", Cnet("^E01wSB04%MW701FFFF^Tee"), CnetBcc("^N01wSB0011^X"), {}},
        {"unknown device", CnetBcc("^E01rSB04%ZW101^T"), CnetBcc("^N01rSB1132^X"), {}},
        {"no words", CnetBcc("^E01rSB04%DW100^T"), CnetBcc("^N01rSB1232^X"), {}},
        {"61 words", CnetBcc("^E01rSB04%DW13D^T"), CnetBcc("^N01rSB1232^X"), {}},
        {"past D9999", CnetBcc("^E01rSB07%DW999902^T"), CnetBcc("^N01rSB7132^X"), {}},
        {"word 10000", CnetBcc("^E01wSS0109%MX10000001^T"), CnetBcc("^N01wSS7132^X"), {}},
        {"characters left over", CnetBcc("^E01rSB06%DW1000100^T"), CnetBcc("^N01rSB1234^X"), {}},
        {"two values after one bit",
         CnetBcc("^E01wSS0105%MX1A0101^T"),
         CnetBcc("^N01wSS1234^X"),
         {}},
        {"a bit in a word read", CnetBcc("^E01rSB04%DX101^T"), CnetBcc("^N01rSB0007^X"), {}},
        {"another size letter", CnetBcc("^E01rSB04%DD101^T"), CnetBcc("^N01rSB0007^X"), {}},
        {"name over 16", CnetBcc("^E01rSB11%DW00000000000000101^T"), CnetBcc("^N01rSB0004^X"), {}},
        {"no blocks", CnetBcc("^E01wSS00^T"), CnetBcc("^N01wSS0003^X"), {}},
        {"17 blocks", CnetBcc("^E01wSS11^T"), CnetBcc("^N01wSS0003^X"), {}},
        {"data short", CnetBcc("^E01wSB06%DW200020012^T"), CnetBcc("^N01wSB0011^X"), {}},
        {"bit value 2", CnetBcc("^E01wSS0105%MX1A02^T"), CnetBcc("^N01wSS0011^X"), {}},
        // One bad block stores none of the others.
        {"second block bad",
         CnetBcc("^E01wSS0204%DW5000104%ZW1FFFF^T"),
         CnetBcc("^N01wSS1132^X"),
         {}},
        {"unknown command", CnetBcc("^E01rSS0104%DW1^T"), CnetBcc("^N01rSS0011^X"), {}},
        {"another station", CnetBcc("^E02rSB06%DW10001^T"), "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_replies.clear();
        m_writes.clear();
        Receive(c.request);
        if (c.reply.empty())
            EXPECT_TRUE(m_replies.empty());
        else
            EXPECT_EQ(Last(), c.reply);
        EXPECT_EQ(m_writes, c.writes);
    }
    // Writes land in the memory a read sees: a bit is a bit of its word.
    m_replies.clear();
    Receive(CnetBcc("^E01rSB04%MW102^T"));
    EXPECT_EQ(Last(), CnetBcc("^A01rSB010204000000^X"));
    Receive(CnetBcc("^E01rSB04%DW102^T"));
    EXPECT_EQ(Last(), CnetBcc("^A01rSB010280000000^X"));
}

TEST_F(MasterKStation, ReassemblesAnySplitAndResynchronisesOnEnq) {
    const std::string request = CnetBcc("^E01rSB06%DW10001^T");
    const std::string reply = CnetBcc("^A01rSB01011234^X");
    // Garbage, then the request a byte at a time.
    Receive("\x01junk\x03");
    for (char c : request)
        Receive(std::string(1, c));
    ASSERT_EQ(m_replies.size(), 1u);
    EXPECT_EQ(Last(), reply);
    // A request cut short by another ENQ is dropped; the new one is answered.
    Receive(Cnet("^E01rSB06%D") + request);
    EXPECT_EQ(m_replies.size(), 2u);
    // An overlong frame is discarded without growing past its bound.
    Receive(Cnet("^E01wSB") + std::string(5000, '0') + Cnet("^T") + "00");
    EXPECT_EQ(m_replies.size(), 2u);
    Receive(request);
    EXPECT_EQ(m_replies.size(), 3u);
    // A frame too short to hold a command gets no answer.
    Receive(CnetBcc("^E01r^T"));
    EXPECT_EQ(m_replies.size(), 3u);
    // A partial request left two seconds is forgotten.
    Receive(request.substr(0, 10));
    for (int i = 0; i < CMasterKSimStation::kStaleTicks; ++i)
        m_station.OnTimer();
    Receive(request.substr(10));
    EXPECT_EQ(m_replies.size(), 3u);
    EXPECT_GE(m_station.GetRejectedCount(), 4);
}

TEST_F(MasterKStation, PresetsNameDevicesAsTheProtocolDoes) {
    struct Case {
        const char* device;
        long long address;
        long long value;
        bool ok;
    } cases[] = {
        {"D", 9999, 65535, true}, {"D", 10000, 1, false}, {"D", 0, -1, true},
        {"D", 0, 65536, false},   {"M", 159999, 1, true}, {"M", 160000, 1, false},
        {"M", 5, 2, false},       {"MW", 3, 7, true},     {"DX", 17, 1, true},
        {"Z", 0, 1, false},       {"", 0, 1, false},      {"DB", 0, 1, false},
        {"d", 0, 1, false},       {"P", -1, 1, false},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(m_station.Preset(c.device, c.address, c.value, error), c.ok)
            << c.device << ":" << c.address << "=" << c.value;
        EXPECT_EQ(error.empty(), c.ok);
    }
    std::string error;
    EXPECT_TRUE(m_station.SetStation(31, error));
    EXPECT_FALSE(m_station.SetStation(32, error));
    EXPECT_FALSE(m_station.SetMode("rtu", error));
}

// The engine polling the station in-process: every frame the engine sends
// goes to the station and every answer back, one at a time.
class MasterKLoop : public ::testing::Test, public ILinkHub {
protected:
    MasterKLoop() {
        m_station.SetSendHandler([this](const std::uint8_t* bytes, int count) {
            m_toEngine.emplace_back(bytes, bytes + count);
        });
        m_station.SetWriteHandler(
            [this](const std::string& device, long long address, unsigned value) {
                m_writes.push_back(device + " " + std::to_string(address) + " " +
                                   std::to_string(value));
            });
    }
    void SendToLink(const std::uint8_t* bytes, int count) override {
        m_toStation.emplace_back(bytes, bytes + count);
    }
    bool IsLinkUp() const override { return true; }
    int GetLinkKind() const override { return 0; }
    void ShowMessage(const std::string& text) override { m_messages.push_back(text); }

    void Start(const std::vector<std::vector<std::string>>& rows) {
        CPlcSettingsFile file(CPlcSettingsFile::PLC_MASTERK);
        ASSERT_TRUE(file.SaveRows(file.CurrentPath(), rows));
        ASSERT_EQ(m_engine.Start(m_memory, 0), 1);
    }
    // Runs until n exchanges have ended; a request left unanswered ends by
    // the time-out.
    void RunExchanges(long long n) {
        while (m_engine.GetReplyCount() + m_engine.GetBadReplyCount() +
                   m_engine.GetErrorReplyCount() + m_engine.GetTimeoutCount() <
               n) {
            if (!m_toStation.empty()) {
                const Bytes frame = m_toStation.front();
                m_toStation.pop_front();
                m_station.OnReceive(frame.data(), static_cast<int>(frame.size()));
            } else if (!m_toEngine.empty()) {
                const Bytes frame = m_toEngine.front();
                m_toEngine.pop_front();
                m_engine.OnReceive(frame.data(), static_cast<int>(frame.size()));
            } else {
                m_engine.OnTimer(CPlcEngine::ID_TIMER_POLL);
            }
        }
    }

    using Bytes = std::vector<std::uint8_t>;
    InTempDir m_dir;
    CMasterKSimStation m_station;
    CMasterKEngine m_engine{*this};
    MemoryTable m_memory;
    std::deque<Bytes> m_toStation;
    std::deque<Bytes> m_toEngine;
    std::vector<std::string> m_writes;
    std::vector<std::string> m_messages;
};

std::vector<std::string> Cells(const char* comm, int station, const char* type, const char* name,
                               int address, int count, int index) {
    return {comm,
            std::to_string(station),
            type,
            name,
            std::to_string(address),
            std::to_string(count),
            std::to_string(index)};
}

TEST_F(MasterKLoop, WordsAndBitsGoBothWays) {
    std::string error;
    ASSERT_TRUE(m_station.SetStation(7, error));
    ASSERT_TRUE(m_station.Preset("D", 500, 11, error));
    ASSERT_TRUE(m_station.Preset("D", 502, 0xBEEF, error));
    ASSERT_TRUE(m_station.Preset("P", 17, 1, error));
    ASSERT_TRUE(m_station.Preset("P", 31, 1, error));
    m_memory.Set(0, 0x0102);
    m_memory.Set(1, 0xFFFF);
    m_memory.Set(2, 5); // a bit written as 1
    Start({Cells("자동쓰기", 7, "WORD", "D", 100, 2, 0),
           Cells("자동쓰기", 7, "BIT", "M", 165, 1, 2),
           Cells("자동읽기", 7, "WORD", "D", 500, 3, 10),
           Cells("자동읽기", 7, "BIT", "P", 16, 16, 20),
           Cells("자동읽기", 7, "WORD", "D", 100, 2, 40),
           Cells("자동읽기", 7, "BIT", "M", 164, 3, 50)});
    // Two rounds, from the second row: the reads of D100 and M164 see the
    // writes of the first round.
    RunExchanges(12);
    const std::vector<std::string> round = {"M 165 1", "D 100 258", "D 101 65535"};
    std::vector<std::string> writes = round;
    writes.insert(writes.end(), round.begin(), round.end());
    EXPECT_EQ(m_writes, writes);
    EXPECT_EQ(m_memory.Get(10), 11);
    EXPECT_EQ(m_memory.Get(11), 0);
    EXPECT_EQ(m_memory.Get(12), 0xBEEF);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(m_memory.Get(20 + i), i == 1 || i == 15 ? 1 : 0) << "P bit " << 16 + i;
    EXPECT_EQ(m_memory.Get(40), 0x0102);
    EXPECT_EQ(m_memory.Get(41), 0xFFFF);
    EXPECT_EQ(m_memory.Get(50), 0);
    EXPECT_EQ(m_memory.Get(51), 1);
    EXPECT_EQ(m_memory.Get(52), 0);
    EXPECT_EQ(m_station.Memory().GetWord("M", 10), 0x0020);
    EXPECT_EQ(m_engine.GetReplyCount(), 12);
}

// Spoiled BCCs and unanswered requests end their exchanges; polling goes
// on, and every row still gets its value through.
TEST_F(MasterKLoop, CorruptedAndDroppedRepliesEndTheirExchangesAndPollingGoesOn) {
    std::string error;
    ASSERT_TRUE(m_station.Preset("D", 0, 42, error));
    ASSERT_TRUE(m_station.Preset("D", 1, 43, error));
    m_station.SetCorruptEvery(3);
    m_station.SetDropEvery(4);
    Start({Cells("자동읽기", 1, "WORD", "D", 0, 1, 0), Cells("자동읽기", 1, "WORD", "D", 1, 1, 1)});
    RunExchanges(12);
    EXPECT_EQ(m_station.GetDroppedCount(), 3);
    EXPECT_EQ(m_station.GetCorruptedCount(), 3);
    EXPECT_EQ(m_engine.GetTimeoutCount(), 3);
    EXPECT_EQ(m_engine.GetBadReplyCount(), 3);
    EXPECT_EQ(m_engine.GetReplyCount(), 6);
    EXPECT_EQ(m_memory.Get(0), 42);
    EXPECT_EQ(m_memory.Get(1), 43);
}

} // namespace
