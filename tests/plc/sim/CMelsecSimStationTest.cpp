#include "plc/sim/CMelsecSimStation.h"
#include "TestBytes.h"
#include "plc/MelsecFrames.h"
#include "plc/PlcTestSupport.h"
#include "plc/RecordingHub.h"
#include "plc/codecs/CMelsecEngine.h"

#include <gtest/gtest.h>

#include <deque>
#include <tuple>

namespace {

using melsec_test::ReadData;
using melsec_test::Request;

const std::string ACK = "\x06";
const std::string NAK = "\x15";

// The station with what it sends and what it reports as written.
class MelsecStation : public ::testing::Test {
protected:
    MelsecStation() {
        m_station.SetSendHandler([this](const std::uint8_t* bytes, int count) {
            m_replies.emplace_back(reinterpret_cast<const char*>(bytes), count);
        });
        m_station.SetWriteHandler(
            [this](const std::string& device, long long address, unsigned value) {
                m_writes.push_back(device + " " + std::to_string(address) + " " +
                                   std::to_string(value));
            });
    }
    void Receive(const std::string& text) {
        m_station.OnReceive(reinterpret_cast<const std::uint8_t*>(text.data()),
                            static_cast<int>(text.size()));
    }
    void Preset(const std::string& device, long long address, long long value) {
        std::string error;
        ASSERT_TRUE(m_station.Preset(device, address, value, error)) << error;
    }

