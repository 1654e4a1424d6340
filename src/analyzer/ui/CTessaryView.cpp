#include "analyzer/ui/CTessaryView.h"

#include "analyzer/CTrafficSearch.h"
#include "analyzer/ui/CFindBar.h"
#include "analyzer/ui/CTrafficGrid.h"
#include "analyzer/ui/ColorRef.h"
#include "app/CLinkHub.h"
#include "app/CTessaryDoc.h"
#include "app/ui/IScreenHost.h"
#include "link/CCp949.h"
#include "link/CHexCodec.h"
#include "widgets/CMessageBox.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>

#include <algorithm>
#include <string>

namespace {

std::string ToCp949(const QString& text) {
    return CCp949::FromUtf8(text.toStdString());
}

// "1.5" for half a byte, "2" for whole ones.
QString CountText(double count) {
    const bool half = static_cast<int>(count + 0.5) != static_cast<int>(count);
    return QString::number(count, 'f', half ? 1 : 0);
}

struct ToolBoxes {
    int m_nInput;
    int m_nResult;
    const char* m_pGroup;
    const char* m_pCaption;
};

// The four tools as the template lays them out, captions verbatim.
constexpr ToolBoxes kTools[] = {
    {CTessaryView::IDC_SUM_INPUT, CTessaryView::IDC_SUM_RESULT, "Sum Check", "ASCII 입력"},
    {CTessaryView::IDC_CRC_INPUT, CTessaryView::IDC_CRC_RESULT, "CRC-16 Check", "Binary 입력"},
    {CTessaryView::IDC_HEX2ASCII_INPUT, CTessaryView::IDC_HEX2ASCII_RESULT, "Banary ->ASCII",
     "Binary 입력"},
    {CTessaryView::IDC_ASCII2HEX_INPUT, CTessaryView::IDC_ASCII2HEX_RESULT, "ASCII -> Banary",
     "ASCII 입력"},
};

} // namespace

CTessaryView::CTessaryView(IScreenHost& host, QWidget* parent)
    : CScreenView(host, CLinkHub::SCREEN_ANALYZER, parent) {
    BuildControls();
    // Enter is handled by the control that has the focus; watch them all.
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
    ShowColorButtons();
    ShowValues();
}

CTessaryView::~CTessaryView() = default;

