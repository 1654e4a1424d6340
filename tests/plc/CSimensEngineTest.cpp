#include "plc/codecs/CSimensEngine.h"
#include "PlcTestSupport.h"
#include "RecordingHub.h"
#include "TestBytes.h"

#include <gtest/gtest.h>

namespace {

constexpr int POLL = CPlcEngine::ID_TIMER_POLL;
const Bytes kStx = "02"_hex;
const Bytes kDle = "10"_hex;

PlcRequestRow Row(const char* type, const char* unit, int db, int dw, int count, int index) {
    PlcRequestRow row;
    row.m_strCommType = type;
    row.m_strDeviceType = unit;
    row.m_nDbAddress = db;
    row.m_nDwAddress = dw;
    row.m_nDataCount = count;
    row.m_nAnIndex = index;
    return row;
}

Bytes Encode(const PlcRequestRow& row, const MemoryTable* memory) {
    Bytes buffer(CPlcEngine::kFrameMax);
    const int n =
        CSimensEngine::EncodeTelegram(row, memory, buffer.data(), static_cast<int>(buffer.size()));
    buffer.resize(static_cast<std::size_t>(n));
    return buffer;
}

TEST(SimensFrames, TelegramsAreByteExact) {
    MemoryTable memory;
    const std::uint16_t values[] = {1, 0, 7, 0x1234, 0x1056};
    for (int i = 0; i < 5; ++i)
        memory.Set(i, values[i]);
    MemoryTable bits;
    bits.Set(0, 1);
    bits.Set(16, 9); // any non-zero word is a set bit
    bits.Set(20, 1); // past the 20 items: not sent
    struct Case {
        const char* name;
        PlcRequestRow row;
        const MemoryTable* memory;
        Bytes expected;
    } cases[] = {
        {"fetch of 10 words, DB5 DW0", Row("자동읽기", "WORD", 5, 0, 10, 0), &memory,
         "00 00 45 44 05 00 00 0A FF FF | 10 03 | 1D"_hex},
        {"DB 16 goes doubled and enters the check twice", Row("자동읽기", "WORD", 16, 0, 1, 0),
         &memory, "00 00 45 44 10 10 00 00 01 FF FF | 10 03 | 13"_hex},
        {"fetch of bits counts the words that hold them", Row("자동읽기", "BIT", 5, 3, 17, 0),
         &memory, "00 00 45 44 05 03 00 02 FF FF | 10 03 | 16"_hex},
        {"send of 3 bits 1 0 7", Row("자동쓰기", "BIT", 5, 0, 3, 0), &memory,
         "00 00 41 44 05 00 00 01 FF FF 00 05 | 10 03 | 17"_hex},
        {"send of 20 bits: item 16 is bit 0 of the second word",
         Row("자동쓰기", "BIT", 5, 0, 20, 0), &bits,
         "00 00 41 44 05 00 00 02 FF FF 00 01 00 01 | 10 03 | 11"_hex},
        {"send of words, a DLE in the data doubled", Row("자동쓰기", "WORD", 5, 0, 2, 3), &memory,
         "00 00 41 44 05 00 00 02 FF FF 12 34 10 10 56 | 10 03 | 61"_hex},
        {"send without a table sends zeros", Row("자동쓰기", "WORD", 1, 2, 1, 0), nullptr,
         "00 00 41 44 01 02 00 01 FF FF 00 00 | 10 03 | 14"_hex},
        {"only the low bits of DB and DW go", Row("자동읽기", "WORD", 0x105, 0x201, 1, 0), &memory,
         "00 00 45 44 05 01 00 01 FF FF | 10 03 | 17"_hex},
        {"another command type has no telegram", Row("수동", "WORD", 5, 0, 1, 0), &memory, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Encode(c.row, c.memory), c.expected) << c.name;
}

TEST(SimensFrames, ATelegramThatDoesNotFitIsNotCut) {
    MemoryTable memory;
    for (int i = 0; i < MemoryTable::kSize; ++i)
        memory.Set(i, 0x1010); // every data byte doubled
    Bytes buffer(64);
    EXPECT_EQ(CSimensEngine::EncodeTelegram(Row("자동쓰기", "WORD", 5, 0, 64, 0), &memory,
                                            buffer.data(), static_cast<int>(buffer.size())),
              0);
    // The largest row a telegram carries, all DLEs, still fits the frame.
    const Bytes big = Encode(Row("자동쓰기", "WORD", 16, 16, 64, 0), &memory);
    EXPECT_EQ(big.size(), 12u + 4u * 64u + 3u);
}

// The engine over a recording hub, its rows written in a fresh folder.
class SimensEngine : public ::testing::Test {
protected:
    static CellRow Fetch(int db, int dw, int count, int index, const char* unit = "WORD") {
        return {"자동읽기",
                unit,
                std::to_string(db),
                std::to_string(dw),
                std::to_string(count),
                std::to_string(index)};
    }
    static CellRow Send(int db, int dw, int count, int index, const char* unit = "WORD") {
        CellRow row = Fetch(db, dw, count, index, unit);
        row[0] = "자동쓰기";
        return row;
    }
    void WriteRows(const std::vector<CellRow>& rows) {
        CPlcSettingsFile file(CPlcSettingsFile::PLC_SIMENS);
        ASSERT_TRUE(file.SaveRows(file.CurrentPath(), rows));
    }
    void StartWith(const std::vector<CellRow>& rows) {
        WriteRows(rows);
        ASSERT_EQ(m_engine.Start(m_memory, 0), 1);
    }
    void Receive(const Bytes& bytes) {
        m_engine.OnReceive(bytes.data(), static_cast<int>(bytes.size()));
    }
    void Tick(int n) {
        for (int i = 0; i < n; ++i)
            m_engine.OnTimer(POLL);
    }
    Bytes Last() const { return m_hub.m_sent.empty() ? Bytes{} : m_hub.m_sent.back(); }
    // The PLC takes the STX and the telegram: DLE, DLE, STX.
    void Accept() {
        Receive(kDle);
        Receive(kDle);
        Receive(kStx);
    }
    // The reaction telegram with its check.
    static Bytes Reaction(Bytes body) {
        std::uint8_t check = 0;
        for (std::uint8_t b : body)
            check ^= b;
        body.push_back(check);
        return body;
    }

    InTempDir m_dir;
    RecordingHub m_hub;
    CSimensEngine m_engine{m_hub};
    MemoryTable m_memory;
};

// The whole exchange, with the PLC's side of it cut into blocks of every
// size: the bytes the engine sends and what it stores never depend on the
// split.
TEST_F(SimensEngine, TheExchangeIsTheSameForEverySplitOfThePlcsBytes) {
    const Bytes plc = "10 | 10 02 | 00 00 00 00 12 34 10 10 56 10 03 63"_hex;
    const Bytes telegram = "00 00 45 44 05 00 00 02 FF FF 10 03 15"_hex;
    // STX, telegram, DLE for the PLC's STX, DLE for its reaction, the next
    // STX.
    const std::vector<Bytes> expected = {kStx, telegram, kDle, kDle, kStx};
    WriteRows({Fetch(5, 0, 2, 10)});
    for (std::size_t size = 1; size <= plc.size(); ++size) {
        SCOPED_TRACE("blocks of " + std::to_string(size));
        CSimensEngine engine(m_hub);
        m_hub.m_sent.clear();
        m_memory.Clear();
        ASSERT_EQ(engine.Start(m_memory, 0), 1);
        for (std::size_t at = 0; at < plc.size(); at += size) {
            const std::size_t n = std::min(size, plc.size() - at);
            EXPECT_EQ(engine.OnReceive(plc.data() + at, static_cast<int>(n)), 1);
        }
        EXPECT_EQ(m_hub.m_sent, expected);
        EXPECT_EQ(m_memory.Get(10), 0x1234);
        EXPECT_EQ(m_memory.Get(11), 0x1056);
        EXPECT_EQ(engine.GetReplyCount(), 1);
        EXPECT_EQ(engine.GetState(), CSimensEngine::S_STX_SENT);
    }
}

TEST_F(SimensEngine, PollsTheRowsInACircleStartingAtTheSecondTakingARowOnlyWhenTheStxIsAccepted) {
    StartWith({Fetch(1, 0, 1, 0), Fetch(2, 0, 1, 1), Fetch(3, 0, 1, 2)});
    std::vector<int> order;
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(Last(), kStx);
        if (i == 1) {
            Tick(22); // no DLE for this STX: the row is not used up
            ASSERT_EQ(Last(), kStx);
        }
        Receive(kDle);
        order.push_back(Last()[4]);
        Receive(kDle);
        Receive(kStx);
        Receive(Reaction("00 00 00 00 00 07 10 03"_hex));
    }
    EXPECT_EQ(order, (std::vector<int>{2, 3, 1, 2}));
    EXPECT_EQ(m_engine.GetReplyCount(), 4);
    EXPECT_EQ(m_engine.GetTimeoutCount(), 1);
    EXPECT_EQ(m_memory.Get(0), 7);
}

// An exchange of several frames is one request: its round trip runs from
// the STX to the end of the reaction telegram.
TEST_F(SimensEngine, TheRoundTripCoversTheWholeExchange) {
    std::int64_t nowUs = 1000;
    m_engine.SetClock([&nowUs] { return nowUs; });
    StartWith({Fetch(1, 0, 1, 0)});
    nowUs = 2000;
    Accept();
    nowUs = 9000;
    Receive(Reaction("00 00 00 00 00 07 10 03"_hex));
    const CPlcEngine::SCounters& c = m_engine.GetCounters();
    EXPECT_EQ(c.m_nGood, 1);
    EXPECT_EQ(c.m_nRequests, 2); // the next STX is out
    EXPECT_EQ(c.m_nRttSamples, 1);
    EXPECT_EQ(c.m_nRttLastUs, 8000);
}

TEST_F(SimensEngine, BitsAreStoredOneItemAWord) {
    StartWith({Fetch(5, 0, 20, 100, "BIT")});
    Accept();
    Receive(Reaction("00 00 00 00 80 05 00 11 10 03"_hex));
    const int expected[20] = {1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0};
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(m_memory.Get(100 + i), expected[i]) << i;
    EXPECT_EQ(m_memory.Get(120), 0); // bit 4 of the second word is no item
    EXPECT_EQ(m_engine.GetReplyCount(), 1);
}

// Every reaction that is not the good answer to the request stores nothing,
// is still acknowledged with DLE and lets the next exchange start at once.
TEST_F(SimensEngine, ReactionsThatAreNotTheAnswerStoreNothing) {
    struct Case {
        const char* name;
        CellRow row;
        Bytes reaction;
        int result;
    } cases[] = {
        {"bad block check", Fetch(5, 0, 2, 0), "00 00 00 00 12 34 10 10 56 10 03 64"_hex,
         CPlcEngine::REPLY_BAD},
        {"one word short", Fetch(5, 0, 2, 0), Reaction("00 00 00 00 12 34 10 03"_hex),
         CPlcEngine::REPLY_BAD},
        {"one word long", Fetch(5, 0, 1, 0), Reaction("00 00 00 00 12 34 56 78 10 03"_hex),
         CPlcEngine::REPLY_BAD},
        {"a send's reaction with data", Send(5, 0, 1, 0), Reaction("00 00 00 00 12 34 10 03"_hex),
         CPlcEngine::REPLY_BAD},
        {"shorter than its header", Fetch(5, 0, 1, 0), Reaction("00 00 10 03"_hex),
         CPlcEngine::REPLY_BAD},
        {"a continuation header", Fetch(5, 0, 1, 0), Reaction("FF 00 00 00 12 34 10 03"_hex),
         CPlcEngine::REPLY_BAD},
        {"a lone DLE inside", Fetch(5, 0, 1, 0), Reaction("00 00 00 00 12 10 34 56 10 03"_hex),
         CPlcEngine::REPLY_BAD},
        {"the PLC's error number", Fetch(5, 0, 1, 0), Reaction("00 00 00 0A 12 34 10 03"_hex),
         CPlcEngine::REPLY_ERROR},
        {"a send refused", Send(5, 0, 1, 0), Reaction("00 00 00 32 10 03"_hex),
         CPlcEngine::REPLY_ERROR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSimensEngine engine(m_hub);
        m_hub.m_sent.clear();
        m_memory.Clear();
        WriteRows({c.row});
        ASSERT_EQ(engine.Start(m_memory, 0), 1);
        for (const Bytes& b : {kDle, kDle, kStx, c.reaction})
            engine.OnReceive(b.data(), static_cast<int>(b.size()));
        ASSERT_GE(m_hub.m_sent.size(), 2u);
        EXPECT_EQ(m_hub.m_sent[m_hub.m_sent.size() - 2], kDle);
        EXPECT_EQ(m_hub.m_sent.back(), kStx);
        EXPECT_EQ(m_memory.Get(0), 0);
        EXPECT_EQ(engine.GetReplyCount(), 0);
        EXPECT_EQ(engine.GetBadReplyCount(), c.result == CPlcEngine::REPLY_BAD ? 1 : 0);
        EXPECT_EQ(engine.GetErrorReplyCount(), c.result == CPlcEngine::REPLY_ERROR ? 1 : 0);
    }
}

TEST_F(SimensEngine, AFloodInsideAReactionOverrunsNothing) {
    StartWith({Fetch(5, 0, 64, 936)});
    Accept();
    Bytes flood(20000, 0x10); // 10000 data DLEs
    const Bytes end = "10 03 00"_hex;
    flood.insert(flood.end(), end.begin(), end.end());
    Receive(flood);
    EXPECT_EQ(m_engine.GetBadReplyCount(), 1);
    EXPECT_EQ(m_memory.Get(999), 0);
    EXPECT_EQ(Last(), kStx);
}

// Every block restarts the time-out: a stream that never ends the exchange,
// before the PLC's STX or inside its reaction, ends it past four work areas.
TEST_F(SimensEngine, AnEndlessStreamEndsTheExchangeAndPollingGoesOn) {
    StartWith({Fetch(5, 0, 1, 0)});
    for (bool inside : {false, true}) {
        const auto bad = m_engine.GetBadReplyCount();
        if (inside)
            Accept();
        else
            Receive(kDle); // the telegram is out
        Receive(Bytes(4 * CPlcEngine::kFrameMax, 0x41));
        EXPECT_NE(Last(), kStx) << inside;
        Receive("41"_hex);
        EXPECT_EQ(m_engine.GetBadReplyCount(), bad + 1) << inside;
        EXPECT_EQ(Last(), kStx) << inside;
    }
}

// Bytes after the reaction's check belong to no exchange: the new STX
// waits for a DLE of its own.
TEST_F(SimensEngine, BytesBehindAFinishedReactionAreIgnored) {
    StartWith({Fetch(5, 0, 1, 0)});
    Accept();
    Bytes reaction = Reaction("00 00 00 00 00 01 10 03"_hex);
    reaction.push_back(0x10);
    Receive(reaction);
    EXPECT_EQ(Last(), kStx);
    EXPECT_EQ(m_engine.GetState(), CSimensEngine::S_STX_SENT);
}

TEST_F(SimensEngine, GivesUpOnTheTwentySecondTickAndEveryBlockRestartsTheCount) {
    StartWith({Fetch(1, 0, 1, 0), Fetch(2, 0, 1, 0)});
    Receive(kDle); // the telegram for DB 2 is out
    Tick(15);
    Receive("00"_hex); // noise restarts the count
    Tick(21);
    EXPECT_EQ(m_hub.m_sent.size(), 2u);
    Tick(1);
    EXPECT_EQ(Last(), kStx);
    EXPECT_EQ(m_engine.GetTimeoutCount(), 1);
    // The abandoned exchange used up its row: the next one is DB 1.
    Receive(kDle);
    EXPECT_EQ(Last()[4], 1);

    // While the link is down nothing goes; once it is up again the next
    // tick starts a new exchange.
    m_hub.m_bUp = false;
    Tick(40);
    EXPECT_EQ(m_hub.m_sent.size(), 4u);
    m_hub.m_bUp = true;
    Tick(1);
    EXPECT_EQ(Last(), kStx);
}

// The exchange state survives Stop and Start: a new run waits for the
// time-out before its first STX, as the PLC may still be in the old one.
TEST_F(SimensEngine, StartInTheMiddleOfAnExchangeWaitsForTheTimeOut) {
    StartWith({Fetch(1, 0, 1, 0)});
    Receive(kDle);
    Receive(kDle);
    ASSERT_EQ(m_engine.GetState(), CSimensEngine::S_WAIT_STX);
    m_engine.Stop();
    EXPECT_EQ(m_engine.OnReceive(kStx.data(), 1), 0);
    EXPECT_EQ(m_engine.GetState(), CSimensEngine::S_WAIT_STX);
    const std::size_t sent = m_hub.m_sent.size();
    ASSERT_EQ(m_engine.Start(m_memory, 0), 1);
    EXPECT_EQ(m_hub.m_sent.size(), sent);
    Tick(21);
    EXPECT_EQ(m_hub.m_sent.size(), sent);
    Tick(1);
    EXPECT_EQ(Last(), kStx);
}

TEST_F(SimensEngine, ASendTakesTheTableAsItIsWhenTheTelegramIsBuilt) {
    StartWith({Send(16, 0, 2, 5)});
    m_memory.Set(5, 0x1234);
    m_memory.Set(6, 0x1056);
    Receive(kDle);
    EXPECT_EQ(Last(), "00 00 41 44 10 10 00 00 02 FF FF 12 34 10 10 56 10 03 64"_hex);
    Receive(kDle);
    Receive(kStx);
    Receive(Reaction("00 00 00 00 10 03"_hex));
    EXPECT_EQ(m_engine.GetReplyCount(), 1);
}

// Rows one RK512 telegram cannot carry refuse the start, naming the row
// and the field; nothing is sent.
TEST_F(SimensEngine, RowsTheProtocolCannotCarryRefuseTheStart) {
    auto row = [](const char* unit, const char* db, const char* dw, const char* count,
                  const char* index) { return CellRow{"자동읽기", unit, db, dw, count, index}; };
    struct Case {
        CellRow row;
        const char* field;
    } cases[] = {
        {row("WORD", "256", "0", "1", "0"), "DBADDRESS"},
        {row("WORD", "-1", "0", "1", "0"), "DBADDRESS"},
        {row("WORD", "", "0", "1", "0"), "DBADDRESS"},
        {row("WORD", "5", "256", "1", "0"), "DWADDRESS"},
        {row("WORD", "5", "0", "0", "0"), "DATACOUNT"},
        {row("WORD", "5", "0", "65", "0"), "DATACOUNT"},
        {row("BIT", "5", "0", "1025", "0"), "DATACOUNT"},
        {row("BIT", "5", "0", "1000", "1"), "ANINDEX"},
        {row("WORD", "5", "0", "10", "995"), "ANINDEX"},
        {row("DWORD", "5", "0", "1", "0"), "PLCDEVICETYPE"},
        {row("", "5", "0", "1", "0"), "PLCDEVICETYPE"},
        {CellRow{"수동", "WORD", "5", "0", "1", "0"}, "COMMTYPE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row[1] + "," + c.row[2] + "," + c.row[3] + "," + c.row[4] + "," + c.row[5]);
        m_hub.m_messages.clear();
        WriteRows({Fetch(1, 0, 1, 0), c.row});
        EXPECT_EQ(m_engine.Start(m_memory, 0), 0);
        m_engine.Stop();
        ASSERT_EQ(m_hub.m_messages.size(), 1u);
        const std::string& text = m_hub.m_messages[0];
        EXPECT_TRUE(text.starts_with(CPlcEngine::kBadRow)) << text;
        EXPECT_NE(text.find(std::string("ROW 2 (SIMENS_INI1): ") + c.field), std::string::npos)
            << text;
    }
    EXPECT_TRUE(m_hub.m_sent.empty());

    // The edges one telegram allows.
    StartWith({Fetch(255, 255, 64, 936), Fetch(0, 0, 1000, 0, "BIT"), Send(1, 2, 64, 0)});
    EXPECT_EQ(m_engine.GetRows().size(), 3u);
}

} // namespace
