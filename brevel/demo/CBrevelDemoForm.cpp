#include "CBrevelDemoForm.h"

#include "Brevel.h"
#include "CSettingsPropertyBag.h"

#include <QCloseEvent>
#include <QFont>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTime>
#include <QVBoxLayout>

namespace {
const QString kBagGroup = QStringLiteral("Brevel1");
}

CBrevelDemoForm::CBrevelDemoForm(QSettings& settings, QWidget* pParent)
    : QWidget(pParent), m_settings(settings), m_pBrevel1(new Brevel(this)),
      m_pPortBox(new QSpinBox(this)), m_pSettingsEdit(new QLineEdit(this)),
      m_pOpenButton(new QPushButton(this)), m_pStateLabel(new QLabel(this)),
      m_pReceivedView(new QPlainTextEdit(this)) {
    setWindowTitle(tr("Brevel 데모"));
    m_pBrevel1->setObjectName(QStringLiteral("Brevel1"));

    CSettingsPropertyBag bag(m_settings, kBagGroup);
    const CommError error = m_pBrevel1->ReadProperties(bag);
    if (error.Failed())
        QMessageBox::warning(this, windowTitle(), error.strDescription);

    m_pPortBox->setRange(1, 255);
    m_pPortBox->setValue(m_pBrevel1->CommPort());
    m_pSettingsEdit->setText(m_pBrevel1->Settings());
    m_pReceivedView->setReadOnly(true);
    // One fixed-pitch face with Hangul, so a mixed line keeps one look.
    QFont logFont(QStringLiteral("NanumGothicCoding"));
    logFont.setStyleHint(QFont::Monospace);
    m_pReceivedView->setFont(logFont);

    auto* pForm = new QFormLayout;
    pForm->addRow(tr("포트 번호"), m_pPortBox);
    pForm->addRow(tr("통신 설정"), m_pSettingsEdit);

    auto* pTop = new QHBoxLayout;
    pTop->addWidget(m_pBrevel1, 0, Qt::AlignTop);
    pTop->addSpacing(12);
    pTop->addLayout(pForm, 1);

    auto* pButtons = new QHBoxLayout;
    pButtons->addWidget(m_pOpenButton);
    pButtons->addWidget(m_pStateLabel, 1);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pTop);
    pLayout->addLayout(pButtons);
    pLayout->addWidget(new QLabel(tr("받은 데이터 (DataReceive)"), this));
    pLayout->addWidget(m_pReceivedView, 1);

    connect(m_pOpenButton, &QPushButton::clicked, this, [this] {
        if (m_pBrevel1->IsPortOpen())
            ClosePort();
        else
            OpenPort();
    });
    connect(m_pBrevel1, &Brevel::DataReceive, this, &CBrevelDemoForm::AddText);
    ShowState();
    resize(520, 360);
}

void CBrevelDemoForm::SetLine(int nPort, const QString& strSettings) {
    m_pPortBox->setValue(nPort);
    m_pSettingsEdit->setText(strSettings);
}

void CBrevelDemoForm::OpenPort() {
    // A refused value stays as it was; the control says why.
    m_pBrevel1->setCommPort(m_pPortBox->value());
    m_pBrevel1->setSettings(m_pSettingsEdit->text());
    if (m_pBrevel1->LastError().Failed())
        QMessageBox::warning(this, windowTitle(), m_pBrevel1->LastError().strDescription);
    m_pBrevel1->PortOpen(true);
    ShowState();
}

void CBrevelDemoForm::ClosePort() {
    m_pBrevel1->PortOpen(false);
    ShowState();
}

void CBrevelDemoForm::closeEvent(QCloseEvent* pEvent) {
    CSettingsPropertyBag bag(m_settings, kBagGroup);
    m_pBrevel1->WriteProperties(bag);
    QWidget::closeEvent(pEvent);
}

void CBrevelDemoForm::ShowState() {
    const bool bOpen = m_pBrevel1->IsPortOpen();
    m_pOpenButton->setText(bOpen ? tr("닫기") : tr("열기"));
    m_pStateLabel->setText(
        bOpen ? tr("COM%1 열림 (%2)").arg(m_pBrevel1->CommPort()).arg(m_pBrevel1->Settings())
              : tr("닫힘"));
    m_pPortBox->setEnabled(!bOpen);
    m_pSettingsEdit->setEnabled(!bOpen);
}

void CBrevelDemoForm::AddText(const QString& strData) {
    // Control characters (STX, CR, LF ...) shown as <hex> so every byte is seen.
    QString strLine = QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz"));
    strLine += QStringLiteral("  ");
    for (const QChar c : strData) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            strLine += QStringLiteral("<%1>").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
        else
            strLine += c;
    }
    m_pReceivedView->appendPlainText(strLine);
}
