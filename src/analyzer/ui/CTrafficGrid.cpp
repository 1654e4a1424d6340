#include "analyzer/ui/CTrafficGrid.h"

#include "analyzer/CRecordInfo.h"
#include "analyzer/ui/ColorRef.h"
#include "app/CTessaryDoc.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace {
constexpr int kGridWidth = PAGE_COLUMNS * CTrafficGrid::COLUMN_WIDTH;
constexpr int kGridHeight = PAGE_ROWS * CTrafficGrid::ROW_HEIGHT;
// Labels wider than this are squeezed to it so that neighbours never touch.
constexpr qreal kTextRoom = CTrafficGrid::COLUMN_WIDTH - 2;
const QColor kLineColor(160, 160, 160);
const QColor kSelectionTint(0, 0, 128, 80);
const QColor kMarkTint(255, 230, 0, 120);
const QColor kMarkFrame(200, 0, 0);
} // namespace

CTrafficGrid::CTrafficGrid(QWidget* parent)
    : QWidget(parent), m_rxColor(FromColorRef(0x0080FF)), m_txColor(FromColorRef(0x808040)),
      m_textColor(Qt::black), m_emptyColor(FromColorRef(EMPTY_COLOR)),
      m_cellFont(QStringLiteral("Arial")) {
    m_cellFont.setPixelSize(16);
    m_cellFont.setWeight(QFont::Medium); // 500
    setFixedSize(kGridWidth + 1, kGridHeight + 1);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
}

QSize CTrafficGrid::sizeHint() const {
    return {kGridWidth + 1, kGridHeight + 1};
}

void CTrafficGrid::SetPage(const CTrafficPage& page, std::uint32_t colorRx, std::uint32_t colorTx,
                           std::uint32_t colorText) {
    m_rxColor = FromColorRef(colorRx);
    m_txColor = FromColorRef(colorTx);
    m_textColor = FromColorRef(colorText);
    m_nPageStart = static_cast<std::uint64_t>(page.GetPage() - 1) * PAGE_CELLS;
    m_nFilled = page.GetFilled();
    for (int i = 0; i < PAGE_CELLS; ++i) {
        const TrafficCell& cell = page.Cell(i);
        const std::string& text = cell.m_strText;
        QString& shown = m_texts[Index(i)];
        // Most labels are one ASCII letter: skip the UTF-8 decoder for them.
        if (text.size() == 1 && static_cast<unsigned char>(text[0]) < 0x80)
            shown = QChar(text[0]);
        else
            shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        m_directions[Index(i)] = static_cast<std::uint8_t>(cell.m_nDirection);
    }
    update();
}

QString CTrafficGrid::ToolTipText(int cell) const {
    if (!m_pDoc || cell < 0 || cell >= m_nFilled)
        return {};
    // The document may have been cleared since the page was painted: a byte
    // past its end has no record and no tooltip.
    const std::size_t record =
        m_pDoc->FindRecordByByte(m_nPageStart + static_cast<std::uint64_t>(cell));
    return QString::fromStdString(CRecordInfo::Tooltip(*m_pDoc, record));
}

bool CTrafficGrid::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString text = ToolTipText(CellAt(help->pos()));
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), text, this);
        }
        return true;
    }
    return QWidget::event(event);
}

QColor CTrafficGrid::CellBackground(int cell) const {
    switch (m_directions[Index(cell)]) {
    case 1:
        return m_rxColor;
    case 2:
        return m_txColor;
    default:
        return m_emptyColor;
    }
}

void CTrafficGrid::Select(int anchor, int current) {
    m_nAnchor = anchor;
    m_nCurrent = current;
    update();
}

void CTrafficGrid::SelectionBounds(int& left, int& top, int& right, int& bottom) const {
    const int a = std::max(m_nAnchor, 0);
    const int c = std::max(m_nCurrent, 0);
    left = std::min(a % PAGE_COLUMNS, c % PAGE_COLUMNS);
    right = std::max(a % PAGE_COLUMNS, c % PAGE_COLUMNS);
    top = std::min(a / PAGE_COLUMNS, c / PAGE_COLUMNS);
    bottom = std::max(a / PAGE_COLUMNS, c / PAGE_COLUMNS);
}

