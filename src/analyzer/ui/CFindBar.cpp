#include "analyzer/ui/CFindBar.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CFindBar::CFindBar(QWidget* parent) : QGroupBox(tr("찾기"), parent) {
    setObjectName(QStringLiteral("findBar"));
    // It lies over the check tools while open.
    setAutoFillBackground(true);
    m_pText = new QLineEdit(this);
    m_pText->setObjectName(QStringLiteral("findText"));
    m_pText->setGeometry(8, 20, 330, 22);
    m_pText->setPlaceholderText(tr("찾을 텍스트 또는 16진수"));
    m_pHex = new QCheckBox(tr("16진수"), this);
    m_pHex->setObjectName(QStringLiteral("findHex"));
    m_pHex->setGeometry(346, 20, 70, 22);
    auto button = [this](const char* text, const char* name, int x) {
        auto* b = new QPushButton(tr(text), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, 19, 74, 24);
        b->setFocusPolicy(Qt::TabFocus);
        return b;
    };
    m_pPrevious = button("◀ 이전", "findPrevious", 420);
    m_pNext = button("다음 ▶", "findNext", 498);
    m_pClose = button("닫기", "findClose", 580);
    m_pStatus = new QLabel(this);
    m_pStatus->setObjectName(QStringLiteral("findStatus"));
    m_pStatus->setGeometry(10, 48, 640, 22);

    connect(m_pPrevious, &QPushButton::clicked, this, [this] { emit FindRequested(false); });
    connect(m_pNext, &QPushButton::clicked, this, [this] { emit FindRequested(true); });
    connect(m_pClose, &QPushButton::clicked, this, [this] {
        hide();
        emit PatternChanged();
    });
    connect(m_pText, &QLineEdit::textChanged, this, [this] {
        m_pStatus->clear();
        emit PatternChanged();
    });
    connect(m_pHex, &QCheckBox::toggled, this, [this] {
        m_pStatus->clear();
        emit PatternChanged();
    });
}

QString CFindBar::GetStatus() const {
    return m_pStatus->text();
}

void CFindBar::SetStatus(const QString& text) {
    m_pStatus->setText(text);
}

void CFindBar::Open() {
    show();
    raise();
    m_pText->setFocus(Qt::ShortcutFocusReason);
    m_pText->selectAll();
}
