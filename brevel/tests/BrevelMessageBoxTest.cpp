// The control's message boxes: the text for each line error, and a host that
// deletes the control while one of its real boxes is open.

#include "CPtyPair.h"
#include "CRecordingBrevel.h"
#include "MSComm.h"

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

namespace {

constexpr int kWaitMs = 10000; // generous: the suite also runs under ASan on 2 busy cores

TEST(BrevelMessageBox, EachLineErrorHasItsText) {
    struct Case {
        int nEvent;
        QString strText; // empty: no box
    };
    const QList<Case> cases = {
        {MSComm::comEventBreak, QStringLiteral("중지 신호 수신")},
        {MSComm::comEventCTSTO, QStringLiteral("CTS 시간 초과")},
        {MSComm::comEventDSRTO, QStringLiteral("DSR 시간 초과")},
        {MSComm::comEventFrame, QStringLiteral("프레이밍 오류")},
        {MSComm::comEventOverrun, QStringLiteral("데이터 손실")},
        {MSComm::comEventCDTO, QStringLiteral("CD (RLSD) 시간 초과")},
        {MSComm::comEventRxOver, QStringLiteral("수신 버퍼 초과")},
        {MSComm::comEventRxParity, QStringLiteral("패리티 오류")},
        {MSComm::comEventTxFull, QStringLiteral("전송 버퍼 꽉 참")},
        {MSComm::comEventDCB, QStringLiteral("DCB 검색 중 예기치 못한 오류")},
        {MSComm::comEvEOF, {}},
        {1005, {}},
        {0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nEvent);
        CRecordingBrevel brevel;
        brevel.HandleCommEvent(c.nEvent);
        EXPECT_EQ(brevel.m_messages, c.strText.isEmpty() ? QStringList{} : QStringList{c.strText});
        EXPECT_EQ(brevel.m_events, QStringList{});
    }
}

// A host that deletes the control from DataReceive, and a box showing.
class CHostedBrevel : public Brevel {
public:
    using Brevel::HandleCommEvent;
};

TEST(BrevelMessageBox, TheHostMayDeleteTheControlWhileItsBoxIsOpen) {
    struct Case {
        const char* pszName;
        std::function<void(CHostedBrevel&)> showBox; // returns when the box is closed
    };
    const QList<Case> cases = {
        {"buffer overflow box",
         [](CHostedBrevel& brevel) { brevel.HandleCommEvent(MSComm::comEventRxOver); }},
        {"box of opening an open port", [](CHostedBrevel& brevel) { brevel.PortOpen(true); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszName);
        CPtyPair pty;
        ASSERT_TRUE(pty.IsOpen());
        qputenv("BREVEL_COM7", pty.SlavePath().toLocal8Bit());

        QPointer<CHostedBrevel> pBrevel = new CHostedBrevel;
        pBrevel->setCommPort(7);
        ASSERT_TRUE(pBrevel->PortOpen(true));
        QStringList events;
        bool bBoxWasOpen = false;
        QObject::connect(pBrevel, &Brevel::DataReceive, [&](const QString& strData) {
            events.append(strData);
            bBoxWasOpen = QApplication::activeModalWidget() != nullptr;
            delete pBrevel.data();
        });

        // Bytes come in once the box runs; the box is closed once the
        // control is gone, or after a long wait.
        QTimer::singleShot(0, [&pty] { pty.Send("ab"); });
        QElapsedTimer clock;
        clock.start();
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            QWidget* pModal = QApplication::activeModalWidget();
            if (pModal && (pBrevel.isNull() || clock.elapsed() > kWaitMs))
                pModal->close();
        });
        closer.start(20);

        c.showBox(*pBrevel); // the control may be gone when this returns
        closer.stop();

        EXPECT_TRUE(pBrevel.isNull());
        EXPECT_EQ(events, QStringList{QStringLiteral("ab")});
        EXPECT_TRUE(bBoxWasOpen);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        delete pBrevel.data();
        qunsetenv("BREVEL_COM7");
    }
}

} // namespace
