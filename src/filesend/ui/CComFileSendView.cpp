#include "filesend/ui/CComFileSendView.h"

#include "tools/ui/CIpCheckerDlg.h"

#include "app/CLinkHub.h"
#include "app/CQSettingsStore.h"
#include "app/ui/IScreenHost.h"
#include "filesend/CFileSendEngine.h"
#include "filesend/ui/CFileModifyDlg.h"
#include "link/CCp949.h"
#include "plc/CIniFile.h"
#include "widgets/CMessageBox.h"

#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTime>
#include <QTreeWidget>

#include <cstdio>

namespace {

constexpr const char* kSettingsSection = "SETTING";
constexpr const char* kFolderKey = "FILEPATH";

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToUtf8(const QString& text) {
    return text.toUtf8().toStdString();
}

} // namespace

CComFileSendView::CComFileSendView(IScreenHost& host, QWidget* parent)
    : CScreenView(host, SCREEN, parent) {
    m_listPath = std::filesystem::current_path() / kListFile;
    BuildControls();
    m_engineTimer.setInterval(CFileSendEngine::TIMER_MS);
    connect(&m_engineTimer, &QTimer::timeout, this, [this] {
        if (m_pEngine) {
            m_pEngine->OnTimer(CFileSendEngine::ID_TIMER_TIMEOUT);
            m_pEngine->OnTimer(CFileSendEngine::ID_TIMER_RATES);
        }
    });
}

CComFileSendView::~CComFileSendView() {
    m_engineTimer.stop();
    if (m_pEngine) {
        CQSettingsStore store;
        store.WriteText(kSettingsSection, kFolderKey, m_record.m_strRxFolder);
    }
    m_pEngine.reset();
}

QString CComFileSendView::DefaultFolder() {
    return QDir::homePath() + QStringLiteral("/Dovrin/");
}

