#include "plc/ui/CRequestGrid.h"

#include "plc/PlcRequestRow.h"
#include "plc/codecs/CAbEngine.h"
#include "plc/codecs/CMasterKEngine.h"
#include "plc/codecs/CMelsecEngine.h"
#include "plc/codecs/CSimensEngine.h"
#include "plc/codecs/CYaskawaEngine.h"
#include "widgets/CDigitsDelegate.h"
#include "widgets/CDropListDelegate.h"

#include <QAction>
#include <QApplication>
#include <QBrush>
#include <QClipboard>
#include <QColor>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLayout>
#include <QMenu>
#include <QMouseEvent>

#include <algorithm>

namespace {

const char* const kCommRead = "자동읽기";
const char* const kCommTypes = "자동읽기\n자동쓰기\n";

QString U(const char* text) {
    return QString::fromUtf8(text);
}

} // namespace

std::vector<CRequestGrid::SColumn> CRequestGrid::Layout(int nGridType) {
    auto list = [](const char* caption, int width, const char* words, const char* newText) {
        return SColumn{U(caption), width,     KIND_LIST, CDropListDelegate::SplitList(U(words)),
                       0,          U(newText)};
    };
    auto digits = [](const char* caption, int width, int count, const char* newText) {
        return SColumn{U(caption), width, KIND_DIGITS, {}, count, U(newText)};
    };
    auto text = [](const char* caption, int width) {
        return SColumn{U(caption), width, KIND_TEXT, {}, 0, {}};
    };
    const char* const posfaNames =
        "X\nY\nR\nL\nWX\nWY\nWR\nWL\nC\nT\nDR\nBX\nHX\nBY\nHY\nBR\nHR\nBL\nHL\n";
    const char* const melsecNames = "X\nY\nM\nL\nS\nB\nF\nM\nTS\nTC\nCS\nCC\nTN\nCN\nD\nW\nR\nD\n";
    switch (nGridType) {
    case 1: { // Yaskawa: what a MEMOBUS frame can carry
        SColumn slave = digits("Slave Address", 90, 3, "1");
        slave.m_nMin = 1;
        slave.m_nMax = CYaskawaEngine::kMaxSlave;
        slave.m_bBroadcastZero = true;
        SColumn count = digits("DataCount", 90, 3, "1");
        count.m_nMin = 1;
        count.m_nMax = CYaskawaEngine::kMaxReadCount;
        count.m_nWriteMax = CYaskawaEngine::kMaxWriteCount;
        return {list("CommType", 80, kCommTypes, kCommRead),
                slave,
                list("PLCDeviceType", 90, "WORD\n", "WORD"),
                digits("PLCAddress", 90, 4, "0"),
                count,
                digits("An_Index", 90, 3, "0")};
    }
    case 2: { // Siemens: what one RK512 telegram can carry
        SColumn db = digits(" DB ", 90, 3, "0");
        db.m_nMax = CSimensEngine::kMaxAddress;
        SColumn dw = digits(" DW ", 90, 3, "0");
        dw.m_nMax = CSimensEngine::kMaxAddress;
        SColumn count = digits("DataCount", 90, 3, "1");
        count.m_nMin = 1;
        count.m_nMax = CSimensEngine::kMaxWords;
        count.m_nBitMax = MemoryTable::kSize;
        return {list("CommType", 80, kCommTypes, kCommRead),
                list("PLCDeviceType", 90, "BIT\nWORD\n", "WORD"),
                db,
                dw,
                count,
                digits("An_Index", 90, 3, "0")};
    }
    case 3: { // Allen-Bradley: DF1 nodes 0-254, words one packet carries
        auto ranged = [&digits](const char* caption, int width, int count, const char* newText,
                                int min, int max) {
            SColumn column = digits(caption, width, count, newText);
            column.m_nMin = min;
            column.m_nMax = max;
            return column;
        };
        return {list("CommType", 80, kCommTypes, kCommRead),
                list("PLCDeviceType", 90, "WORD\n", "WORD"),
                text("PLCDeviceName", 90),
                ranged(" SRC ", 40, 4, "0", 0, CAbEngine::kMaxNode),
                ranged(" DST ", 40, 3, "0", 0, CAbEngine::kMaxNode),
                digits("PLCAddress", 70, 3, "0"),
                ranged("DataCount", 70, 3, "1", 1, CAbEngine::kMaxCount),
                digits("An_Index", 70, 3, "0")};
    }
    case 4: { // MASTER-K: what a Cnet frame can carry (bits read as words)
        SColumn station = digits("국번", 50, 3, "1");
        station.m_nMax = CMasterKEngine::kMaxStation;
        SColumn count = digits("DataCount", 70, 3, "1");
        count.m_nMin = 1;
        count.m_nMax = CMasterKEngine::kMaxBitReadCount;
        count.m_nWriteMax = CMasterKEngine::kMaxWords;
        return {list("CommType", 80, kCommTypes, kCommRead),
                station,
                list("PLCDeviceType", 100, "BIT\nWORD\n", "WORD"),
                list("PLCDeviceName", 100, "P\nM\nK\nL\nF\nT\nC\nD\nS\n", "P"),
                digits("PLCAddress", 70, 4, "0"),
                count,
                digits("An_Index", 70, 3, "0")};
    }
    case 5: { // POSFA: station and PLC number are two hex digits on the wire
        SColumn station = digits("국번", 50, 3, "1");
        station.m_nMax = 255;
        SColumn plc = digits("PLC번호", 50, 3, "255");
        plc.m_nMax = 255;
        return {list("CommType", 80, kCommTypes, kCommRead),
                station,
                plc,
                list("PLCDeviceType", 90, "BIT\nWORD\n", "WORD"),
                list("PLCDeviceName", 90, posfaNames, "X"),
                digits("PLCAddress", 60, 4, "0"),
                digits("DataCount", 50, 3, "1"),
                digits("An_Index", 50, 3, "0")};
    }
    case 6: { // MELSEC: POSFA's columns with its own device names, reading bits
        // What the link carries; the engine checks the count per command.
        SColumn station = digits("국번", 50, 3, "1");
        station.m_nMax = CMelsecEngine::kMaxStation;
        SColumn plc = digits("PLC번호", 50, 3, "255");
        plc.m_nMax = CMelsecEngine::kMaxPlcNum;
        SColumn count = digits("DataCount", 50, 3, "1");
        count.m_nMin = 1;
        count.m_nMax = CMelsecEngine::kMaxBitRead;
        count.m_nWriteMax = CMelsecEngine::kMaxBitWrite;
        return {list("CommType", 80, kCommTypes, kCommRead),
                station,
                plc,
                list("PLCDeviceType", 90, "BIT\nWORD\n", "BIT"),
                list("PLCDeviceName", 90, melsecNames, "X"),
                digits("PLCAddress", 60, 4, "0"),
                count,
                digits("An_Index", 50, 3, "0")};
    }
    case 7: // user protocol
        // "1000" under a three-digit mask: the mask limits typing only, a new
        // row still waits a second.
        return {list("SendDataType", 90, "ASCII\nBINARY\n", "ASCII"),
                list("SendChoose", 90, "먼저받기\n먼저보내기\n", "먼저보내기"),
                text("SendData", 150), digits("RevByte", 90, 3, "0"),
                digits("WaitTime(ms)", 90, 3, "1000")};
    default:
        return {};
    }
}

