#include "GuiTestSupport.h"

#include "plc/ui/CRequestGrid.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <utility>

namespace {

QString U(const char* text) {
    return QString::fromUtf8(text);
}

// A shown grid, so that headings have geometry and editors open.
std::unique_ptr<CRequestGrid> MakeGrid(int type, int rows) {
    auto grid = std::make_unique<CRequestGrid>(type);
    grid->resize(900, 420);
    grid->show();
    for (int r = 0; r < rows; ++r)
        grid->InsertRowAt(r);
    return grid;
}

QAction* Command(QMenu& menu, int id) {
    for (QAction* action : menu.actions()) {
        if (!action->isSeparator() && action->data().toInt() == id)
            return action;
    }
    return nullptr;
}

void RunCommand(CRequestGrid& grid, int rowUnderMouse, int id) {
    std::unique_ptr<QMenu> menu = grid.BuildContextMenu(rowUnderMouse);
    ASSERT_TRUE(menu);
    QAction* action = Command(*menu, id);
    ASSERT_TRUE(action);
    ASSERT_TRUE(action->isEnabled());
    action->trigger();
}

QStringList Row(const CRequestGrid& grid, int row) {
    QStringList texts;
    for (int c = 0; c < grid.columnCount(); ++c)
        texts << grid.GetCellText(c, row);
    return texts;
}

using Cells = std::set<std::pair<int, int>>; // (row, column)

Cells Selected(const CRequestGrid& grid) {
    Cells cells;
    for (const QModelIndex& index : grid.selectionModel()->selectedIndexes())
        cells.insert({index.row(), index.column()});
    return cells;
}

Cells Block(int top, int left, int bottom, int right) {
    Cells cells;
    for (int r = top; r <= bottom; ++r) {
        for (int c = left; c <= right; ++c)
            cells.insert({r, c});
    }
    return cells;
}

QLineEdit* OpenDigitsEditor(CRequestGrid& grid, int row, int col) {
    grid.setCurrentCell(row, col);
    grid.editItem(grid.item(row, col));
    auto* edit = qobject_cast<QLineEdit*>(grid.indexWidget(grid.model()->index(row, col)));
    if (edit)
        edit->setFocus();
    return edit;
}

// One column as the layout defines it: words for a drop list ("\n" after
// each), digits for a mask, neither for free text.
struct ColumnCase {
    const char* m_caption;
    int m_nWidth;
    const char* m_words;
    int m_nDigits;
    const char* m_newText;
};

struct LayoutCase {
    int m_nType;
    std::vector<ColumnCase> m_columns;
};

const char* const kComm = "자동읽기\n자동쓰기\n";
const char* const kPosfaNames =
    "X\nY\nR\nL\nWX\nWY\nWR\nWL\nC\nT\nDR\nBX\nHX\nBY\nHY\nBR\nHR\nBL\nHL\n";
const char* const kMelsecNames = "X\nY\nM\nL\nS\nB\nF\nM\nTS\nTC\nCS\nCC\nTN\nCN\nD\nW\nR\nD\n";

std::vector<LayoutCase> Layouts() {
    return {
        {1,
         {{"CommType", 80, kComm, 0, "자동읽기"},
          {"Slave Address", 90, nullptr, 3, "1"},
          {"PLCDeviceType", 90, "WORD\n", 0, "WORD"},
          {"PLCAddress", 90, nullptr, 4, "0"},
          {"DataCount", 90, nullptr, 3, "1"},
          {"An_Index", 90, nullptr, 3, "0"}}},
        {2,
         {{"CommType", 80, kComm, 0, "자동읽기"},
          {"PLCDeviceType", 90, "BIT\nWORD\n", 0, "WORD"},
          {" DB ", 90, nullptr, 3, "0"},
          {" DW ", 90, nullptr, 3, "0"},
          {"DataCount", 90, nullptr, 3, "1"},
          {"An_Index", 90, nullptr, 3, "0"}}},
        {3,
         {{"CommType", 80, kComm, 0, "자동읽기"},
          {"PLCDeviceType", 90, "WORD\n", 0, "WORD"},
          {"PLCDeviceName", 90, nullptr, 0, ""},
          {" SRC ", 40, nullptr, 4, "0"},
          {" DST ", 40, nullptr, 3, "0"},
          {"PLCAddress", 70, nullptr, 3, "0"},
          {"DataCount", 70, nullptr, 3, "1"},
          {"An_Index", 70, nullptr, 3, "0"}}},
        {4,
         {{"CommType", 80, kComm, 0, "자동읽기"},
          {"국번", 50, nullptr, 3, "1"},
          {"PLCDeviceType", 100, "BIT\nWORD\n", 0, "WORD"},
          {"PLCDeviceName", 100, "P\nM\nK\nL\nF\nT\nC\nD\nS\n", 0, "P"},
          {"PLCAddress", 70, nullptr, 4, "0"},
          {"DataCount", 70, nullptr, 3, "1"},
          {"An_Index", 70, nullptr, 3, "0"}}},
        {5,
         {{"CommType", 80, kComm, 0, "자동읽기"},
          {"국번", 50, nullptr, 3, "1"},
          {"PLC번호", 50, nullptr, 3, "255"},
          {"PLCDeviceType", 90, "BIT\nWORD\n", 0, "WORD"},
          {"PLCDeviceName", 90, kPosfaNames, 0, "X"},
          {"PLCAddress", 60, nullptr, 4, "0"},
          {"DataCount", 50, nullptr, 3, "1"},
          {"An_Index", 50, nullptr, 3, "0"}}},
        {6,
         {{"CommType", 80, kComm, 0, "자동읽기"},
          {"국번", 50, nullptr, 3, "1"},
          {"PLC번호", 50, nullptr, 3, "255"},
          {"PLCDeviceType", 90, "BIT\nWORD\n", 0, "BIT"},
          {"PLCDeviceName", 90, kMelsecNames, 0, "X"},
          {"PLCAddress", 60, nullptr, 4, "0"},
          {"DataCount", 50, nullptr, 3, "1"},
          {"An_Index", 50, nullptr, 3, "0"}}},
        {7,
         {{"SendDataType", 90, "ASCII\nBINARY\n", 0, "ASCII"},
          {"SendChoose", 90, "먼저받기\n먼저보내기\n", 0, "먼저보내기"},
          {"SendData", 150, nullptr, 0, ""},
          {"RevByte", 90, nullptr, 3, "0"},
          {"WaitTime(ms)", 90, nullptr, 3, "1000"}}},
    };
}

QStringList Words(const char* list) {
    QStringList words = U(list).split(QLatin1Char('\n'));
    words.removeLast();
    return words;
}

} // namespace

