// The MEMOBUS slave on its own (frames in, frames out, byte for byte) and
// polled by the Yaskawa engine in-process, each checking the other.
#include "plc/sim/CMemobusSimStation.h"
#include "TestBytes.h"
#include "plc/PlcTestSupport.h"
#include "plc/RecordingHub.h"
#include "plc/codecs/CYaskawaEngine.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

Bytes HexBytes(const char* text) {
    return operator""_hex(text, std::strlen(text));
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

struct Station {
    explicit Station(const char* mode) {
        std::string error;
        EXPECT_TRUE(m_station.SetMode(mode, error));
        m_station.SetSendHandler([this](const std::uint8_t* b, int n) {
            m_sent.append(reinterpret_cast<const char*>(b), static_cast<std::size_t>(n));
        });
        m_station.SetWriteHandler([this](const std::string& d, long long a, unsigned v) {
            m_writes += d + " " + std::to_string(a) + " " + std::to_string(v) + ";";
        });
        EXPECT_TRUE(m_station.Preset("", 10, 0x1234, error));
    }
    std::string Feed(const Bytes& bytes) {
        m_sent.clear();
        m_station.OnReceive(bytes.data(), static_cast<int>(bytes.size()));
        return Hex(m_sent);
    }
    static std::string Hex(const std::string& bytes) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        std::string text;
        for (unsigned char c : bytes) {
            text += (text.empty() ? "" : " ");
            text += kHex[c >> 4];
            text += kHex[c & 0xF];
        }
        return text;
    }
    CMemobusSimStation m_station;
    std::string m_sent;
    std::string m_writes;
};

TEST(MemobusSim, AnswersEachRtuRequestAsAModbusSlaveMust) {
    struct Case {
        const char* request;
        const char* reply; // empty: no reply
        const char* writes;
    };
    const Case cases[] = {
        // A read of register 10 (preset 0x1234).
        {"01 03 00 0A 00 01 A4 08", "01 03 02 12 34 B5 33", ""},
        // A write of two registers, echoed.
        {"01 10 00 0A 00 02 04 00 0B 00 16 83 DC", "01 10 00 0A 00 02 61 CA", "HR 10 11;HR 11 22;"},
        // Another function: exception 01.
        {"01 06 00 0A 00 01 68 08", "01 86 01 83 A0", ""},
        // 126 registers: exception 03; past register 65535: exception 02.
        {"01 03 00 00 00 7E C5 EA", "01 83 03 01 31", ""},
        {"01 03 FF FF 00 02 C4 2F", "01 83 02 C0 F1", ""},
        // A byte count that does not match the count: exception 03, once
        // the silence has ended the frame.
        {"01 10 00 0A 00 02 03 00 A9 37", "01 90 03 0C 01", ""},
        // Another slave, a read broadcast, a bad CRC: silence.
        {"11 03 00 00 00 01 86 9A", "", ""},
        {"00 03 00 00 00 01 85 DB", "", ""},
        {"01 03 00 0A 00 01 A4 09", "", ""},
        // A broadcast write is stored without a reply.
        {"00 10 00 00 00 01 02 00 05 6B C3", "", "HR 0 5;"},
    };
    for (const Case& c : cases) {
        Station s("rtu");
        s.Feed(HexBytes(c.request));
        s.m_station.OnTimer();
        EXPECT_EQ(Station::Hex(s.m_sent), c.reply) << c.request;
        EXPECT_EQ(s.m_writes, c.writes) << c.request;
    }
}