CRequestGrid::CRequestGrid(int nGridType, QWidget* parent)
    : QTableWidget(parent), m_nGridType(nGridType), m_columns(Layout(nGridType)) {
    // A font height of 16 is the cell height of the Windows font: Arial's
    // letters then stand 14 pixels high, and the captions fit their columns.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(kFontPixels);
    font.setWeight(QFont::Medium);
    setFont(font);
    // The headings take two pixels less, as the style's margins around a
    // heading are wider than the Windows grid's: "PLCDeviceType" then fits
    // its 90 pixels.
    QFont heading(font);
    heading.setPixelSize(kFontPixels - 2);
    horizontalHeader()->setFont(heading);
    verticalHeader()->setFont(heading);

    setColumnCount(static_cast<int>(m_columns.size()));
    for (int c = 0; c < columnCount(); ++c) {
        const SColumn& column = m_columns[static_cast<std::size_t>(c)];
        setHorizontalHeaderItem(c, MakeCell(column.m_strCaption));
        setColumnWidth(c, column.m_nWidth);
        if (column.m_kind == KIND_LIST)
            setItemDelegateForColumn(c, new CDropListDelegate(column.m_words, this));
        else if (column.m_kind == KIND_DIGITS && column.m_nMax >= 0)
            setItemDelegateForColumn(
                c, new CDigitsDelegate(column.m_nDigits, this,
                                       [this](const QModelIndex& index, const QString& text) {
                                           return CheckCell(index.column(), index.row(), text);
                                       }));
        else if (column.m_kind == KIND_DIGITS)
            setItemDelegateForColumn(c, new CDigitsDelegate(column.m_nDigits, this));
    }
    connect(this, &QTableWidget::itemChanged, this,
            [this](QTableWidgetItem* cell) { MarkRow(cell->row()); });

    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    setWordWrap(false);

    // Heading clicks select as the grid defines them (see ClickColumnHeading),
    // so the headings' own press handling is taken over; the widths are the
    // layout's, not the user's.
    for (QHeaderView* header : {horizontalHeader(), verticalHeader()}) {
        header->setDefaultAlignment(Qt::AlignCenter);
        header->setSectionResizeMode(QHeaderView::Fixed);
        header->setHighlightSections(true);
        header->viewport()->installEventFilter(this);
        header->setContextMenuPolicy(Qt::CustomContextMenu);
    }
    verticalHeader()->setMinimumWidth(30);

    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        const int row = rowAt(pos.y());
        ShowMenuAt(row < 0 ? rowCount() : row, viewport()->mapToGlobal(pos));
    });
    connect(horizontalHeader(), &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) {
                ShowMenuAt(-1, horizontalHeader()->viewport()->mapToGlobal(pos));
            });
    connect(
        verticalHeader(), &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
            const int row = verticalHeader()->logicalIndexAt(pos);
            ShowMenuAt(row < 0 ? rowCount() : row, verticalHeader()->viewport()->mapToGlobal(pos));
        });
}

