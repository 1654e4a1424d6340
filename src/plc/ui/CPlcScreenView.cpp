#include "plc/ui/CPlcScreenView.h"

#include "app/CLinkHub.h"
#include "app/CSafeFile.h"
#include "app/CScreenStates.h"
#include "app/ui/IScreenHost.h"
#include "plc/CMemoryTableCsv.h"
#include "plc/ui/CMemorySetDlg.h"
#include "plc/ui/CMemoryTreeModel.h"
#include "plc/ui/CRequestGrid.h"
#include "plc/ui/CTrendWindow.h"
#include "widgets/CArtwork.h"
#include "widgets/CLamp.h"
#include "widgets/CLampPanel.h"
#include "widgets/CMessageBox.h"

#include <QButtonGroup>
#include <QDateTime>
#include <QFileDialog>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// The template is 383 x 349 dialog units; the screen area is 680 x 530
// pixels. Scaling each axis to fill it keeps the template's proportions
// close and leaves the tree and the grid as large as they can be.
constexpr double kUnitX = CScreenView::WIDTH / 383.0;
constexpr double kUnitY = CScreenView::HEIGHT / 349.0;

int Px(double units, double scale) {
    return static_cast<int>(std::lround(units * scale));
}

QRect Dlu(int x, int y, int w, int h) {
    const int left = Px(x, kUnitX);
    const int top = Px(y, kUnitY);
    return {left, top, Px(x + w, kUnitX) - left, Px(y + h, kUnitY) - top};
}

// The right column's groups and what sits in them, in pixels from the
// group's corner: the group titles take the top 17 pixels.
constexpr int kGroupTitle = 17;
constexpr int kRowHeight = 18;
constexpr int kButtonHeight = 24;

} // namespace

CPlcScreenView::CPlcScreenView(IScreenHost& host, SForm form, EngineFactory makeEngine,
                               QWidget* parent)
    : CScreenView(host, form.m_nScreen, parent), m_form(std::move(form)),
      m_fnMakeEngine(std::move(makeEngine)), m_file(m_form.m_nScreen),
      m_pState(host.States() ? host.States()->Get<CPlcScreenState>(m_form.m_nScreen)
                             : std::make_shared<CPlcScreenState>()),
      m_memory(m_pState->m_memory), m_path(m_pState->m_path), m_nMode(m_form.m_nDefaultMode) {
    BuildControls();
    m_treeTimer.setInterval(TIMER_TREE_MS);
    connect(&m_treeTimer, &QTimer::timeout, this, &CPlcScreenView::OnTreeTimer);
    m_pollTimer.setInterval(CPlcEngine::POLL_PERIOD_MS);
    connect(&m_pollTimer, &QTimer::timeout, this, [this] {
        if (m_pEngine)
            m_pEngine->OnTimer(CPlcEngine::ID_TIMER_POLL);
    });
    ShowValues();
    ShowPolling(false);
}

CPlcScreenView::~CPlcScreenView() {
    // The grid is still there: its rows stay for the next window.
    if (m_bSetUp) {
        m_pState->m_rows = GridRows();
        m_pState->m_bKept = true;
    }
}