void CComFileSendView::BuildControls() {
    auto name = [](QObject* object, int id) { object->setObjectName(QString::number(id)); };
    auto group = [this](const QString& title, const QRect& geometry) {
        auto* box = new QGroupBox(title, this);
        box->setGeometry(geometry);
        return box;
    };
    auto button = [&](QWidget* parentWidget, const QString& text, int id, const QRect& geometry) {
        auto* b = new QPushButton(text, parentWidget);
        name(b, id);
        b->setGeometry(geometry);
        return b;
    };
    auto edit = [&](QWidget* parentWidget, int id, const QRect& geometry, bool centred) {
        auto* e = new QLineEdit(parentWidget);
        name(e, id);
        e->setGeometry(geometry);
        e->setReadOnly(true);
        if (centred)
            e->setAlignment(Qt::AlignCenter);
        return e;
    };
    auto bar = [&](QWidget* parentWidget, int id, const QRect& geometry) {
        auto* b = new QProgressBar(parentWidget);
        name(b, id);
        b->setGeometry(geometry);
        b->setRange(0, 100);
        b->setValue(0);
        b->setTextVisible(false);
        return b;
    };

    QGroupBox* sendBox = group(tr("파일 보내기"), QRect(6, 4, 512, 304));
    m_pList = new QTreeWidget(sendBox);
    name(m_pList, IDC_LIST);
    m_pList->setGeometry(8, 20, 496, 200);
    m_pList->setColumnCount(3);
    m_pList->setHeaderLabels({tr("순서"), tr("파일이름"), tr("         파일 전체 이름")});
    m_pList->setColumnWidth(0, 70);
    m_pList->setColumnWidth(1, 200);
    m_pList->setColumnWidth(2, 400);
    m_pList->headerItem()->setTextAlignment(1, Qt::AlignCenter);
    m_pList->setRootIsDecorated(false);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setAllColumnsShowFocus(true);
    m_pList->installEventFilter(this);
    m_pSendPath = edit(sendBox, IDC_SEND_PATH, QRect(8, 226, 496, 22), false);
    m_pSendLine = edit(sendBox, IDC_SEND_LINE, QRect(8, 252, 496, 22), true);
    m_pSendBar = bar(sendBox, IDC_SEND_BAR, QRect(8, 278, 496, 18));

    QGroupBox* receiveBox = group(tr("파일 받기"), QRect(6, 314, 512, 110));
    m_pReceiveBox = edit(receiveBox, IDC_RECEIVE_BOX, QRect(8, 20, 400, 24), false);
    m_pFolder = button(receiveBox, tr("폴더 지정"), IDC_FOLDER, QRect(414, 20, 90, 24));
    m_pReceiveLine = edit(receiveBox, IDC_RECEIVE_LINE, QRect(8, 50, 496, 22), true);
    m_pReceiveBar = bar(receiveBox, IDC_RECEIVE_BAR, QRect(8, 78, 496, 18));

    auto* panel = new QLabel(tr("\n      현재         FILE SEND\n\n   파일 전송"), this);
    panel->setTextFormat(Qt::PlainText);
    panel->setWordWrap(true);
    panel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(526, 8, 148, 74);

    QGroupBox* link = group(tr("통신"), QRect(526, 88, 148, 80));
    m_pSend = button(link, tr("보내기"), IDC_SEND, QRect(8, 20, 132, 24));
    m_pStop = button(link, tr("정지"), IDC_STOP, QRect(8, 48, 132, 24));
    QGroupBox* rows = group(tr("리스트 관련"), QRect(526, 172, 148, 108));
    m_pAdd = button(rows, tr("파일 목록 추가"), IDC_ADD, QRect(8, 20, 132, 24));
    m_pModify = button(rows, tr("파일 목록 수정"), IDC_MODIFY, QRect(8, 48, 132, 24));
    m_pDelete = button(rows, tr("파일 목록 삭제"), IDC_DELETE, QRect(8, 76, 132, 24));
    QGroupBox* ini = group(tr("세팅 INI파일"), QRect(526, 284, 148, 80));
    m_pSave = button(ini, tr("저장"), IDC_SAVE, QRect(8, 20, 132, 24));
    m_pOpen = button(ini, tr("열기"), IDC_OPEN, QRect(8, 48, 132, 24));
    QGroupBox* ip = group(tr("IP 체크"), QRect(526, 368, 148, 52));
    m_pMyIp = button(ip, tr("나의 IP"), IDC_MY_IP, QRect(8, 20, 132, 24));

    connect(m_pSend, &QPushButton::clicked, this, &CComFileSendView::OnSend);
    connect(m_pStop, &QPushButton::clicked, this, &CComFileSendView::OnStop);
    connect(m_pAdd, &QPushButton::clicked, this, &CComFileSendView::OnAdd);
    connect(m_pModify, &QPushButton::clicked, this, &CComFileSendView::OnModify);
    connect(m_pDelete, &QPushButton::clicked, this, &CComFileSendView::OnDelete);
    connect(m_pSave, &QPushButton::clicked, this, &CComFileSendView::SaveList);
    connect(m_pOpen, &QPushButton::clicked, this, &CComFileSendView::LoadList);
    connect(m_pFolder, &QPushButton::clicked, this, &CComFileSendView::OnFolder);
    connect(m_pMyIp, &QPushButton::clicked, this, [this] {
        CIpCheckerDlg dialog(this);
        dialog.exec();
    });
    connect(m_pList, &QTreeWidget::itemDoubleClicked, this, &CComFileSendView::OnModify);
}

QPushButton* CComFileSendView::Button(int id) const {
    for (QPushButton* b :
         {m_pSend, m_pStop, m_pAdd, m_pModify, m_pDelete, m_pSave, m_pOpen, m_pFolder, m_pMyIp}) {
        if (b->objectName() == QString::number(id))
            return b;
    }
    return nullptr;
}

void CComFileSendView::InitialUpdate() {
    CScreenView::InitialUpdate();
    if (!m_pEngine)
        m_pEngine = std::make_unique<CFileSendEngine>(m_host.Hub(), *this, m_record,
                                                      [] { return QTime::currentTime().second(); });
    CQSettingsStore store;
    std::string folder = store.ReadValue(kSettingsSection, kFolderKey).value_or("");
    if (folder.empty())
        folder = ToUtf8(DefaultFolder());
    if (folder.back() != '/')
        folder += '/';
    m_record.m_strRxFolder = folder;
    m_pReceiveBox->setText(FromUtf8(folder));
    m_pStop->setEnabled(false);
    m_pList->clear();
    AddRow(tr("순서"), tr(kGreeting), tr(kGreeting));
    m_engineTimer.start();
}