CRequestGrid::~CRequestGrid() = default;

QTableWidgetItem* CRequestGrid::MakeCell(const QString& strText) const {
    auto* item = new QTableWidgetItem(strText);
    item->setTextAlignment(Qt::AlignCenter);
    return item;
}

void CRequestGrid::AttachTo(QWidget* pPlaceholder) {
    QWidget* parent = pPlaceholder->parentWidget();
    setParent(parent);
    QLayout* layout = parent ? parent->layout() : nullptr;
    std::unique_ptr<QLayoutItem> replaced(layout ? layout->replaceWidget(pPlaceholder, this)
                                                 : nullptr);
    if (!replaced)
        setGeometry(pPlaceholder->geometry());
    pPlaceholder->hide();
    show();
}

void CRequestGrid::SetRowCount(int nRows) {
    const int before = rowCount();
    setRowCount(std::max(nRows, 0));
    for (int r = before; r < rowCount(); ++r) {
        for (int c = 0; c < columnCount(); ++c)
            setItem(r, c, MakeCell({}));
    }
    RenumberRows();
    RedrawAll();
}

QString CRequestGrid::GetCellText(int nCol, int nRow) const {
    const QTableWidgetItem* item = nullptr;
    if (nRow == -1 && nCol >= 0 && nCol < columnCount())
        item = horizontalHeaderItem(nCol);
    else if (nCol == -1 && nRow >= 0 && nRow < rowCount())
        item = verticalHeaderItem(nRow);
    else if (nCol >= 0 && nRow >= 0)
        item = this->item(nRow, nCol);
    return item ? item->text() : QString();
}

