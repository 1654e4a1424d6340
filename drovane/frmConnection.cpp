#include "frmConnection.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

frmConnection::frmConnection(QWidget* pParent) : QDialog(pParent) {
    setWindowTitle(tr("네트워크 연결"));

    auto* pGrid = new QGridLayout;
    const QString captions[2] = {tr("접속자 이름"), tr("접속할 암호")};
    for (int i = 0; i < 2; ++i) {
        m_pLabel1[i] = new QLabel(captions[i], this);
        m_pText1[i] = new QLineEdit(this);
        m_pText1[i]->setMinimumWidth(180);
        m_pLabel1[i]->setBuddy(m_pText1[i]);
        pGrid->addWidget(m_pLabel1[i], i, 0);
        pGrid->addWidget(m_pText1[i], i, 1);
    }
    m_pText1[0]->setObjectName(QStringLiteral("Text1_0"));
    m_pText1[1]->setObjectName(QStringLiteral("Text1_1"));
    // One "*" per character, whatever the style's own mask character.
    m_pText1[1]->setEchoMode(QLineEdit::Password);
    m_pText1[1]->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));

    m_pCommand1 = new QPushButton(tr("연 결"), this);
    m_pCommand2 = new QPushButton(tr("취 소"), this);
    m_pCommand1->setDefault(true);
    // Both buttons act on click only; Enter in a box presses the default one.
    m_pCommand2->setAutoDefault(false);

    auto* pButtons = new QHBoxLayout;
    pButtons->addStretch();
    pButtons->addWidget(m_pCommand1);
    pButtons->addWidget(m_pCommand2);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pGrid);
    pLayout->addLayout(pButtons);
    setLayout(pLayout);

    connect(m_pCommand1, &QPushButton::clicked, this, &frmConnection::Command1Clicked);
    connect(m_pCommand2, &QPushButton::clicked, this, &QDialog::reject);
}

void frmConnection::SelectBox(int nIndex) {
    m_pText1[nIndex]->selectAll();
    m_pText1[nIndex]->setFocus(Qt::OtherFocusReason);
}
