#include "plc/codecs/CMasterKEngine.h"
#include "CnetText.h"
#include "PlcTestSupport.h"
#include "RecordingHub.h"
#include "TestBytes.h"

#include <gtest/gtest.h>

namespace {

constexpr int POLL = CPlcEngine::ID_TIMER_POLL;

PlcRequestRow Row(const char* comm, int station, const char* type, const char* name, int address,
                  int count, int index) {
    PlcRequestRow row;
    row.m_strCommType = comm;
    row.m_nStationNum = station;
    row.m_strDeviceType = type;
    row.m_strDeviceName = name;
    row.m_nPlcAddress = address;
    row.m_nDataCount = count;
    row.m_nAnIndex = index;
    return row;
}

std::string Encode(const PlcRequestRow& row, const MemoryTable* memory = nullptr) {
    Bytes buffer(CPlcEngine::kFrameMax);
    const int n =
        CMasterKEngine::EncodeRequest(row, memory, buffer.data(), static_cast<int>(buffer.size()));
    return std::string(buffer.begin(), buffer.begin() + n);
}

TEST(MasterKFrames, RequestsAreByteExact) {
    MemoryTable memory;
    memory.Set(0, 0x0012);
    memory.Set(1, 0x00AB);
    memory.Set(5, 7);
    struct Case {
        const char* name;
        PlcRequestRow row;
        std::string expected;
    } cases[] = {
        {"one word of D100, station 0", Row("자동읽기", 0, "WORD", "D", 100, 1, 0),
         Cnet("^E00rSB06%DW10001^T88")},
        {"two words written to D100, station 1", Row("자동쓰기", 1, "WORD", "D", 100, 2, 0),
         Cnet("^E01wSB06%DW10002001200AB^T35")},
        {"20 bits of P from 26: two words from P01", Row("자동읽기", 0, "BIT", "P", 26, 20, 0),
         Cnet("^E00rSB05%PW0102^T64")},
        {"16 bits from a word's first bit ask for two words",
         Row("자동읽기", 0, "BIT", "M", 32, 16, 0), CnetBcc("^E00rSB05%MW0202^T")},
        {"a set bit written to P1A", Row("자동쓰기", 2, "BIT", "P", 26, 1, 5),
         CnetBcc("^E02wSS0105%PX1A01^T")},
        {"a clear bit written", Row("자동쓰기", 2, "BIT", "M", 3, 1, 9),
         CnetBcc("^E02wSS0104%MX300^T")},
        // Words count in decimal, the bit in hex: bit 165 is word 10, bit 5.
        {"bit 165 written", Row("자동쓰기", 31, "BIT", "M", 165, 1, 5),
         CnetBcc("^E1FwSS0106%MX10501^T")},
        {"bits read from word 10", Row("자동읽기", 0, "BIT", "K", 165, 3, 0),
         CnetBcc("^E00rSB05%KW1001^T")},
        {"a write of another device type: ENQ and station",
         Row("자동쓰기", 1, "DWORD", "D", 0, 1, 0), Cnet("^E01")},
        {"another command type: ENQ and station", Row("수동", 3, "WORD", "D", 0, 1, 0),
         Cnet("^E03")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Encode(c.row, &memory), c.expected) << c.name;
}

// The engine over a recording hub, its rows written in a fresh folder.
class MasterKEngine : public ::testing::Test {
protected:
    using Cells = std::vector<std::string>;
    static Cells RowCells(const char* comm, int station, const char* type, const char* name,
                          int address, int count, int index) {
        return {comm,
                std::to_string(station),
                type,
                name,
                std::to_string(address),
                std::to_string(count),
                std::to_string(index)};
    }
    void WriteRows(const std::vector<Cells>& rows) {
        CPlcSettingsFile file(CPlcSettingsFile::PLC_MASTERK);
        ASSERT_TRUE(file.SaveRows(file.CurrentPath(), rows));
    }
    void StartWith(const std::vector<Cells>& rows) {
        WriteRows(rows);
        ASSERT_EQ(m_engine.Start(m_memory, 0), 1)
            << (m_hub.m_messages.empty() ? "" : m_hub.m_messages.back());
    }
    void Receive(const std::string& text) {
        m_engine.OnReceive(reinterpret_cast<const std::uint8_t*>(text.data()),
                           static_cast<int>(text.size()));
    }
    void Tick(int n) {
        for (int i = 0; i < n; ++i)
            m_engine.OnTimer(POLL);
    }
    std::size_t Sent() const { return m_hub.m_sent.size(); }

    InTempDir m_dir;
    RecordingHub m_hub;
    CMasterKEngine m_engine{m_hub};
    MemoryTable m_memory;
};

TEST_F(MasterKEngine, ReadsWordsAndBitsIntoTheTable) {
    StartWith({RowCells("자동읽기", 0, "WORD", "D", 100, 2, 10),
               RowCells("자동읽기", 0, "BIT", "P", 26, 20, 20)});
    // The second row goes first: bits 10-15 of P01 and 0-13 of P02.
    ASSERT_EQ(Sent(), 1u);
    Receive(CnetBcc("^A00rSB0102A4008001^X"));
    EXPECT_EQ(m_engine.GetReplyCount(), 1);
    const int expected[20] = {1, 0, 0, 1, 0, 1, /* P02 */ 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(m_memory.Get(20 + i), expected[i]) << "bit " << i;
    EXPECT_EQ(m_memory.Get(40), 0);
    ASSERT_EQ(Sent(), 2u);
    Receive(CnetBcc("^A00rSB0102ABCD0012^X"));
    EXPECT_EQ(m_memory.Get(10), 0xABCD);
    EXPECT_EQ(m_memory.Get(11), 0x0012);
    EXPECT_EQ(Sent(), 3u);
}

TEST_F(MasterKEngine, AReplySplitOverBlocksCompletesOnItsLastByteAndEachBlockRestartsTheCount) {
    StartWith({RowCells("자동읽기", 5, "WORD", "D", 0, 1, 3)});
    const std::string reply = "garbage" + CnetBcc("^A05rSB01011234^X");
    for (std::size_t i = 0; i + 1 < reply.size(); ++i) {
        Tick(15);
        Receive(reply.substr(i, 1));
        ASSERT_EQ(Sent(), 1u) << "after " << i + 1 << " bytes";
    }
    Receive(reply.substr(reply.size() - 1) + "more bytes, ignored");
    EXPECT_EQ(Sent(), 2u);
    EXPECT_EQ(m_memory.Get(3), 0x1234);
    EXPECT_EQ(m_engine.GetTimeoutCount(), 0);
}

// A reply counts only when it answers the request and checks; a NAK from
// the station for the command is the PLC refusing it.
TEST_F(MasterKEngine, RepliesMustAnswerTheRequestAndCheck) {
    enum Outcome { WAIT, OK, BAD, ERROR };
    const Cells read = RowCells("자동읽기", 1, "WORD", "D", 100, 1, 0);
    const Cells bits = RowCells("자동읽기", 1, "BIT", "M", 4, 2, 0);
    const Cells write = RowCells("자동쓰기", 1, "WORD", "D", 100, 1, 0);
    const Cells bitWrite = RowCells("자동쓰기", 1, "BIT", "M", 4, 1, 0);
    struct Case {
        const char* name;
        Cells row;
        std::string reply;
        Outcome outcome;
        int stored; // word 0 afterwards
    } cases[] = {
        {"read", read, CnetBcc("^A01rSB0101ABCD^X"), OK, 0xABCD},
        {"lower-case data", read, CnetBcc("^A01rSB0101abcd^X"), OK, 0xABCD},
        {"wrong bcc", read, Cnet("^A01rSB0101ABCD^X00"), BAD, 0},
        {"lower-case bcc", read, Cnet("^A01rSB01010012^X3e"), BAD, 0},
        {"another station", read, CnetBcc("^A02rSB0101ABCD^X"), BAD, 0},
        {"another command", read, CnetBcc("^A01wSB0101ABCD^X"), BAD, 0},
        {"two blocks stated", read, CnetBcc("^A01rSB0201ABCD^X"), BAD, 0},
        {"another word count", read, CnetBcc("^A01rSB0102ABCD0001^X"), BAD, 0},
        {"fewer data than stated", read, CnetBcc("^A01rSB0101AB^X"), BAD, 0},
        {"more data than stated", read, CnetBcc("^A01rSB0101ABCD00^X"), BAD, 0},
        {"no hex digit in the data", read, CnetBcc("^A01rSB0101AGCD^X"), BAD, 0},
        {"truncated frame", read, CnetBcc("^A01^X"), BAD, 0},
        {"waits for the second bcc character", read, Cnet("^A01rSB0101ABCD^X3"), WAIT, 0},
        {"nak", read, CnetBcc("^N01rSB1132^X"), ERROR, 0},
        {"nak, wrong bcc", read, Cnet("^N01rSB1132^X00"), BAD, 0},
        {"nak from another station", read, CnetBcc("^N07rSB1132^X"), BAD, 0},
        {"nak waits for its bcc", read, Cnet("^N01rSB1132^X"), WAIT, 0},
        {"bit read", bits, CnetBcc("^A01rSB01010030^X"), OK, 1},
        {"bit read, a word short", bits, CnetBcc("^A01rSB0102^X"), BAD, 0},
        {"write ack", write, CnetBcc("^A01wSB^X"), OK, 0},
        {"write ack with data", write, CnetBcc("^A01wSB00^X"), BAD, 0},
        {"write ack for wSS", write, CnetBcc("^A01wSS^X"), BAD, 0},
        {"write nak", write, CnetBcc("^N01wSB7132^X"), ERROR, 0},
        {"bit write ack", bitWrite, CnetBcc("^A01wSS^X"), OK, 0},
        {"bit write ack, wrong bcc", bitWrite, Cnet("^A01wSS^X00"), BAD, 0},
        {"bit write nak", bitWrite, CnetBcc("^N01wSS0004^X"), ERROR, 0},
        // The echo of the request is skipped; the reply after it counts.
        {"echo, then reply", read, CnetBcc("^E01rSB06%DW10001^T") + CnetBcc("^A01rSB01010042^X"),
         OK, 0x42},
        {"echo alone", read, CnetBcc("^E01rSB06%DW10001^T"), WAIT, 0},
        {"request-shaped frame with ETX", write, CnetBcc("^E01wSB^X"), BAD, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_hub.m_sent.clear();
        CMasterKEngine engine(m_hub);
        MemoryTable memory;
        WriteRows({c.row});
        ASSERT_EQ(engine.Start(memory, 0), 1);
        engine.OnReceive(reinterpret_cast<const std::uint8_t*>(c.reply.data()),
                         static_cast<int>(c.reply.size()));
        EXPECT_EQ(m_hub.m_sent.size(), c.outcome == WAIT ? 1u : 2u);
        EXPECT_EQ(engine.GetReplyCount(), c.outcome == OK ? 1 : 0);
        EXPECT_EQ(engine.GetBadReplyCount(), c.outcome == BAD ? 1 : 0);
        EXPECT_EQ(engine.GetErrorReplyCount(), c.outcome == ERROR ? 1 : 0);
        EXPECT_EQ(memory.Get(0), c.stored);
    }
}

TEST_F(MasterKEngine, GivesUpOnTheSeventeenthTickAndStartsTheNextReplyAfresh) {
    StartWith({RowCells("자동읽기", 1, "WORD", "D", 0, 1, 0),
               RowCells("자동읽기", 1, "WORD", "D", 10, 1, 5)});
    Receive(Cnet("^A01rSB0101"));
    Tick(16);
    EXPECT_EQ(Sent(), 1u);
    Tick(1);
    ASSERT_EQ(Sent(), 2u);
    EXPECT_EQ(m_engine.GetTimeoutCount(), 1);
    EXPECT_EQ(m_engine.GetReplyState(), CMasterKEngine::STATE_START);
    // The rest of the given-up reply is no start of the next one.
    Receive(Cnet("FFFF^X") + "00");
    EXPECT_EQ(Sent(), 2u);
    Receive(CnetBcc("^A01rSB01010007^X"));
    EXPECT_EQ(Sent(), 3u);
    EXPECT_EQ(m_memory.Get(0), 7);
    EXPECT_EQ(m_memory.Get(5), 0);
}

// A stream that never ends a frame fills no more than the work area: the
// exchange ends and polling goes on; a block of any size is taken whole.
TEST_F(MasterKEngine, AnEndlessStreamEndsTheExchangeAndPollingGoesOn) {
    StartWith({RowCells("자동읽기", 1, "WORD", "D", 0, 1, 0)});
    Receive(Cnet("^A01rSB0101"));
    const std::string chunk(1000, 'F');
    for (int i = 0; i < 4; ++i)
        Receive(chunk);
    EXPECT_EQ(Sent(), 1u);
    Receive(chunk);
    EXPECT_EQ(Sent(), 2u);
    EXPECT_EQ(m_engine.GetBadReplyCount(), 1);
    // A 20000-byte block holding one good reply at its end.
    Receive(std::string(20000, '0') + CnetBcc("^A01rSB01010009^X"));
    EXPECT_EQ(Sent(), 3u);
    EXPECT_EQ(m_memory.Get(0), 9);
    Receive(Cnet("^N") + std::string(5000, '1'));
    EXPECT_EQ(Sent(), 4u);
    // Noise that never starts a frame (every block restarts the tick count):
    // the exchange ends once more than the work area has passed.
    for (int i = 0; i < 4; ++i)
        Receive("\x02" + std::string(999, '0'));
    EXPECT_EQ(Sent(), 4u);
    Receive("\x02" + std::string(999, '0'));
    EXPECT_EQ(Sent(), 5u);
    EXPECT_EQ(m_engine.GetBadReplyCount(), 3);
}

TEST_F(MasterKEngine, WritesTakeTheirValuesFromTheTableWhenSent) {
    WriteRows({RowCells("자동쓰기", 1, "WORD", "D", 100, 2, 0)});
    m_memory.Set(0, 0x0012);
    m_memory.Set(1, 0x00AB);
    ASSERT_EQ(m_engine.Start(m_memory, 0), 1);
    EXPECT_EQ(ToString(m_hub.m_sent.back()), Cnet("^E01wSB06%DW10002001200AB^T35"));
    m_memory.Set(1, 0xFFFF);
    Receive(CnetBcc("^A01wSB^X"));
    EXPECT_EQ(ToString(m_hub.m_sent.back()), CnetBcc("^E01wSB06%DW100020012FFFF^T"));
}

// Rows a Cnet frame cannot carry refuse the start, naming the row and field.
TEST_F(MasterKEngine, RowsTheProtocolCannotCarryAreRefused) {
    struct Case {
        const char* name;
        Cells row;
        const char* mentions;
    } cases[] = {
        {"station 32", RowCells("자동읽기", 32, "WORD", "D", 0, 1, 0), "STATIONNUM"},
        {"unknown device", RowCells("자동읽기", 1, "WORD", "Z", 0, 1, 0), "PLCDEVICENAME"},
        {"two-letter device", RowCells("자동읽기", 1, "WORD", "DD", 0, 1, 0), "PLCDEVICENAME"},
        {"empty device", RowCells("자동읽기", 1, "WORD", "", 0, 1, 0), "PLCDEVICENAME"},
        {"unknown device type", RowCells("자동읽기", 1, "DWORD", "D", 0, 1, 0), "PLCDEVICETYPE"},
        {"61 words", RowCells("자동읽기", 1, "WORD", "D", 0, 61, 0), "DATACOUNT"},
        {"two bits written", RowCells("자동쓰기", 1, "BIT", "M", 0, 2, 0), "DATACOUNT"},
        {"bits over 60 words", RowCells("자동읽기", 1, "BIT", "M", 1, 959, 0), "PLCADDRESS"},
        {"words past D9999", RowCells("자동읽기", 1, "WORD", "D", 9990, 11, 0), "PLCADDRESS"},
        {"address 10000", RowCells("자동읽기", 1, "WORD", "D", 10000, 1, 0), "PLCADDRESS"},
        {"past the table", RowCells("자동읽기", 1, "WORD", "D", 0, 2, 999), "ANINDEX"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_hub.m_sent.clear();
        m_hub.m_messages.clear();
        WriteRows({c.row});
        EXPECT_EQ(m_engine.Start(m_memory, 0), 0);
        EXPECT_TRUE(m_hub.m_sent.empty());
        ASSERT_EQ(m_hub.m_messages.size(), 1u);
        EXPECT_NE(m_hub.m_messages[0].find(c.mentions), std::string::npos) << m_hub.m_messages[0];
    }
    // The largest rows that fit start.
    WriteRows({RowCells("자동읽기", 31, "BIT", "M", 0, 959, 0),
               RowCells("자동쓰기", 0, "WORD", "S", 9940, 60, 940)});
    EXPECT_EQ(m_engine.Start(m_memory, 0), 1);
}

} // namespace
