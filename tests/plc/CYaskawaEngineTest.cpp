#include "plc/codecs/CYaskawaEngine.h"
#include "PlcTestSupport.h"
#include "RecordingHub.h"
#include "TestBytes.h"

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

TEST_F(YaskawaEngine, RepliesAreStoredOnlyWhenTheyCheck) {
    struct Case {
        const char* name;
        int mode;
        std::string reply;
        bool finished;
        int stored; // words 0.. of the reply that land at index 0
    } cases[] = {
        {"ascii read", ASCII, ":110302ABCD72\r\n", true, 0xABCD},
        {"ascii lower-case data", ASCII, ":110302abcd72\r\n", true, 0xABCD},
        {"ascii lower-case lrc", ASCII, ":010304000AFFFFf0\r\n", true, 0},
        {"ascii wrong lrc", ASCII, ":110302ABCD73\r\n", true, 0},
        {"ascii no cr lf", ASCII, ":110302ABCD72\n\r", true, 0},
        {"ascii other function", ASCII, ":110402ABCD71\r\n", true, 0},
        {"ascii write echo waits for 17", ASCII, ":011000100001DE\r", false, 0},
        {"ascii write echo", ASCII, ":011000100001DE\r\n", true, 0},
        {"ascii exception is never examined", ASCII, ":01830179\r\n", false, 0},
        {"rtu read", RTU, ToString("01 03 02 12 34 B5 33"_hex), true, 0x1234},
        {"rtu bad crc", RTU, ToString("01 03 02 12 34 B5 34"_hex), true, 0},
        {"rtu other function", RTU, ToString("01 04 02 12 34 00 00"_hex), true, 0},
        {"rtu write echo", RTU, ToString("01 10 00 10 00 01 00 0C"_hex), true, 0},
        {"rtu exception is never examined", RTU, ToString("01 83 02 C0 F1"_hex), false, 0},
        {"rtu byte count 0 waits for 7", RTU, ToString("01 03 00 20 F0"_hex), false, 0},
        {"rtu byte count 0 with more", RTU, ToString("01 03 00 20 F0 00 00"_hex), true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_hub.m_sent.clear();
        m_memory.Clear();
        StartWith({ReadRow(1, 0, 1, 0)}, c.mode);
        Receive(c.reply);
        EXPECT_EQ(m_hub.m_sent.size(), c.finished ? 2u : 1u);
        EXPECT_EQ(m_memory.Get(0), c.stored);
        m_engine.Stop();
    }
}

TEST_F(YaskawaEngine, TheReplyStatesHowManyWordsAreStored) {
    StartWith({ReadRow(1, 0, 10, 20)}, RTU);
    Receive("01 03 04 00 0A FF FF DB 81"_hex);
    EXPECT_EQ(m_memory.Get(20), 0x000A);
    EXPECT_EQ(m_memory.Get(21), 0xFFFF);
    EXPECT_EQ(m_memory.Get(22), 0);
}

TEST_F(YaskawaEngine, WordsOutsideTheTableAreNeverTouched) {
    // A read row at 998 with a reply of two words, one at a negative index,
    // and a write row past the end, which is never sent.
    StartWith({ReadRow(1, 1, 2, 998), WriteRow(1, 2, 5, 996), ReadRow(1, 3, 2, -1)}, RTU);
    EXPECT_EQ(m_engine.GetRows().size(), 2u);
    EXPECT_EQ(Last()[3], 3); // the second row kept
    Receive("01 03 04 00 0A FF FF DB 81"_hex);
    EXPECT_EQ(m_memory.Get(0), 0xFFFF);
    EXPECT_EQ(Last()[3], 1);
    Receive("01 03 04 00 0A FF FF DB 81"_hex);
    EXPECT_EQ(m_memory.Get(998), 0x000A);
    EXPECT_EQ(m_memory.Get(999), 0xFFFF);
    for (const Bytes& frame : m_hub.m_sent)
        EXPECT_EQ(frame[1], 0x03);

    // A file of nothing but such rows does not start.
    m_engine.Stop();
    m_hub.m_messages.clear();
    WriteYaskawaRows({WriteRow(1, 0, 2, 999), WriteRow(1, 0, 1, -1)});
    EXPECT_EQ(m_engine.Start(m_memory, RTU), 0);
    EXPECT_EQ(m_hub.m_messages, std::vector<std::string>{CPlcEngine::kIniFailed});
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

    m_hub.m_bUp = true;
    m_hub.m_messages.clear();
    WriteYaskawaRows({});
    EXPECT_EQ(m_engine.Start(m_memory, RTU), 0);
    EXPECT_EQ(m_hub.m_messages, std::vector<std::string>{CPlcEngine::kIniFailed});
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
