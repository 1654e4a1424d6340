#include "analyzer/CTrafficPage.h"

#include "analyzer/ByteLabel.h"
#include "app/CTessaryDoc.h"

#include <algorithm>
#include <climits>

int CTrafficPage::PageCount(std::uint64_t totalBytes) {
    std::uint64_t pages = totalBytes / PAGE_CELLS + (totalBytes % PAGE_CELLS ? 1 : 0);
    return static_cast<int>(std::clamp<std::uint64_t>(pages, 1, INT_MAX));
}

int CTrafficPage::PaintPage(const CTessaryDoc& doc, int page, int mode) {
    m_nPages = PageCount(doc.GetTotalBytes());
    m_nPage = std::clamp(page, 1, m_nPages);
    const std::uint64_t start = static_cast<std::uint64_t>(m_nPage - 1) * PAGE_CELLS;

    int cell = 0;
    for (std::size_t r = doc.FindRecordByByte(start); r < doc.GetCount() && cell < PAGE_CELLS;
         ++r) {
        const TrafficRecord rec = doc.GetRecord(r);
        const std::uint64_t recStart = doc.GetRecordStart(r);
        std::size_t i = recStart < start ? static_cast<std::size_t>(start - recStart) : 0;
        for (; i < static_cast<std::size_t>(rec.m_nLength) && cell < PAGE_CELLS; ++i, ++cell) {
            TrafficCell& c = m_cells[static_cast<std::size_t>(cell)];
            c.m_strText =
                mode == RX_MODE_BINARY ? ByteHex(rec.m_pData[i]) : ByteLabel(rec.m_pData[i]);
            c.m_nDirection = rec.m_nDirection;
        }
    }
    m_nFilled = cell;
    for (; cell < PAGE_CELLS; ++cell) {
        m_cells[static_cast<std::size_t>(cell)].m_strText.clear();
        m_cells[static_cast<std::size_t>(cell)].m_nDirection = 0;
    }
    return m_nPage;
}

std::string CTrafficPage::PageText() const {
    return std::to_string(m_nPage) + "/" + std::to_string(m_nPages);
}