TEST(RequestGrid, EachLayoutStartsEmptyAndTheFirstRowAddedOnTheHeadingsHoldsItsNewRowTexts) {
    for (const LayoutCase& layout : Layouts()) {
        SCOPED_TRACE(layout.m_nType);
        auto grid = MakeGrid(layout.m_nType, 0);
        EXPECT_EQ(grid->GetRowCount(), 0);
        ASSERT_EQ(grid->columnCount(), static_cast<int>(layout.m_columns.size()));
        EXPECT_EQ(grid->font().pixelSize(), CRequestGrid::kFontPixels);
        EXPECT_EQ(grid->font().weight(), QFont::Medium);
        EXPECT_EQ(grid->selectionMode(), QAbstractItemView::ExtendedSelection);

        RunCommand(*grid, -1, CRequestGrid::ID_ROW_ADD);
        ASSERT_EQ(grid->GetRowCount(), 1);
        EXPECT_EQ(grid->GetCellText(-1, 0), QStringLiteral(" 1"));
        for (int c = 0; c < grid->columnCount(); ++c) {
            const ColumnCase& column = layout.m_columns[static_cast<std::size_t>(c)];
            SCOPED_TRACE(column.m_caption);
            EXPECT_EQ(grid->GetCellText(c, -1), U(column.m_caption));
            EXPECT_EQ(grid->columnWidth(c), column.m_nWidth);
            EXPECT_EQ(grid->GetCellText(c, 0), U(column.m_newText));
            EXPECT_EQ(grid->item(0, c)->textAlignment(), int(Qt::AlignCenter));
            EXPECT_EQ(grid->GetMaxDigits(c), column.m_nDigits);

            // A drop list shows its box, holding exactly its words, on the
            // current cell only.
            grid->setCurrentCell(0, c);
            const QModelIndex index = grid->model()->index(0, c);
            auto* box = qobject_cast<QComboBox*>(grid->indexWidget(index));
            if (column.m_words) {
                ASSERT_TRUE(box);
                QStringList items;
                for (int i = 0; i < box->count(); ++i)
                    items << box->itemText(i);
                EXPECT_EQ(items, Words(column.m_words));
                EXPECT_EQ(box->currentText(), U(column.m_newText));
            } else {
                EXPECT_FALSE(box);
            }
            grid->setCurrentCell(0, (c + 1) % grid->columnCount());
            EXPECT_FALSE(grid->indexWidget(index));
        }
    }
}

