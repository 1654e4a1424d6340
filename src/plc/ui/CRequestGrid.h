#pragma once

#include <QPersistentModelIndex>
#include <QStringList>
#include <QTableWidget>

#include <memory>
#include <vector>

class QMenu;

// The spreadsheet of request rows on the PLC and user-protocol screens. The
// grid knows its column layout (chosen by the owning screen's number) and
// what a new row holds; the screens read and write it only as cell texts.
class CRequestGrid : public QTableWidget {
    Q_OBJECT
public:
    // Command ids of the right-click menu, carried as each action's data.
    enum Command {
        ID_ROW_ADD = 7100,
        ID_ROW_DELETE = 7101,
        ID_CUT = 7000,
        ID_COPY = 7001,
        ID_PASTE = 7002,
    };
    enum CellKind { KIND_TEXT, KIND_LIST, KIND_DIGITS };
    static constexpr int kFontPixels = 14;

    // nGridType: 1 Yaskawa, 2 Siemens, 3 Allen-Bradley, 4 MASTER-K,
    // 5 POSFA, 6 MELSEC, 7 user protocol. Any other number gives a grid
    // without columns.
    explicit CRequestGrid(int nGridType, QWidget* parent = nullptr);
    ~CRequestGrid() override;

    int GetGridType() const { return m_nGridType; }

    // Takes the placeholder's place: its parent and rectangle (or its slot
    // in the parent's layout). The placeholder is hidden.
    void AttachTo(QWidget* pPlaceholder);

    int GetRowCount() const { return rowCount(); }
    // Grows with empty rows or drops rows from the end, then redraws.
    void SetRowCount(int nRows);
    // Row -1 is the top heading; column -1 the row number heading. Cells
    // outside the grid read as empty and ignore writes.
    QString GetCellText(int nCol, int nRow) const;
    void SetCellText(int nCol, int nRow, const QString& strText);
    void RedrawAll();
    // A disabled grid takes no input: no editing, no menu, no paste.
    void EnableGrid(bool bEnable);

    CellKind GetCellKind(int nCol) const;
    // The words of a drop-list column, or none.
    QStringList GetListWords(int nCol) const;
    // The digit count of a digits column, or 0.
    int GetMaxDigits(int nCol) const;
    QString GetNewRowText(int nCol) const;
    // What the cell (nCol, nRow) may hold when it is not this text, or
    // empty when it may hold it: the protocol's range of a number column
    // (a Yaskawa slave 1-247, 0 only for a write; 1-125 words read, 1-123
    // written; an empty cell there holds nothing the PLC can take).
    QString CheckCell(int nCol, int nRow, const QString& strText) const;
    // Whether the cell is marked as holding what its protocol refuses.
    bool IsMarked(int nCol, int nRow) const;

    // The menu commands. A row inserted at nRow is filled with the layout's
    // new-row texts and takes index nRow; rows below move down.
    void InsertRowAt(int nRow);
    void DeleteRow(int nRow);
    void CutSelection();
    void CopySelection();
    void PasteAtCurrent();

    // The selected block as clipboard text: cells TAB-separated, rows
    // LF-separated. Cells inside the block that are not selected give empty
    // pieces.
    QString SelectionText() const;
    // Writes clipboard-style text from the cell (nCol, nRow) right and down.
    // Pieces outside the grid are dropped, as are pieces a cell cannot hold
    // (a word not in its list, anything but up to its number of digits).
    void PasteText(const QString& strText, int nCol, int nRow);
    // Clipboard text as rows of cells: TAB splits cells; CR, LF and CRLF
    // end rows; a final line break adds no empty row.
    static std::vector<QStringList> SplitClipboardText(const QString& strText);

    // The right-click menu for the row under the mouse: -1 for the column
    // headings (a new row goes to the top), a row index, or any index at or
    // past the row count for the empty space below the rows (a new row goes
    // to the end). Null while the grid is disabled. The caller owns it.
    std::unique_ptr<QMenu> BuildContextMenu(int nRowUnderMouse);

    // Heading clicks, as the mouse on the headings does them.
    void ClickColumnHeading(int nCol, Qt::KeyboardModifiers modifiers);
    void ClickRowHeading(int nRow, Qt::KeyboardModifiers modifiers);

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    struct SColumn {
        QString m_strCaption;
        int m_nWidth;
        CellKind m_kind;
        QStringList m_words;
        int m_nDigits;
        QString m_strNewText;
        // A number column's range, none when m_nMax < 0; a write row's
        // maximum when m_nWriteMax >= 0; 0 as the broadcast of a write.
        int m_nMin = 0;
        int m_nMax = -1;
        int m_nWriteMax = -1;
        // A row whose "PLCDeviceType" is "BIT" counts bits: its maximum
        // when m_nBitMax >= 0.
        int m_nBitMax = -1;
        bool m_bBroadcastZero = false;
    };
    static std::vector<SColumn> Layout(int nGridType);

    QTableWidgetItem* MakeCell(const QString& strText) const;
    void RenumberRows();
    // Marks the row's cells that hold what their column refuses.
    void MarkRow(int nRow);
    bool Fits(int nCol, int nRow, const QString& strText) const;
    void FinishEditing();
    void OpenDropList(const QModelIndex& index);
    void CloseDropList();
    void ShowMenuAt(int nRowUnderMouse, const QPoint& globalPos);
    void SelectBlock(int nTop, int nLeft, int nBottom, int nRight, bool bAdd);

    int m_nGridType;
    std::vector<SColumn> m_columns;
    // The drop-list cell whose box is shown: only the current cell has one.
    QPersistentModelIndex m_openList;
    bool m_bMarking = false;
};
