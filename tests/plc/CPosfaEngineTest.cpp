#include "plc/codecs/CPosfaEngine.h"
#include "PlcTestSupport.h"
#include "RecordingHub.h"
#include "TestBytes.h"

#include <gtest/gtest.h>

namespace {

constexpr int LAN = CPosfaEngine::POSFA_LAN;
constexpr int TEXT = CPosfaEngine::POSFA_RS232C;
constexpr int POLL = CPlcEngine::ID_TIMER_POLL;
const std::string kRead = PlcRequestRow::kAutoRead;
const std::string kWrite = PlcRequestRow::kAutoWrite;

// A POSFA grid row: COMMTYPE, STATIONNUM, PLCNUM, PLCDEVICETYPE,
// PLCDEVICENAME, PLCADDRESS, DATACOUNT, ANINDEX.
CellRow Cells(const std::string& type, int station, int plc, const std::string& unit,
              const std::string& device, int address, int count, int index) {
    return {type,   std::to_string(station), std::to_string(plc),   unit,
            device, std::to_string(address), std::to_string(count), std::to_string(index)};
}

PlcRequestRow Row(const std::string& type, int station, int plc, const std::string& unit,
                  const std::string& device, int address, int count, int index = 0) {
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

Bytes Encode(const PlcRequestRow& row, int mode, const MemoryTable* memory = nullptr) {
    Bytes buffer(CPlcEngine::kFrameMax);
    const int n = CPosfaEngine::EncodeRequest(row, mode, memory, buffer.data(),
                                              static_cast<int>(buffer.size()));
    buffer.resize(static_cast<std::size_t>(n));
    return buffer;
}

// Control characters spelled out, the rest as text.
Bytes Text(const std::string& s) {
    Bytes out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s.compare(i, 5, "<ENQ>") == 0) {
            out.push_back(0x05);
            i += 4;
        } else if (s.compare(i, 5, "<STX>") == 0) {
            out.push_back(0x02);
            i += 4;
        } else if (s.compare(i, 5, "<ETX>") == 0) {
            out.push_back(0x03);
            i += 4;
        } else if (s.compare(i, 5, "<ACK>") == 0) {
            out.push_back(0x06);
            i += 4;
        } else if (s.compare(i, 5, "<NAK>") == 0) {
            out.push_back(0x15);
            i += 4;
        } else {
            out.push_back(static_cast<std::uint8_t>(s[i]));
        }
    }
    return out;
}