TEST(RequestGrid, TheMenuHoldsItsCommandsInOrder) {
    auto grid = MakeGrid(1, 2);
    std::unique_ptr<QMenu> menu = grid->BuildContextMenu(1);
    ASSERT_TRUE(menu);
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 6);
    const std::vector<std::pair<int, QString>> expected = {
        {7100, U("ROW 추가")}, {7101, U("ROW 삭제")}, {0, {}},
        {7000, U("Cut")},      {7001, U("Copy")},     {7002, U("Paste")}};
    for (int i = 0; i < 6; ++i) {
        if (i == 2) {
            EXPECT_TRUE(actions[i]->isSeparator());
            continue;
        }
        EXPECT_EQ(actions[i]->data().toInt(), expected[std::size_t(i)].first);
        EXPECT_EQ(actions[i]->text(), expected[std::size_t(i)].second);
    }
    // Nothing to delete on the headings or below the last row.
    EXPECT_FALSE(Command(*grid->BuildContextMenu(-1), CRequestGrid::ID_ROW_DELETE)->isEnabled());
    EXPECT_FALSE(Command(*grid->BuildContextMenu(2), CRequestGrid::ID_ROW_DELETE)->isEnabled());
}

TEST(RequestGrid, RowsAreAddedBelowTheRowUnderTheMouseAndDeletedWithItsNumbersFollowing) {
    auto grid = MakeGrid(3, 5);
    for (int r = 0; r < 5; ++r)
        grid->SetCellText(2, r, QStringLiteral("N%1").arg(r));

    RunCommand(*grid, 2, CRequestGrid::ID_ROW_ADD); // on row 3
    ASSERT_EQ(grid->GetRowCount(), 6);
    EXPECT_EQ(grid->GetCellText(2, 2), QStringLiteral("N2"));
    EXPECT_EQ(Row(*grid, 3), Row(*MakeGrid(3, 1), 0)); // the new row 4
    EXPECT_EQ(grid->GetCellText(2, 4), QStringLiteral("N3"));
    EXPECT_EQ(grid->GetCellText(2, 5), QStringLiteral("N4"));
    for (int r = 0; r < 6; ++r)
        EXPECT_EQ(grid->GetCellText(-1, r), QString::asprintf("%2d", r + 1));

    RunCommand(*grid, 0, CRequestGrid::ID_ROW_DELETE);
    RunCommand(*grid, 2, CRequestGrid::ID_ROW_DELETE); // the added row, now row 3
    ASSERT_EQ(grid->GetRowCount(), 4);
    for (int r = 0; r < 4; ++r) {
        EXPECT_EQ(grid->GetCellText(2, r), QStringLiteral("N%1").arg(r + 1));
        EXPECT_EQ(grid->GetCellText(-1, r), QString::asprintf("%2d", r + 1));
    }

    // Below the last row a new row goes to the end, on the headings to the top.
    RunCommand(*grid, 4, CRequestGrid::ID_ROW_ADD);
    RunCommand(*grid, -1, CRequestGrid::ID_ROW_ADD);
    ASSERT_EQ(grid->GetRowCount(), 6);
    EXPECT_EQ(grid->GetCellText(0, 0), U("자동읽기"));
    EXPECT_EQ(grid->GetCellText(2, 1), QStringLiteral("N1"));
    EXPECT_EQ(grid->GetCellText(2, 5), QString());
    EXPECT_EQ(grid->GetCellText(-1, 5), QStringLiteral(" 6"));
}

