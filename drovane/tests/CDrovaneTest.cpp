#include "CDrovane.h"
#include "CQtDrovaneUi.h"
#include "CRecordingUi.h"
#include "CScriptedConnector.h"
#include "QStringPrinter.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

const QString kPath = QStringLiteral("\\\\plc-server\\logs");

// The texts of the message boxes, written out once here as a person reads them.
QString Msg(int nCode) {
    switch (nCode) {
    case 5:
        return kPath + QStringLiteral("는\r\n접근이 불가능 합니다.");
    case 66:
        return kPath + QStringLiteral("는 \r\n장치 유형과 자원 유형이 일치하지 않습니다.");
    case 85:
        return kPath + QStringLiteral("는 \r\n이미 연결되어 있습니다.");
    case 86:
        return kPath + QStringLiteral("는 \r\n암호가 유효하지 않습니다.");
    case 1203:
        return QStringLiteral("네트워크 상의 컴퓨터가 작동주이지 않거나 사용할 수 없습니다.");
    case 1206:
        return QStringLiteral("접속자 이름이 잘못되었습니다.");
    case 1208:
        return QStringLiteral("네트워크 상에 오류가 발생되었습니다.");
    case 1222:
        return kPath + QStringLiteral("라는\r\n네트워크가 존재하지 않습니다.");
    }
    return QString();
}

struct Fixture {
    CScriptedConnector connector;
    CRecordingUi ui;
    CDrovane drovane{connector, ui};

    int Connect(const QString& strLocal = QStringLiteral("Z:")) {
        return drovane.Connection(kPath, strLocal, QStringLiteral("operator"),
                                  QStringLiteral("wrong"));
    }
};

// The first attempt: codes that end it, with their message or none.
struct FirstCase {
    int nCode;
    QStringList events;
};

void PrintTo(const FirstCase& c, std::ostream* pOut) {
    *pOut << "code " << c.nCode;
}

class FirstAttempt : public ::testing::TestWithParam<FirstCase> {};

TEST_P(FirstAttempt, EndsWithItsMessageAndNoRetry) {
    const FirstCase& c = GetParam();
    Fixture f;
    f.connector.m_first = {c.nCode};
    const int nResult = f.Connect(QStringLiteral("Z"));

    EXPECT_EQ(nResult, c.nCode == 0 ? 1 : 2);
    EXPECT_EQ(f.drovane.IsConnected(), c.nCode == 0);
    EXPECT_EQ(f.ui.m_events, c.events);
    ASSERT_EQ(f.connector.m_calls.size(), 1);
    const CScriptedConnector::Call& call = f.connector.m_calls[0];
    EXPECT_FALSE(call.m_bSecond);
    EXPECT_EQ(call.m_strRemote, kPath);
    EXPECT_EQ(call.m_strLocal, QStringLiteral("Z")); // exactly as given, no colon added
    EXPECT_TRUE(call.m_strPassword.isEmpty());       // the current user's own log-on
}

INSTANTIATE_TEST_SUITE_P(Codes, FirstAttempt,
                         ::testing::Values(FirstCase{0, {}}, FirstCase{5, {Msg(5)}},
                                           FirstCase{66, {Msg(66)}}, FirstCase{85, {Msg(85)}},
                                           FirstCase{1203, {Msg(1203)}},
                                           FirstCase{1208, {Msg(1208)}},
                                           FirstCase{1222, {Msg(1222)}}, FirstCase{53, {}},
                                           FirstCase{1326, {}}));

// Every code that asks for other credentials leads to the retry, which
// connects with the caller's user name and password.
TEST(Retry, FollowsEachRetryCodeWithTheCallersCredentials) {
    for (int nFirst : {67, 86, 1200, 1205, 1206}) {
        SCOPED_TRACE(nFirst);
        Fixture f;
        f.connector.m_first = {nFirst};
        f.connector.m_second = {0};
        EXPECT_EQ(f.Connect(), 1);
        EXPECT_TRUE(f.drovane.IsConnected());
        EXPECT_TRUE(f.ui.m_events.isEmpty());
        ASSERT_EQ(f.connector.m_calls.size(), 2);
        const CScriptedConnector::Call& call = f.connector.m_calls[1];
        ASSERT_TRUE(call.m_bSecond);
        EXPECT_EQ(call.m_strUser, QStringLiteral("operator"));
        EXPECT_EQ(call.m_strPassword, QStringLiteral("wrong"));
        EXPECT_EQ(call.m_nFlags, 1u);
        const NetResource& r = call.m_resource;
        EXPECT_EQ(r.m_nScope, 2);
        EXPECT_EQ(r.m_nType, 0);
        EXPECT_EQ(r.m_nDisplayType, 3);
        EXPECT_EQ(r.m_nUsage, 0);
        EXPECT_EQ(r.m_strLocalName, QStringLiteral("Z:"));
        EXPECT_EQ(r.m_strRemoteName, kPath);
        EXPECT_TRUE(r.m_strComment.isNull());
        EXPECT_TRUE(r.m_strProvider.isNull());
    }
}

