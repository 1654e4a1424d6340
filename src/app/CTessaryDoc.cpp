#include "app/CTessaryDoc.h"

#include <algorithm>
#include <bit>
#include <cstring>

CTessaryDoc::CTessaryDoc() = default;
CTessaryDoc::~CTessaryDoc() = default;

bool CTessaryDoc::AddRecord(int direction, const std::uint8_t* bytes, int length,
                            std::int64_t timeUs) {
    if (!IsValid(direction, length))
        return false;
    const auto len = static_cast<std::size_t>(length);
    // A record never spans two chunks, so its bytes are contiguous. An empty
    // record needs no storage at all.
    std::uint64_t offset = 0;
    if (len > 0) {
        if (m_nChunkUsed + len > kChunkBytes)
            BeginChunk();
        offset = LastChunkBase() + m_nChunkUsed;
        std::memcpy(m_payloadChunks.back().get() + m_nChunkUsed, bytes, len);
        m_nChunkUsed += len;
    }
    AddEntry(direction, offset, len, timeUs);
    return true;
}

std::uint8_t* CTessaryDoc::BeginChunk() {
    m_payloadChunks.push_back(std::make_unique_for_overwrite<std::uint8_t[]>(kChunkBytes));
    m_nChunkUsed = 0;
    return m_payloadChunks.back().get();
}

// Capture files are little-endian, and so is every machine this runs on.
static_assert(std::endian::native == std::endian::little);

std::size_t CTessaryDoc::AddFileRecords(std::size_t& pos, std::size_t filled, std::size_t most) {
    // One pass with the running values in locals: a store to an entry could
    // alias the members, which would then be reloaded for every record.
    const std::uint8_t* chunk = m_payloadChunks.back().get();
    const std::uint64_t base = LastChunkBase();
    std::uint64_t total = m_nTotalBytes;
    std::size_t at = pos;
    std::size_t entered = 0;
    bool more = true;
    while (more && entered < most) {
        if (m_pEntryNext == m_pEntryEnd)
            NewEntryChunk();
        Entry* next = m_pEntryNext;
        Entry* const end = next + std::min<std::size_t>(
                                      most - entered, static_cast<std::size_t>(m_pEntryEnd - next));
        while (next != end) {
            if (filled - at < 8) {
                more = false;
                break;
            }
            std::uint32_t length;
            std::uint32_t direction;
            std::memcpy(&length, chunk + at, 4);
            std::memcpy(&direction, chunk + at + 4, 4);
            if (length > TRAFFIC_MAX_LENGTH ||
                (direction != TRAFFIC_RX && direction != TRAFFIC_TX) || filled - at - 8 < length) {
                more = false;
                break;
            }
            *next++ = {total, ((base + at + 8) << kOffsetShift) |
                                  (static_cast<std::uint64_t>(length) << kLengthShift) | direction};
            total += length;
            at += 8 + length;
        }
        entered += static_cast<std::size_t>(next - m_pEntryNext);
        m_pEntryNext = next;
    }
    m_nCount += entered;
    m_nTotalBytes = total;
    m_nChunkUsed = std::max(m_nChunkUsed, at);
    pos = at;
    return entered;
}

void CTessaryDoc::NewEntryChunk() {
    m_entryChunks.push_back(std::make_unique_for_overwrite<Entry[]>(kChunkEntries));
    m_pEntryNext = m_entryChunks.back().get();
    m_pEntryEnd = m_pEntryNext + kChunkEntries;
}

void CTessaryDoc::SetTime(std::size_t index, std::int64_t timeUs) {
    const std::size_t chunk = index / kChunkEntries;
    if (m_timeChunks.size() <= chunk)
        m_timeChunks.resize(chunk + 1);
    if (!m_timeChunks[chunk])
        m_timeChunks[chunk] = std::make_unique<std::int64_t[]>(kChunkEntries); // zeroed
    m_timeChunks[chunk][index % kChunkEntries] = timeUs;
}

void CTessaryDoc::Clear() {
    m_payloadChunks.clear();
    m_entryChunks.clear();
    m_timeChunks.clear();
    m_pEntryNext = m_pEntryEnd = nullptr;
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
    const std::size_t chunk = index / kChunkEntries;
    r.m_nTimeUs = chunk < m_timeChunks.size() && m_timeChunks[chunk]
                      ? m_timeChunks[chunk][index % kChunkEntries]
                      : 0;
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