TEST(RequestGrid, SettingTheRowCountAddsEmptyRowsOrDropsRowsFromTheEnd) {
    auto grid = MakeGrid(7, 2);
    grid->SetCellText(2, 1, QStringLiteral("kept"));
    grid->SetRowCount(12);
    EXPECT_EQ(grid->GetRowCount(), 12);
    EXPECT_EQ(grid->GetCellText(2, 1), QStringLiteral("kept"));
    EXPECT_EQ(Row(*grid, 11), QStringList(5, QString()));
    EXPECT_EQ(grid->GetCellText(-1, 11), QStringLiteral("12"));
    grid->SetRowCount(1);
    EXPECT_EQ(grid->GetRowCount(), 1);
    EXPECT_EQ(grid->GetCellText(2, 1), QString()); // gone, and outside reads empty
    grid->SetCellText(9, 0, QStringLiteral("x"));  // outside: ignored
    EXPECT_EQ(grid->GetCellText(9, 0), QString());
    grid->SetCellText(2, -1, QStringLiteral("Data"));
    EXPECT_EQ(grid->GetCellText(2, -1), QStringLiteral("Data"));
}

TEST(RequestGrid, CopyGivesTheBlockAsTabbedLinesAndPasteFillsFromTheCurrentCellWithinTheGrid) {
    auto grid = MakeGrid(3, 4);
    grid->SetCellText(3, 0, QStringLiteral("12"));
    grid->SetCellText(4, 0, QStringLiteral("34"));
    grid->SetCellText(3, 1, QStringLiteral("56"));
    grid->SetCellText(4, 1, QStringLiteral("78"));
    grid->setRangeSelected(QTableWidgetSelectionRange(0, 3, 1, 4), true);
    RunCommand(*grid, 0, CRequestGrid::ID_COPY);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("12\t34\n56\t78"));
    QApplication::clipboard()->clear();
    QTest::keyClick(grid.get(), Qt::Key_C, Qt::ControlModifier); // the keys copy the block too
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("12\t34\n56\t78"));

    grid->setCurrentCell(2, 5);
    RunCommand(*grid, 2, CRequestGrid::ID_PASTE);
    EXPECT_EQ(grid->GetCellText(5, 2), QStringLiteral("12"));
    EXPECT_EQ(grid->GetCellText(6, 2), QStringLiteral("34"));
    EXPECT_EQ(grid->GetCellText(5, 3), QStringLiteral("56"));
    EXPECT_EQ(grid->GetCellText(6, 3), QStringLiteral("78"));

    // At the bottom right corner only the piece that lands inside is kept.
    grid->setCurrentCell(3, 7);
    grid->PasteAtCurrent();
    EXPECT_EQ(grid->GetRowCount(), 4);
    EXPECT_EQ(grid->columnCount(), 8);
    EXPECT_EQ(grid->GetCellText(7, 3), QStringLiteral("12"));
    EXPECT_EQ(grid->GetCellText(7, 2), QStringLiteral("0"));

    // Cut copies, then empties only the selected cells.
    grid->clearSelection();
    grid->setRangeSelected(QTableWidgetSelectionRange(2, 5, 2, 5), true);
    grid->setRangeSelected(QTableWidgetSelectionRange(3, 6, 3, 6), true);
    RunCommand(*grid, 2, CRequestGrid::ID_CUT);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("12\t\n\t78"));
    EXPECT_EQ(grid->GetCellText(5, 2), QString());
    EXPECT_EQ(grid->GetCellText(6, 2), QStringLiteral("34"));
    EXPECT_EQ(grid->GetCellText(6, 3), QString());
}

TEST(RequestGrid, ClipboardTextSplitsAtTabsAndAtEveryKindOfLineBreak) {
    const std::vector<std::pair<QString, std::vector<QStringList>>> cases = {
        {QStringLiteral("a\tb\r\nc\td\r\n"), {{"a", "b"}, {"c", "d"}}},
        {QStringLiteral("a\rb\nc"), {{"a"}, {"b"}, {"c"}}},
        {QStringLiteral("a\n\nb\n"), {{"a"}, {""}, {"b"}}},
        {QStringLiteral("a\r\r\n"), {{"a"}, {""}}},
        {QStringLiteral("\t"), {{"", ""}}},
        {QString(), {}},
    };
    for (const auto& [text, rows] : cases) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(CRequestGrid::SplitClipboardText(text), rows);
    }

    auto grid = MakeGrid(1, 3);
    QApplication::clipboard()->setText(QStringLiteral("11\t22\r\n33\t44\r\n"));
    grid->setCurrentCell(0, 4);
    grid->PasteAtCurrent();
    EXPECT_EQ(Row(*grid, 0).mid(4), (QStringList{"11", "22"}));
    EXPECT_EQ(Row(*grid, 1).mid(4), (QStringList{"33", "44"}));
    EXPECT_EQ(Row(*grid, 2).mid(4), (QStringList{"1", "0"})); // no empty third row
}

