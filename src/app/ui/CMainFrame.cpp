#include "app/ui/CMainFrame.h"

#include "app/CAlrFile.h"
#include "app/CQSettingsStore.h"
#include "app/ISettingsStore.h"
#include "app/ui/CAboutDlg.h"
#include "app/ui/CPcapngExportCommand.h"
#include "app/ui/CScreenFactory.h"
#include "app/ui/CScreenView.h"
#include "link/CLinkManager.h"
#include "link/LinkType.h"
#include "link/ui/CLinkDialogs.h"
#include "tools/ui/CIpCheckerDlg.h"
#include "widgets/CArtwork.h"
#include "widgets/CMessageBox.h"

#include <QAction>
#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>

#include <chrono>

namespace {

constexpr const char* kRecentSection = "Recent File List";
constexpr int kRecentFiles = 4;

std::filesystem::path FsPath(const QString& path) {
    return std::filesystem::path(path.toStdU16String());
}

// The first capture file among the dropped ones; empty when there is none.
// Anything else is refused: loading it would only throw the capture away.
QString DroppedCapture(const QMimeData* mime) {
    if (!mime || !mime->hasUrls())
        return {};
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        if (path.endsWith(QLatin1String(".alr"), Qt::CaseInsensitive))
            return path;
    }
    return {};
}

} // namespace

CMainFrame::CMainFrame(const CProgramSettings& settings, ISettingsStore& store, QWidget* parent)
    : QMainWindow(parent), m_store(store), m_settings(settings), m_ports(&store),
      m_pPane(new QWidget(this)), m_strDocTitle(QString::fromUtf8(kNewDocumentTitle)) {
    m_pHub = std::make_unique<CLinkHub>(
        m_doc, nullptr,
        [this](const std::string& text) {
            // The lamps and caption show the link as it is while the box is up.
            if (m_pScreen)
                m_pScreen->OnLampTimer();
            ShowMessage(QString::fromStdString(text));
        },
        [] {
            // To the microsecond: the gaps between blocks and the pcapng
            // export show them.
            return std::chrono::duration_cast<std::chrono::microseconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                .count();
        });
    m_pLinkManager = std::make_unique<CLinkManager>(m_pHub.get(), &m_ports);
    m_pHub->SetLinkControl(m_pLinkManager.get());

    m_pHub->GetSettings() = settings.Link();
    m_pHub->SetLinkKind(settings.m_nComChoose);

    m_fnLinkDialog = [this](int kind, LinkSettings& values) {
        return CLinkDialogs::Run(this, kind, values, m_ports);
    };

    // A fixed window with no maximise box and no sizing border.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(WIDTH, HEIGHT);
    setWindowIcon(CArtwork::AppIcon());
    setAcceptDrops(true);
    QPalette pane = m_pPane->palette();
    pane.setBrush(QPalette::Window, QBrush(CArtwork::Bitmap(CArtwork::BMP_BACKGROUND)));
    m_pPane->setPalette(pane);
    m_pPane->setAutoFillBackground(true);
    auto* paneLayout = new QVBoxLayout(m_pPane);
    paneLayout->setContentsMargins(0, 0, 0, 0);
    setCentralWidget(m_pPane);
    BuildMenus();
    SetDocumentTitle(m_strDocTitle);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    if (!SwitchScreen(settings.StartScreen()))
        SwitchScreen(CLinkHub::SCREEN_ANALYZER);
    UpdateChecks();
}

CMainFrame::~CMainFrame() {
    // The screen goes first: it may still ask the hub for the link state.
    m_pHub->SetActiveScreen(nullptr);
    m_pHub->SetCurrentScreen(CLinkHub::SCREEN_NONE);
    delete m_pScreen;
    m_pScreen = nullptr;
    m_pLinkManager->CloseLink();
    m_pHub->SetLinkControl(nullptr);
    m_pLinkManager.reset();
}

QAction* CMainFrame::AddCommand(QMenu* menu, int id, const QString& text, bool checkable) {
    QAction* action = menu->addAction(text);
    action->setData(id);
    action->setCheckable(checkable);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    m_actions[id] = action;
    return action;
}

