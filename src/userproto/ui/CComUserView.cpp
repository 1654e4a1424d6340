#include "userproto/ui/CComUserView.h"

#include "app/CLinkHub.h"
#include "app/CScreenStates.h"
#include "app/ui/IScreenHost.h"
#include "plc/ui/CPlcScreenView.h"
#include "plc/ui/CRequestGrid.h"
#include "userproto/CUserSettingsFile.h"
#include "widgets/CLamp.h"
#include "widgets/CLampPanel.h"
#include "widgets/CMessageBox.h"

#include <QButtonGroup>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

// What outlives the window: the grid's rows.
struct CComUserView::SState {
    std::vector<std::vector<std::string>> m_rows;
    bool m_bKept = false;
};

namespace {

// The template is 383 x 349 dialog units over the 680 x 530 screen area,
// as on the PLC screens.
constexpr double kUnitX = CScreenView::WIDTH / 383.0;
constexpr double kUnitY = CScreenView::HEIGHT / 349.0;
constexpr int kGroupTitle = 17;
constexpr int kRowHeight = 18;
constexpr int kButtonHeight = 24;

QRect Dlu(int x, int y, int w, int h) {
    auto px = [](double units, double scale) {
        return static_cast<int>(std::lround(units * scale));
    };
    const int left = px(x, kUnitX);
    const int top = px(y, kUnitY);
    return {left, top, px(x + w, kUnitX) - left, px(y + h, kUnitY) - top};
}

// The list's two small icons: an arrow out for what was sent, an arrow in
// for the rest.
QIcon PacketIcon(bool bSent) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(bSent ? QColor(0, 140, 60) : QColor(30, 80, 200));
    const QPolygonF arrow =
        bSent ? QPolygonF({{13, 8}, {6, 2}, {6, 6}, {2, 6}, {2, 10}, {6, 10}, {6, 14}})
              : QPolygonF({{3, 8}, {10, 2}, {10, 6}, {14, 6}, {14, 10}, {10, 10}, {10, 14}});
    p.drawPolygon(arrow);
    return QIcon(pixmap);
}

} // namespace

CComUserView::CComUserView(IScreenHost& host, QWidget* parent)
    : CScreenView(host, SCREEN, parent),
      m_pState(host.States() ? host.States()->Get<SState>(SCREEN) : std::make_shared<SState>()) {
    BuildControls();
    m_engineTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_engineTimer, &QTimer::timeout, this, [this] {
        if (m_pEngine)
            m_pEngine->OnTimer(CUserEngine::ID_TIMER_USER);
    });
    ShowRunning(false);
}

CComUserView::~CComUserView() {
    if (m_bSetUp) {
        m_pState->m_rows = GridRows();
        m_pState->m_bKept = true;
    }
}