void CTessaryView::BuildControls() {
    auto name = [](QObject* object, int id) { object->setObjectName(QString::number(id)); };
    auto group = [this](const char* title, const QRect& geometry) {
        auto* box = new QGroupBox(tr(title), this);
        box->setGeometry(geometry);
        return box;
    };
    auto button = [&](QWidget* parent, const char* text, int id, const QRect& geometry) {
        auto* b = new QPushButton(tr(text), parent);
        name(b, id);
        b->setGeometry(geometry);
        b->setFocusPolicy(Qt::TabFocus);
        return b;
    };
    auto radios = [&](QGroupBox* box, std::initializer_list<std::pair<const char*, int>> items) {
        auto* buttons = new QButtonGroup(this);
        int y = 20;
        int index = 0;
        for (const auto& [text, id] : items) {
            auto* radio = new QRadioButton(tr(text), box);
            name(radio, id);
            radio->setGeometry(8, y, box->width() - 12, 18);
            buttons->addButton(radio, index++);
            y += 19;
        }
        return buttons;
    };
    auto edit = [&](QWidget* parent, int id, const QRect& geometry, bool readOnly) {
        auto* e = new QLineEdit(parent);
        name(e, id);
        e->setGeometry(geometry);
        e->setReadOnly(readOnly);
        return e;
    };

    m_pGrid = new CTrafficGrid(this);
    name(m_pGrid, IDC_GRID);
    m_pGrid->move(8, 8);
    m_pGrid->SetDocument(&m_host.Doc());

    // The column beside the grid.
    constexpr int x = 597;
    constexpr int w = 75;
    QPushButton* back = button(this, "◀", IDC_PAGE_BACK, {x, 8, 36, 24});
    QPushButton* forward = button(this, "▶", IDC_PAGE_FORWARD, {x + w - 36, 8, 36, 24});
    m_pPageText = edit(this, IDC_PAGE_TEXT, {x, 36, w, 22}, true);
    m_pPageText->setAlignment(Qt::AlignCenter);
    m_pLayerGroup = radios(
        group("Dlg 상태", {x, 64, w, 80}),
        {{"Top", IDC_LAYER_TOP}, {"Middle", IDC_LAYER_MIDDLE}, {"Bottom", IDC_LAYER_BOTTOM}});
    m_pRxGroup =
        radios(group("RX", {x, 148, w, 61}), {{"ASCII", IDC_RX_ASCII}, {"Binary", IDC_RX_BINARY}});
    m_pTxGroup =
        radios(group("TX", {x, 213, w, 61}), {{"ASCII", IDC_TX_ASCII}, {"Binary", IDC_TX_BINARY}});
    QGroupBox* colours = group("TX/RX 색", {x, 278, w, 82});
    m_pColorRx = button(colours, "RX", IDC_COLOR_RX, {6, 18, w - 12, 19});
    m_pColorTx = button(colours, "TX", IDC_COLOR_TX, {6, 39, w - 12, 19});
    m_pColorText = button(colours, "TEXT", IDC_COLOR_TEXT, {6, 60, w - 12, 19});
    QPushButton* print = button(this, "인쇄", IDC_PRINT, {x, 364, w, 24});

    // Below the grid: the send box, the files, the four tools.
    QGroupBox* send = group("보내는 데이터", {8, 393, 456, 46});
    m_pSendText = edit(send, IDC_SEND_TEXT, {8, 18, 356, 22}, false);
    m_pSendCount = edit(send, IDC_SEND_COUNT, {370, 18, 78, 22}, true);
    m_pSendCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QGroupBox* files = group("파일", {470, 393, 202, 46});
    QPushButton* save = button(files, "저장", IDC_SAVE, {8, 17, 89, 23});
    QPushButton* open = button(files, "열기", IDC_OPEN, {105, 17, 89, 23});

    int toolX = 8;
    for (const ToolBoxes& tool : kTools) {
        QGroupBox* box = group(tool.m_pGroup, {toolX, 443, 110, 83});
        auto* caption = new QLabel(tr(tool.m_pCaption), box);
        caption->setGeometry(7, 17, 98, 16);
        edit(box, tool.m_nInput, {6, 34, 98, 21}, false);
        auto* result = new QLabel(QStringLiteral("RESULT"), box);
        result->setGeometry(7, 58, 48, 21);
        edit(box, tool.m_nResult, {57, 58, 47, 21}, true);
        toolX += 115;
    }

    connect(back, &QPushButton::clicked, this, [this] {
        if (m_nPage > 1)
            --m_nPage;
        RefreshScreen();
    });
    connect(forward, &QPushButton::clicked, this, [this] {
        ++m_nPage; // PaintPage clamps it to the last page
        RefreshScreen();
    });
    connect(m_pLayerGroup, &QButtonGroup::idClicked, this, [this](int layer) {
        m_nLayer = layer;
        m_host.SetWindowLayer(layer);
    });
    connect(m_pRxGroup, &QButtonGroup::idClicked, this, [this](int mode) {
        m_nRxMode = mode;
        RefreshScreen();
    });
    // The text stays and is counted, and checked on Enter, in the new mode.
    connect(m_pTxGroup, &QButtonGroup::idClicked, this, [this](int mode) {
        m_nTxMode = mode;
        UpdateSendCount();
        RefreshScreen();
    });
    for (QPushButton* b : {m_pColorRx, m_pColorTx, m_pColorText}) {
        const int id = b->objectName().toInt();
        connect(b, &QPushButton::clicked, this, [this, id] { OnColorButton(id); });
    }
    connect(print, &QPushButton::clicked, this, &CTessaryView::PrintPage);
    connect(save, &QPushButton::clicked, this, [this] {
        m_host.SaveCapture();
        RefreshScreen();
    });
    connect(open, &QPushButton::clicked, this, [this] {
        m_host.OpenCapture();
        RefreshScreen();
    });
    connect(m_pSendText, &QLineEdit::textChanged, this, &CTessaryView::UpdateSendCount);

    m_pFindBar = new CFindBar(this);
    m_pFindBar->setGeometry(8, 443, 664, 83);
    m_pFindBar->hide();
    connect(m_pFindBar, &CFindBar::FindRequested, this, &CTessaryView::Find);
    connect(m_pFindBar, &CFindBar::PatternChanged, this, [this] {
        if (!m_bMatch)
            return;
        m_bMatch = false;
        ShowMatchMark();
    });
    auto shortcut = [this](const QKeySequence& keys, auto&& slot) {
        auto* s = new QShortcut(keys, this);
        s->setContext(Qt::WidgetWithChildrenShortcut);
        connect(s, &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence::Find, [this] { OpenFindBar(); });
    // F3 repeats the last search, or asks for one.
    for (const bool ahead : {true, false})
        shortcut(QKeySequence(ahead ? Qt::Key_F3 : (Qt::SHIFT | Qt::Key_F3)), [this, ahead] {
            if (m_pFindBar->TextBox()->text().isEmpty())
                OpenFindBar();
            else
                Find(ahead);
        });
}

void CTessaryView::ResetState() {
    m_colorRx = DEFAULT_COLOR_RX;
    m_colorTx = DEFAULT_COLOR_TX;
    m_colorText = DEFAULT_COLOR_TEXT;
    m_nLayer = 1;
    m_nTxMode = 0;
    m_nRxMode = 0;
}

void CTessaryView::InitialUpdate() {
    ResetState();
    ShowColorButtons();
    ShowValues();
    CScreenView::InitialUpdate();
}

void CTessaryView::ShowValues() {
    m_pLayerGroup->button(m_nLayer)->setChecked(true);
    m_pRxGroup->button(m_nRxMode)->setChecked(true);
    m_pTxGroup->button(m_nTxMode)->setChecked(true);
    m_pSendCount->setText(CountText(m_dSendCount));
}

void CTessaryView::Redraw() {
    m_nPage = m_page.PaintPage(m_host.Doc(), m_nPage, m_nRxMode);
    m_pGrid->SetPage(m_page, m_colorRx, m_colorTx, m_colorText);
    m_pPageText->setText(QString::fromStdString(m_page.PageText()));
    ShowMatchMark();
}

void CTessaryView::ShowMatchMark() {
    // A capture cleared or loaded since may no longer hold the match.
    if (m_bMatch && m_nMatchStart + m_nMatchLength > m_host.Doc().GetTotalBytes())
        m_bMatch = false;
    const auto pageStart = static_cast<std::uint64_t>(m_nPage - 1) * PAGE_CELLS;
    const std::uint64_t pageEnd = pageStart + PAGE_CELLS;
    const std::uint64_t matchEnd = m_nMatchStart + m_nMatchLength;
    if (!m_bMatch || matchEnd <= pageStart || m_nMatchStart >= pageEnd) {
        m_pGrid->SetMarkedCells(0, 0);
        return;
    }
    // The part of a match that runs on past the page is marked on the next.
    const std::uint64_t first = std::max(m_nMatchStart, pageStart);
    m_pGrid->SetMarkedCells(static_cast<int>(first - pageStart),
                            static_cast<int>(std::min(matchEnd, pageEnd) - first));
}

void CTessaryView::OpenFindBar() {
    m_pFindBar->Open();
}

void CTessaryView::CloseFindBar() {
    m_pFindBar->hide();
    m_bMatch = false;
    ShowMatchMark();
    m_pGrid->setFocus();
}

void CTessaryView::Find(bool forward) {
    if (!m_pFindBar->isVisible())
        m_pFindBar->Open();
    std::string bytes;
    std::string error;
    if (!CTrafficSearch::PatternFromText(m_pFindBar->TextBox()->text().toStdString(),
                                         m_pFindBar->HexBox()->isChecked(), bytes, error)) {
        m_pFindBar->SetStatus(QString::fromStdString(error));
        return;
    }
    const CTessaryDoc& doc = m_host.Doc();
    const CTrafficSearch search(bytes);
    const auto pageStart = static_cast<std::uint64_t>(m_nPage - 1) * PAGE_CELLS;
    CTrafficSearch::Match match;
    if (forward)
        match = search.FindNext(doc, m_bMatch ? m_nMatchStart + 1 : pageStart);
    else
        match = search.FindPrevious(doc, m_bMatch ? m_nMatchStart : pageStart + PAGE_CELLS);
    if (!match.m_bFound) {
        m_bMatch = false;
        ShowMatchMark();
        m_pFindBar->SetStatus(tr(CFindBar::kNotFound));
        return;
    }
    m_bMatch = true;
    m_nMatchStart = match.m_nStart;
    m_nMatchLength = bytes.size();
    ShowPage(static_cast<int>(match.m_nStart / PAGE_CELLS) + 1);
    const QString where =
        tr("%1번째 바이트 (%2쪽)").arg(match.m_nStart + 1).arg(match.m_nStart / PAGE_CELLS + 1);
    if (match.m_bWrapped)
        m_pFindBar->SetStatus(tr(forward ? CFindBar::kWrappedForward : CFindBar::kWrappedBackward) +
                              QLatin1Char(' ') + where);
    else
        m_pFindBar->SetStatus(where);
}

void CTessaryView::ShowPage(int page) {
    m_nPage = std::max(page, 1);
    RefreshScreen();
}

void CTessaryView::UpdateSendCount() {
    // Binary mode counts digits, so blanks between pairs add nothing.
    m_dSendCount =
        m_nTxMode == 1
            ? static_cast<double>(CHexCodec::CountDigits(m_pSendText->text().toStdString())) / 2
            : static_cast<double>(ToCp949(m_pSendText->text()).size());
    m_pSendCount->setText(CountText(m_dSendCount));
}

void CTessaryView::SendFromBox() {
    // The count is the one the box shows for its text in the mode chosen now.
    UpdateSendCount();
    if (!m_host.Hub().IsLinkUp()) {
        CMessageBox::Show(this, tr(kLinkDownMessage));
        return;
    }
    if (static_cast<int>(m_dSendCount + 0.5) != static_cast<int>(m_dSendCount)) {
        CMessageBox::Show(this, tr(kHalfByteMessage), tr(kHalfByteTitle));
        return;
    }
    std::string bytes;
    if (m_nTxMode == 0) {
        bytes = ToCp949(m_pSendText->text());
    } else {
        // Every digit must be one: a wrong one refuses the whole text rather
        // than put a made-up byte on the line.
        const std::string typed = m_pSendText->text().toStdString();
        std::size_t at = 0;
        const CHexCodec::HexError error = CHexCodec::ParseHexText(typed, bytes, at);
        if (error != CHexCodec::HEX_OK) {
            CMessageBox::Show(this,
                              QString::fromStdString(CHexCodec::HexErrorText(typed, error, at)));
            return;
        }
    }
    if (!bytes.empty()) {
        // Refused whole, so nothing typed is lost and no block goes half.
        if (bytes.size() > MAX_SEND_BYTES) {
            CMessageBox::Show(this, tr(kTooLongMessage));
            return;
        }
        m_host.Hub().SendToLink(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                static_cast<int>(bytes.size()));
    }
    m_pSendText->clear();
    m_dSendCount = 0;
    ShowValues();
    RefreshScreen();
}

void CTessaryView::RunTool(int input) {
    for (const ToolBoxes& tool : kTools) {
        if (tool.m_nInput != input)
            continue;
        const auto* in = findChild<QLineEdit*>(QString::number(tool.m_nInput));
        auto* out = findChild<QLineEdit*>(QString::number(tool.m_nResult));
        const CHexCodec codec([this](const std::string& text) {
            CMessageBox::Show(this, QString::fromStdString(text));
        });
        const std::string text = ToCp949(in->text());
        // Hex is read from the text as typed, so a refusal names the
        // character where the user sees it.
        const std::string hex = in->text().toStdString();
        std::string result;
        switch (input) {
        case IDC_SUM_INPUT:
            result = codec.SumCheck(text);
            break;
        case IDC_CRC_INPUT:
            result = codec.HexCrc16(hex);
            break;
        case IDC_HEX2ASCII_INPUT:
            result = codec.HexToAscii(hex);
            // A window's text ends at a zero byte.
            result.resize(std::min(result.size(), result.find('\0')));
            result = CCp949::ToUtf8(result);
            break;
        default:
            result = codec.AsciiToHex(text);
            break;
        }
        out->setText(QString::fromStdString(result));
        return;
    }
}

bool CTessaryView::OnEnter(QObject* focus, Qt::KeyboardModifiers modifiers) {
    if (focus == m_pFindBar->TextBox() || focus == static_cast<QObject*>(m_pFindBar->HexBox())) {
        Find(!(modifiers & Qt::ShiftModifier));
        return true;
    }
    const int id = focus->objectName().toInt();
    if (id == IDC_SEND_TEXT) {
        // Posted, as the template's own message was: the send may show a
        // modal box, which should not run inside the key's delivery.
        QMetaObject::invokeMethod(this, &CTessaryView::SendFromBox, Qt::QueuedConnection);
    } else {
        RunTool(id); // does nothing unless the focus is a tool's input box
    }
    // Consumed everywhere: it never presses a button.
    return true;
}

bool CTessaryView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* keyEvent = static_cast<QKeyEvent*>(event);
        const int key = keyEvent->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return OnEnter(watched, keyEvent->modifiers());
        if (key == Qt::Key_Escape && watched != m_pFindBar &&
            m_pFindBar->isAncestorOf(qobject_cast<QWidget*>(watched))) {
            CloseFindBar();
            return true;
        }
    }
    return CScreenView::eventFilter(watched, event);
}