void CRequestGrid::SetCellText(int nCol, int nRow, const QString& strText) {
    if (nRow == -1 && nCol >= 0 && nCol < columnCount()) {
        horizontalHeaderItem(nCol)->setText(strText);
    } else if (nCol == -1 && nRow >= 0 && nRow < rowCount()) {
        verticalHeaderItem(nRow)->setText(strText);
    } else if (nCol >= 0 && nCol < columnCount() && nRow >= 0 && nRow < rowCount()) {
        if (QTableWidgetItem* cell = item(nRow, nCol))
            cell->setText(strText);
        else
            setItem(nRow, nCol, MakeCell(strText));
    }
}

void CRequestGrid::RedrawAll() {
    viewport()->update();
    horizontalHeader()->viewport()->update();
    verticalHeader()->viewport()->update();
}

void CRequestGrid::EnableGrid(bool bEnable) {
    if (!bEnable) {
        FinishEditing();
        CloseDropList();
    }
    setEnabled(bEnable);
    if (bEnable)
        OpenDropList(currentIndex());
}

CRequestGrid::CellKind CRequestGrid::GetCellKind(int nCol) const {
    if (nCol < 0 || nCol >= columnCount())
        return KIND_TEXT;
    return m_columns[static_cast<std::size_t>(nCol)].m_kind;
}

QStringList CRequestGrid::GetListWords(int nCol) const {
    if (GetCellKind(nCol) != KIND_LIST)
        return {};
    return m_columns[static_cast<std::size_t>(nCol)].m_words;
}

int CRequestGrid::GetMaxDigits(int nCol) const {
    if (GetCellKind(nCol) != KIND_DIGITS)
        return 0;
    return m_columns[static_cast<std::size_t>(nCol)].m_nDigits;
}

QString CRequestGrid::GetNewRowText(int nCol) const {
    if (nCol < 0 || nCol >= columnCount())
        return {};
    return m_columns[static_cast<std::size_t>(nCol)].m_strNewText;
}

QString CRequestGrid::CheckCell(int nCol, int nRow, const QString& strText) const {
    if (nCol < 0 || nCol >= columnCount())
        return {};
    const SColumn& column = m_columns[static_cast<std::size_t>(nCol)];
    if (column.m_kind != KIND_DIGITS || column.m_nMax < 0)
        return {};
    const bool write = GetCellText(0, nRow) == U(PlcRequestRow::kAutoWrite);
    bool bits = false;
    for (int c = 0; c < columnCount() && column.m_nBitMax >= 0; ++c) {
        if (m_columns[static_cast<std::size_t>(c)].m_strCaption == QLatin1String("PLCDeviceType"))
            bits = GetCellText(c, nRow) == QLatin1String("BIT");
    }
    int max = write && column.m_nWriteMax >= 0 ? column.m_nWriteMax : column.m_nMax;
    if (bits)
        max = column.m_nBitMax;
    QString range = QStringLiteral("%1~%2").arg(column.m_nMin).arg(max);
    if (column.m_nBitMax >= 0)
        range += tr(" (WORD %1, BIT %2까지)").arg(column.m_nMax).arg(column.m_nBitMax);
    else if (column.m_bBroadcastZero)
        range += tr(" (0은 \"0\"으로 적은 자동쓰기 브로드캐스트)");
    else if (column.m_nWriteMax >= 0)
        range += tr(" (자동읽기 %1, 자동쓰기 %2까지)").arg(column.m_nMax).arg(column.m_nWriteMax);
    bool number = false;
    const int value = strText.toInt(&number);
    bool fits = number && CDigitsDelegate::Accepts(strText, column.m_nDigits) &&
                value >= column.m_nMin && value <= max;
    if (number && value == 0 && column.m_bBroadcastZero)
        fits = write && strText == QLatin1String("0");
    return fits ? QString() : column.m_strCaption + QStringLiteral(": ") + range;
}