TEST(RequestGrid, PasteLeavesACellAloneWhenItsKindCannotHoldThePiece) {
    auto grid = MakeGrid(1, 1);
    grid->PasteText(U("자동쓰기\t 12 \tBYTE\t12345\t1a\t"), 0, 0);
    EXPECT_EQ(Row(*grid, 0), (QStringList{U("자동쓰기"), "12", "WORD", "0", "1", ""}));

    // A new row's value longer than its mask survives a cut and a paste.
    auto user = MakeGrid(7, 2);
    user->SetCellText(4, 1, QStringLiteral("500"));
    user->setCurrentCell(0, 0);
    user->selectRow(0);
    user->CutSelection();
    EXPECT_EQ(user->GetCellText(4, 0), QString());
    user->PasteAtCurrent();
    EXPECT_EQ(user->GetCellText(4, 0), QStringLiteral("1000"));
    user->setCurrentCell(1, 0);
    user->PasteAtCurrent();
    EXPECT_EQ(Row(*user, 1), Row(*user, 0));

    auto ab = MakeGrid(3, 1);
    ab->PasteText(QStringLiteral("N7:0 x\t254"), 2, 0);
    EXPECT_EQ(ab->GetCellText(2, 0), QStringLiteral("N7:0 x"));
    EXPECT_EQ(ab->GetCellText(3, 0), QStringLiteral("254"));
    // Four digits fit the mask, but a DF1 node is 0-254.
    ab->PasteText(QStringLiteral("9999"), 3, 0);
    EXPECT_EQ(ab->GetCellText(3, 0), QStringLiteral("254"));
}

