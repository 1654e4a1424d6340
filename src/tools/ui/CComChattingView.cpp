#include "tools/ui/CComChattingView.h"

#include "app/CLinkHub.h"
#include "app/ui/IScreenHost.h"
#include "widgets/CArtwork.h"
#include "widgets/CMessageBox.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

CComChattingView::CComChattingView(IScreenHost& host, QWidget* parent)
    : CScreenView(host, SCREEN, parent) {
    auto name = [](QObject* object, int id) { object->setObjectName(QString::number(id)); };

    m_pList = new QTreeWidget(this);
    name(m_pList, IDC_LIST);
    m_pList->setGeometry(8, 8, 580, 420);
    m_pList->setColumnCount(1);
    m_pList->setHeaderLabels({tr("채팅 내용")});
    m_pList->setColumnWidth(0, 570);
    m_pList->setRootIsDecorated(false);
    m_pList->setWordWrap(false);
    m_pList->setTextElideMode(Qt::ElideRight);
    // Drawn over the screen's background picture.
    QPalette palette = m_pList->palette();
    palette.setBrush(QPalette::Base, QBrush(CArtwork::Bitmap(CArtwork::BMP_TREE)));
    m_pList->setPalette(palette);

    auto* label = new QLabel(tr("보내는 데이터"), this);
    label->setGeometry(8, 440, 120, 20);
    m_pEdit = new QLineEdit(this);
    name(m_pEdit, IDC_EDIT);
    m_pEdit->setGeometry(8, 462, 480, 26);
    m_pClear = new QPushButton(tr("CLEAR"), this);
    name(m_pClear, IDC_CLEAR);
    m_pClear->setGeometry(496, 462, 92, 26);

    m_pPanel = new QLabel(tr("\n      현재          CHAT버전\n\n  CHATTING"), this);
    m_pPanel->setTextFormat(Qt::PlainText);
    m_pPanel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_pPanel->setGeometry(596, 8, 80, 120);
    m_pPanel->setWordWrap(true);

    // Enter in the edit box reaches the screen's key handler: the box lets
    // it through after its own returnPressed.
    connect(m_pClear, &QPushButton::clicked, this, &CComChattingView::OnClear);
    m_silenceTimer.setInterval(CChatLineBuffer::TICK_MS);
    connect(&m_silenceTimer, &QTimer::timeout, this, &CComChattingView::OnSilenceTimer);
}

void CComChattingView::InitialUpdate() {
    CScreenView::InitialUpdate();
    m_silenceTimer.start();
    OnClear();
}

void CComChattingView::AddLine(const QString& line) {
    m_pList->addTopLevelItem(new QTreeWidgetItem({line}));
    while (m_pList->topLevelItemCount() > kMaxLines)
        delete m_pList->takeTopLevelItem(0);
    m_pList->scrollToBottom();
}

void CComChattingView::AddLines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
        AddLine(QString::fromStdString(line));
}

void CComChattingView::OnLinkData(const std::uint8_t* bytes, int count) {
    AddLines(m_buffer.OnReceive(bytes, count));
}

void CComChattingView::OnSilenceTimer() {
    AddLines(m_buffer.OnTimer());
}

void CComChattingView::OnEnter() {
    CLinkHub& hub = m_host.Hub();
    if (!hub.IsLinkUp()) {
        CMessageBox::Show(this, tr(kNotUp));
        return;
    }
    const QString text = m_pEdit->text();
    if (text.isEmpty())
        return;
    const std::string utf8 = text.toStdString();
    AddLine(QString::fromStdString(CChatLineBuffer::OwnLine(utf8)));
    m_pEdit->clear();
    const std::string bytes = CChatLineBuffer::WireBytes(utf8);
    hub.SendToLink(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                   static_cast<int>(bytes.size()));
}

void CComChattingView::OnClear() {
    m_pList->clear();
    m_pList->addTopLevelItem(new QTreeWidgetItem({tr(kGreeting)}));
}

void CComChattingView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        OnEnter();
        return;
    }
    CScreenView::keyPressEvent(event);
}
