#pragma once

#include <QTimer>
#include <QWidget>

// The start-up picture: a borderless topmost window the size of the splash
// bitmap, centred, gone after a second or at the first key or button press.
class CSplashWnd : public QWidget {
    Q_OBJECT
public:
    static constexpr int SHOW_MS = 1000;

    explicit CSplashWnd(QWidget* parent = nullptr);
    // Shows the picture and starts the timer.
    void ShowSplash();
    // Key and button presses anywhere in the program close it; the filter is
    // installed on the application while the picture is shown.
    bool eventFilter(QObject* watched, QEvent* event) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void HideSplash();

    QTimer m_timer;
};
