#include "tools/ui/CHelpDlg.h"
#include "tools/CHelpTopics.h"

#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

Lines SplitCrLf(const std::string& text) {
    Lines lines;
    std::size_t at = 0;
    for (std::size_t eol; (eol = text.find("\r\n", at)) != std::string::npos; at = eol + 2)
        lines.push_back(text.substr(at, eol - at));
    return lines;
}

// Columns a line takes in a fixed-pitch view: Hangul and other wide
// characters two, the rest one.
int DisplayWidth(const std::string& line) {
    int width = 0;
    for (std::size_t i = 0; i < line.size();) {
        const auto lead = static_cast<unsigned char>(line[i]);
        int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t code = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (int k = 1; k < length; ++k)
            code = (code << 6) |
                   (static_cast<unsigned char>(line[i + static_cast<std::size_t>(k)]) & 0x3F);
        width += code >= 0x1100 ? 2 : 1;
        i += static_cast<std::size_t>(length);
    }
    return width;
}

bool IsHeading(const std::string& line) {
    return line.size() > 2 && line.front() == '<' && line.back() == '>';
}

const std::string kFirstStep = "우선 메뉴의 통신 설정에서 통신을 설정해주세요.";
const std::string kDescription = "<프로그램 설명>";
const std::string kUsage = "<프로그램 사용법>";
const std::string kGrid = "<보낼 데이터 편집 방법>";
const std::string kTree = "<트리 데이터 편집>";
const std::string kLed = "<LED>";
const std::string kRemark = "<부연>";

const Lines kUsageStart{kUsage, "", kFirstStep};
const Lines kPlcSections{kDescription, kUsage, kGrid, kTree, kLed, kRemark};
const Lines kPlainSections{kDescription, kUsage, kLed, kRemark};

const std::string kCommType = "COMMTYPE = 읽기 용인지 쓰기용인지 선택";
const std::string kDeviceType = "PLC DEVICE TYPE = WORD용인지 선택";
const std::string kCount = "DATA COUNT = PLC로 보낼 DEVICE의 갯수";
const std::string kIndex = "AN INDEX = 트리상에 나타난 인덱스";
const std::string kRtuSentence = "보낼 때 RTU 방식과 ASCII 방식 중 하나를 고를 수";

const Lines kMasterKColumns{kCommType,
                            "국번 = PLC 국번 (보통 0이나 1)",
                            kDeviceType,
                            "PLC DEVICE NAME = PLC 주소 이름",
                            "PLC ADDRESS = PLC 시작 주소",
                            kCount,
                            kIndex};

Lines WithPlcNumber(Lines columns) {
    columns.insert(columns.begin() + 2, "PLC 번호 = PLC 번호 (보통255)");
    return columns;
}

Lines GridBlock(const Lines& columns) {
    Lines block{"각 칸의 뜻은 다음과 같습니다."};
    block.insert(block.end(), columns.begin(), columns.end());
    block.push_back("");
    return block;
}

struct TopicCase {
    int m_nTopic;
    std::string m_strHeading;
    Lines m_sections;            // every heading after the topic's, in order
    std::vector<Lines> m_blocks; // runs of whole lines that must stand together, in order
    bool m_bRtu = false;         // the RTU/ASCII sentence is in the usage
};

