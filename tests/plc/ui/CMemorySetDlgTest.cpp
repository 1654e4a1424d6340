#include "GuiTestSupport.h"

#include "plc/ui/CMemorySetDlg.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QString kNotInteger = QStringLiteral("정수를 입력하십시오.");
const QString kOutOfRange = QString::fromUtf8(CMemorySetDlg::kIndexOutOfRange);

} // namespace

TEST(MemorySetDlg, ShowsTheWordAndConfirmsSignedIntegers) {
    CMemorySetDlg dialog;
    dialog.SetValues(QStringLiteral("AN_YASKAWA_PLC"), 7, 65535);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("메모리 설정"));
    EXPECT_TRUE(dialog.NameEdit()->isReadOnly());
    EXPECT_EQ(dialog.NameEdit()->text(), QStringLiteral("AN_YASKAWA_PLC"));
    EXPECT_EQ(dialog.IndexEdit()->text(), QStringLiteral("7"));
    EXPECT_EQ(dialog.ValueEdit()->text(), QStringLiteral("65535"));

    dialog.show();
    dialog.IndexEdit()->setText(QStringLiteral(" 999 "));
    dialog.ValueEdit()->setText(QStringLiteral("-70000"));
    // Enter confirms wherever the focus is.
    QTest::keyClick(dialog.ValueEdit(), Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.m_nIndex, 999);
    EXPECT_EQ(dialog.m_nValue, -70000);
}

// A refused "확인" keeps the dialog open, says why and focuses the field;
// the values stay what they were.
TEST(MemorySetDlg, RefusesWhatIsNoWordOfTheTable) {
    struct Case {
        const char* m_szIndex;
        const char* m_szValue;
        QString m_strMessage;
        bool m_bIndexFocused;
    } const cases[] = {
        {"abc", "1", kNotInteger, true},  {"", "1", kNotInteger, true},
        {"3", "1.5", kNotInteger, false}, {"3", "4294967296", kNotInteger, false},
        {"1000", "1", kOutOfRange, true}, {"-1", "1", kOutOfRange, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_szIndex + std::string(" / ") + c.m_szValue);
        CMessageRecorder messages;
        CMemorySetDlg dialog;
        dialog.SetValues(QStringLiteral("AN_YASKAWA_PLC"), 5, 6);
        dialog.show();
        dialog.IndexEdit()->setText(QString::fromUtf8(c.m_szIndex));
        dialog.ValueEdit()->setText(QString::fromUtf8(c.m_szValue));
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("IDOK")), Qt::LeftButton);
        ASSERT_EQ(messages.m_messages.size(), 1U);
        EXPECT_EQ(messages.m_messages[0].m_strText, c.m_strMessage);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.focusWidget(),
                  c.m_bIndexFocused ? dialog.IndexEdit() : dialog.ValueEdit());
        EXPECT_EQ(dialog.m_nIndex, 5);
        EXPECT_EQ(dialog.m_nValue, 6);
    }
}
