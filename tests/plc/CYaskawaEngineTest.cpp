#include "plc/codecs/CYaskawaEngine.h"
#include "PlcTestSupport.h"
#include "RecordingHub.h"
#include "TestBytes.h"
#include "link/CCp949.h"

#include <gtest/gtest.h>

namespace {

constexpr int ASCII = CYaskawaEngine::MEMOBUS_ASCII;
constexpr int RTU = CYaskawaEngine::MEMOBUS_RTU;
constexpr int POLL = CPlcEngine::ID_TIMER_POLL;

PlcRequestRow Row(const char* type, int slave, int address, int count, int index) {
    PlcRequestRow row;
    row.m_strCommType = type;
    row.m_nSlaveAddress = slave;
    row.m_nPlcAddress = address;
    row.m_nDataCount = count;
    row.m_nAnIndex = index;
    return row;
}

Bytes Encode(const PlcRequestRow& row, int mode, const MemoryTable* memory = nullptr) {
    Bytes buffer(CPlcEngine::kFrameMax);
    const int n = CYaskawaEngine::EncodeRequest(row, mode, memory, buffer.data(),
                                                static_cast<int>(buffer.size()));
    buffer.resize(static_cast<std::size_t>(n));
    return buffer;
}

TEST(YaskawaFrames, RequestsAreByteExact) {
    MemoryTable memory;
    memory.Set(3, 0x1234);
    struct Case {
        const char* name;
        PlcRequestRow row;
        int mode;
        Bytes expected;
    } cases[] = {
        {"ascii read", Row("자동읽기", 1, 0, 1, 0), ASCII, ToBytes(":010300000001FB\r\n")},
        {"rtu read", Row("자동읽기", 1, 0, 1, 0), RTU, "01 03 00 00 00 01 84 0A"_hex},
        {"ascii read of two", Row("자동읽기", 5, 100, 2, 0), ASCII,
         ToBytes(":050300640002"
                 "92\r\n")},
        {"rtu write of one", Row("자동쓰기", 1, 0x10, 1, 3), RTU,
         "01 10 00 10 00 01 02 12 34 A9 B7"_hex},
        {"rtu other type: no function", Row("수동", 1, 0, 1, 0), RTU, "01 00 00 00 01 D8 00"_hex},
        {"low bits only", Row("자동읽기", 0x101, 0x10000, 0x10001, 0), RTU,
         "01 03 00 00 00 01 84 0A"_hex},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Encode(c.row, c.mode, &memory), c.expected) << c.name;
}

TEST(YaskawaFrames, WriteByteCountWrapsAndAtLeastOneValueGoes) {
    MemoryTable memory;
    for (int i = 0; i < MemoryTable::kSize; ++i)
        memory.Set(i, static_cast<std::uint16_t>(i));
    const Bytes big = Encode(Row("자동쓰기", 1, 0, 200, 0), RTU, &memory);
    ASSERT_EQ(big.size(), 7u + 400u + 2u);
    EXPECT_EQ(big[6], 0x90); // (200 x 2) mod 256
    EXPECT_EQ(big[7 + 2 * 199], 0);
    EXPECT_EQ(big[8 + 2 * 199], 199);

    const Bytes none = Encode(Row("자동쓰기", 1, 0, 0, 7), ASCII, &memory);
    EXPECT_EQ(ToString(none).substr(0, 19), ":011000000000000007");
    EXPECT_EQ(none.size(), 2u * 9u + 5u);

    // The largest write the table allows still fits one ASCII frame.
    EXPECT_EQ(Encode(Row("자동쓰기", 1, 0, 1000, 0), ASCII, &memory).size(), 2u * 2007u + 5u);
}

// The engine over a recording hub, its rows written in a fresh folder.
class YaskawaEngine : public ::testing::Test {
protected:
    void StartWith(const std::vector<CellRow>& rows, int mode) {
        WriteYaskawaRows(rows);
        ASSERT_EQ(m_engine.Start(m_memory, mode), 1);
    }
    void Receive(const Bytes& bytes) {
        m_engine.OnReceive(bytes.data(), static_cast<int>(bytes.size()));
    }
    void Receive(const std::string& text) { Receive(ToBytes(text)); }
    void Tick(int n) {
        for (int i = 0; i < n; ++i)
            m_engine.OnTimer(POLL);
    }
    Bytes Last() const { return m_hub.m_sent.empty() ? Bytes{} : m_hub.m_sent.back(); }