TEST(PosfaFrames, RequestsAreByteExact) {
    MemoryTable memory;
    memory.Set(0, 1);
    memory.Set(1, 0);
    memory.Set(2, 5);
    memory.Set(10, 0x1234);
    memory.Set(11, 0xABCD);
    struct Case {
        const char* name;
        PlcRequestRow row;
        int mode;
        Bytes expected;
    } cases[] = {
        {"text word read", Row(kRead, 1, 0, "WORD", "X", 0x10, 4), TEXT,
         Text("<ENQ>0100WRAX00100428")},
        {"text bit write", Row(kWrite, 1, 0, "BIT", "Y", 0, 3), TEXT,
         Text("<ENQ>0100BWAY000003101A9")},
        {"text word write", Row(kWrite, 0x1F, 2, "WORD", "C", 0xBEEF, 2, 10), TEXT,
         Text("<ENQ>1F02WWACBEEF021234ABCD53")},
        {"WL has no command letters", Row(kRead, 1, 0, "WORD", "WL", 0x10, 4), TEXT,
         Text("<ENQ>0100AWL010049A")},
        {"WX: three address digits, WR whatever the unit", Row(kRead, 1, 0, "BIT", "WX", 0x10, 10),
         TEXT, Text("<ENQ>0100WRAWX0100A5C")},
        {"a code beyond the table travels like X", Row(kRead, 1, 0, "BIT", "BX", 0x1F, 1), TEXT,
         Text("<ENQ>0100BRABX001F0168")},
        {"300 bits of R: count 12C", Row(kRead, 1, 0, "BIT", "R", 0, 300), TEXT,
         Text("<ENQ>0100BRAR000012C4E")},
        {"300 bits of X: count 12C", Row(kRead, 1, 0, "BIT", "X", 0, 300), TEXT,
         Text("<ENQ>0100BRAX000012C54")},
        {"300 words of X: the limit 80", Row(kRead, 1, 0, "WORD", "X", 0, 300), TEXT,
         Text("<ENQ>0100WRAX0000802B")},
        {"lan word read", Row(kRead, 1, 0, "WORD", "WX", 0x10, 4), LAN,
         "00 12 00 01 00 00 00 51 00 00 57 58 00 10 00 04 45 4C"_hex},
        {"lan one-letter device", Row(kRead, 1, 0, "WORD", "X", 0, 1), LAN,
         "00 12 00 01 00 00 00 51 00 00 58 00 00 00 00 01 45 4C"_hex},
        {"lan write", Row(kWrite, 1, 0, "WORD", "C", 0x102, 2, 10), LAN,
         "00 16 00 01 00 00 00 52 00 00 43 00 01 02 00 02 12 34 AB CD 45 4C"_hex},
        {"lan other type: no command word", Row("수동", 1, 0, "WORD", "T", 1, 1), LAN,
         "00 10 00 01 00 00 00 00 54 00 00 01 00 01 45 4C"_hex},
        {"no such mode", Row(kRead, 1, 0, "WORD", "X", 0, 1), 2, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ToString(Encode(c.row, c.mode, &memory)), ToString(c.expected)) << c.name;
}

// The engine over a recording hub, its rows written in a fresh folder.
class PosfaEngine : public ::testing::Test {
protected:
    static void WriteRows(const std::vector<CellRow>& rows) {
        CPlcSettingsFile file(CPlcSettingsFile::PLC_POSFA);
        ASSERT_TRUE(file.SaveRows(file.CurrentPath(), rows));
    }
    void StartWith(const std::vector<CellRow>& rows, int mode) {
        WriteRows(rows);
        ASSERT_EQ(m_engine.Start(m_memory, mode), 1) << Messages();
    }
    std::string Messages() const {
        std::string all;
        for (const std::string& m : m_hub.m_messages)
            all += m + "\n";
        return all;
    }
    void Receive(const Bytes& bytes) {
        m_engine.OnReceive(bytes.data(), static_cast<int>(bytes.size()));
    }
    void Tick(int n) {
        for (int i = 0; i < n; ++i)
            m_engine.OnTimer(POLL);
    }
    std::vector<std::string> Sent() const {
        std::vector<std::string> out;
        for (const Bytes& frame : m_hub.m_sent)
            out.push_back(ToString(frame));
        return out;
    }

    InTempDir m_dir;
    RecordingHub m_hub;
    CPosfaEngine m_engine{m_hub};
    MemoryTable m_memory;
};

TEST_F(PosfaEngine, AGoodTextReadIsStoredAndAcknowledgedInAnySplit) {
    const Bytes reply = Text("<STX>010000011234<ETX>4F");
    for (std::size_t piece : {reply.size(), std::size_t{1}, std::size_t{4}}) {
        m_hub.m_sent.clear();
        m_memory.Clear();
        StartWith({Cells(kRead, 1, 0, "WORD", "X", 0x10, 2, 5)}, TEXT);
        for (std::size_t at = 0; at < reply.size(); at += piece) {
            EXPECT_EQ(m_hub.m_sent.size(), 1u) << "finished early, split " << piece;
            Receive(Bytes(reply.begin() + static_cast<std::ptrdiff_t>(at),
                          reply.begin() +
                              static_cast<std::ptrdiff_t>(std::min(at + piece, reply.size()))));
        }
        EXPECT_EQ(m_memory.Get(5), 0x0001);
        EXPECT_EQ(m_memory.Get(6), 0x1234);
        const std::string request = ToString(Text("<ENQ>0100WRAX00100226"));
        EXPECT_EQ(Sent(), (std::vector<std::string>{request, ToString(Text("<ACK>0100")), request}))
            << "split " << piece;
        m_engine.Stop();
    }
    EXPECT_EQ(m_engine.GetReplyCount(), 3);
}

TEST_F(PosfaEngine, TextAnswersMustMatchTheRequestAndTheirSum) {
    struct Case {
        const char* name;
        CellRow row;
        std::string reply;
        int replies, bad, errors;
        std::uint16_t word0; // table word 0 afterwards
    } cases[] = {
        {"bits", Cells(kRead, 1, 0, "BIT", "Y", 0, 3, 0), "<STX>0100101<ETX>56", 1, 0, 0, 1},
        {"lower-case sum", Cells(kRead, 2, 0, "WORD", "C", 0, 1, 0), "<STX>0200ABCD<ETX>cf", 1, 0,
         0, 0xABCD},
        {"wrong sum", Cells(kRead, 1, 0, "WORD", "X", 0x10, 2, 0), "<STX>010000011234<ETX>4E", 0, 1,
         0, 0},
        {"another station", Cells(kRead, 1, 0, "WORD", "X", 0x10, 1, 0), "<STX>02001234<ETX>8F", 0,
         1, 0, 0},
        {"another PLC number", Cells(kRead, 1, 0, "WORD", "X", 0x10, 1, 0), "<STX>01011234<ETX>8F",
         0, 1, 0, 0},
        {"fewer data than asked", Cells(kRead, 1, 0, "WORD", "X", 0x10, 2, 0),
         "<STX>01001234<ETX>8E", 0, 1, 0, 0},
        {"more data than asked", Cells(kRead, 1, 0, "BIT", "X", 0x10, 2, 0), "<STX>0100101<ETX>56",
         0, 1, 0, 0},
        {"a bit that is no bit", Cells(kRead, 1, 0, "BIT", "X", 0x10, 1, 0), "<STX>01002<ETX>F6", 0,
         1, 0, 0},
        {"a word that is no hex", Cells(kRead, 1, 0, "WORD", "X", 0x10, 1, 0),
         "<STX>0100123G<ETX>A1", 0, 1, 0, 0},
        {"ACK to a read", Cells(kRead, 1, 0, "WORD", "X", 0x10, 1, 0), "<ACK>0100", 0, 1, 0, 0},
        {"STX to a write", Cells(kWrite, 1, 0, "WORD", "X", 0x10, 1, 0), "<STX>01001234<ETX>8E", 0,
         1, 0, 0},
        {"ACK to a write", Cells(kWrite, 1, 0, "WORD", "X", 0x10, 1, 0), "<ACK>0100", 1, 0, 0, 0},
        {"ACK from another station", Cells(kWrite, 1, 0, "WORD", "X", 0, 1, 0), "<ACK>0300", 0, 1,
         0, 0},
        {"NAK", Cells(kRead, 1, 0, "WORD", "X", 0x10, 1, 0), "<NAK>010001", 0, 0, 1, 0},
        {"NAK from another station", Cells(kRead, 1, 0, "WORD", "X", 0, 1, 0), "<NAK>020001", 0, 1,
         0, 0},
        {"noise", Cells(kRead, 1, 0, "WORD", "X", 0, 1, 0), "x<STX>01001234<ETX>8E", 0, 1, 0, 0},
    };
    for (const Case& c : cases) {
        RecordingHub hub;
        CPosfaEngine engine(hub);
        MemoryTable memory;
        WriteRows({c.row});
        ASSERT_EQ(engine.Start(memory, TEXT), 1) << c.name;
        const Bytes reply = Text(c.reply);
        engine.OnReceive(reply.data(), static_cast<int>(reply.size()));
        EXPECT_EQ(engine.GetReplyCount(), c.replies) << c.name;
        EXPECT_EQ(engine.GetBadReplyCount(), c.bad) << c.name;
        EXPECT_EQ(engine.GetErrorReplyCount(), c.errors) << c.name;
        EXPECT_EQ(memory.Get(0), c.word0) << c.name;
        // Every answer ends the exchange at once; only a stored read is
        // acknowledged.
        EXPECT_EQ(hub.m_sent.size(), c.replies && c.row[0] == kRead ? 3u : 2u) << c.name;
    }
}

TEST_F(PosfaEngine, AnEndlessTextStreamEndsTheExchangeWithinAFrameAndPollingGoesOn) {
    StartWith({Cells(kRead, 1, 0, "WORD", "X", 0, 1, 0)}, TEXT);
    Receive(Text("<STX>0100"));
    const Bytes noise(1000, '0');
    for (int i = 0; i < 20 && m_hub.m_sent.size() == 1; ++i)
        Receive(noise);
    EXPECT_EQ(m_hub.m_sent.size(), 2u);
    EXPECT_EQ(m_engine.GetBadReplyCount(), 1);
    EXPECT_EQ(m_engine.GetReplyCount(), 0);
}

TEST_F(PosfaEngine, GivesUpOnTheSeventeenthTickAndEveryBlockRestartsTheCount) {
    StartWith({Cells(kRead, 1, 0, "WORD", "X", 0, 1, 0)}, TEXT);
    Tick(10);
    Receive(Text("<STX>01"));
    Tick(16);
    EXPECT_EQ(m_hub.m_sent.size(), 1u);
    Tick(1);
    EXPECT_EQ(m_hub.m_sent.size(), 2u);
    EXPECT_EQ(m_engine.GetTimeoutCount(), 1);
}

TEST_F(PosfaEngine, LanAnswersMustEchoTheRequest) {
    const Bytes good = "00 16 00 01 00 00 00 51 00 00 57 58 00 10 00 02 00 01 12 34 45 4C"_hex;
    struct Case {
        const char* name;
        std::string command;
        Bytes reply;
        int replies, bad, errors;
    } cases[] = {
        {"good", kRead, good, 1, 0, 0},
        {"wrong marker", kRead,
         "00 16 00 01 00 00 00 51 00 00 57 58 00 10 00 02 00 01 12 34 45 4D"_hex, 0, 1, 0},
        {"wrong word 1", kRead,
         "00 16 00 02 00 00 00 51 00 00 57 58 00 10 00 02 00 01 12 34 45 4C"_hex, 0, 1, 0},
        {"another device", kRead,
         "00 16 00 01 00 00 00 51 00 00 57 59 00 10 00 02 00 01 12 34 45 4C"_hex, 0, 1, 0},
        {"another address", kRead,
         "00 16 00 01 00 00 00 51 00 00 57 58 00 11 00 02 00 01 12 34 45 4C"_hex, 0, 1, 0},
        {"fewer words", kRead, "00 14 00 01 00 00 00 51 00 00 57 58 00 10 00 01 00 01 45 4C"_hex, 0,
         1, 0},
        {"a count past the length", kRead,
         "00 16 00 01 00 00 00 51 00 00 57 58 00 10 00 09 00 01 12 34 45 4C"_hex, 0, 1, 0},
        {"longer than the row's answer", kRead, "01 00 00 01"_hex, 0, 1, 0},
        {"refused", kRead, "00 12 00 01 00 00 00 51 00 03 57 58 00 10 00 00 45 4C"_hex, 0, 0, 1},
        {"write answered", kWrite, "00 12 00 01 00 00 00 52 00 00 57 58 00 10 00 00 45 4C"_hex, 1,
         0, 0},
        {"read answer to a write", kWrite, good, 0, 1, 0},
    };
    for (const Case& c : cases) {
        RecordingHub hub;
        CPosfaEngine engine(hub);
        MemoryTable memory;
        WriteRows({Cells(c.command, 1, 0, "WORD", "WX", 0x10, 2, 7)});
        ASSERT_EQ(engine.Start(memory, LAN), 1) << c.name;
        // Byte by byte: the length decides, not the blocks; a length no
        // answer of the row has ends the exchange before the rest comes.
        for (std::size_t i = 0; i < c.reply.size() && hub.m_sent.size() == 1; ++i)
            engine.OnReceive(&c.reply[i], 1);
        EXPECT_EQ(engine.GetReplyCount(), c.replies) << c.name;
        EXPECT_EQ(engine.GetBadReplyCount(), c.bad) << c.name;
        EXPECT_EQ(engine.GetErrorReplyCount(), c.errors) << c.name;
        const bool stored = c.replies && c.command == kRead;
        EXPECT_EQ(memory.Get(7), stored ? 0x0001 : 0) << c.name;
        EXPECT_EQ(memory.Get(8), stored ? 0x1234 : 0) << c.name;
        EXPECT_EQ(hub.m_sent.size(), 2u) << c.name; // no acknowledgement in LAN
    }
}

TEST_F(PosfaEngine, RowsTheFramingCannotCarryRefuseTheStart) {
    struct Case {
        const char* name;
        CellRow row;
        int mode;
        const char* says;
    } cases[] = {
        {"WL has no text command", Cells(kRead, 1, 0, "WORD", "WL", 0, 1, 0), TEXT, "WL"},
        {"DR has no text command", Cells(kWrite, 1, 0, "WORD", "DR", 0, 1, 0), TEXT, "DR"},
        {"bits of a word device", Cells(kRead, 1, 0, "BIT", "WX", 0, 1, 0), TEXT, "WORD"},
        {"station of three digits", Cells(kRead, 256, 0, "WORD", "X", 0, 1, 0), TEXT, "STATIONNUM"},
        {"PLC number of three digits", Cells(kRead, 1, 300, "WORD", "X", 0, 1, 0), TEXT, "PLCNUM"},
        {"over the word limit of X", Cells(kRead, 1, 0, "WORD", "X", 0, 129, 0), TEXT, "DATACOUNT"},
        {"address past three digits", Cells(kRead, 1, 0, "WORD", "WX", 0x1000, 1, 0), TEXT,
         "PLCADDRESS"},
        {"points past the last address", Cells(kRead, 1, 0, "WORD", "WR", 0xFFF, 2, 0), TEXT,
         "PLCADDRESS"},
        {"no such device", Cells(kRead, 1, 0, "WORD", "Q", 0, 1, 0), TEXT, "Q"},
        {"no such unit", Cells(kRead, 1, 0, "DWORD", "X", 0, 1, 0), TEXT, "DWORD"},
        {"bits over LAN", Cells(kRead, 1, 0, "BIT", "X", 0, 1, 0), LAN, "LAN"},
        {"words past the table", Cells(kRead, 1, 0, "WORD", "C", 0, 10, 995), LAN, "ANINDEX"},
        {"count 0", Cells(kRead, 1, 0, "WORD", "C", 0, 0, 0), LAN, "DATACOUNT"},
    };
    for (const Case& c : cases) {
        m_hub.m_messages.clear();
        WriteRows({Cells(kRead, 1, 0, "WORD", "X", 0, 1, 0), c.row});
        EXPECT_EQ(m_engine.Start(m_memory, c.mode), 0) << c.name;
        ASSERT_EQ(m_hub.m_messages.size(), 1u) << c.name;
        EXPECT_NE(m_hub.m_messages[0].find("ROW 2"), std::string::npos) << c.name;
        EXPECT_NE(m_hub.m_messages[0].find(c.says), std::string::npos)
            << c.name << ": " << m_hub.m_messages[0];
        m_engine.Stop();
    }
    EXPECT_TRUE(m_hub.m_sent.empty());
    // What one framing refuses the other may carry.
    WriteRows({Cells(kRead, 300, 0, "WORD", "WL", 0x1000, 1, 0)});
    EXPECT_EQ(m_engine.Start(m_memory, LAN), 1) << Messages();
}

} // namespace