bool CTrafficGrid::IsSelected(int cell) const {
    if (m_nCurrent < 0 || cell < 0 || cell >= PAGE_CELLS)
        return false;
    int left = 0, top = 0, right = 0, bottom = 0;
    SelectionBounds(left, top, right, bottom);
    const int column = cell % PAGE_COLUMNS;
    const int row = cell / PAGE_COLUMNS;
    return column >= left && column <= right && row >= top && row <= bottom;
}

void CTrafficGrid::Copy() const {
    if (m_nCurrent < 0)
        return;
    int left = 0, top = 0, right = 0, bottom = 0;
    SelectionBounds(left, top, right, bottom);
    QStringList rows;
    for (int row = top; row <= bottom; ++row) {
        QStringList cells;
        for (int column = left; column <= right; ++column)
            cells << m_texts[Index(column + PAGE_COLUMNS * row)];
        rows << cells.join(QLatin1Char('\t'));
    }
    QApplication::clipboard()->setText(rows.join(QLatin1Char('\n')));
}

void CTrafficGrid::Cut() {
    if (m_nCurrent < 0)
        return;
    Copy();
    for (int i = 0; i < PAGE_CELLS; ++i) {
        if (IsSelected(i))
            m_texts[Index(i)].clear();
    }
    update();
}

// Pieces go into the cells from the selection's top-left cell on; what falls
// past the grid's edge is dropped.
void CTrafficGrid::Paste() {
    if (m_nCurrent < 0)
        return;
    QString text = QApplication::clipboard()->text();
    // CR LF, LF and a lone CR each end a row.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();
    int left = 0, top = 0, right = 0, bottom = 0;
    SelectionBounds(left, top, right, bottom);
    for (int r = 0; r < lines.size() && top + r < PAGE_ROWS; ++r) {
        const QStringList pieces = lines[r].split(QLatin1Char('\t'));
        for (int c = 0; c < pieces.size() && left + c < PAGE_COLUMNS; ++c)
            m_texts[Index(left + c + PAGE_COLUMNS * (top + r))] = pieces[c];
    }
    update();
}

QMenu* CTrafficGrid::CreateMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    struct Item {
        const char* m_pText;
        int m_nId;
        void (CTrafficGrid::*m_pSlot)();
    };
    for (const Item& item :
         {Item{"Cut", ID_CUT, &CTrafficGrid::Cut}, Item{"Copy", ID_COPY, nullptr},
          Item{"Paste", ID_PASTE, &CTrafficGrid::Paste}}) {
        QAction* action = menu->addAction(QString::fromLatin1(item.m_pText));
        action->setObjectName(QString::number(item.m_nId));
        if (item.m_pSlot)
            connect(action, &QAction::triggered, this, item.m_pSlot);
        else
            connect(action, &QAction::triggered, this, [this] { Copy(); });
    }
    return menu;
}

int CTrafficGrid::CellAt(const QPoint& pos) const {
    const int column = std::clamp(pos.x() / COLUMN_WIDTH, 0, PAGE_COLUMNS - 1);
    const int row = std::clamp(pos.y() / ROW_HEIGHT, 0, PAGE_ROWS - 1);
    return column + PAGE_COLUMNS * row;
}

void CTrafficGrid::mousePressEvent(QMouseEvent* event) {
    const int cell = CellAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton)
        Select(cell, cell);
    else if (event->button() == Qt::RightButton && !IsSelected(cell))
        Select(cell, cell);
}

void CTrafficGrid::mouseMoveEvent(QMouseEvent* event) {
    if ((event->buttons() & Qt::LeftButton) && m_nAnchor >= 0) {
        const int cell = CellAt(event->position().toPoint());
        if (cell != m_nCurrent)
            Select(m_nAnchor, cell);
    }
}

void CTrafficGrid::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = CreateMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

