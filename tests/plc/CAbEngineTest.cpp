#include "plc/codecs/CAbEngine.h"
#include "AbTestSupport.h"
#include "RecordingHub.h"

#include <gtest/gtest.h>

namespace {

constexpr int POLL = CPlcEngine::ID_TIMER_POLL;
const Bytes kAck = "10 06"_hex;
const Bytes kNak = "10 15"_hex;
const Bytes kEnq = "10 05"_hex;
const std::string kRead = PlcRequestRow::kAutoRead;
const std::string kWrite = PlcRequestRow::kAutoWrite;

PlcRequestRow Row(const std::string& type, const char* file, int src, int dst, int address,
                  int count, int index) {
    PlcRequestRow row;
    row.m_strCommType = type;
    row.m_strDeviceType = "WORD";
    row.m_strDeviceName = file;
    row.m_nSrc = src;
    row.m_nDst = dst;
    row.m_nPlcAddress = address;
    row.m_nDataCount = count;
    row.m_nAnIndex = index;
    return row;
}

TEST(AbFrames, RequestsAreByteExact) {
    MemoryTable memory;
    memory.Set(7, 0x1234);
    memory.Set(8, 0x00FF);
    memory.Set(9, 0x1010);
    struct Case {
        const char* name;
        PlcRequestRow row;
        unsigned tns;
        Bytes expected;
    } cases[] = {
        {"read N7:0, ten words", Row(kRead, "N7", 0, 1, 0, 10, 0), 1,
         "10 02 01 00 0F 00 01 00 01 00 00 0A 00 00 24 4E 37 3A 30 00 14 10 03 BD"_hex},
        {"transaction 0x10 doubled, BCC over one", Row(kRead, "N7", 0, 1, 0, 1, 0), 0x10,
         "10 02 01 00 0F 00 10 10 00 01 00 00 01 00 00 24 4E 37 3A 30 00 02 10 03 C9"_hex},
        {"write two words high byte first", Row(kWrite, "N7", 3, 2, 10, 2, 7), 5,
         "10 02 02 03 0F 00 05 00 00 00 00 02 00 00 24 4E 37 3A 31 30 00 12 34 00 FF 10 03 5C"_hex},
        {"DLE in the data doubled", Row(kWrite, "B3", 0, 1, 0, 1, 9), 0x0201,
         Df1("01 00 0F 00 01 02 00 00 00 01 00 00 24 42 33 3A 30 00 10 10"_hex)},
        {"neither type: the empty frame", Row("수동", "N7", 0, 1, 0, 1, 0), 1,
         "10 02 10 03 00"_hex},
        {"low 16 bits of the transaction", Row(kRead, "N7", 0, 1, 5, 1, 0), 0x10203,
         Df1("01 00 0F 00 03 02 01 00 00 01 00 00 24 4E 37 3A 35 00 02"_hex)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CAbEngine::FrameDf1(CAbEngine::BuildBody(c.row, c.tns, &memory)), c.expected)
            << c.name;

    const Bytes body = CAbEngine::BuildBody(Row(kRead, "N7", 0, 1, 0, 10, 0), 1, nullptr);
    EXPECT_EQ(body.size(), 19u);
    EXPECT_EQ(CAbEngine::Df1Bcc(body.data(), body.size()), 0xBD);
    // The size byte of a read states 2 x count bytes in 8 bits.
    EXPECT_EQ(CAbEngine::BuildBody(Row(kRead, "N7", 0, 1, 0, 200, 0), 1, nullptr).back(), 0x90);
}

// The engine over a recording hub, its rows written in a fresh folder.
class AbEngine : public ::testing::Test {
protected:
    void StartWith(const std::vector<CellRow>& rows) {
        WriteAbRows(rows);
        ASSERT_EQ(m_engine.Start(m_memory, 0), 1)
            << (m_hub.m_messages.empty() ? std::string() : m_hub.m_messages.back());
    }
    void Receive(const Bytes& bytes) {
        m_engine.OnReceive(bytes.data(), static_cast<int>(bytes.size()));
    }
    void Tick(int n) {
        for (int i = 0; i < n; ++i)
            m_engine.OnTimer(POLL);
    }
    // What the engine sent after the first n blocks.
    std::vector<Bytes> SentAfter(std::size_t n) const {
        return {m_hub.m_sent.begin() + static_cast<std::ptrdiff_t>(n), m_hub.m_sent.end()};
    }
    static Bytes Request(const PlcRequestRow& row, unsigned tns, const MemoryTable* memory) {
        return CAbEngine::FrameDf1(CAbEngine::BuildBody(row, tns, memory));
    }

    InTempDir m_dir;
    RecordingHub m_hub;
    CAbEngine m_engine{m_hub};
    MemoryTable m_memory;
};

// The reply of station 1 to source 0 for transaction tns, with data.
Bytes Reply(unsigned tns, const Bytes& data, std::uint8_t sts = 0, std::uint8_t src = 0,
            std::uint8_t dst = 1, std::uint8_t cmd = 0x4F) {
    Bytes body = {src,
                  dst,
                  cmd,
                  sts,
                  static_cast<std::uint8_t>(tns & 0xFF),
                  static_cast<std::uint8_t>(tns >> 8)};
    body.insert(body.end(), data.begin(), data.end());
    return Df1(body);
}

TEST_F(AbEngine, AReadExchangeAcksStoresAndSendsTheNextRequest) {
    StartWith({AbRow(kRead, "N7", 0, 1, 0, 2, 5)});
    const PlcRequestRow row = Row(kRead, "N7", 0, 1, 0, 2, 5);
    ASSERT_EQ(m_hub.m_sent, std::vector<Bytes>{Request(row, 1, nullptr)});
    Receive(Cat({kAck, Reply(1, "12 34 00 FF"_hex)}));
    EXPECT_EQ(m_memory.Get(5), 0x1234);
    EXPECT_EQ(m_memory.Get(6), 0x00FF);
    EXPECT_EQ(SentAfter(1), (std::vector<Bytes>{kAck, Request(row, 2, nullptr)}));
    EXPECT_EQ(m_engine.GetReplyCount(), 1);
}

TEST_F(AbEngine, WriteRowsSendTheTableAndStoreNothing) {
    m_memory.Set(3, 0xBEEF);
    StartWith({AbRow(kWrite, "N7", 0, 1, 50, 1, 3)});
    EXPECT_EQ(m_hub.m_sent.back(), Df1("01 00 0F 00 01 00 00 00 00 01 00 00 24 4E 37 3A 35 30 00 "
                                       "BE EF"_hex));
    Receive(Cat({kAck, Reply(1, {})}));
    EXPECT_EQ(m_engine.GetReplyCount(), 1);
    EXPECT_EQ(m_hub.m_sent.size(), 3u);
    EXPECT_EQ(m_memory.Get(3), 0xBEEF);
}

// Every split of the exchange, down to single bytes, ends the same way, and
// the next request leaves only with the block that completes the frame.
TEST_F(AbEngine, AReplySplitAnywhereIsTakenAsOneBlock) {
    StartWith({AbRow(kRead, "N7", 0, 1, 0, 1, 0)});
    // The data word 0x1010 is doubled twice on the wire.
    for (unsigned tns = 1; tns < 40; ++tns) {
        const Bytes wire = Cat({kAck, Reply(tns, "10 10"_hex)});
        const std::size_t cut1 = tns % wire.size();
        const std::size_t cut2 = (tns * 7) % wire.size();
        const std::size_t a = std::min(cut1, cut2);
        const std::size_t b = std::max(cut1, cut2);
        const std::size_t before = m_hub.m_sent.size();
        m_memory.Set(0, 0);
        const Bytes parts[] = {
            Bytes(wire.begin(), wire.begin() + static_cast<long>(a)),
            Bytes(wire.begin() + static_cast<long>(a), wire.begin() + static_cast<long>(b)),
            Bytes(wire.begin() + static_cast<long>(b), wire.end())};
        for (const Bytes& part : parts) {
            ASSERT_EQ(m_hub.m_sent.size(), before) << "split " << a << "/" << b;
            Receive(part);
        }
        ASSERT_EQ(m_memory.Get(0), 0x1010) << "split " << a << "/" << b;
        ASSERT_EQ(SentAfter(before).size(), 2u);
        EXPECT_EQ(SentAfter(before)[0], kAck);
    }
    // And byte by byte.
    const std::size_t before = m_hub.m_sent.size();
    const Bytes wire = Cat({kAck, Reply(40, "AB CD"_hex)});
    for (std::size_t i = 0; i < wire.size(); ++i) {
        ASSERT_EQ(m_hub.m_sent.size(), before);
        Receive(Bytes{wire[i]});
    }
    EXPECT_EQ(m_memory.Get(0), 0xABCD);
    EXPECT_EQ(m_engine.GetReplyCount(), 40);
}

// A reply counts only when it answers the request and checks; one with an
// error status is the PLC's refusal.
TEST_F(AbEngine, RepliesMustAnswerTheRequestAndCheck) {
    enum Outcome { WAIT, OK, BAD, ERROR };
    struct Case {
        const char* name;
        Bytes wire;
        Outcome outcome;
        Bytes answer; // the engine's link answer to the frame
        unsigned stored;
    } cases[] = {
        {"good", Reply(1, "12 34 56 78"_hex), OK, kAck, 0x1234},
        {"bad BCC", Df1("00 01 4F 00 01 00 12 34 56 78"_hex, 1), WAIT, kNak, 0},
        {"another station", Reply(1, "12 34 56 78"_hex, 0, 0, 2), BAD, kAck, 0},
        {"another source", Reply(1, "12 34 56 78"_hex, 0, 9, 1), BAD, kAck, 0},
        {"not the reply command", Reply(1, "12 34 56 78"_hex, 0, 0, 1, 0x0F), BAD, kAck, 0},
        {"error status", Reply(1, "10"_hex, 0xF0), ERROR, kAck, 0},
        {"error status, no data", Reply(1, {}, 0x10), ERROR, kAck, 0},
        {"one word short", Reply(1, "12 34"_hex, 0), BAD, kAck, 0},
        {"one byte long", Reply(1, "12 34 56 78 9A"_hex, 0), BAD, kAck, 0},
        {"header cut", Df1("00 01 4F"_hex), BAD, kAck, 0},
        {"an earlier transaction", Reply(0xFFFF, "12 34 56 78"_hex), WAIT, kAck, 0},
        {"a later transaction", Reply(2, "12 34 56 78"_hex), WAIT, kAck, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_hub.m_sent.clear();
        m_memory.Clear();
        RecordingHub hub;
        CAbEngine engine(hub);
        WriteAbRows({AbRow(kRead, "N7", 0, 1, 0, 2, 0)});
        ASSERT_EQ(engine.Start(m_memory, 0), 1);
        const Bytes wire = Cat({kAck, c.wire});
        engine.OnReceive(wire.data(), static_cast<int>(wire.size()));
        const long long finished[] = {0, engine.GetReplyCount(), engine.GetBadReplyCount(),
                                      engine.GetErrorReplyCount()};
        const Outcome outcome = finished[OK]      ? OK
                                : finished[BAD]   ? BAD
                                : finished[ERROR] ? ERROR
                                                  : WAIT;
        EXPECT_EQ(outcome, c.outcome);
        ASSERT_GE(hub.m_sent.size(), 2u);
        EXPECT_EQ(hub.m_sent[1], c.answer);
        EXPECT_EQ(hub.m_sent.size(), c.outcome == WAIT ? 2u : 3u);
        EXPECT_EQ(m_memory.Get(0), c.stored);
        EXPECT_EQ(m_memory.Get(2), 0); // nothing past the row's words
    }
}

TEST_F(AbEngine, ABadFrameIsNakedAndItsRepeatTakenWithoutANewRequest) {
    StartWith({AbRow(kRead, "N7", 0, 1, 0, 1, 0)});
    Receive(Cat({kAck, Df1("00 01 4F 00 01 00 AA BB"_hex, 0x40)}));
    EXPECT_EQ(SentAfter(1), std::vector<Bytes>{kNak});
    Receive(Reply(1, "AA BB"_hex));
    EXPECT_EQ(m_memory.Get(0), 0xAABB);
    EXPECT_EQ(SentAfter(2).size(), 2u); // ACK, the next request
    EXPECT_EQ(SentAfter(2)[0], kAck);

    // A line that spoils every frame: NAKed three times, given up on the
    // fourth.
    const std::size_t before = m_hub.m_sent.size();
    Receive(kAck);
    for (int i = 0; i < 4; ++i)
        Receive(Df1("00 01 4F 00 02 00 AA BB"_hex, 1));
    const std::vector<Bytes> sent = SentAfter(before);
    ASSERT_EQ(sent.size(), 5u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(sent[static_cast<std::size_t>(i)], kNak);
    EXPECT_EQ(m_engine.GetBadReplyCount(), 1);
}

// DLE NAK (or DLE and anything but ACK) in answer to the request and DLE ENQ
// where the reply is awaited send it again with a new transaction number; a
// repeat waits for its own answer, and the fourth refusal gives the row up.
TEST_F(AbEngine, RequestsAreRepeatedThreeTimesAndRepeatsWaitForTheirAnswer) {
    StartWith({AbRow(kRead, "N7", 0, 1, 0, 1, 0), AbRow(kRead, "N7", 0, 1, 9, 1, 1)});
    const PlcRequestRow row = Row(kRead, "N7", 0, 1, 9, 1, 1);
    Receive(kNak);
    Receive(Cat({kAck, kEnq}));
    Receive("10 44"_hex);
    EXPECT_EQ(m_hub.m_sent,
              (std::vector<Bytes>{Request(row, 1, nullptr), Request(row, 2, nullptr), kAck,
                                  Request(row, 3, nullptr), Request(row, 4, nullptr)}));
    EXPECT_EQ(m_engine.GetRepeatCount(), 3);
    // The last repeat's reply (transaction 4) is taken; or an earlier one's.
    Receive(Cat({kAck, Reply(2, "00 07"_hex)}));
    EXPECT_EQ(m_memory.Get(1), 7);
    EXPECT_EQ(m_engine.GetRepeatCount(), 0);
    const PlcRequestRow first = Row(kRead, "N7", 0, 1, 0, 1, 0);
    EXPECT_EQ(m_hub.m_sent.back(), Request(first, 5, nullptr));

    // Four refusals: three repeats, then the next row.
    const std::size_t before = m_hub.m_sent.size();
    Receive(Cat({kNak, kNak, kNak}));
    Receive(kNak);
    EXPECT_EQ(SentAfter(before),
              (std::vector<Bytes>{Request(first, 6, nullptr), Request(first, 7, nullptr),
                                  Request(first, 8, nullptr), Request(row, 9, nullptr)}));
    EXPECT_EQ(m_engine.GetBadReplyCount(), 1);
}

TEST_F(AbEngine, TheTimeOutGoesOnAndLeavesTheResponderAlone) {
    StartWith({AbRow(kRead, "N7", 0, 1, 0, 1, 0), AbRow(kRead, "N7", 0, 1, 1, 1, 1)});
    Receive(Cat({kAck, "10 02 00 01"_hex, "10"_hex})); // a frame cut short after a DLE
    EXPECT_EQ(m_engine.GetRxState(), CAbEngine::DF1_FRAME_DLE);
    EXPECT_EQ(m_engine.GetLinkState(), CAbEngine::RSP_DLE);
    Tick(16);
    EXPECT_EQ(m_hub.m_sent.size(), 1u);
    Tick(1);
    ASSERT_EQ(m_hub.m_sent.size(), 2u);
    EXPECT_EQ(m_engine.GetTimeoutCount(), 1);
    EXPECT_EQ(m_engine.GetRxState(), CAbEngine::DF1_IDLE);
    EXPECT_EQ(m_engine.GetLinkState(), CAbEngine::RSP_DLE);
    EXPECT_EQ(m_hub.m_sent.back(), Request(Row(kRead, "N7", 0, 1, 0, 1, 0), 2, nullptr));
    // The late reply to the given-up request is acknowledged and passed over.
    Receive(Cat({kAck, Reply(1, "00 01"_hex)}));
    EXPECT_EQ(m_memory.Get(1), 0);
    EXPECT_EQ(m_hub.m_sent.size(), 3u);
    Receive(Reply(2, "00 02"_hex));
    EXPECT_EQ(m_memory.Get(0), 2);
    EXPECT_EQ(m_hub.m_sent.size(), 5u);
}

// Noise where the ACK is awaited is no answer: the request stays out.
TEST_F(AbEngine, BytesWithoutADleDoNotEndTheExchange) {
    StartWith({AbRow(kRead, "N7", 0, 1, 0, 1, 0)});
    Receive("00 41 42 FF"_hex);
    EXPECT_EQ(m_hub.m_sent.size(), 1u);
    EXPECT_EQ(m_engine.GetRxState(), CAbEngine::DF1_IDLE);
}

// Every block restarts the time-out: a stream that never ends the exchange,
// before a frame or inside one, ends it past four work areas instead.
TEST_F(AbEngine, AnEndlessStreamEndsTheExchangeAndPollingGoesOn) {
    StartWith({AbRow(kRead, "N7", 0, 1, 0, 1, 0)});
    for (const Bytes& start : {Bytes{}, Cat({kAck, "10 02"_hex})}) {
        const std::size_t sent = m_hub.m_sent.size();
        const auto bad = m_engine.GetBadReplyCount();
        Bytes stream = start;
        stream.insert(stream.end(), 4 * CPlcEngine::kFrameMax, 0x41);
        Receive(stream);
        EXPECT_EQ(m_hub.m_sent.size(), sent);
        Receive("41"_hex);
        EXPECT_EQ(m_engine.GetBadReplyCount(), bad + 1);
        EXPECT_EQ(m_engine.GetRxState(), CAbEngine::DF1_IDLE);
        EXPECT_EQ(m_hub.m_sent.back(), Request(Row(kRead, "N7", 0, 1, 0, 1, 0),
                                               m_engine.GetTransactionNumber(), nullptr));
    }
}

TEST_F(AbEngine, AStopOrALostLinkInsideABlockLeavesTheRestUnread) {
    StartWith({AbRow(kRead, "N7", 0, 1, 0, 1, 0)});
    m_engine.Stop();
    EXPECT_EQ(m_engine.OnReceive(kAck.data(), 2), 0);
    EXPECT_EQ(m_engine.GetRxState(), CAbEngine::DF1_IDLE);
    m_hub.m_bUp = false;
    EXPECT_EQ(m_engine.OnReceive(kAck.data(), 2), 0);
    EXPECT_EQ(m_hub.m_sent.size(), 1u);
}

TEST_F(AbEngine, RowsTheProtocolCannotCarryRefuseTheStart) {
    struct Case {
        const char* name;
        CellRow row;
        const char* field;
    } cases[] = {
        {"source 255", AbRow(kRead, "N7", 255, 1, 0, 1, 0), "SRC"},
        {"destination 300", AbRow(kRead, "N7", 0, 300, 0, 1, 0), "DST"},
        {"element 1000", AbRow(kRead, "N7", 0, 1, 1000, 1, 0), "PLCADDRESS"},
        {"123 words", AbRow(kWrite, "N7", 0, 1, 0, 123, 0), "DATACOUNT"},
        {"no words", AbRow(kRead, "N7", 0, 1, 0, 0, 0), "DATACOUNT"},
        {"no file", AbRow(kRead, "", 0, 1, 0, 1, 0), "PLCDEVICENAME"},
        {"lower case file", AbRow(kRead, "n7", 0, 1, 0, 1, 0), "PLCDEVICENAME"},
        {"address in the file", AbRow(kRead, "N7:3", 0, 1, 0, 1, 0), "PLCDEVICENAME"},
        {"file number too long", AbRow(kRead, "N1234", 0, 1, 0, 1, 0), "PLCDEVICENAME"},
        {"past the file's last element", AbRow(kRead, "N7", 0, 1, 999, 2, 0), "PLCADDRESS"},
        {"past the table", AbRow(kRead, "N7", 0, 1, 0, 2, 999), "ANINDEX"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteAbRows({AbRow(kRead, "N7", 0, 1, 0, 1, 0), c.row});
        RecordingHub hub;
        CAbEngine engine(hub);
        EXPECT_EQ(engine.Start(m_memory, 0), 0);
        ASSERT_EQ(hub.m_messages.size(), 1u);
        EXPECT_NE(hub.m_messages[0].find("ROW 2 (AB_INI1): "), std::string::npos);
        EXPECT_NE(hub.m_messages[0].find(c.field), std::string::npos) << hub.m_messages[0];
        EXPECT_TRUE(hub.m_sent.empty());
    }
    CellRow bits = AbRow(kRead, "B3", 0, 1, 0, 1, 0);
    bits[1] = "BIT";
    WriteAbRows({bits});
    RecordingHub hub;
    CAbEngine engine(hub);
    EXPECT_EQ(engine.Start(m_memory, 0), 0);
    ASSERT_EQ(hub.m_messages.size(), 1u);
    EXPECT_NE(hub.m_messages[0].find("PLCDEVICETYPE"), std::string::npos);
}

} // namespace