bool CRequestGrid::IsMarked(int nCol, int nRow) const {
    const QTableWidgetItem* cell = item(nRow, nCol);
    return cell && cell->data(Qt::BackgroundRole).value<QBrush>().style() != Qt::NoBrush;
}

void CRequestGrid::MarkRow(int nRow) {
    if (m_bMarking || nRow < 0 || nRow >= rowCount())
        return;
    m_bMarking = true;
    for (int c = 0; c < columnCount(); ++c) {
        QTableWidgetItem* cell = item(nRow, c);
        if (!cell)
            continue;
        const QString problem = CheckCell(c, nRow, cell->text());
        cell->setData(Qt::BackgroundRole,
                      problem.isEmpty() ? QVariant() : QVariant(QBrush(QColor(0xFF, 0xB0, 0xB0))));
        cell->setToolTip(problem);
    }
    m_bMarking = false;
}

void CRequestGrid::RenumberRows() {
    for (int r = 0; r < rowCount(); ++r) {
        const QString number = QString::asprintf("%2d", r + 1);
        if (QTableWidgetItem* heading = verticalHeaderItem(r))
            heading->setText(number);
        else
            setVerticalHeaderItem(r, MakeCell(number));
    }
}

void CRequestGrid::InsertRowAt(int nRow) {
    if (!isEnabled())
        return;
    FinishEditing();
    const int row = std::clamp(nRow, 0, rowCount());
    insertRow(row);
    for (int c = 0; c < columnCount(); ++c)
        setItem(row, c, MakeCell(GetNewRowText(c)));
    RenumberRows();
}

void CRequestGrid::DeleteRow(int nRow) {
    if (!isEnabled() || nRow < 0 || nRow >= rowCount())
        return;
    FinishEditing();
    removeRow(nRow);
    RenumberRows();
}

QString CRequestGrid::SelectionText() const {
    const QModelIndexList selected = selectedIndexes();
    if (selected.isEmpty())
        return {};
    int top = rowCount(), left = columnCount(), bottom = -1, right = -1;
    for (const QModelIndex& index : selected) {
        top = std::min(top, index.row());
        bottom = std::max(bottom, index.row());
        left = std::min(left, index.column());
        right = std::max(right, index.column());
    }
    QString text;
    for (int r = top; r <= bottom; ++r) {
        if (r > top)
            text += QLatin1Char('\n');
        for (int c = left; c <= right; ++c) {
            if (c > left)
                text += QLatin1Char('\t');
            const QTableWidgetItem* cell = item(r, c);
            if (cell && cell->isSelected())
                text += cell->text();
        }
    }
    return text;
}

void CRequestGrid::CopySelection() {
    FinishEditing();
    if (selectedIndexes().isEmpty())
        return;
    QApplication::clipboard()->setText(SelectionText());
}

void CRequestGrid::CutSelection() {
    if (!isEnabled())
        return;
    CopySelection();
    for (QTableWidgetItem* cell : selectedItems())
        cell->setText({});
}

void CRequestGrid::PasteAtCurrent() {
    if (!isEnabled())
        return;
    FinishEditing();
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return;
    PasteText(QApplication::clipboard()->text(), current.column(), current.row());
}

std::vector<QStringList> CRequestGrid::SplitClipboardText(const QString& strText) {
    std::vector<QStringList> rows;
    QString line;
    bool bOpen = false; // a row has begun that no line break has ended yet
    for (qsizetype i = 0; i < strText.size(); ++i) {
        const QChar ch = strText[i];
        if (ch == QLatin1Char('\r') || ch == QLatin1Char('\n')) {
            rows.push_back(line.split(QLatin1Char('\t')));
            line.clear();
            bOpen = false;
            if (ch == QLatin1Char('\r') && i + 1 < strText.size() &&
                strText[i + 1] == QLatin1Char('\n'))
                ++i;
        } else {
            line += ch;
            bOpen = true;
        }
    }
    if (bOpen)
        rows.push_back(line.split(QLatin1Char('\t')));
    return rows;
}