void CMainFrame::BuildMenus() {
    QMenuBar* bar = menuBar();

    m_pFileMenu = bar->addMenu(tr("파일"));
    AddCommand(m_pFileMenu, ID_FILE_OPEN, tr("열기...OPEN"))->setShortcut(QKeySequence::Open);
    AddCommand(m_pFileMenu, ID_FILE_SAVE, tr("저장...SAVE"))->setShortcut(QKeySequence::Save);
    AddCommand(m_pFileMenu, ID_FILE_SAVE_AS, tr("저장...AS"));
    AddCommand(m_pFileMenu, ID_FILE_EXPORT_PCAPNG, tr(CPcapngExportCommand::kMenuText));
    m_pFileMenu->addSeparator();
    // The four last files come here, with a separator of their own.
    m_pFileClose = AddCommand(m_pFileMenu, ID_FILE_CLOSE, tr("닫기"));
    UpdateRecentMenu();

    QMenu* link = bar->addMenu(tr("통신 설정"));
    const char* linkTexts[] = {"COM ( RS-232C )", "TCP/IP ( SERVER )",  "TCP/IP ( CLIENT )",
                               "UDP/IP",          "IPX/SPX ( SERVER )", "IPX/SPX ( CLIENT )",
                               "통신 정지"};
    for (int kind = LINK_SERIAL; kind <= LINK_STOPPED; ++kind) {
        if (kind == LINK_TCP_SERVER || kind == LINK_UDP || kind == LINK_IPX_SERVER ||
            kind == LINK_STOPPED)
            link->addSeparator();
        AddCommand(link, ID_LINK_FIRST + kind, tr(linkTexts[kind]), true);
    }

    QMenu* screens = bar->addMenu(tr("화면설정"));
    const char* screenTexts[] = {"통신 분석기",  "YASKAWA PLC",     "SIMENS PLC", "AB PLC",
                                 "MASTER-K PLC", "POSFA PLC",       "MELSEC PLC", "사용자 통신",
                                 "파일 전송",    "채팅( CHATTING )"};
    for (int screen = 0; screen <= 9; ++screen) {
        if (screen == 1 || screen == 7 || screen == 8 || screen == 9)
            screens->addSeparator();
        AddCommand(screens, ID_SCREEN_FIRST + screen, tr(screenTexts[screen]), true)
            ->setEnabled(CScreenFactory::Has(screen));
    }

    QMenu* view = bar->addMenu(tr("화면상태"));
    AddCommand(view, ID_REFRESH, tr("REFRESH"));
    view->addSeparator();
    AddCommand(view, ID_CLEAR, tr("CLEAR"));
    view->addSeparator();
    QMenu* layer = view->addMenu(tr("화면 위치"));
    AddCommand(layer, ID_LAYER_TOP, tr("가장 앞"), true);
    AddCommand(layer, ID_LAYER_NORMAL, tr("보통"), true);
    AddCommand(layer, ID_LAYER_BOTTOM, tr("가장 뒤"), true);
    layer->addSeparator();
    AddCommand(layer, ID_TRAY, tr("트레이 아이콘"), true);

    QMenu* protocol = bar->addMenu(tr("프로토콜"));
    AddCommand(protocol, ID_CAPTURE_START, tr("데이터 프로토콜 저장 시작"));
    AddCommand(protocol, ID_CAPTURE_STOP, tr("데이터 프로토콜 저장 정지"));

    QMenu* micom = bar->addMenu(tr("마이컴"));
    AddCommand(micom, ID_MY_IP, tr("나의 IP 알아 내기"));

    QMenu* help = bar->addMenu(tr("Help"));
    AddCommand(help, ID_HELP_PROGRAM, tr("프로그램 Help"));
    help->addSeparator();
    AddCommand(help, ID_APP_ABOUT, tr("만든이 정보"));

    // Ctrl+N has no menu entry: the new-document command.
    auto* fresh = new QAction(this);
    fresh->setShortcut(QKeySequence::New);
    connect(fresh, &QAction::triggered, this, [this] { OnCommand(ID_FILE_NEW); });
    addAction(fresh);
    m_actions[ID_FILE_NEW] = fresh;

    for (QMenu* menu : {m_pFileMenu, link, screens, view, layer, protocol, micom, help})
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateChecks);
}

QAction* CMainFrame::Action(int id) const {
    auto found = m_actions.find(id);
    return found == m_actions.end() ? nullptr : found->second;
}

void CMainFrame::UpdateChecks() {
    for (int kind = LINK_SERIAL; kind <= LINK_STOPPED; ++kind)
        Action(ID_LINK_FIRST + kind)->setChecked(kind == m_pHub->GetLinkKind());
    for (int screen = 0; screen <= 9; ++screen) {
        QAction* action = Action(ID_SCREEN_FIRST + screen);
        action->setChecked(screen == m_doc.GetScreen());
        action->setEnabled(CScreenFactory::Has(screen));
    }
    Action(ID_LAYER_TOP)->setChecked(m_nWindowLayer == 0);
    Action(ID_LAYER_NORMAL)->setChecked(m_nWindowLayer == 1);
    Action(ID_LAYER_BOTTOM)->setChecked(m_nWindowLayer == 2);
    Action(ID_TRAY)->setChecked(m_bTrayMode);
    Action(ID_CAPTURE_START)->setEnabled(m_pHub->IsCaptureStopped());
    Action(ID_CAPTURE_STOP)->setEnabled(!m_pHub->IsCaptureStopped());
}