TEST(RequestGrid, DigitCellsTakeOnlyAsManyDigitsAsTheirMask) {
    auto grid = MakeGrid(1, 1);
    QLineEdit* edit = OpenDigitsEditor(*grid, 0, 1); // "999"
    ASSERT_TRUE(edit);
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("1234"));
    EXPECT_EQ(edit->text(), QStringLiteral("123"));
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("7a-8"));
    EXPECT_EQ(edit->text(), QStringLiteral("78"));
    QTest::keyClick(edit, Qt::Key_Return);
    QCoreApplication::processEvents(); // the delegate commits Return queued
    EXPECT_EQ(grid->GetCellText(1, 0), QStringLiteral("78"));

    edit = OpenDigitsEditor(*grid, 0, 3); // "9999"
    ASSERT_TRUE(edit);
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("12345"));
    EXPECT_EQ(edit->text(), QStringLiteral("1234"));
    QTest::keyClick(edit, Qt::Key_Return);
    QCoreApplication::processEvents(); // the delegate commits Return queued
    EXPECT_EQ(grid->GetCellText(3, 0), QStringLiteral("1234"));

    // Typing on the grid itself starts the edit and replaces the text.
    grid->setFocus();
    grid->setCurrentCell(0, 4);
    QTest::keyClick(grid.get(), Qt::Key_5);
    edit = qobject_cast<QLineEdit*>(grid->indexWidget(grid->model()->index(0, 4)));
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->text(), QStringLiteral("5"));

    // A new row's wait time is longer than its mask: opening the cell shows
    // it whole and leaving it unchanged keeps it.
    auto user = MakeGrid(7, 1);
    edit = OpenDigitsEditor(*user, 0, 4);
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->text(), QStringLiteral("1000"));
    user->setCurrentCell(0, 3);
    EXPECT_EQ(user->GetCellText(4, 0), QStringLiteral("1000"));
    // Return closes such a cell like any other, keeping the value.
    edit = OpenDigitsEditor(*user, 0, 4);
    ASSERT_TRUE(edit);
    QTest::keyClick(edit, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_FALSE(user->indexWidget(user->model()->index(0, 4)));
    EXPECT_EQ(user->GetCellText(4, 0), QStringLiteral("1000"));
    // It can be shortened, but not grown or changed at the same length.
    edit = OpenDigitsEditor(*user, 0, 4);
    ASSERT_TRUE(edit);
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClicks(edit, QStringLiteral("7"));
    EXPECT_EQ(edit->text(), QStringLiteral("1000"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, QStringLiteral("1"));
    EXPECT_EQ(edit->text(), QStringLiteral("100"));
    QTest::keyClick(edit, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(user->GetCellText(4, 0), QStringLiteral("100"));
}

// The Yaskawa cells refuse what MEMOBUS cannot carry: the editor turns red,
// says the range and does not commit; a pasted value is dropped; a value
// that comes another way (a file, a changed COMMTYPE) is marked.
TEST(RequestGrid, YaskawaCellsRefuseWhatTheProtocolCannotCarry) {
    auto grid = MakeGrid(1, 1); // 자동읽기, slave 1, WORD, 0, 1, 0
    auto type = [&](int col, const QString& text) {
        QLineEdit* edit = OpenDigitsEditor(*grid, 0, col);
        EXPECT_TRUE(edit);
        if (!edit)
            return static_cast<QLineEdit*>(nullptr);
        edit->clear();
        QTest::keyClicks(edit, text);
        return edit;
    };
    auto cellIsOpen = [&](int col) { return grid->indexWidget(grid->model()->index(0, col)); };

    QLineEdit* edit = type(1, QStringLiteral("300"));
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->text(), QStringLiteral("300"));
    EXPECT_FALSE(edit->hasAcceptableInput());
    EXPECT_TRUE(edit->toolTip().contains(QStringLiteral("1~247"))) << edit->toolTip().toStdString();
    EXPECT_FALSE(edit->styleSheet().isEmpty());
    QTest::keyClick(edit, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_TRUE(cellIsOpen(1)); // Return does not take it
    grid->setCurrentCell(0, 3); // nor does leaving the cell
    QCoreApplication::processEvents();
    EXPECT_FALSE(cellIsOpen(1));
    EXPECT_EQ(grid->GetCellText(1, 0), QStringLiteral("1"));

    struct Case {
        const char* commType;
        int col;
        const char* text;
        bool taken;
    } cases[] = {
        {"자동읽기", 1, "247", true},  {"자동읽기", 1, "248", false}, {"자동읽기", 1, "0", false},
        {"자동쓰기", 1, "0", true},    {"자동쓰기", 1, "00", false},  {"자동읽기", 4, "125", true},
        {"자동읽기", 4, "126", false}, {"자동쓰기", 4, "123", true},  {"자동쓰기", 4, "124", false},
        {"자동쓰기", 4, "0", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.commType) + " " + c.text);
        grid->SetCellText(0, 0, U(c.commType));
        grid->SetCellText(c.col, 0, QStringLiteral("7"));
        edit = type(c.col, QString::fromLatin1(c.text));
        ASSERT_TRUE(edit);
        EXPECT_EQ(edit->hasAcceptableInput(), c.taken);
        grid->setCurrentCell(0, 3);
        QCoreApplication::processEvents();
        EXPECT_EQ(grid->GetCellText(c.col, 0), c.taken ? U(c.text) : QStringLiteral("7"));
        grid->SetCellText(c.col, 0, QStringLiteral("7"));
        grid->PasteText(U(c.text), c.col, 0);
        EXPECT_EQ(grid->GetCellText(c.col, 0), c.taken ? U(c.text) : QStringLiteral("7"));
    }

    // Nor does an emptied cell: a slave is needed. (Cut may still empty it,
    // and a paste restore it.)
    edit = type(1, QString());
    ASSERT_TRUE(edit);
    EXPECT_FALSE(edit->hasAcceptableInput());
    grid->setCurrentCell(0, 3);
    QCoreApplication::processEvents();
    EXPECT_EQ(grid->GetCellText(1, 0), QStringLiteral("7"));

    // Values that come from a file are shown, and marked with their range.
    grid->SetCellText(0, 0, U("자동읽기"));
    grid->SetCellText(1, 0, QStringLiteral("256"));
    EXPECT_TRUE(grid->IsMarked(1, 0));
    EXPECT_TRUE(grid->item(0, 1)->toolTip().contains(QStringLiteral("1~247")));
    grid->SetCellText(1, 0, QStringLiteral("5"));
    EXPECT_FALSE(grid->IsMarked(1, 0));
    EXPECT_TRUE(grid->item(0, 1)->toolTip().isEmpty());
    grid->SetCellText(4, 0, QStringLiteral("125"));
    EXPECT_FALSE(grid->IsMarked(4, 0));
    grid->SetCellText(0, 0, U("자동쓰기")); // 125 is too many for a write
    EXPECT_TRUE(grid->IsMarked(4, 0));
}

// The Siemens cells refuse what one RK512 telegram cannot carry: DB and DW
// are one byte each; a row counts at most 64 words, or as many bits as the
// table holds.
TEST(RequestGrid, SiemensCellsRefuseWhatATelegramCannotCarry) {
    auto grid = MakeGrid(2, 1); // 자동읽기, WORD, 0, 0, 1, 0
    struct Case {
        const char* unit;
        int col;
        const char* text;
        bool taken;
    } cases[] = {
        {"WORD", 2, "255", true},  {"WORD", 2, "256", false}, {"WORD", 3, "255", true},
        {"WORD", 3, "256", false}, {"WORD", 4, "64", true},   {"WORD", 4, "65", false},
        {"WORD", 4, "0", false},   {"BIT", 4, "999", true},   {"BIT", 4, "0", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.unit) + " " + std::to_string(c.col) + " " + c.text);
        grid->SetCellText(1, 0, U(c.unit));
        grid->SetCellText(c.col, 0, QStringLiteral("7"));
        grid->PasteText(U(c.text), c.col, 0);
        EXPECT_EQ(grid->GetCellText(c.col, 0), c.taken ? U(c.text) : QStringLiteral("7"));
        EXPECT_EQ(grid->CheckCell(c.col, 0, U(c.text)).isEmpty(), c.taken);
    }
    // Changing the unit re-marks the count.
    grid->SetCellText(1, 0, QStringLiteral("BIT"));
    grid->SetCellText(4, 0, QStringLiteral("500"));
    EXPECT_FALSE(grid->IsMarked(4, 0));
    grid->SetCellText(1, 0, QStringLiteral("WORD"));
    EXPECT_TRUE(grid->IsMarked(4, 0));
    EXPECT_TRUE(grid->item(0, 4)->toolTip().contains(QStringLiteral("1~64")))
        << grid->item(0, 4)->toolTip().toStdString();
}

