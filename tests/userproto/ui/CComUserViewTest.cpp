#include "GuiTestSupport.h"
#include "TestFiles.h"

#include "plc/ui/CRequestGrid.h"
#include "userproto/CUserSettingsFile.h"
#include "userproto/ui/CComUserView.h"

#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

// The screen in a fresh current directory over a fake link that is up.
class UserView : public ::testing::Test {
protected:
    UserView() : m_old(std::filesystem::current_path()) {
        std::filesystem::current_path(m_dir.Path());
        LinkSettings settings;
        m_host.m_hub.SetupLink(1, &settings);
        m_host.m_hub.SetLinkUp(true);
        m_host.m_hub.SetActiveScreen(&m_view);
        m_view.InitialUpdate();
    }
    ~UserView() override {
        m_host.m_hub.SetActiveScreen(nullptr);
        std::filesystem::current_path(m_old);
    }

    QStringList Line(int row) const {
        QStringList texts;
        const QTreeWidgetItem* item = m_view.Packets()->topLevelItem(row);
        for (int c = 0; item && c < 4; ++c)
            texts << item->text(c);
        return texts;
    }
    void Receive(const std::string& bytes) {
        m_host.m_hub.DispatchReceived(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                      static_cast<int>(bytes.size()));
    }

    TempDir m_dir;
    std::filesystem::path m_old;
    CMessageRecorder m_messages;
    CTestScreenHost m_host;
    CComUserView m_view{m_host};
};

TEST_F(UserView, SendRunsTheGridsRowsAndListsPacketsNewestOnTop) {
    EXPECT_EQ(m_host.m_hub.GetScreen(), 7);
    EXPECT_EQ(Line(0).value(0), QStringLiteral("안녕하세요 사용자 창입니다."));
    EXPECT_FALSE(m_view.Button(CComUserView::IDC_STOP)->isEnabled());

    m_view.Grid()->SetRowCount(1);
    for (int c = 0; c < 5; ++c)
        m_view.Grid()->SetCellText(
            c, 0, QStringList{"BINARY", "먼저보내기", "0203", "4", "1000"}.value(c));
    m_view.findChild<QRadioButton*>(QString::number(CComUserView::IDC_VIEW_BINARY))->click();
    m_view.OnSend();
    ASSERT_TRUE(m_messages.m_messages.empty()) << m_messages.m_messages[0].m_strText.toStdString();
    EXPECT_TRUE(m_view.IsEngineTimerActive());
    EXPECT_FALSE(m_view.Grid()->isEnabled() && m_view.Button(CComUserView::IDC_SEND)->isEnabled());
    ASSERT_EQ(m_host.m_control.m_sent.size(), 1u);
    EXPECT_EQ(m_host.m_control.m_sent[0], (std::vector<std::uint8_t>{2, 3}));
    EXPECT_EQ(Line(0), (QStringList{"0203", "2", "BINARY", "SEND"}));
    // The rows went to the file the engine read.
    EXPECT_EQ(CUserSettingsFile::LoadRows(m_view.GetSettingsPath()).size(), 1u);

    Receive("\x10\x20\x30\x40");
    EXPECT_EQ(Line(1), (QStringList{"10203040", "4", "BINARY", "REV"}));
    EXPECT_EQ(Line(0), (QStringList{"0203", "2", "BINARY", "SEND"}));

    // CLEAR while running only empties the list.
    m_view.OnClear();
    ASSERT_EQ(m_view.Packets()->topLevelItemCount(), 1);
    Receive("abcd");
    EXPECT_EQ(Line(1).value(3), QStringLiteral("REV"));
    EXPECT_EQ(Line(0).value(3), QStringLiteral("SEND"));

    m_view.OnStop();
    EXPECT_FALSE(m_view.IsEngineTimerActive());
    EXPECT_TRUE(m_view.Button(CComUserView::IDC_SEND)->isEnabled());
}

TEST_F(UserView, RefusedStartReturnsToTheStoppedStateWithTheMessage) {
    m_host.m_hub.SetLinkUp(false);
    m_view.Grid()->SetRowCount(1);
    m_view.Grid()->SetCellText(2, 0, QStringLiteral("hello"));
    m_view.OnSend();
    ASSERT_EQ(m_messages.m_messages.size(), 1u);
    EXPECT_EQ(m_messages.m_messages[0].m_strText, QStringLiteral("통신이 연결되지 않았습니다."));
    EXPECT_TRUE(m_view.Button(CComUserView::IDC_SEND)->isEnabled());
    EXPECT_FALSE(m_view.Button(CComUserView::IDC_STOP)->isEnabled());
    EXPECT_TRUE(m_host.m_control.m_sent.empty());
}

} // namespace