bool CRequestGrid::Fits(int nCol, int nRow, const QString& strText) const {
    // Empty always fits: Cut leaves every kind of cell empty, and pasting
    // that block back must restore it.
    switch (GetCellKind(nCol)) {
    case KIND_LIST:
        return strText.isEmpty() || GetListWords(nCol).contains(strText);
    case KIND_DIGITS:
        // A new row's own value fits even where it is longer than the mask
        // ("1000" under "999"): copying such a row, or cutting and pasting
        // it back, must not lose it. A number the protocol cannot carry does
        // not fit.
        return strText.isEmpty() || ((CDigitsDelegate::Accepts(strText, GetMaxDigits(nCol)) ||
                                      strText == GetNewRowText(nCol)) &&
                                     CheckCell(nCol, nRow, strText).isEmpty());
    case KIND_TEXT:
        break;
    }
    return true;
}

void CRequestGrid::PasteText(const QString& strText, int nCol, int nRow) {
    if (!isEnabled())
        return;
    const std::vector<QStringList> rows = SplitClipboardText(strText);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int r = nRow + static_cast<int>(i);
        if (r < 0 || r >= rowCount())
            continue;
        const QStringList& pieces = rows[i];
        for (qsizetype j = 0; j < pieces.size(); ++j) {
            const int c = nCol + static_cast<int>(j);
            if (c < 0 || c >= columnCount())
                continue;
            // Spreadsheets pad numbers and words with blanks; the engines
            // read these cells as numbers and list words, so trim them. A
            // piece the cell cannot hold leaves the cell as it was.
            QString piece = pieces[j];
            if (GetCellKind(c) != KIND_TEXT)
                piece = piece.trimmed();
            if (Fits(c, r, piece))
                SetCellText(c, r, piece);
        }
    }
}

void CRequestGrid::FinishEditing() {
    if (state() != QAbstractItemView::EditingState)
        return;
    QWidget* editor = indexWidget(currentIndex());
    if (!editor || m_openList == currentIndex())
        return;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void CRequestGrid::OpenDropList(const QModelIndex& index) {
    if (!isEnabled() || !index.isValid() || GetCellKind(index.column()) != KIND_LIST)
        return;
    if (!item(index.row(), index.column()))
        setItem(index.row(), index.column(), MakeCell({}));
    QAbstractItemView::openPersistentEditor(index);
    m_openList = index;
}

void CRequestGrid::CloseDropList() {
    if (m_openList.isValid())
        QAbstractItemView::closePersistentEditor(m_openList);
    m_openList = QPersistentModelIndex();
}

void CRequestGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableWidget::currentChanged(current, previous);
    if (m_openList == current)
        return;
    CloseDropList();
    OpenDropList(current);
}

std::unique_ptr<QMenu> CRequestGrid::BuildContextMenu(int nRowUnderMouse) {
    if (!isEnabled())
        return nullptr;
    auto menu = std::make_unique<QMenu>(this);
    auto add = [this, &menu](const QString& text, int id, auto command) {
        QAction* action = menu->addAction(text);
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, command] {
            command();
            RedrawAll();
        });
        return action;
    };
    const int row = nRowUnderMouse;
    add(tr("ROW 추가"), ID_ROW_ADD, [this, row] { InsertRowAt(row < 0 ? 0 : row + 1); });
    QAction* remove = add(tr("ROW 삭제"), ID_ROW_DELETE, [this, row] { DeleteRow(row); });
    remove->setEnabled(row >= 0 && row < rowCount());
    menu->addSeparator();
    add(tr("Cut"), ID_CUT, [this] { CutSelection(); });
    add(tr("Copy"), ID_COPY, [this] { CopySelection(); });
    add(tr("Paste"), ID_PASTE, [this] { PasteAtCurrent(); });
    return menu;
}