TEST(RequestGrid, PickingAWordInTheDropListWritesTheCell) {
    auto grid = MakeGrid(6, 1);
    grid->setCurrentCell(0, 4);
    auto* box = qobject_cast<QComboBox*>(grid->indexWidget(grid->model()->index(0, 4)));
    ASSERT_TRUE(box);
    QTest::keyClick(box, Qt::Key_Down);
    EXPECT_EQ(grid->GetCellText(4, 0), QStringLiteral("Y"));

    // A program write shows in the open box; a word not in the list is kept
    // when the box loses focus without a choice.
    grid->SetCellText(4, 0, QStringLiteral("TN"));
    EXPECT_EQ(box->currentText(), QStringLiteral("TN"));
    grid->SetCellText(4, 0, QStringLiteral("ZZ"));
    grid->setCurrentCell(0, 5);
    EXPECT_EQ(grid->GetCellText(4, 0), QStringLiteral("ZZ"));
}

TEST(RequestGrid, HeadingClicksSelectWholeColumnsAndRows) {
    auto grid = MakeGrid(1, 5);
    QHeaderView* top = grid->horizontalHeader();
    QHeaderView* side = grid->verticalHeader();
    auto clickColumn = [&](int c, Qt::KeyboardModifiers modifiers) {
        QTest::mouseClick(
            top->viewport(), Qt::LeftButton, modifiers,
            {top->sectionViewportPosition(c) + top->sectionSize(c) / 2, top->height() / 2});
    };
    auto clickRow = [&](int r, Qt::KeyboardModifiers modifiers) {
        QTest::mouseClick(
            side->viewport(), Qt::LeftButton, modifiers,
            {side->width() / 2, side->sectionViewportPosition(r) + side->sectionSize(r) / 2});
    };

    grid->setRangeSelected(QTableWidgetSelectionRange(0, 0, 1, 1), true);
    clickColumn(2, Qt::NoModifier);
    EXPECT_EQ(Selected(*grid), Block(0, 2, 4, 2));
    clickColumn(4, Qt::ControlModifier);
    Cells both = Block(0, 2, 4, 2);
    both.merge(Block(0, 4, 4, 4));
    EXPECT_EQ(Selected(*grid), both);
    clickColumn(1, Qt::NoModifier);
    EXPECT_EQ(Selected(*grid), Block(0, 1, 4, 1));

    // Shift: from the anchor cell to the clicked column's last row.
    grid->setCurrentCell(2, 1);
    clickColumn(3, Qt::ShiftModifier);
    EXPECT_EQ(Selected(*grid), Block(2, 1, 4, 3));
    clickColumn(0, Qt::ShiftModifier);
    EXPECT_EQ(Selected(*grid), Block(2, 0, 4, 1));

    clickRow(1, Qt::NoModifier);
    EXPECT_EQ(Selected(*grid), Block(1, 0, 1, 5));
    clickRow(3, Qt::ControlModifier);
    Cells rows = Block(1, 0, 1, 5);
    rows.merge(Block(3, 0, 3, 5));
    EXPECT_EQ(Selected(*grid), rows);
    grid->setCurrentCell(0, 2);
    clickRow(2, Qt::ShiftModifier);
    EXPECT_EQ(Selected(*grid), Block(0, 2, 2, 5));
}