void CComFileSendView::OnLinkData(const std::uint8_t* bytes, int count) {
    if (m_pEngine)
        m_pEngine->OnReceive(bytes, count);
}

bool CComFileSendView::IsReceiving() const {
    return m_pReceiveBox->text() != FromUtf8(m_record.m_strRxFolder);
}

void CComFileSendView::AddRow(const QString& order, const QString& name, const QString& path) {
    auto* item = new QTreeWidgetItem(m_pList, {order, name, path});
    item->setTextAlignment(1, Qt::AlignCenter);
    if (m_pList->topLevelItemCount() > 1) {
        static QFileIconProvider icons;
        item->setIcon(0, icons.icon(QFileInfo(path)));
    }
}

void CComFileSendView::SetButtonsSending(bool sending) {
    m_pStop->setEnabled(sending);
    for (QPushButton* b : {m_pSend, m_pSave, m_pOpen, m_pFolder})
        b->setEnabled(!sending);
}

void CComFileSendView::OnSend() {
    SetButtonsSending(true);
    SaveList();
    if (IsReceiving()) {
        CMessageBox::Show(this, tr(kBusyReceiving));
        OnStop();
    } else if (m_pList->topLevelItemCount() < 2) {
        CMessageBox::Show(this, tr(CFileSendEngine::kNoFileMessage));
        OnStop();
    } else {
        LoadFirstRow();
        if (!m_pEngine->StartSend())
            OnStop();
    }
}

void CComFileSendView::OnStop() {
    SetButtonsSending(false);
    if (m_pEngine)
        m_pEngine->Stop();
}

bool CComFileSendView::LoadFirstRow() {
    if (m_pList->topLevelItemCount() < 2)
        return false;
    const QTreeWidgetItem* row = m_pList->topLevelItem(1);
    m_record.m_strTxName = ToUtf8(row->text(1));
    m_record.m_strTxPath = ToUtf8(row->text(2));
    m_pSendPath->setText(row->text(2));
    update();
    m_record.m_nTxIndex = 0;
    return true;
}

bool CComFileSendView::DeleteRow(int row) {
    const bool had = row > 0 && row < m_pList->topLevelItemCount();
    if (had)
        delete m_pList->takeTopLevelItem(row);
    for (int i = 0; i < m_pList->topLevelItemCount(); ++i)
        m_pList->topLevelItem(i)->setText(0, QString::number(i));
    return had;
}

void CComFileSendView::AddFiles(const QStringList& paths) {
    for (const QString& path : paths)
        AddRow(QString::number(m_pList->topLevelItemCount()), QFileInfo(path).fileName(), path);
}

void CComFileSendView::OnAdd() {
    const QStringList paths =
        QFileDialog::getOpenFileNames(this, tr("파일 목록 추가"), {}, tr("All Files(*.*)"));
    AddFiles(paths);
}

void CComFileSendView::ModifyRow(int row, const QString& path, const QString& name) {
    QTreeWidgetItem* item = m_pList->topLevelItem(row);
    if (!item)
        return;
    item->setText(0, QString::number(row));
    item->setText(1, name);
    item->setText(2, path);
    static QFileIconProvider icons;
    item->setIcon(0, icons.icon(QFileInfo(path)));
}

void CComFileSendView::OnModify() {
    const int row = m_pList->indexOfTopLevelItem(m_pList->currentItem());
    if (row < 1)
        return;
    if (!m_pSend->isEnabled() && row == 1) {
        CMessageBox::Show(this, tr(kFirstRowBusy));
        return;
    }
    const QTreeWidgetItem* item = m_pList->topLevelItem(row);
    CFileModifyDlg dialog(item->text(2), item->text(1), this);
    if (dialog.exec() == QDialog::Accepted)
        ModifyRow(row, dialog.Path(), dialog.Name());
}