void CRequestGrid::ShowMenuAt(int nRowUnderMouse, const QPoint& globalPos) {
    if (std::unique_ptr<QMenu> menu = BuildContextMenu(nRowUnderMouse))
        menu->exec(globalPos);
}

void CRequestGrid::SelectBlock(int nTop, int nLeft, int nBottom, int nRight, bool bAdd) {
    const QItemSelection block(model()->index(nTop, nLeft), model()->index(nBottom, nRight));
    selectionModel()->select(block, bAdd ? QItemSelectionModel::Select
                                         : QItemSelectionModel::ClearAndSelect);
}

void CRequestGrid::ClickColumnHeading(int nCol, Qt::KeyboardModifiers modifiers) {
    if (nCol < 0 || nCol >= columnCount() || rowCount() == 0)
        return;
    FinishEditing();
    const int last = rowCount() - 1;
    const QModelIndex anchor = currentIndex();
    if ((modifiers & Qt::ShiftModifier) && anchor.isValid()) {
        // From the anchor cell down to the clicked column's last row; the
        // anchor stays, so a further Shift click extends from it again.
        SelectBlock(anchor.row(), std::min(anchor.column(), nCol), last,
                    std::max(anchor.column(), nCol), false);
        return;
    }
    selectionModel()->setCurrentIndex(model()->index(0, nCol), QItemSelectionModel::NoUpdate);
    SelectBlock(0, nCol, last, nCol, (modifiers & Qt::ControlModifier) != 0);
}

void CRequestGrid::ClickRowHeading(int nRow, Qt::KeyboardModifiers modifiers) {
    if (nRow < 0 || nRow >= rowCount() || columnCount() == 0)
        return;
    FinishEditing();
    const int last = columnCount() - 1;
    const QModelIndex anchor = currentIndex();
    if ((modifiers & Qt::ShiftModifier) && anchor.isValid()) {
        SelectBlock(std::min(anchor.row(), nRow), anchor.column(), std::max(anchor.row(), nRow),
                    last, false);
        return;
    }
    selectionModel()->setCurrentIndex(model()->index(nRow, 0), QItemSelectionModel::NoUpdate);
    SelectBlock(nRow, 0, nRow, last, (modifiers & Qt::ControlModifier) != 0);
}

bool CRequestGrid::eventFilter(QObject* pWatched, QEvent* pEvent) {
    const bool bColumns = pWatched == horizontalHeader()->viewport();
    const bool bRows = pWatched == verticalHeader()->viewport();
    if ((bColumns || bRows) && isEnabled() &&
        (pEvent->type() == QEvent::MouseButtonPress ||
         pEvent->type() == QEvent::MouseButtonDblClick)) {
        auto* mouse = static_cast<QMouseEvent*>(pEvent);
        if (mouse->button() != Qt::LeftButton)
            return QTableWidget::eventFilter(pWatched, pEvent);
        const QPoint pos = mouse->position().toPoint();
        if (bColumns)
            ClickColumnHeading(horizontalHeader()->logicalIndexAt(pos), mouse->modifiers());
        else
            ClickRowHeading(verticalHeader()->logicalIndexAt(pos), mouse->modifiers());
        setFocus(Qt::MouseFocusReason);
        return true;
    }
    return QTableWidget::eventFilter(pWatched, pEvent);
}

void CRequestGrid::keyPressEvent(QKeyEvent* pEvent) {
    // The view's own Copy takes the current cell only; the keys do what the
    // menu does, on the whole block.
    if (pEvent->matches(QKeySequence::Copy))
        CopySelection();
    else if (pEvent->matches(QKeySequence::Cut))
        CutSelection();
    else if (pEvent->matches(QKeySequence::Paste))
        PasteAtCurrent();
    else
        return QTableWidget::keyPressEvent(pEvent);
    RedrawAll();
    pEvent->accept();
}
