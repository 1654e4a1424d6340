#include "plc/sim/CPosfaSimStation.h"
#include "../PlcTestSupport.h"
#include "../RecordingHub.h"
#include "TestBytes.h"
#include "plc/codecs/CPosfaEngine.h"
#include "plc/sim/CSimStations.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>

namespace {

// A text request: ENQ, the text and its sum, computed here on its own.
std::string Req(const std::string& text) {
    unsigned sum = 0;
    for (char c : text)
        sum += static_cast<unsigned char>(c);
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", sum & 0xFF);
    return "\x05" + text + hex;
}

// An STX answer with its sum.
std::string Answer(const std::string& text) {
    std::string body = text + "\x03";
    unsigned sum = 0;
    for (char c : body)
        sum += static_cast<unsigned char>(c);
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", sum & 0xFF);
    return "\x02" + body + hex;
}

// A station that keeps what it sends and reports.
class StationFixture : public ::testing::Test {
protected:
    StationFixture() {
        m_station.SetSendHandler([this](const std::uint8_t* bytes, int count) {
            m_sent += std::string(bytes, bytes + count);
        });
        m_station.SetWriteHandler([this](const std::string& d, long long a, unsigned v) {
            m_writes.push_back(d + " " + std::to_string(a) + " " + std::to_string(v));
        });
    }
    void Preset(const std::string& device, long long address, long long value) {
        std::string error;
        ASSERT_TRUE(m_station.Preset(device, address, value, error)) << error;
    }
    void Feed(const std::string& bytes) {
        m_station.OnReceive(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                            static_cast<int>(bytes.size()));
    }
    std::string Take() {
        std::string out;
        out.swap(m_sent);
        return out;
    }

