#include "app/ui/CSplashWnd.h"

#include "widgets/CArtwork.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

CSplashWnd::CSplashWnd(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(CArtwork::SPLASH_WIDTH, CArtwork::SPLASH_HEIGHT);
    m_timer.setSingleShot(true);
    m_timer.setInterval(SHOW_MS);
    connect(&m_timer, &QTimer::timeout, this, &CSplashWnd::HideSplash);
}

void CSplashWnd::ShowSplash() {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    qApp->installEventFilter(this);
    show();
    m_timer.start();
}

bool CSplashWnd::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::NonClientAreaMouseButtonPress:
        HideSplash();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void CSplashWnd::HideSplash() {
    qApp->removeEventFilter(this);
    m_timer.stop();
    close();
}

void CSplashWnd::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, CArtwork::Bitmap(CArtwork::BMP_SPLASH));
}

void CSplashWnd::keyPressEvent(QKeyEvent*) {
    HideSplash();
}

void CSplashWnd::mousePressEvent(QMouseEvent*) {
    HideSplash();
}
