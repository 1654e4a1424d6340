#include "userproto/CUserEngine.h"
#include "TestBytes.h"
#include "TestFiles.h"
#include "link/CCp949.h"
#include "plc/PlcTestSupport.h"
#include "plc/RecordingHub.h"
#include "userproto/CUserSettingsFile.h"

#include <gtest/gtest.h>

namespace {

using Line = CUserEngine::SPacketLine;
constexpr int TICK = CUserEngine::ID_TIMER_USER;
const std::string kSendFirst = UserRequestRow::kSendFirst;
const std::string kReceiveFirst = UserRequestRow::kReceiveFirst;

CellRow Row(const std::string& type, const std::string& choose, const std::string& data,
            const std::string& count = "0", const std::string& wait = "1000") {
    return {type, choose, data, count, wait};
}

// The engine over a recording hub; its rows in a fresh current directory.
class UserEngine : public ::testing::Test {
protected:
    void StartWith(const std::vector<CellRow>& rows, int viewMode) {
        ASSERT_TRUE(CUserSettingsFile::SaveRows(CUserSettingsFile::CurrentPath(), rows));
        ASSERT_EQ(m_engine.Start(viewMode), 1)
            << (m_hub.m_messages.empty() ? "" : m_hub.m_messages.back());
    }
    void Receive(const Bytes& bytes) {
        m_engine.OnReceive(bytes.data(), static_cast<int>(bytes.size()));
    }
    void Tick(int n) {
        for (int i = 0; i < n; ++i)
            m_engine.OnTimer(TICK);
    }

