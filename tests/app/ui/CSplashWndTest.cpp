#include "app/ui/CSplashWnd.h"
#include "widgets/CArtwork.h"

#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

TEST(SplashWnd, ShowsThePictureAndGoesAfterASecondOrAtAPress) {
    QPointer<CSplashWnd> timed = new CSplashWnd;
    timed->ShowSplash();
    EXPECT_TRUE(timed->isVisible());
    EXPECT_EQ(timed->size(), QSize(CArtwork::SPLASH_WIDTH, CArtwork::SPLASH_HEIGHT));
    EXPECT_TRUE(timed->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(QTest::qWaitFor([&] { return timed.isNull(); }, 10000));

    // A key pressed in another window of the program closes it too.
    QWidget other;
    other.show();
    for (int event : {0, 1}) {
        QPointer<CSplashWnd> pressed = new CSplashWnd;
        pressed->ShowSplash();
        if (event == 0)
            QTest::keyClick(&other, Qt::Key_Space);
        else
            QTest::mouseClick(&other, Qt::RightButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return pressed.isNull(); }, 500)) << event;
    }
}