    CMelsecSimStation m_station;
    std::vector<std::string> m_replies;
    std::vector<std::string> m_writes;
};

TEST_F(MelsecStation, AnswersRequestsFromItsMemoryAndStoresWrites) {
    Preset("D", 100, 0x1234);
    Preset("M", 100, 1);
    Preset("M", 102, 1);
    Preset("X", 4, 1);
    Preset("X", 15, 1);
    Preset("TN", 5, 77);
    Preset("M", 255, 1);
    struct Case {
        const char* name;
        std::string request;
        std::string reply;
        std::vector<std::string> writes;
    } cases[] = {
        {"word read", Request("00FFWRAD010001"), ReadData("00FF1234"), {}},
        {"bit read", Request("00FFBRAM010003"), ReadData("00FF101"), {}},
        {"a word of bits, first point in bit 0",
         Request("00FFWRAX000001"),
         ReadData("00FF8010"),
         {}},
        {"three-digit device", Request("00FFWRATN00501"), ReadData("00FF004D"), {}},
        {"256 bits are counted 00",
         Request("00FFBRAM000000"),
         ReadData("00FF" + std::string(100, '0') + "101" + std::string(152, '0') + "1"),
         {}},
        {"the PLC number is echoed", Request("00FEWRAD010001"), ReadData("00FE1234"), {}},
        {"bit write", Request("00FFBWAY000A03101"), ACK + "00FF", {"Y 10 1", "Y 11 0", "Y 12 1"}},
        {"word write", Request("00FFWWAD0200020001ABCD"), ACK + "00FF", {"D 200 1", "D 201 43981"}},
        {"word write of bits",
         Request("00FFWWAM0016010003"),
         ACK + "00FF",
         {"M 16 1", "M 17 1", "M 18 0", "M 19 0", "M 20 0", "M 21 0", "M 22 0", "M 23 0", "M 24 0",
          "M 25 0", "M 26 0", "M 27 0", "M 28 0", "M 29 0", "M 30 0", "M 31 0"}},
        {"wrong sum",
         "\x05"
         "00FFWRAD01000100",
         NAK + "00FF02",
         {}},
        {"unknown command", Request("00FFXRAD010001"), NAK + "00FF06", {}},
        {"unknown device", Request("00FFWRAQ010001"), NAK + "00FF06", {}},
        {"bits of a word device", Request("00FFBRAD010001"), NAK + "00FF06", {}},
        {"more bits than a write carries",
         Request("00FFBWAM0000A1" + std::string(161, '0')),
         NAK + "00FF06",
         {}},
        {"more words of bits than a read carries", Request("00FFWRAM000021"), NAK + "00FF06", {}},
        {"past the last D", Request("00FFWRAD999902"), NAK + "00FF06", {}},
        {"a decimal device with a hex digit", Request("00FFWRAD01A001"), NAK + "00FF07", {}},
        {"a bit that is no bit", Request("00FFBWAM010003102"), NAK + "00FF07", {}},
        {"another station's", Request("01FFWRAD010001"), "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_replies.clear();
        m_writes.clear();
        Receive(c.request);
        EXPECT_EQ(m_replies,
                  c.reply.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.reply});
        EXPECT_EQ(m_writes, c.writes);
    }
    EXPECT_TRUE(m_station.Memory().GetBit("Y", 12));
    EXPECT_EQ(m_station.Memory().GetWord("D", 201), 0xABCD);
}

// Requests in any split, behind noise, broken off by the next ENQ: each
// whole request is answered once.
TEST_F(MelsecStation, FindsItsFeetInAnySplitAndAfterNoise) {
    Preset("D", 1, 9);
    const std::string request = Request("00FFWRAD000101");
    const std::string stream = "noise\x02\x03" + request.substr(0, 9) + request + ACK + "00FF" +
                               "\x06"
                               "0" +
                               request;
    for (char c : stream)
        Receive(std::string(1, c));
    EXPECT_EQ(m_replies, std::vector<std::string>(2, ReadData("00FF0009")));
    EXPECT_EQ(m_station.GetAckCount(), 1);

    // A megabyte without a frame leaves it ready for the next request.
    Receive(std::string(1 << 20, 'z'));
    Receive(request);
    EXPECT_EQ(m_replies.size(), 3u);
}

TEST_F(MelsecStation, PresetsNameRealDevicesAndValues) {
    struct Case {
        const char* device;
        long long address;
        long long value;
        bool ok;
    } cases[] = {
        {"D", 9999, -1, true},  {"d", 0, 65535, true}, {"M", 50, 1, true},
        {"X", 0xFFFF, 1, true}, {"TN", 999, 5, true},  {"D", 10000, 1, false},
        {"TS", 1000, 1, false}, {"M", 50, 2, false},   {"D", 0, 65536, false},
        {"D", -1, 0, false},    {"Q", 0, 0, false},    {"", 0, 0, false},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(m_station.Preset(c.device, c.address, c.value, error), c.ok)
            << c.device << c.address << "=" << c.value;
        EXPECT_EQ(error.empty(), c.ok) << error;
    }
    EXPECT_EQ(m_station.Memory().GetWord("D", 0), 65535);
    std::string error;
    EXPECT_FALSE(m_station.SetStation(32, error));
    EXPECT_TRUE(m_station.SetStation(31, error));
}

// The engine polling the station in-process, each block handed over in turn.
class MelsecLink : public ::testing::Test {
protected:
    MelsecLink() {
        m_station.SetSendHandler([this](const std::uint8_t* bytes, int count) {
            m_toEngine.emplace_back(bytes, bytes + count);
        });
        m_station.SetWriteHandler(
            [this](const std::string& device, long long address, unsigned value) {
                m_writes.push_back(device + " " + std::to_string(address) + " " +
                                   std::to_string(value));
            });
    }
    // Delivers blocks, or lets the time-out run when none is under way, until
    // `exchanges` have finished.
    void Run(long long exchanges) {
        auto finished = [this] {
            return m_engine.GetReplyCount() + m_engine.GetBadReplyCount() +
                   m_engine.GetErrorReplyCount() + m_engine.GetTimeoutCount();
        };
        for (int step = 0; step < 10000 && finished() < exchanges; ++step) {
            if (m_hub.m_sent.size() > m_nHanded) {
                const Bytes& block = m_hub.m_sent[m_nHanded++];
                m_station.OnReceive(block.data(), static_cast<int>(block.size()));
            } else if (!m_toEngine.empty()) {
                const Bytes block = m_toEngine.front();
                m_toEngine.pop_front();
                m_engine.OnReceive(block.data(), static_cast<int>(block.size()));
            } else {
                m_engine.OnTimer(CPlcEngine::ID_TIMER_POLL);
            }
        }
        ASSERT_EQ(finished(), exchanges);
        // What the engine sent last (the acknowledgement of the last data).
        for (; m_nHanded < m_hub.m_sent.size(); ++m_nHanded) {
            const Bytes& block = m_hub.m_sent[m_nHanded];
            m_station.OnReceive(block.data(), static_cast<int>(block.size()));
        }
    }