    InTempDir m_dir;
    RecordingHub m_hub;
    std::vector<Line> m_lines;
    CUserEngine m_engine{m_hub, [this](const Line& line) { m_lines.push_back(line); }};
};

TEST_F(UserEngine, SendFirstBinaryRowCompletesOnItsCountAndTimesOutAfterItsWait) {
    StartWith({Row("BINARY", kSendFirst, "0203", "4", "1000")}, CUserEngine::VIEW_BINARY);
    ASSERT_EQ(m_hub.m_sent.size(), 1u);
    EXPECT_EQ(m_hub.m_sent[0], "02 03"_hex);
    ASSERT_EQ(m_lines.size(), 1u);
    EXPECT_EQ(m_lines[0], (Line{"0203", "2", "BINARY", "SEND"}));

    // 2 + 3 bytes: the second block completes the row, all five listed.
    Receive("01 02"_hex);
    EXPECT_EQ(m_lines.size(), 1u);
    EXPECT_EQ(m_hub.m_sent.size(), 1u);
    Receive("0A FF 00"_hex);
    ASSERT_EQ(m_lines.size(), 3u);
    EXPECT_EQ(m_lines[1], (Line{"01020AFF00", "5", "BINARY", "REV"}));
    // After the last row the first again, at once.
    EXPECT_EQ(m_hub.m_sent.size(), 2u);
    EXPECT_EQ(m_lines[2].m_strDirection, "SEND");

    // No answer: given up on the tick after the counted time passes 1000 ms.
    Tick(101);
    EXPECT_EQ(m_lines.size(), 3u);
    Tick(1);
    ASSERT_EQ(m_lines.size(), 5u);
    EXPECT_EQ(m_lines[3], (Line{"TIME OUT", "실패", "실패", "REV"}));
    EXPECT_EQ(m_hub.m_sent.size(), 3u);
    EXPECT_EQ(m_engine.GetAnsweredCount(), 1);
    EXPECT_EQ(m_engine.GetTimeoutCount(), 1);
}

TEST_F(UserEngine, AsciiViewShowsBytesAsTextUpToTheFirstZero) {
    StartWith({Row("BINARY", kSendFirst, "41 42 00 43", "1"), Row("ASCII", kSendFirst, "한글")},
              CUserEngine::VIEW_ASCII);
    EXPECT_EQ(m_lines.back(), (Line{"AB", "4", "ASCII", "SEND"}));
    Receive("C7 D1 0D"_hex);
    EXPECT_EQ(m_lines[1], (Line{"한\r", "3", "ASCII", "REV"}));
    // Korean text goes out as its CP949 bytes.
    EXPECT_EQ(m_hub.m_sent.back(), "C7 D1 B1 DB"_hex);
    EXPECT_EQ(m_lines[2], (Line{"한글", "4", "ASCII", "SEND"}));
}

TEST_F(UserEngine, ReceiveFirstRowSendsOnlyAfterItsAnswer) {
    StartWith({Row("ASCII", kReceiveFirst, "OK", "1", "1000")}, CUserEngine::VIEW_ASCII);
    EXPECT_TRUE(m_hub.m_sent.empty());
    EXPECT_TRUE(m_lines.empty());
    Receive(ToBytes("?"));
    ASSERT_EQ(m_lines.size(), 2u);
    EXPECT_EQ(m_lines[0], (Line{"?", "1", "ASCII", "REV"}));
    EXPECT_EQ(m_lines[1], (Line{"OK", "2", "ASCII", "SEND"}));
    ASSERT_EQ(m_hub.m_sent.size(), 1u);
    EXPECT_EQ(m_hub.m_sent[0], "4F 4B"_hex);
}

TEST_F(UserEngine, ZeroCountCompletesOnTheFirstBlockAndRowsGoInFileOrder) {
    StartWith({Row("ASCII", kSendFirst, "first", "0"), Row("ASCII", kSendFirst, "second", "0")},
              CUserEngine::VIEW_ASCII);
    EXPECT_EQ(ToString(m_hub.m_sent.at(0)), "first");
    Receive(ToBytes("xyz"));
    EXPECT_EQ(m_lines[1], (Line{"xyz", "3", "ASCII", "REV"}));
    EXPECT_EQ(ToString(m_hub.m_sent.at(1)), "second");
    Receive(ToBytes("z"));
    EXPECT_EQ(ToString(m_hub.m_sent.at(2)), "first");
}

TEST_F(UserEngine, AnAnswerPastTheBufferKeepsItsFirstBytesAndSaysItsSize) {
    StartWith({Row("BINARY", kSendFirst, "01", "4096")}, CUserEngine::VIEW_BINARY);
    Bytes big(5000, 0xAB);
    Receive(Bytes(big.begin(), big.begin() + 3000));
    EXPECT_EQ(m_lines.size(), 1u);
    Receive(Bytes(big.begin() + 3000, big.end()));
    ASSERT_EQ(m_lines.size(), 3u);
    EXPECT_EQ(m_lines[1].m_strSize, "5000");
    EXPECT_EQ(m_lines[1].m_strData.size(), 2u * CUserEngine::kBufferMax);
}

TEST_F(UserEngine, NothingGoesWhileTheLinkIsDownOrAfterStop) {
    StartWith({Row("ASCII", kSendFirst, "a", "1", "0")}, CUserEngine::VIEW_ASCII);
    m_hub.m_bUp = false;
    Tick(5);
    Receive(ToBytes("b"));
    EXPECT_EQ(m_hub.m_sent.size(), 1u);
    m_hub.m_bUp = true;
    m_engine.Stop();
    EXPECT_FALSE(m_engine.IsTimerSet());
    Tick(5);
    Receive(ToBytes("b"));
    EXPECT_EQ(m_hub.m_sent.size(), 1u);
    EXPECT_EQ(m_lines.size(), 1u);
}

TEST_F(UserEngine, StartIsRefusedWithTheCause) {
    m_hub.m_bUp = false;
    EXPECT_EQ(m_engine.Start(0), 0);
    EXPECT_EQ(m_hub.m_messages.back(), CUserEngine::kNotConnected);

    m_hub.m_bUp = true;
    EXPECT_EQ(m_engine.Start(0), 0);
    EXPECT_TRUE(m_hub.m_messages.back().starts_with(CUserEngine::kIniFailed));

    const std::string big(CUserEngine::kMaxDataText + 1, 'x');
    struct Case {
        CellRow row;
        const char* cause;
    } cases[] = {
        {Row("BINARY", kSendFirst, "ABC"), "DATA"},
        {Row("BINARY", kSendFirst, "0G"), "DATA"},
        {Row("HEX", kSendFirst, "01"), "DATATYPE"},
        {Row("ASCII", "보내기", "01"), "SENDCHOOSE"},
        {Row("ASCII", kSendFirst, big), "DATA"},
        {Row("ASCII", kSendFirst, "a", "4097"), "SENDBYTE"},
        {Row("ASCII", kSendFirst, "a", "-1"), "SENDBYTE"},
        {Row("ASCII", kSendFirst, "a", ""), "SENDBYTE"},
        {Row("ASCII", kSendFirst, "a", "1", "1s"), "WAITTIME"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(CUserSettingsFile::SaveRows(CUserSettingsFile::CurrentPath(),
                                                {Row("ASCII", kSendFirst, "ok"), c.row}));
        m_hub.m_sent.clear();
        EXPECT_EQ(m_engine.Start(0), 0) << c.cause;
        EXPECT_TRUE(m_hub.m_sent.empty());
        const std::string& message = m_hub.m_messages.back();
        EXPECT_TRUE(message.starts_with(CUserEngine::kBadRow)) << message;
        EXPECT_NE(message.find("ROW 2 (USER_INI1): " + std::string(c.cause)), std::string::npos)
            << message;
    }
}

TEST(UserSettingsFile, SavedRowsEndWithAnEmptyDataTypeAndReadBack) {
    TempDir dir;
    const auto path = dir / "user_plc.ini";
    ASSERT_TRUE(CUserSettingsFile::SaveRows(path, {Row("BINARY", kSendFirst, "0203", "4")}));
    const std::string text = ReadFile(path);
    EXPECT_NE(text.find("[USER_INI0]"), std::string::npos);
    EXPECT_NE(text.find("SENDCHOOSE=" + CCp949::FromUtf8(kSendFirst)), std::string::npos);
    EXPECT_NE(text.find("[USER_INI1]\r\nDATATYPE=\r\n"), std::string::npos) << text;
    const auto rows = CUserSettingsFile::ReadRows(path);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].m_strData, "0203");
    EXPECT_EQ(rows[0].m_nReceiveCount, 4);
    EXPECT_EQ(rows[0].m_nWaitTime, 1000);
}

} // namespace