void CMainFrame::OnCommand(int id) {
    if (id >= ID_FILE_MRU_FIRST && id < ID_FILE_MRU_FIRST + kRecentFiles) {
        OpenRecentFile(id - ID_FILE_MRU_FIRST);
    } else if (id >= ID_SCREEN_FIRST && id <= ID_SCREEN_FIRST + 9) {
        SwitchScreen(id - ID_SCREEN_FIRST);
    } else if (id >= ID_LINK_FIRST && id <= ID_LINK_FIRST + static_cast<int>(LINK_STOPPED)) {
        SetupLink(id - ID_LINK_FIRST);
    } else {
        switch (id) {
        case ID_REFRESH:
            RefreshScreen();
            break;
        case ID_CLEAR:
            m_doc.Clear();
            RefreshScreen();
            break;
        case ID_LAYER_TOP:
        case ID_LAYER_NORMAL:
        case ID_LAYER_BOTTOM:
            m_nWindowLayer = id - ID_LAYER_TOP;
            SetWindowLayer(m_nWindowLayer);
            break;
        case ID_TRAY:
            SetTrayMode(!m_bTrayMode);
            break;
        case ID_CAPTURE_START:
            m_pHub->StartCapture();
            break;
        case ID_CAPTURE_STOP:
            m_pHub->StopCapture();
            break;
        case ID_FILE_OPEN:
            OpenCaptureFile();
            break;
        case ID_FILE_SAVE:
            SaveDocument(false);
            break;
        case ID_FILE_SAVE_AS:
            SaveDocument(true);
            break;
        case ID_FILE_EXPORT_PCAPNG:
            CPcapngExportCommand::Run(this, m_doc, m_pScreen, m_strDocPath);
            break;
        case ID_FILE_NEW:
            // The document has nothing to empty: the records stay and the
            // screen starts over.
            if (m_pScreen)
                m_pScreen->InitialUpdate();
            break;
        case ID_FILE_CLOSE:
            QTimer::singleShot(0, this, &QWidget::close);
            break;
        case ID_HELP_PROGRAM:
            ShowHelp();
            break;
        case ID_APP_ABOUT:
            ShowAbout();
            break;
        case ID_MY_IP: {
            CIpCheckerDlg dialog(this);
            dialog.exec();
            break;
        }
        default:
            break;
        }
    }
    UpdateChecks();
}

bool CMainFrame::SwitchScreen(int screen) {
    if (!CScreenFactory::Has(screen))
        return false;
    m_doc.SetScreen(screen);
    if (m_pScreen && m_pScreen->GetScreenId() == screen)
        return true;
    // Nothing is delivered while no screen is in place.
    m_pHub->SetCurrentScreen(CLinkHub::SCREEN_NONE);
    m_pHub->SetActiveScreen(nullptr);
    CScreenView* old = m_pScreen;
    m_pScreen = nullptr;
    if (old)
        old->hide();
    CScreenView* fresh = CScreenFactory::Make(screen, *this, m_pPane);
    m_pPane->layout()->addWidget(fresh);
    fresh->show();
    m_pScreen = fresh;
    m_pHub->SetActiveScreen(fresh);
    fresh->InitialUpdate();
    delete old;
    UpdateChecks();
    return true;
}

void CMainFrame::SetupLink(int kind) {
    if (kind == LINK_STOPPED) {
        m_pHub->SetupLink(kind, nullptr);
    } else {
        LinkSettings values = m_pHub->GetSettings();
        const bool confirmed = m_fnLinkDialog && m_fnLinkDialog(kind, values);
        m_pHub->SetupLink(kind, confirmed ? &values : nullptr);
    }
    // The lamps and caption show the outcome now rather than at the next
    // tick.
    if (m_pScreen)
        m_pScreen->OnLampTimer();
}

QFileDialog* CMainFrame::MakeCaptureDialog(QWidget* parent, bool save, const QString& path) {
    auto* dialog =
        new QFileDialog(parent, save ? tr("저장...AS") : tr("열기"), path, tr(kCaptureFilter));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    if (save) {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setDefaultSuffix(QStringLiteral("alr"));
    } else {
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        // A name typed without ".ALR" does not exist as typed; the open
        // command adds the extension, so the dialog must let it through.
        dialog->setFileMode(QFileDialog::AnyFile);
        dialog->setOption(QFileDialog::ReadOnly);
    }
    return dialog;
}