std::vector<TopicCase> TopicCases() {
    return {
        {CHelpTopics::TOPIC_ANALYZER, "<QUILLET>", kPlainSections, {kUsageStart}},
        {CHelpTopics::TOPIC_YASKAWA,
         "<YASKAWA PLC>",
         kPlcSections,
         {kUsageStart, GridBlock({kCommType, "SLAVE ADDRESS = PLC로더에서 읽어 들임", kDeviceType,
                                  "PLC ADDRESS = PLC 시작 주소", kCount, kIndex})},
         true},
        {CHelpTopics::TOPIC_SIEMENS,
         "<SIMENS PLC>",
         kPlcSections,
         {kUsageStart,
          GridBlock({kCommType, kDeviceType, "DB = PLC의 DB의 값(PLC ADDRESS NAME과 비슷)",
                     "DW = PLC의 DW의 값(PLC ADDRESS INDEX와 비슷)", kCount, kIndex})}},
        {CHelpTopics::TOPIC_AB,
         "<AB PLC>",
         kPlcSections,
         {kUsageStart, GridBlock({kCommType, kDeviceType, "PLC DEVICE NAME = PLC 주소 이름",
                                  "SRC = PLC SRC(보통은 0)", "DST = PLC DST(보통은 0)",
                                  "PLC ADDRESS = PLC 시작 주소", kCount, kIndex})}},
        {CHelpTopics::TOPIC_MASTERK,
         "<MASTER-K PLC>",
         kPlcSections,
         {kUsageStart, GridBlock(kMasterKColumns)}},
        {CHelpTopics::TOPIC_POSFA,
         "<POSFA PLC>",
         kPlcSections,
         {kUsageStart,
          {"또한 LAN용 RS232C용 선택할 수 있습니다.", "", kGrid},
          GridBlock(WithPlcNumber(kMasterKColumns))}},
        {CHelpTopics::TOPIC_MELSEC,
         "<MELSEC PLC>",
         kPlcSections,
         {kUsageStart, GridBlock(WithPlcNumber(kMasterKColumns))}},
        {CHelpTopics::TOPIC_USER,
         "<USER 통신기>",
         {kDescription, kUsage, kGrid, kLed, kRemark},
         {kUsageStart,
          GridBlock({"SEND DATA TYPE = 보내는 데이터(ASCII/BINARY)선택",
                     "SEND CHOOSE = 데이터를 먼저 보내고 데이터 받을",
                     "              지 먼저 받고 데이터 받을지 결정",
                     "SEND DATA = 보내는 데이터의 값", "REV BYTE = 받을 데이터의 바이트 사이즈",
                     "WAIT TIME = 기다리는 시간( 1초 = 1000 ms )"})}},
        {CHelpTopics::TOPIC_FILESEND, "<파일전송>", kPlainSections, {kUsageStart}},
        {CHelpTopics::TOPIC_CHAT, "<채팅 방법>", kPlainSections, {kUsageStart}},
        {CHelpTopics::TOPIC_AUTHOR, "<만든이>", {}, {{"기획 : Quillet 개발팀"}}},
        {CHelpTopics::TOPIC_OTHER,
         "<기타>",
         {"<메뉴 - 파일>", "<메뉴 - 통신설정>", "<메뉴 - 화면설정>", "<메뉴 - 화면상태>",
          "<메뉴 - 프로토콜>", "<메뉴 - HELP>"},
         {{"<메뉴 - 통신설정>", "", "COM(RS232C) - RS232C 통신 설정",
           "TCP/IP SERVER - TCP/IP SERVER 통신 설정", "TCP/IP CLIENT - TCP/IP CLIENT 통신 설정",
           "UDP/IP - UDP로 통신 설정", "IPX/SPX SERVER - IPX/SPX SERVER 통신 설정",
           "IPX/SPX CLIENT - IPX/SPX CLIENT 통신 설정", ""},
          {"<메뉴 - 화면설정>", "", "화면 이동을 위해 사용되는 메뉴입니다.", ""},
          {"<메뉴 - 화면상태>", "", "화면을 REFRESH/CLEAR 할 수 있습니다.", ""},
          {"(주의)FILESEND화면에서는 작동을 안합니다.", ""},
          {"<메뉴 - HELP>", "", "도움말 관련된 메뉴입니다."}}},
    };
}

// Where block starts in lines at or after from; npos when it is not there.
std::size_t FindBlock(const Lines& lines, const Lines& block, std::size_t from) {
    for (std::size_t at = from; at + block.size() <= lines.size(); ++at) {
        bool bMatch = true;
        for (std::size_t k = 0; k < block.size() && bMatch; ++k)
            bMatch = lines[at + k] == block[k];
        if (bMatch)
            return at;
    }
    return std::string::npos;
}

QString Shown(int topic) {
    return QString::fromStdString(CHelpTopics::Text(topic))
        .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace

TEST(HelpTopics, EveryTopicHasTheFixedShapeAndItsOwnLines) {
    const std::vector<TopicCase> cases = TopicCases();
    ASSERT_EQ(cases.size(), static_cast<std::size_t>(CHelpTopics::TOPIC_COUNT));
    for (const TopicCase& c : cases) {
        SCOPED_TRACE(c.m_strHeading);
        const std::string text = CHelpTopics::Text(c.m_nTopic);
        ASSERT_GE(text.size(), 4u);
        EXPECT_EQ(text.substr(0, 2), "\r\n");
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n') {
                ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at " << i;
            }
            if (text[i] == '\r') {
                ASSERT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "bare CR at " << i;
            }
        }

        const Lines lines = SplitCrLf(text);
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines[1], c.m_strHeading);
        EXPECT_EQ(CHelpTopics::Heading(c.m_nTopic), c.m_strHeading);

        Lines sections;
        for (std::size_t i = 1; i < lines.size(); ++i) {
            const std::string& line = lines[i];
            EXPECT_LE(DisplayWidth(line), 50) << line;
            EXPECT_FALSE(line.empty() && lines[i - 1].empty()) << "two empty lines at " << i;
            if (IsHeading(line)) {
                ASSERT_LT(i + 1, lines.size());
                EXPECT_EQ(lines[i + 1], "") << "after " << line;
                if (i > 1) {
                    EXPECT_EQ(lines[i - 1], "") << "before " << line;
                    sections.push_back(line);
                }
            }
        }
        EXPECT_NE(lines.back(), "");
        EXPECT_EQ(sections, c.m_sections);

        std::size_t from = 0;
        for (const Lines& block : c.m_blocks) {
            const std::size_t at = FindBlock(lines, block, from);
            ASSERT_NE(at, std::string::npos) << "missing or out of order: " << block.front();
            from = at + block.size();
        }
        const bool bRtu = text.find(kRtuSentence) != std::string::npos;
        EXPECT_EQ(bRtu, c.m_bRtu);
    }
    EXPECT_EQ(CHelpTopics::Text(CHelpTopics::TOPIC_COUNT), "");
    EXPECT_EQ(CHelpTopics::Text(-1), "");
}

