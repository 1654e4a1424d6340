#include "app/ui/CScreenView.h"

#include "app/CLinkHub.h"
#include "app/ui/IScreenHost.h"
#include "widgets/CArtwork.h"
#include "widgets/CLampPanel.h"

#include <QPainter>

CScreenView::CScreenView(IScreenHost& host, int screen, QWidget* parent)
    : QWidget(parent), m_host(host), m_nScreen(screen), m_pLamps(new CLampPanel(this)) {
    resize(WIDTH, HEIGHT);
    setMinimumSize(WIDTH, HEIGHT);
    m_pLamps->adjustSize();
    m_lampTimer.setInterval(TIMER_LAMPS_MS);
    m_blinkTimer.setInterval(TIMER_BLINK_MS);
    connect(&m_lampTimer, &QTimer::timeout, this, &CScreenView::OnLampTimer);
    connect(&m_blinkTimer, &QTimer::timeout, this, &CScreenView::OnBlinkTimer);
}

CScreenView::~CScreenView() = default;

void CScreenView::InitialUpdate() {
    m_host.Hub().SetCurrentScreen(m_nScreen);
    m_nRxBlink = 0;
    m_nTxBlink = 0;
    m_lampTimer.start();
    m_blinkTimer.start();
    OnLampTimer();
    RefreshScreen();
}

void CScreenView::OnLinkData(const std::uint8_t*, int) {}

void CScreenView::OnLampTimer() {
    const CLinkHub& hub = m_host.Hub();
    m_pLamps->SetBitmap(CLampPanel::LAMP_CONFIG,
                        hub.IsLinkConfigured() ? CArtwork::BMP_LAMP_GREEN : CArtwork::BMP_LAMP_RED);
    m_pLamps->SetBitmap(CLampPanel::LAMP_STATE,
                        hub.IsLinkUp() ? CArtwork::BMP_LAMP_GREEN : CArtwork::BMP_LAMP_RED);
    const QString status = QString::fromStdString(hub.GetLinkStatus());
    if (status != m_strStatusCopy) {
        m_strStatusCopy = status;
        RefreshScreen();
    }
}

// A block lights its lamp for one or two ticks; the screen is repainted when
// the lamp goes out, so a burst costs one repaint after it, not one per block.
void CScreenView::OnBlinkTimer() {
    struct Blink {
        int& m_nCount;
        int m_nLamp;
    };
    for (Blink blink :
         {Blink{m_nRxBlink, CLampPanel::LAMP_RX}, Blink{m_nTxBlink, CLampPanel::LAMP_TX}}) {
        if (blink.m_nCount <= 0)
            continue;
        if (blink.m_nCount == 1)
            m_pLamps->SetBitmap(blink.m_nLamp, CArtwork::BMP_LAMP_GREEN);
        if (blink.m_nCount > 1) {
            blink.m_nCount = 0;
            m_pLamps->SetBitmap(blink.m_nLamp, CArtwork::BMP_LAMP_GREY);
            RefreshScreen();
            return;
        }
        ++blink.m_nCount;
    }
}

void CScreenView::RefreshScreen() {
    Redraw();
    UpdateCaption();
    update();
}

void CScreenView::UpdateCaption() {
    m_host.SetDocumentTitle(TitlePrefix() + m_strStatusCopy);
}

void CScreenView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_pLamps->move(width() - m_pLamps->width() - 12, height() - m_pLamps->height() - 6);
}

void CScreenView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    CArtwork::PaintBackground(p, rect());
}