void CPlcScreenView::BuildControls() {
    auto name = [](QObject* object, int id) { object->setObjectName(QString::number(id)); };
    auto group = [this](const QString& title, const QRect& geometry) {
        auto* box = new QGroupBox(title, this);
        box->setGeometry(geometry);
        return box;
    };
    auto radios = [&](QGroupBox* box, std::initializer_list<std::pair<QString, int>> items) {
        auto* buttons = new QButtonGroup(this);
        int y = kGroupTitle;
        int index = 0;
        for (const auto& [text, id] : items) {
            auto* radio = new QRadioButton(text, box);
            name(radio, id);
            radio->setGeometry(8, y, box->width() - 10, kRowHeight);
            buttons->addButton(radio, index++);
            y += kRowHeight + 1;
        }
        connect(buttons, &QButtonGroup::idClicked, this, &CPlcScreenView::ReadControls);
        return buttons;
    };
    auto buttonPair = [&](QGroupBox* box, const QString& first, int firstId, const QString& second,
                          int secondId) {
        const int w = box->width() - 12;
        auto* a = new QPushButton(first, box);
        name(a, firstId);
        a->setGeometry(6, kGroupTitle + 1, w, kButtonHeight);
        auto* b = new QPushButton(second, box);
        name(b, secondId);
        b->setGeometry(6, kGroupTitle + kButtonHeight + 4, w, kButtonHeight);
        return std::pair{a, b};
    };

    // The tree of words.
    m_pModel = new CMemoryTreeModel(m_memory, m_form.m_strRootLabel, this);
    m_pTree = new QTreeView(this);
    name(m_pTree, IDC_TREE);
    // The tree gives the diagnostics row its bottom 13 units.
    m_pTree->setGeometry(Dlu(0, 0, 333, 240));
    m_pTree->setModel(m_pModel);
    m_pTree->setHeaderHidden(true);
    m_pTree->setRootIsDecorated(true);
    m_pTree->setUniformRowHeights(true);
    m_pTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Several words at once go to the trend window; the memory dialog
    // takes the current one.
    m_pTree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    QPalette treePalette = m_pTree->palette();
    treePalette.setBrush(QPalette::Base, QBrush(CArtwork::Bitmap(CArtwork::BMP_TREE)));
    m_pTree->setPalette(treePalette);
    m_pTree->installEventFilter(this);
    connect(m_pTree, &QTreeView::doubleClicked, this, &CPlcScreenView::OnTreeActivated);

    // The diagnostics row: the counters, then their reset, the CSV export
    // and the trend window.
    const QRect row = Dlu(0, 241, 333, 12);
    auto rowButton = [&](const QString& text, int id, int right, int width) {
        auto* button = new QPushButton(text, this);
        name(button, id);
        button->setGeometry(row.right() - right, row.y(), width, row.height());
        return button;
    };
    QFont rowFont = font();
    rowFont.setPixelSize(11);
    m_pTrendButton = rowButton(tr("트렌드"), IDC_TREND, 43, 44);
    m_pExportCsv = rowButton(tr("CSV"), IDC_EXPORT_CSV, 80, 36);
    m_pReset = rowButton(tr("초기화"), IDC_COUNTERS_RESET, 124, 43);
    for (QPushButton* button : {m_pTrendButton, m_pExportCsv, m_pReset})
        button->setFont(rowFont);
    m_pReset->setToolTip(tr("통신 카운터를 0부터 다시 셉니다."));
    m_pExportCsv->setToolTip(tr("메모리 테이블을 CSV 파일로 저장합니다 (10진수, 16진수, 2진수)."));
    m_pTrendButton->setToolTip(tr("트리에서 고른 워드를 트렌드 창에 그립니다 (8개까지)."));
    m_pCounters = new QLabel(this);
    name(m_pCounters, IDC_COUNTERS);
    m_pCounters->setTextFormat(Qt::PlainText);
    m_pCounters->setFont(rowFont);
    m_pCounters->setAutoFillBackground(true);
    m_pCounters->setGeometry(row.x(), row.y(), row.width() - 127, row.height());
    m_pCounters->setIndent(3);
    m_pCounters->setToolTip(
        tr("요청: 보낸 요청, 정상: 맞는 응답, 불량: 요청의 응답이 아니거나 깨진 응답, "
           "예외: PLC가 거절한 응답, 시간초과: 응답 없이 넘어간 요청.\n"
           "RTT: 요청을 보낸 때부터 정상 또는 예외 응답의 마지막 바이트까지 (1초마다 갱신)."));

    // The grid takes its placeholder's place.
    auto* placeholder = new QFrame(this);
    name(placeholder, IDC_GRID_FRAME);
    placeholder->setGeometry(Dlu(1, 254, 332, 93));
    m_pGrid = new CRequestGrid(m_form.m_nScreen, this);
    m_pGrid->AttachTo(placeholder);

    // The right column.
    m_pCaption = new QLabel(m_form.m_strCaption, this);
    m_pCaption->setTextFormat(Qt::PlainText);
    m_pCaption->setWordWrap(true);
    m_pCaption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont small = m_pCaption->font();
    small.setPixelSize(11);
    m_pCaption->setFont(small);
    m_pCaption->setGeometry(Dlu(334, 0, 46, 54));

    m_pRadixGroup =
        radios(group(tr("DATA상태"), Dlu(335, 55, 45, 51)), {{tr("2진수"), IDC_RADIX_BINARY},
                                                             {tr("10진수"), IDC_RADIX_DECIMAL},
                                                             {tr("16진수"), IDC_RADIX_HEX}});
    if (!m_form.m_strModeGroup.isEmpty()) {
        m_pModeGroup = radios(
            group(m_form.m_strModeGroup, Dlu(335, m_form.m_nModeGroupTop, 45, 36)),
            {{m_form.m_strMode0, m_form.m_nModeId0}, {m_form.m_strMode1, m_form.m_nModeId1}});
    }
    std::tie(m_pSave, m_pOpen) = buttonPair(group(tr("세팅 INI파일"), Dlu(335, 178, 45, 48)),
                                            tr("저장"), IDC_SAVE, tr("열기"), IDC_OPEN);
    std::tie(m_pSend, m_pStop) = buttonPair(group(tr("통신"), Dlu(335, 231, 45, 48)), tr("보내기"),
                                            IDC_SEND, tr("정지"), IDC_STOP);

    // The lamps stand one under the other in a sunken frame at the bottom
    // of the column: the column is too narrow for the panel's single row.
    auto* frame = new QFrame(this);
    m_lampFrame = Dlu(335, 282, 45, 67);
    frame->setGeometry(m_lampFrame);
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Lamps()->StackVertically();
    Lamps()->raise();
    PlaceLamps();

    connect(m_pSave, &QPushButton::clicked, this, &CPlcScreenView::OnSaveRows);
    connect(m_pOpen, &QPushButton::clicked, this, &CPlcScreenView::OnLoadRows);
    connect(m_pSend, &QPushButton::clicked, this, &CPlcScreenView::OnSend);
    connect(m_pStop, &QPushButton::clicked, this, &CPlcScreenView::OnStop);
    connect(m_pReset, &QPushButton::clicked, this, &CPlcScreenView::OnResetCounters);
    connect(m_pExportCsv, &QPushButton::clicked, this, &CPlcScreenView::OnExportCsv);
    connect(m_pTrendButton, &QPushButton::clicked, this, &CPlcScreenView::OnTrend);
}