TEST(Retry, AddsTheColonOnlyWhereItIsMissing) {
    const struct {
        const char* pszGiven;
        const char* pszFirst;
        const char* pszRetry;
    } rows[] = {{"Z", "Z", "Z:"}, {"Z:", "Z:", "Z:"}, {"y", "y", "y:"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pszGiven);
        Fixture f;
        f.connector.m_first = {1200};
        f.Connect(QString::fromLatin1(row.pszGiven));
        ASSERT_EQ(f.connector.m_calls.size(), 2);
        EXPECT_EQ(f.connector.m_calls[0].m_strLocal, QString::fromLatin1(row.pszFirst));
        EXPECT_EQ(f.connector.m_calls[1].m_strLocal, QString::fromLatin1(row.pszRetry));
        EXPECT_EQ(f.drovane.Local(), QString::fromLatin1(row.pszGiven));
    }
}

// The retry's failures: the same messages as the first attempt, and for the
// codes that need other credentials, the form with the focus on the box at fault.
struct RetryCase {
    int nCode;
    QStringList events;
};

void PrintTo(const RetryCase& c, std::ostream* pOut) {
    *pOut << "code " << c.nCode;
}

class RetryFailure : public ::testing::TestWithParam<RetryCase> {};

TEST_P(RetryFailure, ShowsItsMessageAndFocus) {
    const RetryCase& c = GetParam();
    Fixture f;
    f.connector.m_first = {86};
    f.connector.m_second = {c.nCode};
    EXPECT_EQ(f.Connect(), 2);
    EXPECT_FALSE(f.drovane.IsConnected());
    EXPECT_EQ(f.ui.m_events, c.events);
    EXPECT_EQ(f.connector.m_calls.size(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, RetryFailure,
    ::testing::Values(RetryCase{5, {Msg(5)}}, RetryCase{66, {Msg(66)}}, RetryCase{85, {Msg(85)}},
                      RetryCase{1203, {Msg(1203)}}, RetryCase{1208, {Msg(1208)}},
                      RetryCase{1222, {Msg(1222)}}, RetryCase{67, {}}, RetryCase{1200, {}},
                      RetryCase{1326, {}},
                      RetryCase{86, {Msg(86), QStringLiteral("[form pass:wrong]")}},
                      RetryCase{1205, {QStringLiteral("[form user:operator]")}},
                      RetryCase{1206, {Msg(1206), QStringLiteral("[form user:operator]")}}));

// The person at the form tries again with other credentials and connects:
// the form hides itself and the caller learns of the connection.
TEST(Form, ConnectsWithItsBoxesAndHides) {
    Fixture f;
    f.connector.m_first = {86};
    f.connector.m_second = {86, 0};
    f.ui.m_script = [&](frmConnection& form) {
        EXPECT_EQ(form.Text1(0)->text(), QStringLiteral("operator"));
        form.Text1(0)->setText(QStringLiteral("admin"));
        form.Text1(1)->setText(QStringLiteral("secret"));
        form.Command1()->click();
        EXPECT_FALSE(form.isVisible());
    };
    EXPECT_EQ(f.Connect(), 1);
    EXPECT_TRUE(f.drovane.IsConnected());
    EXPECT_FALSE(f.ui.m_bFormLeftOpen);
    ASSERT_EQ(f.connector.m_calls.size(), 3);
    const CScriptedConnector::Call& call = f.connector.m_calls[2];
    EXPECT_TRUE(call.m_bSecond);
    EXPECT_EQ(call.m_strUser, QStringLiteral("admin"));
    EXPECT_EQ(call.m_strPassword, QStringLiteral("secret"));
    EXPECT_EQ(call.m_strLocal, QStringLiteral("Z:"));
    EXPECT_EQ(call.m_nFlags, 1u);
    // The caller's own strings stay as they were given.
    EXPECT_EQ(f.drovane.Pass(), QStringLiteral("wrong"));
}

// Failures from the form keep it open with the same messages and focus moves,
// until "취 소" hides it; the caller then learns nothing got connected.
TEST(Form, StaysOpenOnFailuresUntilCancelled) {
    Fixture f;
    f.connector.m_first = {1205};
    f.connector.m_second = {1205, 86, 1206, 1222};
    QStringList focus;
    f.ui.m_script = [&](frmConnection& form) {
        form.Text1(1)->setText(QStringLiteral("guess"));
        for (int i = 0; i < 3; ++i) {
            form.Command1()->click();
            EXPECT_TRUE(form.isVisible());
            focus << CRecordingUi::FocusOf(form);
        }
        form.Command2()->click();
        EXPECT_FALSE(form.isVisible());
    };
    EXPECT_EQ(f.Connect(), 2);
    EXPECT_FALSE(f.drovane.IsConnected());
    EXPECT_EQ(f.ui.m_events,
              (QStringList{QStringLiteral("[form user:operator]"), Msg(86), Msg(1206), Msg(1222)}));
    EXPECT_EQ(focus, (QStringList{QStringLiteral("pass:guess"), QStringLiteral("user:operator"),
                                  QStringLiteral("user:operator")}));
    EXPECT_EQ(f.connector.m_calls.size(), 5);
}

// A failing platform call is shown with its own description; Connection
// still returns 2 and the state stays unconnected.
TEST(Errors, AreShownWithTheirDescription) {
    const QString strDescription = QStringLiteral("mpr.dll 호출이 실패했습니다");
    for (const auto& [first, second] :
         {std::pair{QList<int>{-1}, QList<int>{}}, std::pair{QList<int>{86}, QList<int>{-1}}}) {
        Fixture f;
        f.connector.m_first = first;
        f.connector.m_second = second;
        EXPECT_EQ(f.Connect(), 2);
        EXPECT_FALSE(f.drovane.IsConnected());
        EXPECT_EQ(f.ui.m_events, QStringList{strDescription});
    }
}

TEST(Errors, FromTheFormAreShownAndKeepItOpen) {
    Fixture f;
    f.connector.m_first = {86};
    f.connector.m_second = {86, -1};
    f.ui.m_script = [&](frmConnection& form) {
        form.Command1()->click();
        EXPECT_TRUE(form.isVisible());
    };
    EXPECT_EQ(f.Connect(), 2);
    EXPECT_EQ(f.ui.m_events.last(), QStringLiteral("mpr.dll 호출이 실패했습니다"));
}

// The strings of the last call are kept; FirstConnection reruns with them.
TEST(State, FirstConnectionUsesTheLastCallsStrings) {
    Fixture f;
    f.connector.m_first = {53, 0};
    EXPECT_EQ(f.Connect(), 2);
    EXPECT_EQ(f.drovane.Path(), kPath);
    EXPECT_EQ(f.drovane.User(), QStringLiteral("operator"));
    EXPECT_TRUE(f.drovane.FirstConnection());
    EXPECT_TRUE(f.drovane.IsConnected());
    ASSERT_EQ(f.connector.m_calls.size(), 2);
    EXPECT_EQ(f.connector.m_calls[1].m_strRemote, kPath);
    EXPECT_EQ(f.connector.m_calls[1].m_strLocal, QStringLiteral("Z:"));
}

TEST(FormWidget, HasItsCaptionsAndMasksThePassword) {
    frmConnection form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("네트워크 연결"));
    EXPECT_EQ(form.Label1(0)->text(), QStringLiteral("접속자 이름"));
    EXPECT_EQ(form.Label1(1)->text(), QStringLiteral("접속할 암호"));
    EXPECT_EQ(form.Command1()->text(), QStringLiteral("연 결"));
    EXPECT_EQ(form.Command2()->text(), QStringLiteral("취 소"));
    form.Text1(0)->setText(QStringLiteral("admin"));
    form.Text1(1)->setText(QStringLiteral("비밀abc"));
    form.show();
    EXPECT_EQ(form.Text1(0)->displayText(), QStringLiteral("admin"));
    EXPECT_EQ(form.Text1(1)->displayText(), QStringLiteral("*****"));
    form.Command2()->click();
    EXPECT_FALSE(form.isVisible());
}

// The real user interface: a modal box that waits for its OK, and the form
// run modally until one of its buttons hides it.
TEST(QtUi, WaitsForTheBoxAndTheForm) {
    CQtDrovaneUi ui;
    QString strTitle;
    QString strText;
    QTimer::singleShot(0, [&] {
        auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(pBox, nullptr);
        strTitle = pBox->windowTitle();
        strText = pBox->text();
        pBox->button(QMessageBox::Ok)->click();
    });
    ui.ShowMessage(Msg(85));
    EXPECT_EQ(strTitle, QStringLiteral("Drovane"));
    EXPECT_EQ(strText, Msg(85));

    CScriptedConnector connector;
    CDrovane drovane(connector, ui);
    connector.m_second = {0};
    QTimer::singleShot(0, [&] {
        EXPECT_EQ(QApplication::activeModalWidget(), &drovane.Form());
        drovane.Form().Command1()->click();
    });
    ui.RunForm(drovane.Form());
    EXPECT_FALSE(drovane.Form().isVisible());
    EXPECT_TRUE(drovane.IsConnected());
}

} // namespace
