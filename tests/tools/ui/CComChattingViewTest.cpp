#include "GuiTestSupport.h"

#include "tools/ui/CComChattingView.h"

#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

QStringList Lines(const CComChattingView& view) {
    QStringList lines;
    for (int i = 0; i < view.List()->topLevelItemCount(); ++i)
        lines << view.List()->topLevelItem(i)->text(0);
    return lines;
}

void Receive(CTestScreenHost& host, const std::string& bytes) {
    host.m_hub.DispatchReceived(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                static_cast<int>(bytes.size()));
}

TEST(ChattingView, EnterSendsTheTextAsACp949LineAndReceivedLinesFollow) {
    CMessageRecorder messages;
    CTestScreenHost host;
    CComChattingView view(host);
    host.m_hub.SetActiveScreen(&view);
    view.InitialUpdate();
    EXPECT_EQ(host.m_hub.GetScreen(), 9);
    EXPECT_TRUE(view.IsSilenceTimerActive());
    EXPECT_EQ(Lines(view), QStringList{"안녕하세요 채팅창 입니다."});

    // Link down: refused, the text stays.
    view.Edit()->setText(QStringLiteral("안녕"));
    QTest::keyClick(view.Edit(), Qt::Key_Return);
    ASSERT_EQ(messages.m_messages.size(), 1u);
    EXPECT_EQ(messages.m_messages[0].m_strText,
              QStringLiteral("통신 설정을 안했거나 통신이 실패한 상태입니다."));
    EXPECT_EQ(view.Edit()->text(), QStringLiteral("안녕"));

    LinkSettings settings;
    host.m_hub.SetupLink(1, &settings);
    host.m_hub.SetLinkUp(true);
    QTest::keyClick(view.Edit(), Qt::Key_Return);
    ASSERT_EQ(host.m_control.m_sent.size(), 1u);
    EXPECT_EQ(host.m_control.m_sent[0],
              (std::vector<std::uint8_t>{0xBE, 0xC8, 0xB3, 0xE7, 0x0D, 0x0A}));
    EXPECT_TRUE(view.Edit()->text().isEmpty());
    // Enter on the empty box sends nothing.
    QTest::keyClick(&view, Qt::Key_Return);
    EXPECT_EQ(host.m_control.m_sent.size(), 1u);

    Receive(host, "ab\r\ncd\r\nef");
    for (int i = 0; i < 7; ++i)
        view.OnSilenceTimer();
    EXPECT_EQ(Lines(view), (QStringList{"안녕하세요 채팅창 입니다.", "[나....] : 안녕",
                                        "[상대편] : ab", "[상대편] : cd", "[상대편] : ef"}));

    view.OnClear();
    EXPECT_EQ(Lines(view), QStringList{"안녕하세요 채팅창 입니다."});
    host.m_hub.SetActiveScreen(nullptr);
}

} // namespace