QPushButton* CPlcScreenView::Button(int id) const {
    switch (id) {
    case IDC_SAVE:
        return m_pSave;
    case IDC_OPEN:
        return m_pOpen;
    case IDC_SEND:
        return m_pSend;
    case IDC_STOP:
        return m_pStop;
    case IDC_COUNTERS_RESET:
        return m_pReset;
    case IDC_EXPORT_CSV:
        return m_pExportCsv;
    case IDC_TREND:
        return m_pTrendButton;
    default:
        return nullptr;
    }
}

void CPlcScreenView::InitialUpdate() {
    CScreenView::InitialUpdate();
    m_treeTimer.start();

    // A set-up run again (the new-document command) starts over as the
    // program does: the old engine stops with its poll timer, the table is
    // zero and the grid shows the file again. A new window of the screen
    // takes up the table and rows its last window left.
    m_pollTimer.stop();
    m_pEngine = m_fnMakeEngine(m_host.Hub());
    m_pEngine->SetTimerHandler([this](int id, int periodMs) { OnEngineTimer(id, periodMs); });

    const bool bResume = !m_bSetUp && m_pState->m_bKept;
    if (!bResume) {
        m_memory.Clear();
        // Fixed now: the file stays where it was even if the current
        // directory changes later.
        m_path = m_file.CurrentPath();
    }
    m_pModel->Reset();
    m_pTree->expand(m_pModel->RootIndex());
    if (bResume)
        ShowRows(m_pState->m_rows);
    else
        LoadRows(true);
    m_bSetUp = true;

    m_nRadix = CMemoryTreeModel::RADIX_DECIMAL;
    m_nMode = m_form.m_nDefaultMode;
    ShowPolling(false);
    ShowValues();
    OnTreeTimer();
}

void CPlcScreenView::OnEngineTimer(int id, int periodMs) {
    if (id != CPlcEngine::ID_TIMER_POLL)
        return;
    if (periodMs > 0)
        m_pollTimer.start(periodMs);
    else
        m_pollTimer.stop();
}

void CPlcScreenView::OnLinkData(const std::uint8_t* bytes, int count) {
    if (m_pEngine)
        m_pEngine->OnReceive(bytes, count);
}

bool CPlcScreenView::IsPolling() const {
    return m_pEngine && m_pEngine->IsRunning();
}

void CPlcScreenView::ReadControls() {
    if (m_pRadixGroup->checkedId() >= 0)
        m_nRadix = m_pRadixGroup->checkedId();
    if (m_pModeGroup && m_pModeGroup->checkedId() >= 0)
        m_nMode = m_pModeGroup->checkedId();
}

