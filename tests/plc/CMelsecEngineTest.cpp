#include "plc/codecs/CMelsecEngine.h"
#include "MelsecFrames.h"
#include "PlcTestSupport.h"
#include "RecordingHub.h"
#include "TestBytes.h"

#include <gtest/gtest.h>

namespace {

using melsec_test::ReadData;
constexpr int POLL = CPlcEngine::ID_TIMER_POLL;
const char* const kRead = "자동읽기";
const char* const kWrite = "자동쓰기";

// A MELSEC grid row: COMMTYPE, STATIONNUM, PLCNUM, PLCDEVICETYPE,
// PLCDEVICENAME, PLCADDRESS, DATACOUNT, ANINDEX.
CellRow MelsecRow(const char* type, int station, int plc, const char* unit, const char* device,
                  int address, int count, int index) {
    return {type,   std::to_string(station), std::to_string(plc),   unit,
            device, std::to_string(address), std::to_string(count), std::to_string(index)};
}

PlcRequestRow Row(const char* type, int station, int plc, const char* unit, const char* device,
                  int address, int count, int index) {
    PlcRequestRow row;
    row.m_strCommType = type;
    row.m_nStationNum = station;
    row.m_nPlcNum = plc;
    row.m_strDeviceType = unit;
    row.m_strDeviceName = device;
    row.m_nPlcAddress = address;
    row.m_nDataCount = count;
    row.m_nAnIndex = index;
    return row;
}

std::string Encode(const PlcRequestRow& row, const MemoryTable* memory = nullptr) {
    Bytes buffer(CPlcEngine::kFrameMax);
    const int n =
        CMelsecEngine::EncodeRequest(row, memory, buffer.data(), static_cast<int>(buffer.size()));
    buffer.resize(static_cast<std::size_t>(n));
    return ToString(buffer);
}

TEST(MelsecFrames, RequestsAreByteExact) {
    MemoryTable memory;
    memory.Set(0, 1);
    memory.Set(2, 5);
    memory.Set(10, 0x0001);
    memory.Set(11, 0xABCD);
    const std::string enq = "\x05";
    struct Case {
        const char* name;
        PlcRequestRow row;
        std::string expected;
    } cases[] = {
        {"D100 read", Row(kRead, 0, 255, "WORD", "D", 100, 1, 0), enq + "00FFWRAD0100013C"},
        {"three bits of M100", Row(kWrite, 0, 255, "BIT", "M", 100, 3, 0),
         enq + "00FFBWAM010003101C9"},
        {"word read of X rounds down to 16", Row(kRead, 0, 255, "WORD", "X", 37, 1, 0),
         enq + "00FFWRAX00200151"},
        {"bit write limited to 160", Row(kWrite, 0, 255, "BIT", "X", 0, 200, 0),
         enq + "00FFBWAX0000A0" + "101" + std::string(7, '0') + "11" + std::string(148, '0') +
             "53"},
        {"word read of bits limited to 32", Row(kRead, 0, 255, "WORD", "X", 0, 40, 0),
         enq + "00FFWRAX00002050"},
        {"a name outside the table goes as X", Row(kRead, 0, 255, "WORD", "Z", 1, 1, 0),
         enq + "00FFWRAZ00000151"},
        {"256 bits are counted 00", Row(kRead, 0, 255, "BIT", "M", 0, 256, 0),
         enq + "00FFBRAM0000002E"},
        {"word write of D", Row(kWrite, 1, 255, "WORD", "D", 200, 2, 10),
         enq + "01FFWWAD0200020001ABCD0F"},
        {"two-letter device, three digits", Row(kRead, 0, 255, "WORD", "TN", 123, 1, 0),
         enq + "00FFWRATN123016F"},
        {"W is hex and not rounded", Row(kRead, 0, 255, "BIT", "W", 0xAB, 1, 0),
         enq + "00FFWRAW00AB0171"},
        {"M by words is not rounded", Row(kRead, 0, 255, "WORD", "M", 37, 1, 0),
         enq + "00FFWRAM0037014E"},
        {"the second D of the table is a D", Row(kRead, 0, 255, "BIT", "D", 100, 1, 0),
         enq + "00FFWRAD0100013C"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Encode(c.row, &memory), c.expected) << c.name;
}

// The engine over a recording hub, its rows written in a fresh folder.
class MelsecEngine : public ::testing::Test {
protected:
    void WriteRows(const std::vector<CellRow>& rows) {
        CPlcSettingsFile file(CPlcSettingsFile::PLC_MELSEC);
        ASSERT_TRUE(file.SaveRows(file.CurrentPath(), rows));
    }
    void StartWith(const std::vector<CellRow>& rows) {
        WriteRows(rows);
        ASSERT_EQ(m_engine.Start(m_memory, 0), 1);
    }
    void Receive(const std::string& text) {
        m_engine.OnReceive(reinterpret_cast<const std::uint8_t*>(text.data()),
                           static_cast<int>(text.size()));
    }
    void Tick(int n) {
        for (int i = 0; i < n; ++i)
            m_engine.OnTimer(POLL);
    }
    std::vector<std::string> Sent() const {
        std::vector<std::string> sent;
        for (const Bytes& frame : m_hub.m_sent)
            sent.push_back(ToString(frame));
        return sent;
    }

    InTempDir m_dir;
    RecordingHub m_hub;
    CMelsecEngine m_engine{m_hub};
    MemoryTable m_memory;
};

// A reply counts only when it comes from the request's station and PLC,
// passes its sum and carries the points asked for; good read data are
// acknowledged before the next request; a NAK is an error reply.
TEST_F(MelsecEngine, RepliesMustAnswerTheRequestAndCheck) {
    enum Outcome { WAIT, OK, BAD, ERROR };
    const CellRow words = MelsecRow(kRead, 0, 255, "WORD", "D", 100, 2, 0);
    const CellRow bits = MelsecRow(kRead, 0, 255, "BIT", "M", 0, 3, 0);
    const CellRow write = MelsecRow(kWrite, 0, 255, "WORD", "D", 100, 1, 0);
    const std::string good = ReadData("00FF1234ABCD");
    std::string lowerSum = good;
    lowerSum[lowerSum.size() - 1] = static_cast<char>(std::tolower(lowerSum.back()));
    lowerSum[lowerSum.size() - 2] = static_cast<char>(std::tolower(lowerSum[lowerSum.size() - 2]));
    std::string badSum = good;
    badSum.back() = badSum.back() == '0' ? '1' : '0';
    struct Case {
        const char* name;
        CellRow row;
        std::string reply;
        Outcome outcome;
        std::vector<std::uint16_t> stored; // words 0..2 afterwards
    } cases[] = {
        {"words", words, good, OK, {0x1234, 0xABCD, 0}},
        {"lower-case sum", words, lowerSum, OK, {0x1234, 0xABCD, 0}},
        {"lower-case data", words, ReadData("00FF1234abcd"), OK, {0x1234, 0xABCD, 0}},
        {"wrong sum", words, badSum, BAD, {0, 0, 0}},
        {"another station", words, ReadData("01FF1234ABCD"), BAD, {0, 0, 0}},
        {"another PLC number", words, ReadData("00FE1234ABCD"), BAD, {0, 0, 0}},
        {"fewer words than asked", words, ReadData("00FF1234"), BAD, {0, 0, 0}},
        {"more words than asked", words, ReadData("00FF1234ABCD0001"), BAD, {0, 0, 0}},
        {"a word that is no hex", words, ReadData("00FF12G4ABCD"), BAD, {0, 0, 0}},
        {"waits for the sum", words, good.substr(0, good.size() - 1), WAIT, {0, 0, 0}},
        {"noise before the reply", words, "\r\nxy" + good, OK, {0x1234, 0xABCD, 0}},
        {"bits", bits, ReadData("00FF101"), OK, {1, 0, 1}},
        {"a bit that is no bit", bits, ReadData("00FF121"), BAD, {0, 0, 0}},
        {"NAK",
         words,
         "\x15"
         "00FF06",
         ERROR,
         {0, 0, 0}},
        {"NAK waits for its code",
         words,
         "\x15"
         "00FF0",
         WAIT,
         {0, 0, 0}},
        {"NAK of another station",
         words,
         "\x15"
         "01FF06",
         BAD,
         {0, 0, 0}},
        {"ACK to a read",
         words,
         "\x06"
         "00FF",
         BAD,
         {0, 0, 0}},
        {"ACK to a write",
         write,
         "\x06"
         "00FF",
         OK,
         {0, 0, 0}},
        {"ACK of another PLC",
         write,
         "\x06"
         "0000",
         BAD,
         {0, 0, 0}},
        {"read data to a write", write, ReadData("00FF1234"), BAD, {0, 0, 0}},
        {"NAK to a write",
         write,
         "\x15"
         "00FF02",
         ERROR,
         {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMelsecEngine engine(m_hub);
        m_hub.m_sent.clear();
        m_memory.Clear();
        WriteRows({c.row});
        ASSERT_EQ(engine.Start(m_memory, 0), 1);
        const Bytes request = m_hub.m_sent.at(0);
        engine.OnReceive(ToBytes(c.reply).data(), static_cast<int>(c.reply.size()));
        const std::vector<std::string> sent = Sent();
        // Good read data: ACK, station, PLC number, then the next request.
        const bool acked = c.outcome == OK && c.row[0] == kRead;
        EXPECT_EQ(sent.size(), c.outcome == WAIT ? 1u : acked ? 3u : 2u);
        if (acked) {
            EXPECT_EQ(sent[1], "\x06"
                               "00FF");
        }
        if (c.outcome != WAIT) {
            EXPECT_EQ(m_hub.m_sent.back(), request);
        }
        EXPECT_EQ(engine.GetReplyCount(), c.outcome == OK ? 1 : 0);
        EXPECT_EQ(engine.GetBadReplyCount(), c.outcome == BAD ? 1 : 0);
        EXPECT_EQ(engine.GetErrorReplyCount(), c.outcome == ERROR ? 1 : 0);
        EXPECT_EQ((std::vector<std::uint16_t>{m_memory.Get(0), m_memory.Get(1), m_memory.Get(2)}),
                  c.stored);
    }
}

TEST_F(MelsecEngine, ReadDataSplitOverBlocksCompleteOnTheirLastByte) {
    StartWith({MelsecRow(kRead, 3, 255, "WORD", "D", 0, 2, 10)});
    const std::string reply = ReadData("03FF000AFFFF");
    for (std::size_t i = 0; i + 1 < reply.size(); ++i) {
        Receive(reply.substr(i, 1));
        Tick(10); // every block restarts the time-out
        ASSERT_EQ(m_hub.m_sent.size(), 1u) << "after " << i + 1 << " characters";
    }
    Receive(reply.substr(reply.size() - 1));
    EXPECT_EQ(Sent(), (std::vector<std::string>{Sent()[0],
                                                "\x06"
                                                "03FF",
                                                Sent()[0]}));
    EXPECT_EQ(m_memory.Get(10), 0x000A);
    EXPECT_EQ(m_memory.Get(11), 0xFFFF);
}

TEST_F(MelsecEngine, GivesUpOnTheSeventeenthTick) {
    StartWith({MelsecRow(kRead, 0, 255, "WORD", "D", 0, 1, 0),
               MelsecRow(kRead, 0, 255, "WORD", "D", 7, 1, 1)});
    Tick(16);
    EXPECT_EQ(m_hub.m_sent.size(), 1u);
    Tick(1);
    ASSERT_EQ(m_hub.m_sent.size(), 2u);
    EXPECT_EQ(m_engine.GetTimeoutCount(), 1);
    EXPECT_EQ(Sent()[1], "\x05"
                         "00FFWRAD0000013B"); // the first row, after the second
}

// However long a stream runs, the engine keeps a bounded buffer and polls on.
TEST_F(MelsecEngine, AnEndlessStreamEndsTheExchange) {
    StartWith({MelsecRow(kRead, 0, 255, "WORD", "D", 0, 64, 0)});
    // Read data without an ETX where the 64 words end: no answer.
    Receive("\x02"
            "00FF" +
            std::string(256, '0'));
    EXPECT_EQ(m_hub.m_sent.size(), 1u);
    Receive("0");
    EXPECT_EQ(m_hub.m_sent.size(), 2u);
    EXPECT_EQ(m_engine.GetBadReplyCount(), 1);

    // Noise holding no reply at all: a work area of it ends the exchange.
    for (int i = 0; i < 4; ++i)
        Receive(std::string(1000, 'x'));
    EXPECT_EQ(m_hub.m_sent.size(), 2u);
    Receive(std::string(200, 'x'));
    EXPECT_EQ(m_hub.m_sent.size(), 3u);
    EXPECT_EQ(m_engine.GetBadReplyCount(), 2);
    // And the next good reply is taken.
    Receive(ReadData("00FF" + std::string(255, '0') + "7"));
    EXPECT_EQ(m_engine.GetReplyCount(), 1);
    EXPECT_EQ(m_memory.Get(63), 7);
}

TEST_F(MelsecEngine, AWriteRowTakesTheTableWhenTheRequestIsBuilt) {
    StartWith({MelsecRow(kWrite, 0, 255, "BIT", "M", 100, 3, 0)});
    m_memory.Set(0, 1);
    m_memory.Set(2, 5);
    Receive("\x06"
            "00FF");
    EXPECT_EQ(Sent().back(), "\x05"
                             "00FFBWAM010003101C9");
}

// Rows the link cannot carry refuse the start, naming the row and the
// field; nothing is sent.
TEST_F(MelsecEngine, RowsTheProtocolCannotCarryRefuseTheStart) {
    struct Case {
        CellRow row;
        const char* field;
    } cases[] = {
        {MelsecRow(kRead, 32, 255, "WORD", "D", 0, 1, 0), "STATIONNUM"},
        {MelsecRow(kRead, -1, 255, "WORD", "D", 0, 1, 0), "STATIONNUM"},
        {MelsecRow(kRead, 0, 256, "WORD", "D", 0, 1, 0), "PLCNUM"},
        {MelsecRow(kRead, 0, 255, "WORD", "Z", 0, 1, 0), "PLCDEVICENAME"},
        {MelsecRow(kRead, 0, 255, "WORD", "", 0, 1, 0), "PLCDEVICENAME"},
        {MelsecRow(kRead, 0, 255, "DWORD", "M", 0, 1, 0), "PLCDEVICETYPE"},
        {MelsecRow(kRead, 0, 255, "BIT", "M", 0, 257, 0), "DATACOUNT"},
        {MelsecRow(kWrite, 0, 255, "BIT", "M", 0, 161, 0), "DATACOUNT"},
        {MelsecRow(kRead, 0, 255, "WORD", "X", 0, 33, 0), "DATACOUNT"},
        {MelsecRow(kWrite, 0, 255, "WORD", "Y", 0, 11, 0), "DATACOUNT"},
        {MelsecRow(kWrite, 0, 255, "WORD", "D", 0, 65, 0), "DATACOUNT"},
        {MelsecRow(kRead, 0, 255, "WORD", "D", 0, 0, 0), "DATACOUNT"},
        {MelsecRow(kRead, 0, 255, "WORD", "D", 10000, 1, 0), "PLCADDRESS"},
        {MelsecRow(kRead, 0, 255, "WORD", "TN", 1000, 1, 0), "PLCADDRESS"},
        {MelsecRow(kRead, 0, 255, "BIT", "X", 65536, 1, 0), "PLCADDRESS"},
        {MelsecRow(kRead, 0, 255, "WORD", "D", -1, 1, 0), "PLCADDRESS"},
        {MelsecRow(kRead, 0, 255, "WORD", "D", 9999, 2, 0), "PLCADDRESS"},
        {MelsecRow(kRead, 0, 255, "WORD", "X", 0xFFF0, 2, 0), "PLCADDRESS"},
        {MelsecRow(kRead, 0, 255, "WORD", "M", 9985, 1, 0), "PLCADDRESS"},
        {MelsecRow(kRead, 0, 255, "BIT", "CS", 990, 20, 0), "PLCADDRESS"},
        {MelsecRow(kRead, 0, 255, "BIT", "M", 0, 20, 990), "ANINDEX"},
        {MelsecRow(kWrite, 0, 255, "WORD", "D", 0, 1, 1000), "ANINDEX"},
        {MelsecRow("수동", 0, 255, "WORD", "D", 0, 1, 0), "COMMTYPE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row[3] + " " + c.row[4] + " " + c.row[5] + " x" + c.row[6]);
        m_hub.m_messages.clear();
        WriteRows({MelsecRow(kRead, 0, 255, "WORD", "D", 0, 1, 0), c.row});
        EXPECT_EQ(m_engine.Start(m_memory, 0), 0);
        m_engine.Stop();
        ASSERT_EQ(m_hub.m_messages.size(), 1u);
        const std::string& text = m_hub.m_messages[0];
        EXPECT_TRUE(text.starts_with(CPlcEngine::kBadRow)) << text;
        EXPECT_NE(text.find(std::string("ROW 2 (MELSEC_INI1): ") + c.field), std::string::npos)
            << text;
    }
    EXPECT_TRUE(m_hub.m_sent.empty());

    // The edges the link allows.
    StartWith({MelsecRow(kRead, 31, 0, "BIT", "M", 9744, 256, 744),
               MelsecRow(kRead, 0, 255, "WORD", "X", 0xFFEF, 1, 0),
               MelsecRow(kWrite, 0, 255, "WORD", "R", 9936, 64, 936),
               MelsecRow(kRead, 0, 255, "WORD", "CN", 999, 1, 999)});
    EXPECT_EQ(m_engine.GetRows().size(), 4u);
    EXPECT_EQ(Sent().back(), "\x05"
                             "00FFWRAXFFE00190");
}

} // namespace
