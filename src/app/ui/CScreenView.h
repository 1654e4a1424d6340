#pragma once

#include "app/IScreenSink.h"

#include <QTimer>
#include <QWidget>

class CLampPanel;
class IScreenHost;

// The base of the ten screens: the background, the four lamps with their
// rules (timer 1 every 1000 ms for "설정", "상태" and the caption, timer 3
// every 50 ms for the RX/TX blink) and the hub's delivery. A screen places
// its controls on itself and the lamp panel where its template has them.
class CScreenView : public QWidget, public IScreenSink {
    Q_OBJECT
public:
    static constexpr int TIMER_LAMPS_MS = 1000;
    static constexpr int TIMER_BLINK_MS = 50;
    // The least client area the main frame gives every screen; the lamps
    // keep to the bottom right of what it really gets.
    static constexpr int WIDTH = 680;
    static constexpr int HEIGHT = 530;

    CScreenView(IScreenHost& host, int screen, QWidget* parent = nullptr);
    ~CScreenView() override;

    int GetScreenId() const { return m_nScreen; }
    // The initial update: reports the screen's number to the hub, starts the
    // timers and shows the values. Screens extend it and call this first.
    virtual void InitialUpdate();

    // IScreenSink: the lamps only; screens with a data path override
    // OnLinkData.
    void OnLinkSent() override { m_nTxBlink = 1; }
    void OnLinkReceived() override { m_nRxBlink = 1; }
    void OnLinkData(const std::uint8_t* bytes, int count) override;

    // The timers' bodies, public so that tests can tick them.
    void OnLampTimer();
    void OnBlinkTimer();

    CLampPanel* Lamps() const { return m_pLamps; }
    int GetRxBlink() const { return m_nRxBlink; }
    int GetTxBlink() const { return m_nTxBlink; }
    const QString& GetStatusCopy() const { return m_strStatusCopy; }

    // "Repaint" of the screen: what it shows is brought up to date, then the
    // caption is set from the status copy.
    void RefreshScreen();

protected:
    // Brings the screen's own display up to date (the analyzer paints its
    // page here). Called by RefreshScreen.
    virtual void Redraw() {}
    // What the document title shows before the status text.
    virtual QString TitlePrefix() const { return QStringLiteral("QUILLET"); }
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    IScreenHost& m_host;

private:
    void UpdateCaption();

    int m_nScreen;
    CLampPanel* m_pLamps;
    QTimer m_lampTimer;
    QTimer m_blinkTimer;
    int m_nRxBlink = 0;
    int m_nTxBlink = 0;
    QString m_strStatusCopy;
};