void CComUserView::BuildControls() {
    auto name = [](QObject* object, int id) { object->setObjectName(QString::number(id)); };
    auto group = [this](const QString& title, const QRect& geometry) {
        auto* box = new QGroupBox(title, this);
        box->setGeometry(geometry);
        return box;
    };
    auto button = [&](QWidget* parent, const QString& text, int id, int y) {
        auto* b = new QPushButton(text, parent);
        name(b, id);
        b->setGeometry(6, y, parent->width() - 12, kButtonHeight);
        return b;
    };

    m_pPackets = new QTreeWidget(this);
    name(m_pPackets, IDC_PACKETS);
    m_pPackets->setGeometry(Dlu(0, 0, 333, 230));
    m_pPackets->setColumnCount(4);
    m_pPackets->setHeaderLabels({tr("데이터"), tr("SIZE"), tr("ASCII/BINARY"), tr("SEND/REV")});
    const int widths[] = {300, 50, 120, 100};
    for (int c = 0; c < 4; ++c) {
        m_pPackets->setColumnWidth(c, widths[c]);
        m_pPackets->headerItem()->setTextAlignment(c, c == 0 ? Qt::AlignLeft : Qt::AlignCenter);
    }
    m_pPackets->setRootIsDecorated(false);
    m_pPackets->setUniformRowHeights(true);
    m_pPackets->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pPackets->setIconSize(QSize(16, 16));

    auto* placeholder = new QFrame(this);
    name(placeholder, IDC_GRID_FRAME);
    placeholder->setGeometry(Dlu(1, 232, 332, 115));
    m_pGrid = new CRequestGrid(SCREEN, this);
    m_pGrid->AttachTo(placeholder);

    QGroupBox* view = group(tr("View(화면)"), Dlu(335, 20, 45, 36));
    m_pViewGroup = new QButtonGroup(this);
    int y = kGroupTitle;
    int index = 0;
    for (const auto& [text, id] : {std::pair{tr("ASCII"), static_cast<int>(IDC_VIEW_ASCII)},
                                   std::pair{tr("Binary"), static_cast<int>(IDC_VIEW_BINARY)}}) {
        auto* radio = new QRadioButton(text, view);
        name(radio, id);
        radio->setGeometry(8, y, view->width() - 10, kRowHeight);
        m_pViewGroup->addButton(radio, index++);
        y += kRowHeight + 1;
    }

    QGroupBox* file = group(tr("세팅 INI파일"), Dlu(335, 120, 45, 48));
    m_pSave = button(file, tr("저장"), IDC_SAVE, kGroupTitle + 1);
    m_pOpen = button(file, tr("열기"), IDC_OPEN, kGroupTitle + kButtonHeight + 4);
    QGroupBox* link = group(tr("통신"), Dlu(335, 173, 45, 48));
    m_pSend = button(link, tr("보내기"), IDC_SEND, kGroupTitle + 1);
    m_pStop = button(link, tr("정지"), IDC_STOP, kGroupTitle + kButtonHeight + 4);
    m_pClear = new QPushButton(tr("CLEAR"), this);
    name(m_pClear, IDC_CLEAR);
    m_pClear->setGeometry(Dlu(335, 228, 45, 18));

    // The lamps one under the other, as on the PLC screens.
    auto* frame = new QFrame(this);
    m_lampFrame = Dlu(335, 282, 45, 67);
    frame->setGeometry(m_lampFrame);
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Lamps()->StackVertically();
    Lamps()->raise();
    PlaceLamps();

    connect(m_pSave, &QPushButton::clicked, this, &CComUserView::OnSaveRows);
    connect(m_pOpen, &QPushButton::clicked, this, &CComUserView::OnLoadRows);
    connect(m_pSend, &QPushButton::clicked, this, &CComUserView::OnSend);
    connect(m_pStop, &QPushButton::clicked, this, &CComUserView::OnStop);
    connect(m_pClear, &QPushButton::clicked, this, &CComUserView::OnClear);
}

QPushButton* CComUserView::Button(int id) const {
    switch (id) {
    case IDC_SAVE:
        return m_pSave;
    case IDC_OPEN:
        return m_pOpen;
    case IDC_SEND:
        return m_pSend;
    case IDC_STOP:
        return m_pStop;
    case IDC_CLEAR:
        return m_pClear;
    default:
        return nullptr;
    }
}

void CComUserView::InitialUpdate() {
    CScreenView::InitialUpdate();
    m_engineTimer.stop();
    m_pEngine =
        std::make_unique<CUserEngine>(m_host.Hub(), [this](const CUserEngine::SPacketLine& line) {
            AddPacketRow(QString::fromStdString(line.m_strData),
                         QString::fromStdString(line.m_strSize),
                         QString::fromStdString(line.m_strType),
                         QString::fromStdString(line.m_strDirection));
        });
    m_pEngine->SetTimerHandler([this](int id, int periodMs) {
        if (id != CUserEngine::ID_TIMER_USER)
            return;
        if (periodMs > 0)
            m_engineTimer.start(periodMs);
        else
            m_engineTimer.stop();
    });
    // Fixed now: the file stays where it was if the directory changes.
    m_path = CUserSettingsFile::CurrentPath();
    if (!m_bSetUp && m_pState->m_bKept)
        ShowRows(m_pState->m_rows);
    else
        ShowRows(CUserSettingsFile::LoadRows(m_path));
    m_bSetUp = true;
    OnClear();
    m_nViewMode = CUserEngine::VIEW_ASCII;
    m_pViewGroup->button(m_nViewMode)->setChecked(true);
    ShowRunning(false);
}