void CPlcScreenView::ShowValues() {
    if (QAbstractButton* radio = m_pRadixGroup->button(m_nRadix))
        radio->setChecked(true);
    if (m_pModeGroup) {
        if (QAbstractButton* radio = m_pModeGroup->button(m_nMode))
            radio->setChecked(true);
    }
}

void CPlcScreenView::ShowPolling(bool bPolling) {
    m_pStop->setEnabled(bPolling);
    m_pSend->setEnabled(!bPolling);
    if (m_pModeGroup) {
        for (QAbstractButton* radio : m_pModeGroup->buttons())
            radio->setEnabled(!bPolling);
    }
    m_pGrid->EnableGrid(!bPolling);
}

void CPlcScreenView::OnSend() {
    ReadControls();
    ShowPolling(true);
    // An empty grid has nothing to poll, and saving it would empty a file
    // that holds rows.
    if (m_pGrid->GetRowCount() == 0) {
        OnStop();
        CMessageBox::Show(this, tr(kNoRows));
        return;
    }
    OnSaveRows();
    OnLoadRows();
    if (!m_pEngine || m_pEngine->Start(m_memory, m_pModeGroup ? m_nMode : 0) == 0)
        OnStop();
}

void CPlcScreenView::OnStop() {
    ShowPolling(false);
    if (m_pEngine)
        m_pEngine->Stop();
}

std::vector<std::vector<std::string>> CPlcScreenView::GridRows() const {
    std::vector<std::vector<std::string>> rows;
    const int nRows = m_pGrid->GetRowCount();
    const int nColumns = m_file.GetColumnCount();
    rows.reserve(static_cast<std::size_t>(nRows));
    for (int r = 0; r < nRows; ++r) {
        std::vector<std::string> cells;
        for (int c = 0; c < nColumns; ++c)
            cells.push_back(m_pGrid->GetCellText(c, r).toStdString());
        rows.push_back(std::move(cells));
    }
    return rows;
}

void CPlcScreenView::ShowRows(const std::vector<std::vector<std::string>>& rows) {
    m_pGrid->SetRowCount(static_cast<int>(rows.size()));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c)
            m_pGrid->SetCellText(static_cast<int>(c), static_cast<int>(r),
                                 QString::fromStdString(rows[r][c]));
    }
    m_pGrid->RedrawAll();
}

void CPlcScreenView::OnSaveRows() {
    if (!m_file.SaveRows(m_path, GridRows()))
        CMessageBox::Show(this, tr(kSaveFailed));
}

void CPlcScreenView::OnLoadRows() {
    LoadRows(false);
}

void CPlcScreenView::LoadRows(bool bSayLater) {
    CPlcSettingsFile::SReadInfo info;
    ShowRows(m_file.LoadRows(m_path, &info));
    // A missing file is a screen never saved: nothing to say. One that
    // cannot be read, or holds more rows than are read, is said.
    QString text;
    std::error_code ec;
    if (!info.m_strError.empty() && std::filesystem::exists(m_path, ec))
        text = tr(CPlcEngine::kIniFailed) + QLatin1Char('\n') +
               QString::fromStdString(m_path.string() + ": " + info.m_strError);
    else if (info.m_bCut)
        text = tr(CPlcEngine::kRowsCut) + QString::fromStdString(m_path.string());
    if (text.isEmpty())
        return;
    if (bSayLater)
        QMetaObject::invokeMethod(
            this, [this, text] { CMessageBox::Show(this, text); }, Qt::QueuedConnection);
    else
        CMessageBox::Show(this, text);
}

void CPlcScreenView::OnTreeTimer() {
    m_pModel->Refresh(m_nRadix);
    ShowCounters();
    if (m_pTrend)
        m_pTrend->AddSample(QDateTime::currentDateTime(), m_memory);
}

QString CPlcScreenView::CountersText(const CPlcEngine::SCounters& c) {
    const auto ms = [&c](std::int64_t us) {
        return c.m_nRttSamples ? QString::number(static_cast<double>(us) / 1000.0, 'f', 1)
                               : QStringLiteral("-");
    };
    return tr("요청 %1 · 정상 %2 · 불량 %3 · 예외 %4 · 시간초과 %5 · RTT 최근 %6 / 평균 %7 ms")
        .arg(c.m_nRequests)
        .arg(c.m_nGood)
        .arg(c.m_nBad)
        .arg(c.m_nError)
        .arg(c.m_nTimeouts)
        .arg(ms(c.m_nRttLastUs), ms(c.RttAverageUs()));
}