void CComFileSendView::OnDelete() {
    const int row =
        m_pList->currentItem() ? m_pList->indexOfTopLevelItem(m_pList->currentItem()) : -1;
    if (row == 0)
        return;
    if (!m_pSend->isEnabled() && row == 1) {
        CMessageBox::Show(this, tr(kFirstRowBusy));
        return;
    }
    DeleteRow(row);
}

bool CComFileSendView::SaveList() {
    CIniFile ini;
    std::error_code ec;
    if (!ini.Load(m_listPath) && std::filesystem::exists(m_listPath, ec))
        return false; // an unreadable file is not overwritten
    const int rows = m_pList->topLevelItemCount();
    for (int r = 1; r < rows; ++r) {
        const std::string section = kSection + std::to_string(r - 1);
        const QTreeWidgetItem* item = m_pList->topLevelItem(r);
        ini.SetString(section, "FILENAME", CCp949::FromUtf8(ToUtf8(item->text(1))));
        ini.SetString(section, "FILEFULL", CCp949::FromUtf8(ToUtf8(item->text(2))));
    }
    ini.SetString(kSection + std::to_string(std::max(rows - 1, 0)), "FILENAME", "");
    return ini.Save(m_listPath);
}

void CComFileSendView::LoadList() {
    CIniFile ini;
    ini.Load(m_listPath); // a missing or unreadable file is an empty list
    m_pList->clear();
    AddRow(tr("순서"), tr(kGreeting), tr(kGreeting));
    int count = 0;
    while (count < kMaxRows &&
           !ini.GetString(kSection + std::to_string(count), "FILENAME", "").empty())
        ++count;
    for (int i = 0; i < count; ++i) {
        const std::string section = kSection + std::to_string(i);
        AddRow(QString::number(i + 1),
               FromUtf8(CCp949::ToUtf8(ini.GetString(section, "FILENAME", ""))),
               FromUtf8(CCp949::ToUtf8(ini.GetString(section, "FILEFULL", ""))));
    }
}

void CComFileSendView::SetReceiveFolder(const QString& folder) {
    QString path = folder.isEmpty() ? DefaultFolder() : folder;
    if (!path.endsWith('/'))
        path += '/';
    m_record.m_strRxFolder = ToUtf8(path);
    m_pReceiveBox->setText(path);
}

void CComFileSendView::OnFolder() {
    if (IsReceiving()) {
        CMessageBox::Show(this, tr(kFolderBusy));
        return;
    }
    const QString chosen = QFileDialog::getExistingDirectory(this, tr("폴더 위치 찾기"),
                                                             FromUtf8(m_record.m_strRxFolder));
    if (!chosen.isEmpty())
        SetReceiveFolder(chosen);
}

void CComFileSendView::ShowProgress(QLineEdit* line, QProgressBar* bar, std::uint64_t total,
                                    std::uint64_t done, const std::string& rate) {
    char text[256];
    std::snprintf(text, sizeof text, "%0.03fMB / %0.03fMB ,%s",
                  static_cast<double>(done / 1000) * 0.001,
                  static_cast<double>(total / 1000) * 0.001, rate.c_str());
    line->setText(QString::fromUtf8(text));
    bar->setRange(0, 100);
    bar->setValue(
        total ? static_cast<int>(static_cast<double>(done) / static_cast<double>(total) * 100.0)
              : 0);
}

void CComFileSendView::SetSendProgress(std::uint64_t total, std::uint64_t done) {
    ShowProgress(m_pSendLine, m_pSendBar, total, done, m_pEngine->SendRateText());
}

void CComFileSendView::SetReceiveProgress(std::uint64_t total, std::uint64_t done) {
    ShowProgress(m_pReceiveLine, m_pReceiveBar, total, done, m_pEngine->ReceiveRateText());
}

void CComFileSendView::ShowReceivePath(const std::string& text) {
    m_pReceiveBox->setText(FromUtf8(text));
}

bool CComFileSendView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pList && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Delete) {
            OnDelete();
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            OnModify();
            return true;
        }
    }
    return CScreenView::eventFilter(watched, event);
}
