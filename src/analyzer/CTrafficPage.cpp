#include "analyzer/CTrafficPage.h"

#include "analyzer/ByteLabel.h"
#include "app/CTessaryDoc.h"
#include "link/CCp949.h"

#include <algorithm>
#include <climits>

namespace {

// Calls fn(g, byte, direction) for every byte from byte number `from` on,
// in order, until fn returns false.
template <typename Fn> void ForEachByte(const CTessaryDoc& doc, std::uint64_t from, Fn&& fn) {
    std::size_t r = doc.FindRecordByByte(from);
    if (r >= doc.GetCount())
        return;
    std::uint64_t g = from;
    auto i = static_cast<std::size_t>(from - doc.GetRecordStart(r));
    for (; r < doc.GetCount(); ++r, i = 0) {
        const TrafficRecord rec = doc.GetRecord(r);
        for (; i < static_cast<std::size_t>(rec.m_nLength); ++i, ++g)
            if (!fn(g, rec.m_pData[i], rec.m_nDirection))
                return;
    }
}

// Where pairing must start for the page at `start` to pair as the bytes
// before it do: the first byte of the unbroken run of lead bytes in one
// direction that ends just before `start`. Any other byte ends a pair or
// stands alone, so the byte after it starts afresh.
std::uint64_t PairSyncPoint(const CTessaryDoc& doc, std::uint64_t start) {
    if (start == 0)
        return 0;
    std::size_t r = doc.FindRecordByByte(start - 1);
    TrafficRecord rec = doc.GetRecord(r);
    const int direction = rec.m_nDirection;
    std::uint64_t g = start - 1;
    auto i = static_cast<std::size_t>(g - doc.GetRecordStart(r));
    for (;;) {
        if (!CCp949::IsLead(rec.m_pData[i]))
            return g + 1;
        if (g == 0)
            return 0;
        if (i == 0) {
            do
                rec = doc.GetRecord(--r);
            while (rec.m_nLength == 0);
            if (rec.m_nDirection != direction)
                return g;
            i = static_cast<std::size_t>(rec.m_nLength);
        }
        --i;
        --g;
    }
}

} // namespace

void CTrafficPage::MarkPairs(const CTessaryDoc& doc, std::uint64_t start) {
    const std::uint64_t end = start + static_cast<std::uint64_t>(m_nFilled);
    bool pending = false;
    std::uint8_t lead = 0;
    int leadDirection = 0;
    std::uint64_t leadAt = 0;
    ForEachByte(
        doc, PairSyncPoint(doc, start), [&](std::uint64_t g, std::uint8_t byte, int direction) {
            if (pending && direction == leadDirection && CCp949::IsPair(lead, byte)) {
                pending = false;
                if (leadAt >= start)
                    m_cells[static_cast<std::size_t>(leadAt - start)].m_strText =
                        CCp949::PairToUtf8(lead, byte);
                // Pairs before the page are walked only to pair as they do.
                if (g >= start && g < end)
                    m_cells[static_cast<std::size_t>(g - start)].m_strText = kPairTrailLabel;
                return g < end;
            }
            // The byte after the page only completes a pair.
            if (g >= end)
                return false;
            pending = CCp949::IsLead(byte);
            lead = byte;
            leadDirection = direction;
            leadAt = g;
            return true;
        });
}

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
    if (mode != RX_MODE_BINARY)
        MarkPairs(doc, start);
    for (; cell < PAGE_CELLS; ++cell) {
        m_cells[static_cast<std::size_t>(cell)].m_strText.clear();
        m_cells[static_cast<std::size_t>(cell)].m_nDirection = 0;
    }
    return m_nPage;
}

std::string CTrafficPage::PageText() const {
    return std::to_string(m_nPage) + "/" + std::to_string(m_nPages);
}