void CPlcScreenView::ShowCounters() {
    m_pCounters->setText(
        CountersText(m_pEngine ? m_pEngine->GetCounters() : CPlcEngine::SCounters()));
}

void CPlcScreenView::OnResetCounters() {
    if (m_pEngine)
        m_pEngine->ResetCounters();
    ShowCounters();
}

bool CPlcScreenView::ExportMemoryCsv(const std::filesystem::path& path, QString& problem) const {
    std::string reason;
    if (CSafeFile::WriteAll(path, CMemoryTableCsv::Text(m_memory), &reason))
        return true;
    problem =
        tr("CSV 파일을 저장하지 못했습니다: %1\n%2")
            .arg(QString::fromStdString(CSafeFile::Text(path)), QString::fromStdString(reason));
    return false;
}

QString CPlcScreenView::AskCsvPath() {
    return QFileDialog::getSaveFileName(this, tr("메모리 테이블 CSV 내보내기"),
                                        QStringLiteral("memory.csv"), tr("CSV 파일 (*.csv)"));
}

void CPlcScreenView::OnExportCsv() {
    const QString path = AskCsvPath();
    if (path.isEmpty())
        return;
    QString problem;
    if (!ExportMemoryCsv(std::filesystem::path(path.toStdU16String()), problem))
        CMessageBox::Show(this, problem);
}

void CPlcScreenView::OnTrend() {
    if (!m_pTrend) {
        m_pTrend = new CTrendWindow(m_pModel->GetRootLabel(), this);
        m_pTrend->setAttribute(Qt::WA_DeleteOnClose);
    }
    // In the table's order; the ninth and later are refused, once.
    std::vector<int> words;
    for (const QModelIndex& index : m_pTree->selectionModel()->selectedIndexes()) {
        if (const int word = m_pModel->WordOf(index); word >= 0)
            words.push_back(word);
    }
    std::sort(words.begin(), words.end());
    QString problem;
    for (int word : words) {
        if (!m_pTrend->AddWord(word, problem))
            break;
    }
    m_pTrend->show();
    m_pTrend->raise();
    m_pTrend->activateWindow();
    if (!problem.isEmpty())
        CMessageBox::Show(m_pTrend, problem);
}

void CPlcScreenView::OnTreeActivated() {
    if (m_pModel->WordOf(m_pTree->currentIndex()) < 0)
        return;
    QMetaObject::invokeMethod(this, &CPlcScreenView::EditMemory, Qt::QueuedConnection);
}

void CPlcScreenView::EditMemory() {
    const int word = m_pModel->WordOf(m_pTree->currentIndex());
    if (word < 0)
        return;
    CMemorySetDlg dialog(this);
    dialog.SetValues(m_pModel->GetRootLabel(), word, m_memory.Get(word));
    if (!RunMemoryDialog(dialog))
        return;
    // The word keeps the low 16 bits of what was typed: 70000 is 4464, -1
    // is 65535.
    m_memory.Set(dialog.m_nIndex, static_cast<std::uint16_t>(dialog.m_nValue));
}

bool CPlcScreenView::RunMemoryDialog(CMemorySetDlg& dialog) {
    return dialog.exec() == QDialog::Accepted;
}

bool CPlcScreenView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pTree && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // The key goes on to the tree afterwards.
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            OnTreeActivated();
    }
    return CScreenView::eventFilter(watched, event);
}

void CPlcScreenView::paintEvent(QPaintEvent* event) {
    if (m_form.m_bBackground) {
        CScreenView::paintEvent(event);
        return;
    }
    // The plain dialog face: the pane's window brush is the background
    // bitmap, whose colour is black.
    QPainter p(this);
    p.fillRect(rect(), style()->standardPalette().color(QPalette::Window));
}

void CPlcScreenView::resizeEvent(QResizeEvent* event) {
    CScreenView::resizeEvent(event);
    PlaceLamps();
}

// In the lamp frame rather than the screen's bottom right corner.
void CPlcScreenView::PlaceLamps() {
    CLampPanel* lamps = Lamps();
    lamps->move(m_lampFrame.x() + (m_lampFrame.width() - lamps->width()) / 2,
                m_lampFrame.y() + (m_lampFrame.height() - lamps->height()) / 2);
}