class HelpDlgTest : public ::testing::Test {
protected:
    void ShowIt() {
        m_dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_dlg));
    }
    QString Text() const { return m_dlg.TextBox()->toPlainText(); }

    CHelpDlg m_dlg;
};

TEST_F(HelpDlgTest, OpensOnTheAnalyzerWithItsButtonFocusedAndTheButtonsInTheirPlaces) {
    struct Button {
        int m_nId;
        QString m_strCaption;
    };
    const std::vector<Button> expected{{1061, "ANALYZER"}, {1062, "YASKAWA"},  {1063, "SIEMENS"},
                                       {1064, "AB"},       {1065, "MASTERK"},  {1066, "POSFA"},
                                       {1067, "MELSEC"},   {1068, "사용자용"}, {1071, "파일전송"},
                                       {1069, "채팅"},     {1072, "만든이"},   {1070, "기타"}};
    EXPECT_FALSE(m_dlg.isVisible());
    ShowIt();
    EXPECT_EQ(m_dlg.windowTitle(), QStringLiteral("HELP"));
    EXPECT_FALSE(m_dlg.isModal());
    EXPECT_EQ(Text(), Shown(CHelpTopics::TOPIC_ANALYZER));
    EXPECT_EQ(m_dlg.focusWidget(), m_dlg.TopicButton(CHelpTopics::TOPIC_ANALYZER));

    int nLastY = -1;
    for (int topic = 0; topic < CHelpTopics::TOPIC_COUNT; ++topic) {
        QPushButton* button = m_dlg.findChild<QPushButton*>(
            QString::number(expected[static_cast<std::size_t>(topic)].m_nId));
        ASSERT_NE(button, nullptr) << topic;
        EXPECT_EQ(button, m_dlg.TopicButton(topic));
        EXPECT_EQ(button->text(), expected[static_cast<std::size_t>(topic)].m_strCaption);
        EXPECT_GT(button->y(), nLastY) << "buttons out of order at " << topic;
        EXPECT_LT(button->x() + button->width(), m_dlg.TextBox()->x());
        nLastY = button->y();
    }

    QPlainTextEdit* box = m_dlg.findChild<QPlainTextEdit*>(QStringLiteral("1041"));
    ASSERT_EQ(box, m_dlg.TextBox());
    EXPECT_TRUE(box->isReadOnly());
    EXPECT_EQ(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(box->palette().color(QPalette::Base), QColor(133, 133, 214));
    EXPECT_FALSE(Text().contains(QLatin1Char('\r')));
}

TEST_F(HelpDlgTest, EnterIsSwallowedWhereverTheFocusIs) {
    ShowIt();
    const QString before = Text();
    // A focused button that Enter pressed would switch the topic.
    QPushButton* other = m_dlg.TopicButton(CHelpTopics::TOPIC_SIEMENS);
    for (QWidget* target : {static_cast<QWidget*>(m_dlg.TopicButton(CHelpTopics::TOPIC_ANALYZER)),
                            static_cast<QWidget*>(other), static_cast<QWidget*>(m_dlg.TextBox()),
                            static_cast<QWidget*>(&m_dlg)}) {
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter);
        EXPECT_TRUE(m_dlg.isVisible()) << target->objectName().toStdString();
        EXPECT_EQ(m_dlg.GetTopic(), CHelpTopics::TOPIC_ANALYZER);
        EXPECT_EQ(Text(), before);
    }
}

TEST_F(HelpDlgTest, EveryButtonShowsItsTopicWholeAndOnlyOnce) {
    ShowIt();
    for (int topic = CHelpTopics::TOPIC_COUNT - 1; topic >= 0; --topic) {
        for (int press = 0; press < 2; ++press) {
            QTest::mouseClick(m_dlg.TopicButton(topic), Qt::LeftButton);
            EXPECT_EQ(m_dlg.GetTopic(), topic);
            EXPECT_EQ(Text(), Shown(topic)) << topic << " press " << press;
        }
    }
}

TEST_F(HelpDlgTest, ClosingOnlyHidesAndTheNextShowKeepsTheTopic) {
    ShowIt();
    QTest::mouseClick(m_dlg.TopicButton(CHelpTopics::TOPIC_OTHER), Qt::LeftButton);
    QPointer<CHelpDlg> alive(&m_dlg);
    EXPECT_TRUE(m_dlg.close());
    QCoreApplication::processEvents();
    ASSERT_FALSE(alive.isNull());
    EXPECT_FALSE(m_dlg.isVisible());

    ShowIt();
    EXPECT_EQ(m_dlg.GetTopic(), CHelpTopics::TOPIC_OTHER);
    EXPECT_EQ(Text(), Shown(CHelpTopics::TOPIC_OTHER));

    // Escape closes the same way.
    QTest::keyClick(&m_dlg, Qt::Key_Escape);
    EXPECT_FALSE(m_dlg.isVisible());
    ShowIt();
    EXPECT_EQ(Text(), Shown(CHelpTopics::TOPIC_OTHER));
}
