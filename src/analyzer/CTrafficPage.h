#pragma once

#include <array>
#include <cstdint>
#include <string>

class CTessaryDoc;

constexpr int PAGE_COLUMNS = 29;
constexpr int PAGE_ROWS = 18;
constexpr int PAGE_CELLS = PAGE_COLUMNS * PAGE_ROWS; // 522

constexpr int RX_MODE_ASCII = 0;
constexpr int RX_MODE_BINARY = 1;

// The trail cell of a CP949 double-byte character in ASCII mode; the
// character itself stands in the lead cell.
constexpr const char* kPairTrailLabel = "←";

// One cell of the traffic grid: its text and the direction of the record
// the byte came from (0 for an empty cell).
struct TrafficCell {
    std::string m_strText;
    int m_nDirection = 0;
};

// What the analyzer grid shows for one page: the 522 cells and the
// "page/pages" text. In ASCII mode a CP949 double-byte character takes two
// cells, the character and then kPairTrailLabel. Its two bytes must travel
// in one direction one after the other; they may lie in two records (a
// serial line delivers a character's bytes apart) and on two pages (the
// character ends the one, the mark starts the next). A direction change
// between them leaves both bytes with their own labels. Finding the page start costs a binary
// search over the records, so the last page of a long capture costs what page 1 costs.
class CTrafficPage {
public:
    // Computes the cells of page `page` in the given mode. The page is clamped
    // to 1..pages first; the clamped page is returned.
    int PaintPage(const CTessaryDoc& doc, int page, int mode);

    int GetPage() const { return m_nPage; }
    int GetPages() const { return m_nPages; }
    // Number of leading cells that hold a byte; the rest are empty.
    int GetFilled() const { return m_nFilled; }
    const TrafficCell& Cell(int index) const { return m_cells[static_cast<std::size_t>(index)]; }
    const TrafficCell& Cell(int column, int row) const { return Cell(column + PAGE_COLUMNS * row); }
    std::string PageText() const;

    static int PageCount(std::uint64_t totalBytes);

private:
    // Puts the CP949 characters over the labels of the page's pairs.
    void MarkPairs(const CTessaryDoc& doc, std::uint64_t start);

    std::array<TrafficCell, PAGE_CELLS> m_cells{};
    int m_nPage = 1;
    int m_nPages = 1;
    int m_nFilled = 0;
};
