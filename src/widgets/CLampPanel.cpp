#include "widgets/CLampPanel.h"

#include <QVBoxLayout>

#include "widgets/CArtwork.h"
#include "widgets/CLamp.h"

#include <QHBoxLayout>

CLampPanel::CLampPanel(QWidget* parent)
    : QWidget(parent), m_pConfig(new CLamp(QStringLiteral("설정"), CArtwork::BMP_LAMP_RED, this)),
      m_pState(new CLamp(QStringLiteral("상태"), CArtwork::BMP_LAMP_RED, this)),
      m_pRx(new CLamp(QStringLiteral("RX"), CArtwork::BMP_LAMP_GREY, this)),
      m_pTx(new CLamp(QStringLiteral("TX"), CArtwork::BMP_LAMP_GREY, this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    for (CLamp* lamp : {m_pConfig, m_pState, m_pRx, m_pTx})
        layout->addWidget(lamp);
}

CLamp* CLampPanel::Lamp(int lamp) const {
    switch (lamp) {
    case LAMP_CONFIG:
        return m_pConfig;
    case LAMP_STATE:
        return m_pState;
    case LAMP_RX:
        return m_pRx;
    case LAMP_TX:
        return m_pTx;
    default:
        return nullptr;
    }
}

void CLampPanel::SetBitmap(int lamp, int bitmap) {
    if (CLamp* found = Lamp(lamp))
        found->SetBitmap(bitmap);
}

int CLampPanel::GetBitmap(int lamp) const {
    const CLamp* found = Lamp(lamp);
    return found ? found->GetBitmap() : 0;
}

void CLampPanel::StackVertically() {
    delete layout();
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    for (int lamp : {LAMP_CONFIG, LAMP_STATE, LAMP_RX, LAMP_TX})
        column->addWidget(Lamp(lamp));
    adjustSize();
}