    CPosfaSimStation m_station;
    std::string m_sent;
    std::vector<std::string> m_writes;
};

TEST_F(StationFixture, AnswersTextRequestsFromItsMemory) {
    Preset("WX", 1, 0x0001);
    Preset("WX", 2, 0x1234);
    Preset("Y", 0, 1);
    Preset("Y", 2, 1);
    Preset("C", 0xBEEF, 7);
    std::string bits300(300, '0');
    bits300[17] = '1';
    Preset("R", 17, 1);
    struct Case {
        const char* name;
        std::string request;
        std::string answer;
    } cases[] = {
        {"words of X are the bits of WX", Req("0100WRAX001002"), Answer("010000011234")},
        {"a word device", Req("0107WRAWX00102"), Answer("010700011234")},
        {"bits", Req("0100BRAY000003"), Answer("0100101")},
        {"three count digits from 256", Req("0100BRAR000012C"), Answer("0100" + bits300)},
        {"C has four address digits", Req("0100WRACBEEF01"), Answer("01000007")},
        {"wrong sum",
         "\x05"
         "0100WRAX00100227",
         "\x15"
         "010001"},
        {"lower-case sum",
         "\x05"
         "0100WRAX001002"
         "2a",
         "\x15"
         "010001"},
        {"no command letters", Req("0100AWL01004"),
         "\x15"
         "010002"},
        {"bits of a word device", Req("0100BRAWX00001"),
         "\x15"
         "010002"},
        {"no such device", Req("0100WRAQ000001"),
         "\x15"
         "010003"},
        {"past the last address", Req("0100WRAWXFFF02"),
         "\x15"
         "010003"},
        {"over the word limit of X", Req("0100WRAX000081"),
         "\x15"
         "010004"},
        {"count 0", Req("0100WRAC000000"),
         "\x15"
         "010004"},
        {"another station", Req("0200WRAC000001"), ""},
    };
    for (const Case& c : cases) {
        Feed(c.request);
        EXPECT_EQ(Take(), c.answer) << c.name;
        EXPECT_EQ(m_station.GetPendingCount(), 0u) << c.name;
    }
    EXPECT_TRUE(m_writes.empty());
}

TEST_F(StationFixture, StoresTextWritesAndAcknowledgesThem) {
    Feed(Req("0100BWAY000003101"));
    Feed(Req("0100WWAC00100212340001"));
    Feed(Req("0100WWAX0020010102")); // a word into the bits 0x20-0x2F
    EXPECT_EQ(Take(), "\x06"
                      "0100\x06"
                      "0100\x06"
                      "0100");
    EXPECT_EQ(m_writes, (std::vector<std::string>{"Y 0 1", "Y 1 0", "Y 2 1", "C 16 4660", "C 17 1",
                                                  "X 32 258"}));
    EXPECT_TRUE(m_station.ReadBit("Y", 2));
    EXPECT_FALSE(m_station.ReadBit("Y", 1));
    EXPECT_EQ(m_station.ReadWord("C", 17), 1);
    EXPECT_EQ(m_station.ReadWord("WX", 2), 0x0102);
    EXPECT_TRUE(m_station.ReadBit("X", 0x21));
    // Data that are not of their unit are refused whole.
    Feed(Req("0100BWAY00000212"));
    EXPECT_EQ(Take(), "\x15"
                      "010001");
    EXPECT_EQ(m_writes.size(), 6u);
}

TEST_F(StationFixture, FindsRequestsInAnySplitAmongNoiseAndAcknowledgements) {
    Preset("WX", 1, 0x00AA);
    const std::string stream = "junk\x06"
                               "0100" +
                               Req("0100WRAX001001") +
                               "\x06"
                               "0100" +
                               Req("0100WRAWX00101");
    for (char c : stream)
        Feed(std::string(1, c));
    EXPECT_EQ(Take(), Answer("010000AA") + Answer("010000AA"));
    EXPECT_EQ(m_station.GetRequestCount(), 2);
    // A request cut short is superseded by the next one, without a NAK.
    Feed(Req("0100WRAX001001").substr(0, 9) + Req("0100WRAWX00101"));
    EXPECT_EQ(Take(), Answer("010000AA"));
}

TEST_F(StationFixture, GivesUpPartialRequestsAndBoundsItsBuffer) {
    Feed(Req("0100WRAX001002").substr(0, 12));
    for (int i = 0; i < 5; ++i)
        m_station.OnTimer();
    EXPECT_EQ(Take(), "\x15"
                      "010001");
    EXPECT_EQ(m_station.GetPendingCount(), 0u);

    Feed(std::string(100000, 'Z'));
    EXPECT_EQ(m_station.GetPendingCount(), 0u);
    // A write whose count promises more data than ever come.
    Feed("\x05"
         "0100BWAX0000FFF" +
         std::string(50000, '1'));
    EXPECT_LE(m_station.GetPendingCount(), 8192u);
    EXPECT_TRUE(m_writes.empty());
}

TEST_F(StationFixture, AnswersLanRequests) {
    std::string error;
    ASSERT_TRUE(m_station.SetMode("lan", error)) << error;
    Preset("WX", 0x10, 0x1234);
    Preset("X", 0x21, 1); // bit 1 of WX 2
    struct Case {
        const char* name;
        Bytes request;
        Bytes answer;
    } cases[] = {
        {"read", "00 12 00 01 00 00 00 51 00 00 57 58 00 10 00 01 45 4C"_hex,
         "00 14 00 01 00 00 00 51 00 00 57 58 00 10 00 01 12 34 45 4C"_hex},
        {"a bit device in words", "00 12 00 01 00 00 00 51 00 00 58 00 00 20 00 01 45 4C"_hex,
         "00 14 00 01 00 00 00 51 00 00 58 00 00 20 00 01 00 02 45 4C"_hex},
        {"write", "00 16 00 01 00 00 00 52 00 00 43 00 00 05 00 02 00 07 00 08 45 4C"_hex,
         "00 12 00 01 00 00 00 52 00 00 43 00 00 05 00 00 45 4C"_hex},
        {"no such device", "00 12 00 01 00 00 00 51 00 00 51 00 00 00 00 01 45 4C"_hex,
         "00 12 00 01 00 00 00 51 00 03 51 00 00 00 00 00 45 4C"_hex},
        {"bad marker", "00 12 00 01 00 00 00 51 00 00 57 58 00 10 00 01 45 4D"_hex,
         "00 12 00 01 00 00 00 51 00 01 57 58 00 10 00 00 45 4C"_hex},
        {"count 0", "00 12 00 01 00 00 00 51 00 00 57 58 00 10 00 00 45 4C"_hex,
         "00 12 00 01 00 00 00 51 00 04 57 58 00 10 00 00 45 4C"_hex},
    };
    for (const Case& c : cases) {
        Feed(ToString(c.request));
        EXPECT_EQ(Take(), ToString(c.answer)) << c.name;
    }
    EXPECT_EQ(m_writes, (std::vector<std::string>{"C 5 7", "C 6 8"}));
    // A length no frame has drops what is held.
    Feed(ToString("FF FF 00 01"_hex));
    EXPECT_EQ(m_station.GetPendingCount(), 0u);
}

TEST(PosfaStation, PresetsTakeTheProtocolsDeviceNames) {
    CPosfaSimStation station;
    std::string error;
    EXPECT_TRUE(station.Preset("x", 0xFFFF, 1, error)) << error;
    EXPECT_TRUE(station.Preset("DR", 0xFFF, 65535, error)) << error;
    EXPECT_TRUE(station.Preset("T", 0xFFFF, 0, error)) << error;
    struct Case {
        const char* device;
        long long address, value;
    } bad[] = {{"D", 0, 1}, {"X", 0, 2}, {"WX", 0x1000, 1}, {"C", -1, 1}, {"C", 0, 65536}};
    for (const Case& c : bad) {
        error.clear();
        EXPECT_FALSE(station.Preset(c.device, c.address, c.value, error)) << c.device;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_FALSE(station.SetMode("ascii", error));
    EXPECT_FALSE(station.SetStation(256, error));
    EXPECT_NE(CSimStations::Make("posfa"), nullptr);
}

// The engine polling the station in-process: every frame one side sends
// reaches the other, in turn, until nothing is left to deliver.
class PosfaLoop : public ::testing::Test {
protected:
    PosfaLoop() {
        m_station.SetSendHandler([this](const std::uint8_t* bytes, int count) {
            m_toEngine.emplace_back(bytes, bytes + count);
        });
        m_station.SetWriteHandler([this](const std::string& d, long long a, unsigned v) {
            m_writes.push_back(d + " " + std::to_string(a) + " " + std::to_string(v));
        });
    }
    void Start(const std::vector<CellRow>& rows, int mode) {
        std::string error;
        ASSERT_TRUE(m_station.SetMode(mode == CPosfaEngine::POSFA_LAN ? "lan" : "rs232c", error));
        CPlcSettingsFile file(CPlcSettingsFile::PLC_POSFA);
        ASSERT_TRUE(file.SaveRows(file.CurrentPath(), rows));
        ASSERT_EQ(m_engine.Start(m_memory, mode), 1);
    }
    // Runs until the engine has finished n exchanges or nothing moves.
    void Pump(long long n) {
        std::size_t delivered = 0;
        while (Finished() < n) {
            for (; delivered < m_hub.m_sent.size(); ++delivered) {
                const Bytes& frame = m_hub.m_sent[delivered];
                m_station.OnReceive(frame.data(), static_cast<int>(frame.size()));
            }
            if (m_toEngine.empty()) {
                if (delivered == m_hub.m_sent.size())
                    return;
                continue;
            }
            const Bytes frame = m_toEngine.front();
            m_toEngine.pop_front();
            m_engine.OnReceive(frame.data(), static_cast<int>(frame.size()));
        }
    }
    long long Finished() const {
        return m_engine.GetReplyCount() + m_engine.GetBadReplyCount() +
               m_engine.GetErrorReplyCount() + m_engine.GetTimeoutCount();
    }

    InTempDir m_dir;
    RecordingHub m_hub;
    CPosfaEngine m_engine{m_hub};
    MemoryTable m_memory;
    CPosfaSimStation m_station;
    std::deque<Bytes> m_toEngine;
    std::vector<std::string> m_writes;
};

const std::string kRead = PlcRequestRow::kAutoRead;
const std::string kWrite = PlcRequestRow::kAutoWrite;

CellRow Cells(const std::string& type, const std::string& unit, const std::string& device,
              int address, int count, int index) {
    return {type,
            "1",
            "255",
            unit,
            device,
            std::to_string(address),
            std::to_string(count),
            std::to_string(index)};
}

TEST_F(PosfaLoop, TextReadsAndWritesWordsAndBits) {
    std::string error;
    ASSERT_TRUE(m_station.Preset("C", 100, 11, error));
    ASSERT_TRUE(m_station.Preset("C", 101, 65535, error));
    ASSERT_TRUE(m_station.Preset("X", 0x12, 1, error));
    ASSERT_TRUE(m_station.Preset("WR", 0x7F, 0xBEEF, error));
    m_memory.Set(10, 0x1234);
    m_memory.Set(11, 0x0042);
    m_memory.Set(30, 1);
    m_memory.Set(32, 7); // any non-zero word writes a 1
    Start({Cells(kRead, "WORD", "C", 100, 2, 0), Cells(kWrite, "WORD", "T", 0x20, 2, 10),
           Cells(kRead, "BIT", "X", 0x10, 4, 20), Cells(kWrite, "BIT", "Y", 5, 3, 30),
           Cells(kRead, "WORD", "WR", 0x7F, 1, 40)},
          CPosfaEngine::POSFA_RS232C);
    Pump(5);
    EXPECT_EQ(m_engine.GetReplyCount(), 5);
    EXPECT_EQ(m_memory.Get(0), 11);
    EXPECT_EQ(m_memory.Get(1), 65535);
    EXPECT_EQ(m_memory.Get(20) * 1000 + m_memory.Get(21) * 100 + m_memory.Get(22) * 10 +
                  m_memory.Get(23),
              10);
    EXPECT_EQ(m_memory.Get(40), 0xBEEF);
    EXPECT_EQ(m_station.ReadWord("T", 0x20), 0x1234);
    EXPECT_EQ(m_station.ReadWord("T", 0x21), 0x0042);
    EXPECT_TRUE(m_station.ReadBit("Y", 5));
    EXPECT_FALSE(m_station.ReadBit("Y", 6));
    EXPECT_TRUE(m_station.ReadBit("Y", 7));
    EXPECT_EQ(m_writes,
              (std::vector<std::string>{"T 32 4660", "T 33 66", "Y 5 1", "Y 6 0", "Y 7 1"}));
    // Every STX answer was acknowledged, and the station took the ACKs for
    // what they are.
    EXPECT_EQ(m_station.GetRejectedCount(), 0);
    EXPECT_EQ(m_station.GetPendingCount(), 0u);
}

TEST_F(PosfaLoop, LanReadsAndWritesWords) {
    std::string error;
    ASSERT_TRUE(m_station.Preset("DR", 0xFFE, 500, error));
    ASSERT_TRUE(m_station.Preset("L", 0x31, 1, error));
    m_memory.Set(5, 0xCAFE);
    Start({Cells(kRead, "WORD", "DR", 0xFFE, 2, 0), Cells(kWrite, "WORD", "WL", 0x7, 1, 5),
           Cells(kRead, "WORD", "L", 0x30, 1, 9)},
          CPosfaEngine::POSFA_LAN);
    Pump(6);
    EXPECT_EQ(m_engine.GetReplyCount(), 6);
    EXPECT_EQ(m_memory.Get(0), 500);
    EXPECT_EQ(m_memory.Get(1), 0);
    EXPECT_EQ(m_memory.Get(9), 2);
    EXPECT_EQ(m_station.ReadWord("WL", 7), 0xCAFE);
    EXPECT_EQ(m_writes, (std::vector<std::string>{"WL 7 51966", "WL 7 51966"}));
}

TEST_F(PosfaLoop, SpoiltRepliesAndDroppedRequestsMoveTheEngineOn) {
    for (int mode : {CPosfaEngine::POSFA_RS232C, CPosfaEngine::POSFA_LAN}) {
        RecordingHub hub;
        CPosfaEngine engine(hub);
        CPosfaSimStation station;
        std::string error;
        ASSERT_TRUE(station.SetMode(mode == CPosfaEngine::POSFA_LAN ? "lan" : "rs232c", error));
        ASSERT_TRUE(station.Preset("C", 0, 9, error));
        station.SetCorruptEvery(3);
        station.SetDropEvery(4);
        std::deque<Bytes> toEngine;
        station.SetSendHandler([&toEngine](const std::uint8_t* bytes, int count) {
            toEngine.emplace_back(bytes, bytes + count);
        });
        CPlcSettingsFile file(CPlcSettingsFile::PLC_POSFA);
        ASSERT_TRUE(file.SaveRows(file.CurrentPath(), {Cells(kRead, "WORD", "C", 0, 1, 0),
                                                       Cells(kWrite, "WORD", "C", 1, 1, 0)}));
        MemoryTable memory;
        ASSERT_EQ(engine.Start(memory, mode), 1);
        std::size_t delivered = 0;
        for (int round = 0; round < 40; ++round) {
            for (; delivered < hub.m_sent.size(); ++delivered)
                station.OnReceive(hub.m_sent[delivered].data(),
                                  static_cast<int>(hub.m_sent[delivered].size()));
            if (toEngine.empty()) {
                for (int t = 0; t < 17; ++t)
                    engine.OnTimer(CPlcEngine::ID_TIMER_POLL);
                continue;
            }
            const Bytes frame = toEngine.front();
            toEngine.pop_front();
            engine.OnReceive(frame.data(), static_cast<int>(frame.size()));
        }
        EXPECT_GT(engine.GetReplyCount(), 0) << mode;
        EXPECT_EQ(engine.GetBadReplyCount(), station.GetCorruptedCount()) << mode;
        EXPECT_EQ(engine.GetTimeoutCount(), station.GetDroppedCount()) << mode;
        EXPECT_GT(station.GetCorruptedCount(), 0) << mode;
        EXPECT_GT(station.GetDroppedCount(), 0) << mode;
        EXPECT_EQ(memory.Get(0), 9) << mode;
        EXPECT_EQ(station.ReadWord("C", 1), 9) << mode;
    }
}

} // namespace