TEST(MemobusSim, AsciiFramesTakeEitherCaseAndAnswerInUpperCase) {
    Station s("ascii");
    EXPECT_EQ(s.Feed(Text(":0103000A0001F1\r\n")), Station::Hex(":0103021234B4\r\n"));
    EXPECT_EQ(s.Feed(Text(":0110000a000204000b0016be\r\n")), Station::Hex(":0110000A0002E3\r\n"));
    EXPECT_EQ(s.m_writes, "HR 10 11;HR 11 22;");
    // A bad LRC, a missing CR, noise: nothing; the good frame after them is answered.
    EXPECT_EQ(s.Feed(Text(":010300000001FC\r\n:010300000001FB\nxx")), "");
    EXPECT_EQ(s.Feed(Text(":0103000A0001F1\r\n")), Station::Hex(":010302000BEF\r\n"));
    EXPECT_EQ(s.m_station.GetRejectedCount(), 2);
}

TEST(MemobusSim, FramesSplitOrRunTogetherOrAfterNoiseAreAllFound) {
    Station s("rtu");
    const Bytes read = HexBytes("01 03 00 0A 00 01 A4 08");
    std::string replies;
    for (std::uint8_t b : read)
        replies += s.Feed({b});
    EXPECT_EQ(replies, "01 03 02 12 34 B5 33");
    Bytes two = HexBytes("FF 00 13");
    two.insert(two.end(), read.begin(), read.end());
    two.insert(two.end(), read.begin(), read.end());
    EXPECT_EQ(s.Feed(two), "01 03 02 12 34 B5 33 01 03 02 12 34 B5 33");
    // A frame of an unknown function ends by the silence after it.
    EXPECT_EQ(s.Feed(HexBytes("01 2B 0E 01 00 70 77")), "");
    s.m_station.OnTimer();
    EXPECT_EQ(Station::Hex(s.m_sent), "01 AB 01 9E F0");
}

class EngineAndSim : public ::testing::TestWithParam<int> {};

TEST_P(EngineAndSim, PollTheirWayThroughReadsWritesAndFaults) {
    InTempDir dir;
    WriteYaskawaRows({WriteRow(3, 200, 2, 5), ReadRow(3, 200, 2, 50), ReadRow(3, 10, 1, 0)});
    RecordingHub hub;
    CYaskawaEngine engine(hub);
    CMemobusSimStation station;
    std::string error;
    ASSERT_TRUE(
        station.SetMode(GetParam() == CYaskawaEngine::MEMOBUS_RTU ? "rtu" : "ascii", error));
    ASSERT_TRUE(station.SetStation(3, error));
    ASSERT_TRUE(station.Preset("HR", 10, 777, error));
    station.SetCorruptEvery(4);
    station.SetDropEvery(5);
    // Replies come back a byte at a time.
    station.SetSendHandler([&](const std::uint8_t* b, int n) {
        for (int i = 0; i < n; ++i)
            engine.OnReceive(b + i, 1);
    });
    MemoryTable memory;
    memory.Set(5, 0xBEEF);
    memory.Set(6, 42);
    ASSERT_EQ(engine.Start(memory, GetParam()), 1);
    for (std::size_t sent = 0; engine.GetRequestCount() < 30;) {
        if (hub.m_sent.size() > sent) {
            const Bytes frame = hub.m_sent[sent++];
            station.OnReceive(frame.data(), static_cast<int>(frame.size()));
        } else {
            engine.OnTimer(CPlcEngine::ID_TIMER_POLL); // a dropped request times out
        }
    }
    engine.Stop();
    EXPECT_EQ(memory.Get(50), 0xBEEF);
    EXPECT_EQ(memory.Get(51), 42);
    EXPECT_EQ(memory.Get(0), 777);
    EXPECT_EQ(station.Memory().GetWord("HR", 200), 0xBEEF);
    EXPECT_EQ(engine.GetBadReplyCount(), station.GetCorruptedCount());
    EXPECT_GT(engine.GetTimeoutCount(), 0);
    EXPECT_EQ(engine.GetTimeoutCount(), station.GetDroppedCount());
    EXPECT_EQ(engine.GetErrorReplyCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, EngineAndSim,
                         ::testing::Values(CYaskawaEngine::MEMOBUS_ASCII,
                                           CYaskawaEngine::MEMOBUS_RTU));

} // namespace