TEST(RequestGrid, ADisabledGridTakesNoInput) {
    auto grid = MakeGrid(1, 2);
    grid->setCurrentCell(0, 0);
    ASSERT_TRUE(grid->indexWidget(grid->model()->index(0, 0)));
    grid->setCurrentCell(0, 1);
    QApplication::clipboard()->setText(QStringLiteral("9\t9"));

    grid->EnableGrid(false);
    EXPECT_FALSE(grid->BuildContextMenu(0));
    grid->PasteAtCurrent();
    grid->CutSelection();
    grid->InsertRowAt(0);
    grid->DeleteRow(0);
    QTest::keyClicks(grid.get(), QStringLiteral("5"));
    const QRect cell = grid->visualRect(grid->model()->index(1, 1));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    EXPECT_FALSE(grid->indexWidget(grid->model()->index(1, 1)));
    EXPECT_EQ(grid->GetRowCount(), 2);
    EXPECT_EQ(Row(*grid, 0), Row(*grid, 1));
    EXPECT_EQ(grid->GetCellText(1, 0), QStringLiteral("1"));
    grid->setCurrentCell(0, 0);
    EXPECT_FALSE(grid->indexWidget(grid->model()->index(0, 0))); // no drop box either

    // The screen still loads its rows into a disabled grid.
    grid->SetCellText(3, 1, QStringLiteral("40"));
    EXPECT_EQ(grid->GetCellText(3, 1), QStringLiteral("40"));

    grid->EnableGrid(true);
    EXPECT_TRUE(grid->indexWidget(grid->model()->index(0, 0)));
    grid->setCurrentCell(0, 1);
    grid->PasteAtCurrent();
    EXPECT_EQ(grid->GetCellText(2, 0), QStringLiteral("WORD")); // "9" is not a word
    EXPECT_EQ(grid->GetCellText(1, 0), QStringLiteral("9"));
}

TEST(RequestGrid, AttachingTakesThePlaceholdersParentAndRectangle) {
    QWidget screen;
    auto* placeholder = new QWidget(&screen);
    placeholder->setGeometry(10, 200, 600, 180);
    screen.show();
    auto* grid = new CRequestGrid(2);
    grid->AttachTo(placeholder);
    EXPECT_EQ(grid->parentWidget(), &screen);
    EXPECT_EQ(grid->geometry(), QRect(10, 200, 600, 180));
    EXPECT_TRUE(placeholder->isHidden());
    EXPECT_TRUE(grid->isVisible());
}

TEST(RequestGrid, MelsecCellsRefuseWhatTheLinkCannotCarry) {
    auto grid = MakeGrid(6, 1);
    struct Case {
        const char* commType;
        int col;
        const char* text;
        bool taken;
    } cases[] = {
        {"자동읽기", 1, "31", true},   {"자동읽기", 1, "32", false},  {"자동읽기", 2, "255", true},
        {"자동읽기", 2, "256", false}, {"자동읽기", 6, "256", true},  {"자동읽기", 6, "257", false},
        {"자동쓰기", 6, "160", true},  {"자동쓰기", 6, "161", false}, {"자동읽기", 6, "0", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.commType) + " " + c.text);
        grid->SetCellText(0, 0, U(c.commType));
        grid->SetCellText(c.col, 0, QStringLiteral("7"));
        grid->PasteText(U(c.text), c.col, 0);
        EXPECT_EQ(grid->GetCellText(c.col, 0), c.taken ? U(c.text) : QStringLiteral("7"));
    }
}
