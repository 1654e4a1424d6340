#pragma once

#include "analyzer/CTrafficPage.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QStaticText>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>

class CTessaryDoc;
class QMenu;

// The analyzer's 29 x 18 byte grid, painted by hand: a table widget with 522
// items costs far more per page than drawing the cells does. It shows one
// CTrafficPage, lets the user select a block of cells with the mouse and
// copy, cut or paste cell texts through its right-button menu. Cut and paste
// only change what is shown: the next page painted replaces them.
class CTrafficGrid : public QWidget {
    Q_OBJECT
public:
    static constexpr int COLUMN_WIDTH = 20;
    static constexpr int ROW_HEIGHT = 21;
    static constexpr std::uint32_t EMPTY_COLOR = 0xD68585;
    static constexpr int ID_CUT = 7000;
    static constexpr int ID_COPY = 7001;
    static constexpr int ID_PASTE = 7002;

    explicit CTrafficGrid(QWidget* parent = nullptr);

    // Takes the cells of a page with the screen's colours (0x00BBGGRR).
    void SetPage(const CTrafficPage& page, std::uint32_t colorRx, std::uint32_t colorTx,
                 std::uint32_t colorText);

    // The capture the pages come from, for the cells' tooltips.
    void SetDocument(const CTessaryDoc* doc) { m_pDoc = doc; }
    // What hovering a cell shows: the time, direction, length and gap of
    // the block its byte came from; empty for an empty cell.
    QString ToolTipText(int cell) const;

    QString CellText(int cell) const { return m_texts[Index(cell)]; }
    QColor CellBackground(int cell) const;
    QColor TextColor() const { return m_textColor; }

    // The selected block, from the anchor cell to the current cell.
    void Select(int anchor, int current);
    int GetCurrent() const { return m_nCurrent; }
    bool IsSelected(int cell) const;

    // Marks `count` cells from `first` (a found byte sequence); a count of 0
    // clears the mark. Kept across pages until changed.
    void SetMarkedCells(int first, int count);
    bool IsMarked(int cell) const { return cell >= m_nMarkFirst && cell < m_nMarkEnd; }

    void Copy() const;
    void Cut();
    void Paste();
    // The right-button menu: "Cut", "Copy", "Paste".
    QMenu* CreateMenu(QWidget* parent);

    // Draws the cells into target, scaled to fit it with the grid's aspect
    // kept: the printer's page uses this.
    void Render(QPainter& painter, const QRectF& target) const;

    QSize sizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    static std::size_t Index(int cell) { return static_cast<std::size_t>(cell); }
    int CellAt(const QPoint& pos) const;
    // The selection as column and row bounds.
    void SelectionBounds(int& left, int& top, int& right, int& bottom) const;
    // screen: with the selection, and through laid-out texts kept per label
    // (a printer gets plain text and no selection).
    void PaintCells(QPainter& painter, bool screen) const;
    const QStaticText& StaticText(const QString& text) const;

    std::array<QString, PAGE_CELLS> m_texts;
    std::array<std::uint8_t, PAGE_CELLS> m_directions{};
    QColor m_rxColor;
    QColor m_txColor;
    QColor m_textColor;
    QColor m_emptyColor;
    QFont m_cellFont;
    const CTessaryDoc* m_pDoc = nullptr;
    std::uint64_t m_nPageStart = 0; // byte number of the first cell
    int m_nFilled = 0;
    int m_nAnchor = -1;
    int m_nCurrent = -1;
    int m_nMarkFirst = 0;
    int m_nMarkEnd = 0;
    // Laid-out labels; a page shows at most a few hundred different ones.
    mutable QHash<QString, QStaticText> m_staticTexts;
};
