#include "app/CTessaryDoc.h"

#include <cstring>

namespace {
constexpr int kLengthShift = 2;
constexpr int kOffsetShift = 15;
constexpr std::uint64_t kLengthMask = 0x1FFF;
} // namespace

CTessaryDoc::CTessaryDoc() = default;
CTessaryDoc::~CTessaryDoc() = default;

bool CTessaryDoc::AddRecord(int direction, const std::uint8_t* bytes, int length,
                            std::int64_t timeUs) {
    if (length < 0 || length > TRAFFIC_MAX_LENGTH)
        return false;
    if (direction != TRAFFIC_RX && direction != TRAFFIC_TX)
        return false;
    const auto len = static_cast<std::size_t>(length);
    // A record never spans two chunks, so its bytes are contiguous. An empty
    // record needs no storage at all.
    if (len > 0 && m_nChunkUsed + len > kChunkBytes) {
        m_payloadChunks.push_back(std::make_unique_for_overwrite<std::uint8_t[]>(kChunkBytes));
        m_nChunkUsed = 0;
    }
    std::uint64_t offset = 0;
    if (len > 0) {
        offset =
            static_cast<std::uint64_t>(m_payloadChunks.size() - 1) * kChunkBytes + m_nChunkUsed;
        std::memcpy(m_payloadChunks.back().get() + m_nChunkUsed, bytes, len);
        m_nChunkUsed += len;
    }

    if (m_nCount % kChunkEntries == 0 && m_nCount / kChunkEntries == m_entryChunks.size())
        m_entryChunks.push_back(std::make_unique_for_overwrite<Entry[]>(kChunkEntries));
    Entry& e = m_entryChunks[m_nCount / kChunkEntries][m_nCount % kChunkEntries];
    e.m_nStart = m_nTotalBytes;
    e.m_nPacked = (offset << kOffsetShift) | (static_cast<std::uint64_t>(len) << kLengthShift) |
                  static_cast<std::uint64_t>(direction);
    e.m_nTimeUs = timeUs;
    ++m_nCount;
    m_nTotalBytes += len;
    return true;
}

void CTessaryDoc::Clear() {
    m_payloadChunks.clear();
    m_entryChunks.clear();
    m_nChunkUsed = kChunkBytes;
    m_nCount = 0;
    m_nTotalBytes = 0;
}

TrafficRecord CTessaryDoc::GetRecord(std::size_t index) const {
    const Entry& e = EntryAt(index);
    const std::uint64_t offset = e.m_nPacked >> kOffsetShift;
    TrafficRecord r;
    r.m_nDirection = static_cast<int>(e.m_nPacked & 3);
    r.m_nLength = static_cast<int>((e.m_nPacked >> kLengthShift) & kLengthMask);
    static const std::uint8_t kNoBytes[1] = {0};
    r.m_pData = r.m_nLength == 0
                    ? kNoBytes
                    : m_payloadChunks[offset / kChunkBytes].get() + offset % kChunkBytes;
    r.m_nTimeUs = e.m_nTimeUs;
    return r;
}

std::uint64_t CTessaryDoc::GetRecordStart(std::size_t index) const {
    return EntryAt(index).m_nStart;
}

std::size_t CTessaryDoc::FindRecordByByte(std::uint64_t g) const {
    if (g >= m_nTotalBytes)
        return m_nCount;
    // Last record whose start is <= g; empty records share the start of the
    // next one, so the last such record is the one holding byte g.
    std::size_t lo = 0, hi = m_nCount; // invariant: answer in [lo, hi)
    while (hi - lo > 1) {
        std::size_t mid = lo + (hi - lo) / 2;
        if (EntryAt(mid).m_nStart <= g)
            lo = mid;
        else
            hi = mid;
    }
    return lo;
}