namespace {

QString RunCaptureDialog(QFileDialog* dialog) {
    const std::unique_ptr<QFileDialog> owned(dialog);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return {};
    return dialog->selectedFiles().constFirst();
}

} // namespace

void CMainFrame::OpenCaptureFile() {
    const QString chosen =
        m_fnAskOpenPath ? m_fnAskOpenPath() : RunCaptureDialog(MakeCaptureDialog(this, false, {}));
    if (chosen.isEmpty())
        return;
    const std::filesystem::path path = CAlrFile::OpenPath(chosen.toStdString());
    const std::size_t countBefore = m_doc.GetCount();
    const std::uint64_t bytesBefore = m_doc.GetTotalBytes();
    std::string error;
    const bool loaded = CAlrFile::Load(m_doc, path, error);
    if (loaded || m_doc.GetCount() != countBefore || m_doc.GetTotalBytes() != bytesBefore)
        ShowLoadedCapture();
    if (!loaded)
        ShowMessage(QString::fromStdString(error));
    RefreshScreen();
}

void CMainFrame::ShowLoadedCapture() {
    SwitchScreen(CLinkHub::SCREEN_ANALYZER);
    if (!isVisible())
        return;
    // A drop or a second start may find the window behind others.
    raise();
    activateWindow();
}

bool CMainFrame::OpenDocument(const QString& path) {
    const std::size_t countBefore = m_doc.GetCount();
    const std::uint64_t bytesBefore = m_doc.GetTotalBytes();
    std::string error;
    const bool loaded = CAlrFile::Load(m_doc, FsPath(path), error);
    // Whatever was read, also the records before a damaged one, is shown.
    if (loaded || m_doc.GetCount() != countBefore || m_doc.GetTotalBytes() != bytesBefore)
        ShowLoadedCapture();
    if (loaded) {
        m_strDocPath = QFileInfo(path).absoluteFilePath();
        AddRecentFile(m_strDocPath);
    } else {
        // The records may be half replaced: a save must not write them over
        // the file the document was named after.
        m_strDocPath.clear();
        ShowMessage(QString::fromStdString(error));
    }
    RefreshScreen();
    return loaded;
}

bool CMainFrame::SaveDocument(bool askName) {
    QString path = m_strDocPath;
    if (askName || path.isEmpty()) {
        path = m_fnAskSavePath ? m_fnAskSavePath()
                               : RunCaptureDialog(MakeCaptureDialog(this, true, m_strDocPath));
        if (path.isEmpty())
            return false;
        if (QFileInfo(path).suffix().isEmpty())
            path += QStringLiteral(".alr");
    }
    std::string error;
    if (!CAlrFile::Store(m_doc, FsPath(path), error)) {
        ShowMessage(QString::fromStdString(error));
        return false;
    }
    m_strDocPath = QFileInfo(path).absoluteFilePath();
    AddRecentFile(m_strDocPath);
    return true;
}

QStringList CMainFrame::RecentFiles() const {
    QStringList files;
    for (int i = 1; i <= kRecentFiles; ++i) {
        const std::string key = "File" + std::to_string(i);
        if (auto value = m_store.ReadValue(kRecentSection, key)) {
            const QString file = QString::fromStdString(*value);
            if (!file.isEmpty() && !files.contains(file))
                files << file;
        }
    }
    return files;
}

void CMainFrame::WriteRecentFiles(const QStringList& files) {
    for (int i = 1; i <= kRecentFiles; ++i) {
        const std::string key = "File" + std::to_string(i);
        m_store.WriteText(kRecentSection, key,
                          i <= files.size() ? files[i - 1].toStdString() : std::string());
    }
    UpdateRecentMenu();
}

void CMainFrame::AddRecentFile(const QString& path) {
    QStringList files = RecentFiles();
    files.removeAll(path);
    files.prepend(path);
    WriteRecentFiles(files.mid(0, kRecentFiles));
}