    InTempDir m_dir;
    RecordingHub m_hub;
    CYaskawaEngine m_engine{m_hub};
    MemoryTable m_memory;
};

TEST_F(YaskawaEngine, PollsTheRowsInACircleStartingAtTheSecond) {
    StartWith({ReadRow(1, 0xA, 1, 0), ReadRow(1, 0xB, 1, 1), ReadRow(1, 0xC, 1, 2)}, RTU);
    const Bytes reply = "01 03 02 12 34 B5 33"_hex;
    for (int i = 0; i < 4; ++i)
        Receive(reply);
    std::vector<int> order;
    for (const Bytes& frame : m_hub.m_sent)
        order.push_back(frame[3]);
    EXPECT_EQ(order, (std::vector<int>{0xB, 0xC, 0xA, 0xB, 0xC}));
    EXPECT_EQ(m_engine.GetReplyCount(), 4);
    EXPECT_EQ(m_engine.GetRequestCount(), 5);
}

TEST_F(YaskawaEngine, OneRowIsPolledOverAndOver) {
    StartWith({ReadRow(1, 0, 1, 0)}, RTU);
    Receive("01 03 02 12 34 B5 33"_hex);
    Receive("01 03 02 12 34 B5 33"_hex);
    ASSERT_EQ(m_hub.m_sent.size(), 3u);
    for (const Bytes& frame : m_hub.m_sent)
        EXPECT_EQ(frame, "01 03 00 00 00 01 84 0A"_hex);
    EXPECT_EQ(m_memory.Get(0), 0x1234);
}

TEST_F(YaskawaEngine, GivesUpOnTheSeventeenthTickAndEveryBlockRestartsTheCount) {
    StartWith({ReadRow(1, 0, 1, 0), ReadRow(1, 10, 1, 5)}, RTU);
    ASSERT_EQ(m_hub.m_sent.size(), 1u);
    Tick(16);
    EXPECT_EQ(m_hub.m_sent.size(), 1u);
    Tick(1);
    ASSERT_EQ(m_hub.m_sent.size(), 2u);
    EXPECT_EQ(m_engine.GetTimeoutCount(), 1);
    EXPECT_EQ(Last()[3], 0); // the first row, after the second

    // Bytes that never complete a frame keep the engine waiting.
    Tick(10);
    Receive("01 03"_hex);
    Tick(16);
    EXPECT_EQ(m_hub.m_sent.size(), 2u);
    Tick(1);
    EXPECT_EQ(m_hub.m_sent.size(), 3u);
    EXPECT_EQ(m_memory.Get(0), 0); // the given-up row stored nothing
}

TEST_F(YaskawaEngine, AnAsciiReplySplitOverBlocksCompletesOnItsLastByte) {
    StartWith({ReadRow(1, 0, 2, 10)}, ASCII);
    const std::string reply = ":010304000AFFFFF0\r\n"; // 4n + 11 = 19 characters
    for (std::size_t i = 0; i + 1 < reply.size(); ++i) {
        Receive(reply.substr(i, 1));
        ASSERT_EQ(m_hub.m_sent.size(), 1u) << "after " << i + 1 << " characters";
    }
    Receive(reply.substr(reply.size() - 1));
    EXPECT_EQ(m_hub.m_sent.size(), 2u);
    EXPECT_EQ(m_memory.Get(10), 0x000A);
    EXPECT_EQ(m_memory.Get(11), 0xFFFF);
}

// A reply counts only when it answers the request and checks; an exception
// reply ends the exchange at once as an error.
TEST_F(YaskawaEngine, RepliesMustAnswerTheRequestAndCheck) {
    enum Outcome { WAIT, OK, BAD, ERROR };
    const CellRow read = ReadRow(1, 0, 1, 0);
    const CellRow write = WriteRow(1, 0x10, 1, 3);
    struct Case {
        const char* name;
        int mode;
        CellRow row;
        std::string reply;
        Outcome outcome;
        int stored; // word 0 afterwards
    } cases[] = {
        {"ascii read", ASCII, read, ":010302ABCD82\r\n", OK, 0xABCD},
        {"ascii lower-case data", ASCII, read, ":010302abcd82\r\n", OK, 0xABCD},
        {"ascii lower-case lrc", ASCII, read, ":0103021234b4\r\n", BAD, 0},
        {"ascii wrong lrc", ASCII, read, ":010302ABCD83\r\n", BAD, 0},
        {"ascii no cr lf", ASCII, read, ":010302ABCD82\n\r", BAD, 0},
        {"ascii bad hex digit", ASCII, read, ":01030212G4B4\r\n", BAD, 0},
        {"ascii no colon", ASCII, read, "010302ABCD82\r\n", BAD, 0},
        {"ascii another slave", ASCII, read, ":110302ABCD72\r\n", BAD, 0},
        {"ascii another function", ASCII, read, ":0104021234B3\r\n", BAD, 0},
        {"ascii write echo to a read", ASCII, read, ":011000100001DE\r\n", BAD, 0},
        {"ascii exception", ASCII, read, ":0183027A\r\n", ERROR, 0},
        {"ascii exception waits for its end", ASCII, read, ":0183027A\r", WAIT, 0},
        {"ascii write echo", ASCII, write, ":011000100001DE\r\n", OK, 0},
        {"ascii write echo, wrong lrc", ASCII, write, ":011000100001DF\r\n", BAD, 0},
        {"rtu read", RTU, read, ToString("01 03 02 12 34 B5 33"_hex), OK, 0x1234},
        {"rtu read waits for its crc", RTU, read, ToString("01 03 02 12 34 B5"_hex), WAIT, 0},
        {"rtu bad crc", RTU, read, ToString("01 03 02 12 34 B5 34"_hex), BAD, 0},
        {"rtu another slave", RTU, read, ToString("09 03 02 12 34 54 F2"_hex), BAD, 0},
        {"rtu another function", RTU, read, ToString("01 04 02 12 34 B4 47"_hex), BAD, 0},
        {"rtu another count", RTU, read, ToString("01 03 04 00 0A FF FF DB 81"_hex), BAD, 0},
        {"rtu exception", RTU, read, ToString("01 83 02 C0 F1"_hex), ERROR, 0},
        {"rtu exception, bad crc", RTU, read, ToString("01 83 02 C0 F2"_hex), BAD, 0},
        {"rtu write echo", RTU, write, ToString("01 10 00 10 00 01 00 0C"_hex), OK, 0},
        {"rtu write echo, bad crc", RTU, write, ToString("01 10 00 10 00 01 00 0D"_hex), BAD, 0},
        {"rtu write echo, other start", RTU, write, ToString("01 10 00 11 00 01 51 CC"_hex), BAD,
         0},
        {"rtu write echo, other count", RTU, write, ToString("01 10 00 10 00 02 40 0D"_hex), BAD,
         0},
        {"rtu write exception", RTU, write, ToString("01 90 02 CD C1"_hex), ERROR, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CYaskawaEngine engine(m_hub);
        m_hub.m_sent.clear();
        m_memory.Clear();
        WriteYaskawaRows({c.row});
        ASSERT_EQ(engine.Start(m_memory, c.mode), 1);
        engine.OnReceive(ToBytes(c.reply).data(), static_cast<int>(c.reply.size()));
        // Whatever ends the exchange sends the next request at once.
        EXPECT_EQ(m_hub.m_sent.size(), c.outcome == WAIT ? 1u : 2u);
        EXPECT_EQ(engine.GetReplyCount(), c.outcome == OK ? 1 : 0);
        EXPECT_EQ(engine.GetBadReplyCount(), c.outcome == BAD ? 1 : 0);
        EXPECT_EQ(engine.GetErrorReplyCount(), c.outcome == ERROR ? 1 : 0);
        EXPECT_EQ(m_memory.Get(0), c.stored);
    }
}

TEST_F(YaskawaEngine, ABadReplyStoresNothingAndPollingGoesOn) {
    // A peer that answers everything with a bad CRC: no reply counts.
    StartWith({ReadRow(1, 0, 1, 0)}, RTU);
    for (int i = 0; i < 3; ++i)
        Receive("01 03 02 12 34 00 00"_hex);
    EXPECT_EQ(m_hub.m_sent.size(), 4u);
    EXPECT_EQ(m_engine.GetReplyCount(), 0);
    EXPECT_EQ(m_engine.GetBadReplyCount(), 3);
    EXPECT_EQ(m_memory.Get(0), 0);
}

// Rows Modbus cannot carry refuse the start, naming the row and the field;
// nothing is sent.
TEST_F(YaskawaEngine, RowsTheProtocolCannotCarryRefuseTheStart) {
    auto row = [](const char* type, const char* slave, const char* address, const char* count,
                  const char* index) {
        return CellRow{type, slave, "WORD", address, count, index};
    };
    const char* r = "자동읽기";
    const char* w = "자동쓰기";
    struct Case {
        CellRow row;
        const char* field;
    } cases[] = {
        {row(w, "256", "0", "1", "0"), "SLAVEADDRESS"},
        {row(w, "248", "0", "1", "0"), "SLAVEADDRESS"},
        {row(w, "PLC1", "0", "1", "0"), "SLAVEADDRESS"},
        {row(w, "", "0", "1", "0"), "SLAVEADDRESS"},
        {row(w, "00", "0", "1", "0"), "SLAVEADDRESS"},
        {row(r, "0", "0", "1", "0"), "SLAVEADDRESS"},
        {row(w, "-1", "0", "1", "0"), "SLAVEADDRESS"},
        {row(w, "1", "70000", "1", "0"), "PLCADDRESS"},
        {row(w, "1", "-1", "1", "0"), "PLCADDRESS"},
        {row(w, "1", "12x", "1", "0"), "PLCADDRESS"},
        {row(w, "1", "0", "0", "0"), "DATACOUNT"},
        {row(w, "1", "0", "-5", "0"), "DATACOUNT"},
        {row(w, "1", "0", "124", "0"), "DATACOUNT"},
        {row(w, "1", "0", "1000", "0"), "DATACOUNT"},
        {row(r, "1", "0", "126", "0"), "DATACOUNT"},
        {row(r, "1", "0", "65535", "0"), "DATACOUNT"},
        {row(r, "1", "65535", "2", "0"), "PLCADDRESS"},
        {row(w, "0", "65414", "123", "0"), "PLCADDRESS"},
        {row(r, "1", "0", "1", "1000"), "ANINDEX"},
        {row(r, "1", "0", "1", "-1"), "ANINDEX"},
        {row(r, "1", "0", "20", "990"), "ANINDEX"},
        {row(w, "1", "0", "5", "996"), "ANINDEX"},
        {row("수동", "1", "0", "1", "0"), "COMMTYPE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row[0] + "," + c.row[1] + "," + c.row[3] + "," + c.row[4] + "," + c.row[5]);
        m_hub.m_messages.clear();
        // The bad row second: the message names it as the grid numbers it.
        WriteYaskawaRows({ReadRow(1, 0, 1, 0), c.row});
        EXPECT_EQ(m_engine.Start(m_memory, RTU), 0);
        m_engine.Stop();
        ASSERT_EQ(m_hub.m_messages.size(), 1u);
        const std::string& text = m_hub.m_messages[0];
        EXPECT_TRUE(text.starts_with(CPlcEngine::kBadRow)) << text;
        EXPECT_NE(text.find(std::string("ROW 2 (YASKAWA_INI1): ") + c.field), std::string::npos)
            << text;
    }
    EXPECT_TRUE(m_hub.m_sent.empty());

    // The edges Modbus allows, and the deliberate broadcast write.
    WriteYaskawaRows({row(w, "0", "65413", "123", "0"), row(r, "247", "0", "125", "875"),
                      row(w, "1", "65535", "1", "999")});
    ASSERT_EQ(m_engine.Start(m_memory, RTU), 1);
    EXPECT_EQ(m_engine.GetRows().size(), 3u);
    EXPECT_EQ(Last(), "F7 03 00 00 00 7D 91 7D"_hex);
}

TEST_F(YaskawaEngine, AFileOfMoreThan9999RowsIsSaidToBeCut) {
    std::string text;
    for (int k = 0; k <= 10000; ++k)
        text += "[YASKAWA_INI" + std::to_string(k) + "]\nCOMMTYPE=" + CCp949::FromUtf8("자동읽기") +
                "\nSLAVEADDRESS=1\nPLCADDRESS=0\nDATACOUNT=1\nANINDEX=0\n";
    WriteFile(std::filesystem::current_path() / "yaskawa_plc.ini", text);
    ASSERT_EQ(m_engine.Start(m_memory, RTU), 1);
    EXPECT_EQ(m_engine.GetRows().size(), 9999u);
    ASSERT_EQ(m_hub.m_messages.size(), 1u);
    EXPECT_TRUE(m_hub.m_messages[0].starts_with(CPlcEngine::kRowsCut)) << m_hub.m_messages[0];
}

TEST_F(YaskawaEngine, AWriteRowTakesTheTableAsItIsWhenTheRequestIsBuilt) {
    StartWith({WriteRow(1, 0x10, 1, 3)}, RTU);
    m_memory.Set(3, 0x1234);
    Receive("01 10 00 10 00 01 00 0C"_hex);
    EXPECT_EQ(Last(), "01 10 00 10 00 01 02 12 34 A9 B7"_hex);
}

TEST_F(YaskawaEngine, RefusesWithoutALinkOrRows) {
    m_hub.m_bUp = false;
    WriteYaskawaRows({ReadRow(1, 0, 1, 0)});
    EXPECT_EQ(m_engine.Start(m_memory, RTU), 0);
    EXPECT_EQ(m_hub.m_messages, std::vector<std::string>{CPlcEngine::kNotConnected});
    EXPECT_TRUE(m_engine.IsPollTimerSet()); // until the screen's stop
    EXPECT_FALSE(m_engine.IsRunning());
    Tick(30);
    EXPECT_TRUE(m_hub.m_sent.empty());
    m_engine.Stop();
    EXPECT_FALSE(m_engine.IsPollTimerSet());

    // No rows, or no file: the message names the file and what is wrong.
    m_hub.m_bUp = true;
    m_hub.m_messages.clear();
    WriteYaskawaRows({});
    EXPECT_EQ(m_engine.Start(m_memory, RTU), 0);
    std::filesystem::remove(std::filesystem::current_path() / "yaskawa_plc.ini");
    EXPECT_EQ(m_engine.Start(m_memory, RTU), 0);
    ASSERT_EQ(m_hub.m_messages.size(), 2u);
    const std::string path = (std::filesystem::current_path() / "yaskawa_plc.ini").string();
    EXPECT_EQ(m_hub.m_messages[0],
              std::string(CPlcEngine::kIniFailed) + "\n" + path +
                  ": YASKAWA_INI0의 COMMTYPE이 비어 있어 요청 ROW가 없습니다.");
    EXPECT_EQ(m_hub.m_messages[1],
              std::string(CPlcEngine::kIniFailed) + "\n" + path + ": No such file or directory");
    EXPECT_TRUE(m_hub.m_sent.empty());
}

TEST_F(YaskawaEngine, ResumesByItselfWhenTheLinkComesBack) {
    StartWith({ReadRow(1, 0xA, 1, 0), ReadRow(1, 0xB, 1, 1)}, RTU);
    m_hub.m_bUp = false;
    EXPECT_EQ(m_engine.OnReceive("01 03 02 12 34 B5 33"_hex.data(), 7), 0);
    Tick(50);
    EXPECT_EQ(m_hub.m_sent.size(), 1u);
    m_hub.m_bUp = true;
    Tick(1);
    ASSERT_EQ(m_hub.m_sent.size(), 2u);
    EXPECT_EQ(Last()[3], 0xA);
    EXPECT_EQ(m_memory.Get(1), 0);
}

TEST_F(YaskawaEngine, StopIgnoresTheRestOfAReplyAndStartBeginsAfresh) {
    StartWith({ReadRow(1, 0, 1, 0)}, RTU);
    Receive("01 03 02"_hex);
    m_engine.Stop();
    EXPECT_EQ(m_engine.OnReceive("12 34 B5 33"_hex.data(), 4), 0);
    Tick(30);
    EXPECT_EQ(m_hub.m_sent.size(), 1u);
    ASSERT_EQ(m_engine.Start(m_memory, RTU), 1);
    Receive("01 03 02 12 34 B5 33"_hex);
    EXPECT_EQ(m_memory.Get(0), 0x1234);
    EXPECT_EQ(m_hub.m_sent.size(), 3u);
}

TEST_F(YaskawaEngine, ALateReplyIsTakenAsTheNextRequestsReply) {
    StartWith({ReadRow(1, 0, 1, 0), ReadRow(1, 1, 1, 7)}, RTU);
    Tick(17); // the second row is given up; the first is out
    Receive("01 03 02 12 34 B5 33"_hex);
    EXPECT_EQ(m_memory.Get(0), 0x1234);
    EXPECT_EQ(m_memory.Get(7), 0);
}

TEST_F(YaskawaEngine, TheEngineReadsTheFileOfTheCurrentDirectoryAtEveryStart) {
    WriteYaskawaRows({ReadRow(1, 0xA, 1, 0)});
    const auto first = std::filesystem::current_path();
    const auto other = first / "other";
    std::filesystem::create_directory(other);
    std::filesystem::current_path(other);
    WriteYaskawaRows({ReadRow(1, 0xB, 1, 0)});
    ASSERT_EQ(m_engine.Start(m_memory, RTU), 1);
    EXPECT_EQ(Last()[3], 0xB);
    std::filesystem::current_path(first);
    m_engine.Stop();
    ASSERT_EQ(m_engine.Start(m_memory, RTU), 1);
    EXPECT_EQ(Last()[3], 0xA);
}

} // namespace