    InTempDir m_dir;
    RecordingHub m_hub;
    CMelsecEngine m_engine{m_hub};
    CMelsecSimStation m_station;
    MemoryTable m_memory;
    std::size_t m_nHanded = 0;
    std::deque<Bytes> m_toEngine;
    std::vector<std::string> m_writes;
};

CellRow Row(const char* type, const char* unit, const char* device, int address, int count,
            int index) {
    return {type,
            "2",
            "255",
            unit,
            device,
            std::to_string(address),
            std::to_string(count),
            std::to_string(index)};
}

TEST_F(MelsecLink, ReadsAndWritesOfWordsAndBitsArriveOnBothSides) {
    const char* r = "자동읽기";
    const char* w = "자동쓰기";
    CPlcSettingsFile file(CPlcSettingsFile::PLC_MELSEC);
    ASSERT_TRUE(file.SaveRows(file.CurrentPath(),
                              {Row(r, "WORD", "D", 100, 2, 0), Row(r, "BIT", "M", 50, 3, 10),
                               Row(r, "WORD", "X", 0, 1, 20), Row(w, "WORD", "D", 200, 2, 30),
                               Row(w, "BIT", "Y", 0, 2, 40), Row(w, "WORD", "M", 16, 1, 50),
                               Row(r, "WORD", "D", 200, 2, 60), Row(r, "WORD", "TN", 5, 1, 70)}));
    std::string error;
    ASSERT_TRUE(m_station.SetStation(2, error));
    for (auto [device, address, value] : {std::tuple{"D", 100, 11},
                                          {"D", 101, -1},
                                          {"M", 50, 1},
                                          {"M", 52, 1},
                                          {"X", 4, 1},
                                          {"X", 15, 1},
                                          {"TN", 5, 77}})
        ASSERT_TRUE(m_station.Preset(device, address, value, error)) << error;
    m_memory.Set(30, 11);
    m_memory.Set(31, 65535);
    m_memory.Set(40, 7);
    m_memory.Set(50, 3);
    ASSERT_EQ(m_engine.Start(m_memory, 0), 1);
    Run(8); // the second row to the last, then the first

    EXPECT_EQ(m_engine.GetReplyCount(), 8);
    const std::vector<std::pair<int, int>> expected = {{0, 11},  {1, 65535},  {10, 1},
                                                       {11, 0},  {12, 1},     {20, 0x8010},
                                                       {60, 11}, {61, 65535}, {70, 77}};
    for (auto [index, value] : expected)
        EXPECT_EQ(m_memory.Get(index), value) << index;
    std::vector<std::string> writes = {"D 200 11", "D 201 65535", "Y 0 1",
                                       "Y 1 0",    "M 16 1",      "M 17 1"};
    for (int k = 18; k < 32; ++k)
        writes.push_back("M " + std::to_string(k) + " 0");
    EXPECT_EQ(m_writes, writes);
    EXPECT_EQ(m_station.GetAckCount(), 5); // one for each read's data
    EXPECT_EQ(m_station.GetRejectedCount(), 0);
}

TEST_F(MelsecLink, SpoiledAndDroppedRepliesTakeTheRepeatPaths) {
    CPlcSettingsFile file(CPlcSettingsFile::PLC_MELSEC);
    ASSERT_TRUE(file.SaveRows(file.CurrentPath(), {Row("자동읽기", "WORD", "D", 0, 1, 0),
                                                   Row("자동읽기", "BIT", "M", 1, 1, 1)}));
    std::string error;
    ASSERT_TRUE(m_station.SetStation(2, error));
    ASSERT_TRUE(m_station.Preset("D", 0, 100, error));
    ASSERT_TRUE(m_station.Preset("M", 1, 1, error));
    // Six requests: the 3rd and 6th dropped, the 2nd and 4th answer spoiled.
    m_station.SetDropEvery(3);
    m_station.SetCorruptEvery(2);
    ASSERT_EQ(m_engine.Start(m_memory, 0), 1);
    Run(6);
    EXPECT_EQ(m_engine.GetTimeoutCount(), 2);
    EXPECT_EQ(m_engine.GetBadReplyCount(), 2);
    EXPECT_EQ(m_engine.GetReplyCount(), 2);
    EXPECT_EQ(m_station.GetAckCount(), 2); // spoiled data are not acknowledged
    EXPECT_EQ(m_memory.Get(0), 100);
    EXPECT_EQ(m_memory.Get(1), 1);
}

} // namespace