void CTessaryView::ShowColorButtons() {
    struct Swatch {
        QPushButton* m_pButton;
        std::uint32_t m_colour;
    };
    for (const Swatch& s : {Swatch{m_pColorRx, m_colorRx}, Swatch{m_pColorTx, m_colorTx},
                            Swatch{m_pColorText, m_colorText}}) {
        const QColor colour = FromColorRef(s.m_colour);
        const QColor ink = colour.lightness() < 128 ? Qt::white : Qt::black;
        s.m_pButton->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: %2; "
                                                  "border: 1px solid #555; }")
                                       .arg(colour.name(), ink.name()));
    }
}

void CTessaryView::OnColorButton(int id) {
    std::uint32_t& colour = id == IDC_COLOR_RX   ? m_colorRx
                            : id == IDC_COLOR_TX ? m_colorTx
                                                 : m_colorText;
    const std::optional<QColor> chosen = ChooseColor(FromColorRef(colour));
    if (!chosen)
        return;
    colour = ToColorRef(*chosen);
    ShowColorButtons();
    RefreshScreen();
}

std::optional<QColor> CTessaryView::ChooseColor(const QColor& current) {
    const QColor chosen = QColorDialog::getColor(current, this);
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

void CTessaryView::SetUpPrintDialog(QPrintDialog& dialog) {
    // No page numbers and no selection; copies are the printer's business.
    // Print to file stays: on this platform it is how the dialog offers its
    // PDF printer, and without it a machine with no printer installed has
    // nothing to print to.
    dialog.setOptions(QAbstractPrintDialog::PrintShowPageSize | QAbstractPrintDialog::PrintToFile);
}

bool CTessaryView::RunPrintDialog(QPrinter& printer) {
    QPrintDialog dialog(&printer, this);
    SetUpPrintDialog(dialog);
    return dialog.exec() == QDialog::Accepted;
}

void CTessaryView::PrintPage() {
    QPrinter printer(QPrinter::HighResolution);
    if (!RunPrintDialog(printer))
        return;
    // A file that cannot be written, or a printer that refuses the job,
    // must not pass for a printed page.
    if (!PrintTo(printer))
        CMessageBox::Show(this, tr(kPrintFailedMessage));
}

bool CTessaryView::PrintTo(QPrinter& printer) {
    printer.setDocName(tr(kPrintJobName));
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    // The painter's origin is the printable area's corner.
    m_pGrid->Render(painter, QRectF(0, 0, printer.width(), printer.height()));
    return painter.end();
}
