#include "tools/ui/CHelpDlg.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct TopicButton {
    int m_nId;
    const char* m_pszCaption;
};

// Indexed by topic; top to bottom as the buttons stand. The captions go
// through tr() where they are used.
constexpr TopicButton kButtons[CHelpTopics::TOPIC_COUNT] = {
    {1061, QT_TR_NOOP("ANALYZER")}, {1062, QT_TR_NOOP("YASKAWA")},  {1063, QT_TR_NOOP("SIEMENS")},
    {1064, QT_TR_NOOP("AB")},       {1065, QT_TR_NOOP("MASTERK")},  {1066, QT_TR_NOOP("POSFA")},
    {1067, QT_TR_NOOP("MELSEC")},   {1068, QT_TR_NOOP("사용자용")}, {1071, QT_TR_NOOP("파일전송")},
    {1069, QT_TR_NOOP("채팅")},     {1072, QT_TR_NOOP("만든이")},   {1070, QT_TR_NOOP("기타")},
};

} // namespace

CHelpDlg::CHelpDlg(QWidget* parent) : CBackgroundDialog(parent) {
    setWindowTitle(QStringLiteral("HELP"));
    setModal(false);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(4);
    for (int topic = 0; topic < CHelpTopics::TOPIC_COUNT; ++topic) {
        auto* button = new QPushButton(tr(kButtons[topic].m_pszCaption), this);
        button->setObjectName(QString::number(kButtons[topic].m_nId));
        // Enter must not press a button: the window swallows it.
        button->setAutoDefault(false);
        button->setMinimumWidth(96);
        connect(button, &QPushButton::clicked, this, [this, topic] { ShowTopic(topic); });
        buttons->addWidget(button);
        m_buttons[static_cast<std::size_t>(topic)] = button;
    }
    buttons->addStretch();

    m_pText = new QPlainTextEdit(this);
    m_pText->setObjectName(QString::number(IDC_TEXT));
    m_pText->setReadOnly(true);
    m_pText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_pText->setMinimumSize(420, 400);
    QPalette palette = m_pText->palette();
    palette.setColor(QPalette::Base, QColor(133, 133, 214));
    palette.setColor(QPalette::Text, Qt::black);
    m_pText->setPalette(palette);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_pText, 1);

    ShowTopic(CHelpTopics::TOPIC_ANALYZER);
}

int CHelpDlg::ButtonId(int topic) {
    if (topic < 0 || topic >= CHelpTopics::TOPIC_COUNT)
        return 0;
    return kButtons[topic].m_nId;
}

QPushButton* CHelpDlg::TopicButton(int topic) const {
    if (topic < 0 || topic >= CHelpTopics::TOPIC_COUNT)
        return nullptr;
    return m_buttons[static_cast<std::size_t>(topic)];
}

void CHelpDlg::ShowTopic(int topic) {
    const std::string text = CHelpTopics::Text(topic);
    if (text.empty())
        return;
    m_nTopic = topic;
    // The topics end their lines with CR LF; the box wants bare line feeds,
    // or some fonts draw the CR as a box.
    m_pText->setPlainText(
        QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void CHelpDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    CBackgroundDialog::keyPressEvent(event);
}

void CHelpDlg::showEvent(QShowEvent* event) {
    CBackgroundDialog::showEvent(event);
    if (!m_bShown) {
        m_bShown = true;
        m_buttons[CHelpTopics::TOPIC_ANALYZER]->setFocus();
    }
}