void CComUserView::OnLinkData(const std::uint8_t* bytes, int count) {
    if (m_pEngine)
        m_pEngine->OnReceive(bytes, count);
}

void CComUserView::AddPacketRow(const QString& strData, const QString& strSize,
                                const QString& strType, const QString& strDirection) {
    auto* item = new QTreeWidgetItem({strData, strSize, strType, strDirection});
    item->setIcon(0, PacketIcon(strDirection == QLatin1String(CUserEngine::kSend)));
    for (int c = 1; c < 4; ++c)
        item->setTextAlignment(c, Qt::AlignCenter);
    m_pPackets->insertTopLevelItem(0, item);
    while (m_pPackets->topLevelItemCount() > kMaxLines)
        delete m_pPackets->takeTopLevelItem(m_pPackets->topLevelItemCount() - 1);
}

void CComUserView::OnClear() {
    m_pPackets->clear();
    // The greeting is text only, without an icon.
    m_pPackets->addTopLevelItem(new QTreeWidgetItem({tr(kGreeting)}));
}

void CComUserView::ShowRunning(bool bRunning) {
    m_pSend->setEnabled(!bRunning);
    m_pStop->setEnabled(bRunning);
    for (QAbstractButton* radio : m_pViewGroup->buttons())
        radio->setEnabled(!bRunning);
    m_pGrid->EnableGrid(!bRunning);
}

void CComUserView::OnSend() {
    if (m_pViewGroup->checkedId() >= 0)
        m_nViewMode = m_pViewGroup->checkedId();
    ShowRunning(true);
    // Saving an empty grid would empty a file that holds rows.
    if (m_pGrid->GetRowCount() == 0) {
        OnStop();
        CMessageBox::Show(this, tr(CPlcScreenView::kNoRows));
        return;
    }
    OnSaveRows();
    OnLoadRows();
    if (!m_pEngine || m_pEngine->Start(m_nViewMode) == 0)
        OnStop();
}

void CComUserView::OnStop() {
    ShowRunning(false);
    if (m_pEngine)
        m_pEngine->Stop();
}

std::vector<std::vector<std::string>> CComUserView::GridRows() const {
    std::vector<std::vector<std::string>> rows;
    for (int r = 0; r < m_pGrid->GetRowCount(); ++r) {
        std::vector<std::string> cells;
        for (int c = 0; c < CUserSettingsFile::kColumns; ++c)
            cells.push_back(m_pGrid->GetCellText(c, r).toStdString());
        rows.push_back(std::move(cells));
    }
    return rows;
}

void CComUserView::ShowRows(const std::vector<std::vector<std::string>>& rows) {
    m_pGrid->SetRowCount(static_cast<int>(rows.size()));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c)
            m_pGrid->SetCellText(static_cast<int>(c), static_cast<int>(r),
                                 QString::fromStdString(rows[r][c]));
    }
    m_pGrid->RedrawAll();
}

void CComUserView::OnSaveRows() {
    if (!CUserSettingsFile::SaveRows(m_path, GridRows()))
        CMessageBox::Show(this, tr(CPlcScreenView::kSaveFailed));
}

void CComUserView::OnLoadRows() {
    std::string error;
    ShowRows(CUserSettingsFile::LoadRows(m_path, &error));
    std::error_code ec;
    if (!error.empty() && std::filesystem::exists(m_path, ec))
        CMessageBox::Show(this, tr(CUserEngine::kIniFailed) + QLatin1Char('\n') +
                                    QString::fromStdString(m_path.string() + ": " + error));
}

void CComUserView::resizeEvent(QResizeEvent* event) {
    CScreenView::resizeEvent(event);
    PlaceLamps();
}

void CComUserView::PlaceLamps() {
    CLampPanel* lamps = Lamps();
    lamps->move(m_lampFrame.x() + (m_lampFrame.width() - lamps->width()) / 2,
                m_lampFrame.y() + (m_lampFrame.height() - lamps->height()) / 2);
}