const QStaticText& CTrafficGrid::StaticText(const QString& text) const {
    auto found = m_staticTexts.constFind(text);
    if (found != m_staticTexts.constEnd())
        return *found;
    // Pasted texts could grow the cache without end.
    if (m_staticTexts.size() > 2048)
        m_staticTexts.clear();
    QStaticText laidOut(text);
    laidOut.setTextFormat(Qt::PlainText);
    laidOut.setPerformanceHint(QStaticText::AggressiveCaching);
    laidOut.prepare(QTransform(), m_cellFont);
    return *m_staticTexts.insert(text, laidOut);
}

void CTrafficGrid::PaintCells(QPainter& painter, bool screen) const {
    const bool cached = screen;
    painter.fillRect(QRect(0, 0, kGridWidth + 1, kGridHeight + 1), kLineColor);
    for (int i = 0; i < PAGE_CELLS; ++i) {
        const int x = (i % PAGE_COLUMNS) * COLUMN_WIDTH;
        const int y = (i / PAGE_COLUMNS) * ROW_HEIGHT;
        painter.fillRect(QRect(x + 1, y + 1, COLUMN_WIDTH - 1, ROW_HEIGHT - 1), CellBackground(i));
    }
    painter.setFont(m_cellFont);
    painter.setPen(m_textColor);
    const QFontMetricsF metrics(m_cellFont);
    for (int i = 0; i < PAGE_CELLS; ++i) {
        const QString& text = m_texts[Index(i)];
        if (text.isEmpty())
            continue;
        const qreal x = (i % PAGE_COLUMNS) * COLUMN_WIDTH + 0.5;
        const qreal y = (i / PAGE_COLUMNS) * ROW_HEIGHT + 0.5;
        const qreal width =
            cached ? StaticText(text).size().width() : metrics.horizontalAdvance(text);
        const qreal height = metrics.height();
        const qreal top = y + (ROW_HEIGHT - height) / 2;
        const bool squeeze = width > kTextRoom;
        if (squeeze) {
            painter.save();
            painter.translate(x + 1.5, 0);
            painter.scale(kTextRoom / width, 1);
        }
        const qreal left = squeeze ? 0 : x + (COLUMN_WIDTH - width) / 2;
        if (cached)
            painter.drawStaticText(QPointF(left, top), StaticText(text));
        else
            painter.drawText(QRectF(left, top, width + 1, height), Qt::AlignLeft | Qt::AlignTop,
                             text);
        if (squeeze)
            painter.restore();
    }
    if (screen) {
        // A found sequence: tinted and framed, so it stands out on either
        // direction's colour.
        for (int i = std::max(m_nMarkFirst, 0); i < std::min(m_nMarkEnd, PAGE_CELLS); ++i) {
            const QRect cell((i % PAGE_COLUMNS) * COLUMN_WIDTH + 1,
                             (i / PAGE_COLUMNS) * ROW_HEIGHT + 1, COLUMN_WIDTH - 1, ROW_HEIGHT - 1);
            painter.fillRect(cell, kMarkTint);
            painter.setPen(QPen(kMarkFrame, 2));
            painter.drawRect(cell.adjusted(1, 1, -1, -1));
        }
    }
    if (screen && m_nCurrent >= 0) {
        int left = 0, top = 0, right = 0, bottom = 0;
        SelectionBounds(left, top, right, bottom);
        painter.fillRect(QRect(left * COLUMN_WIDTH + 1, top * ROW_HEIGHT + 1,
                               (right - left + 1) * COLUMN_WIDTH - 1,
                               (bottom - top + 1) * ROW_HEIGHT - 1),
                         kSelectionTint);
    }
}

void CTrafficGrid::SetMarkedCells(int first, int count) {
    m_nMarkFirst = first;
    m_nMarkEnd = count > 0 ? first + count : first;
    update();
}

void CTrafficGrid::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintCells(painter, true);
}

void CTrafficGrid::Render(QPainter& painter, const QRectF& target) const {
    const qreal scale =
        std::min(target.width() / (kGridWidth + 1), target.height() / (kGridHeight + 1));
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(scale, scale);
    PaintCells(painter, false);
    painter.restore();
}