// Numbered entries, as Windows programs of this kind list them.
void CMainFrame::UpdateRecentMenu() {
    for (QAction* action : m_recentActions) {
        m_actions.erase(action->data().toInt());
        delete action;
    }
    m_recentActions.clear();
    const QStringList files = RecentFiles();
    for (int i = 0; i < files.size() && i < kRecentFiles; ++i) {
        const int id = ID_FILE_MRU_FIRST + i;
        auto* action = new QAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(
                QDir::toNativeSeparators(files[i]).replace(QLatin1Char('&'), QStringLiteral("&&"))),
            m_pFileMenu);
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
        m_pFileMenu->insertAction(m_pFileClose, action);
        m_actions[id] = action;
        m_recentActions << action;
    }
    if (!m_recentActions.isEmpty()) {
        QAction* separator = m_pFileMenu->insertSeparator(m_pFileClose);
        separator->setData(0);
        m_recentActions << separator;
    }
}

void CMainFrame::OpenRecentFile(int index) {
    QStringList files = RecentFiles();
    if (index < 0 || index >= files.size())
        return;
    const QString path = files[index];
    if (!QFileInfo(path).isFile()) {
        files.removeAt(index);
        WriteRecentFiles(files);
        ShowMessage(tr(kRecentMissingMessage) + QDir::toNativeSeparators(path));
        return;
    }
    OpenDocument(path);
}

void CMainFrame::RefreshScreen() {
    if (m_pScreen)
        m_pScreen->RefreshScreen();
    update();
}

void CMainFrame::SetWindowLayer(int layer) {
    Qt::WindowFlags flags =
        windowFlags() & ~(Qt::WindowStaysOnTopHint | Qt::WindowStaysOnBottomHint);
    if (layer == 0)
        flags |= Qt::WindowStaysOnTopHint;
    else if (layer == 2)
        flags |= Qt::WindowStaysOnBottomHint;
    const QRect geometryBefore = geometry();
    // Changing the flags hides the window; it comes back where it was.
    setWindowFlags(flags);
    setGeometry(geometryBefore);
    show();
}

void CMainFrame::SetDocumentTitle(const QString& title) {
    m_strDocTitle = title;
    setWindowTitle(title + QStringLiteral(" - ") + QString::fromUtf8(kFrameTitle));
}

void CMainFrame::SetTrayMode(bool on) {
    if (on == m_bTrayMode)
        return;
    if (!on) {
        delete m_pTrayIcon;
        m_pTrayIcon = nullptr;
        m_bTrayMode = false;
        return;
    }
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        if (!m_bTrayWarned)
            ShowMessage(tr(kNoTrayMessage));
        m_bTrayWarned = true;
        return;
    }
    m_pTrayIcon = new QSystemTrayIcon(CArtwork::AppIcon(), this);
    m_pTrayIcon->setToolTip(QStringLiteral("QUILLET"));
    m_pTrayIcon->setContextMenu(m_pFileMenu);
    connect(m_pTrayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick) {
                    showNormal();
                    raise();
                    activateWindow();
                }
            });
    m_pTrayIcon->show();
    m_bTrayMode = true;
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    if (isMinimized() && m_bTrayMode)
        QTimer::singleShot(0, this, &QWidget::hide);
    else if (!isMinimized())
        raise();
}

void CMainFrame::ShowHelp() {
    if (!m_pHelp)
        return;
    m_pHelp->show();
    m_pHelp->raise();
    m_pHelp->activateWindow();
}

void CMainFrame::ShowAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CMainFrame::ShowMessage(const QString& text) {
    CMessageBox::Show(this, text);
}

void CMainFrame::SaveSettings() {
    CProgramSettings settings = m_settings;
    settings.SetLink(m_pHub->GetSettings());
    settings.m_nScreenChoose = m_pHub->GetScreen();
    settings.m_nComChoose = m_pHub->GetLinkKind();
    settings.m_nComConnect = m_pHub->IsLinkUp() ? 1 : 0;
    settings.Save(m_store);
    if (auto* qsettings = dynamic_cast<CQSettingsStore*>(&m_store)) {
        qsettings->Sync();
        if (qsettings->GetStatus() == QSettings::AccessError)
            ShowMessage(tr(kSettingsNotSavedMessage) + qsettings->FileName());
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!m_bExited) {
        m_bExited = true;
        SaveSettings();
        m_pHub->SetCurrentScreen(CLinkHub::SCREEN_NONE);
        m_pHub->SetActiveScreen(nullptr);
        m_pLinkManager->CloseLink();
        SetTrayMode(false);
        if (m_pHelp)
            m_pHelp->hide();
        emit exited();
    }
    event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedCapture(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    if (OpenDropped(event->mimeData()))
        event->acceptProposedAction();
}

bool CMainFrame::OpenDropped(const QMimeData* mime) {
    const QString path = DroppedCapture(mime);
    if (path.isEmpty())
        return false;
    activateWindow();
    OpenDocument(path);
    return true;
}
