#pragma once

#include "app/TrafficRecord.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// The capture: every block sent or received, oldest first.
//
// Stored compactly: the bytes of all records sit back to back in 1 MiB
// chunks and each record costs a 16-byte entry, plus 8 bytes for its
// arrival time where it has one (loaded records have none), so a 1-byte
// block does not cost 4 KiB. The entries also keep the running byte number,
// which lets a page of the analyzer be found by binary search.
class CTessaryDoc {
public:
    CTessaryDoc();
    virtual ~CTessaryDoc();
    CTessaryDoc(const CTessaryDoc&) = delete;
    CTessaryDoc& operator=(const CTessaryDoc&) = delete;

    // Appends a block; false (nothing stored) for a length outside 0..4096
    // or a direction other than TRAFFIC_RX / TRAFFIC_TX.
    bool AddRecord(int direction, const std::uint8_t* bytes, int length, std::int64_t timeUs = 0);
    void Clear();

    static bool IsValid(int direction, int length) {
        return length >= 0 && length <= TRAFFIC_MAX_LENGTH &&
               (direction == TRAFFIC_RX || direction == TRAFFIC_TX);
    }

    // For loaders that read a file straight into storage, so loading does
    // not copy every byte twice. BeginChunk makes a fresh chunk of
    // kChunkBytes the last one; AddRecordInPlace enters a record whose bytes
    // already lie at `offset` in that chunk (false, nothing entered, when
    // they would not fit or the record is invalid). Later appends go after
    // the last record entered.
    static constexpr std::size_t kChunkBytes = std::size_t{1} << 20;
    std::uint8_t* BeginChunk();
    bool AddRecordInPlace(int direction, std::size_t offset, int length, std::int64_t timeUs = 0) {
        if (!IsValid(direction, length))
            return false;
        const auto len = static_cast<std::size_t>(length);
        if (len > 0 && (m_payloadChunks.empty() || offset > kChunkBytes - len))
            return false;
        AddEntry(direction, len > 0 ? LastChunkBase() + offset : 0, len, timeUs);
        if (len > 0)
            m_nChunkUsed = std::max(m_nChunkUsed, offset + len);
        return true;
    }

    // The loader's fast path: enters the records that lie in the last chunk
    // from `pos` on as a capture file lays them out (32-bit little-endian
    // length and direction, then the bytes), at most `most` of them, and
    // stops before one that is not wholly in the first `filled` bytes or
    // whose length or direction is invalid. Returns the number entered;
    // `pos` is left at the first record not entered.
    std::size_t AddFileRecords(std::size_t& pos, std::size_t filled, std::size_t most);

    std::size_t GetCount() const { return m_nCount; }
    std::uint64_t GetTotalBytes() const { return m_nTotalBytes; }
    TrafficRecord GetRecord(std::size_t index) const;
    // Running byte number of the first byte of a record.
    std::uint64_t GetRecordStart(std::size_t index) const;
    // Index of the record that holds byte number g, skipping empty records;
    // GetCount() when g is past the last byte.
    std::size_t FindRecordByByte(std::uint64_t g) const;

    // Calls fn(bytes, length, start) for the stored bytes from byte number
    // `from` on, in order, joining records that lie back to back in storage
    // into one run (a capture made live is stored that way), until fn
    // returns false or a run reaches `until`. Empty records are skipped.
    template <typename Fn> void ForEachRun(std::uint64_t from, std::uint64_t until, Fn&& fn) const {
        if (from >= m_nTotalBytes)
            return;
        const std::size_t first = FindRecordByByte(from);
        const std::uint8_t* run = nullptr;
        std::size_t runLength = 0;
        std::uint64_t runStart = from;
        std::uint64_t skip = from - EntryAt(first).m_nStart;
        for (std::size_t c = first / kChunkEntries; c < m_entryChunks.size(); ++c) {
            const Entry* entries = m_entryChunks[c].get();
            const std::size_t end = std::min(kChunkEntries, m_nCount - c * kChunkEntries);
            for (std::size_t k = c == first / kChunkEntries ? first % kChunkEntries : 0; k < end;
                 ++k) {
                const std::uint64_t packed = entries[k].m_nPacked;
                auto length = static_cast<std::size_t>((packed >> kLengthShift) & kLengthMask);
                if (length == 0)
                    continue;
                const std::uint64_t offset = packed >> kOffsetShift;
                const std::uint8_t* data =
                    m_payloadChunks[offset / kChunkBytes].get() + offset % kChunkBytes + skip;
                length -= static_cast<std::size_t>(skip);
                if (run != nullptr && run + runLength == data) {
                    runLength += length;
                } else {
                    if (run != nullptr && !fn(run, runLength, runStart))
                        return;
                    run = data;
                    runLength = length;
                    runStart = entries[k].m_nStart + skip;
                }
                skip = 0;
                if (runStart + runLength >= until) {
                    fn(run, runLength, runStart);
                    return;
                }
            }
        }
        if (run != nullptr)
            fn(run, runLength, runStart);
    }

    // Screen number chosen in the screen menu.
    int GetScreen() const { return m_nScreen; }
    void SetScreen(int screen) { m_nScreen = screen; }

private:
    struct Entry {
        std::uint64_t m_nStart;  // running byte number of the first byte
        std::uint64_t m_nPacked; // storage offset (48 bits) | length (13) | direction (2)
    };
    static constexpr std::size_t kChunkEntries = 16384;
    static constexpr int kLengthShift = 2;
    static constexpr int kOffsetShift = 15;
    static constexpr std::uint64_t kLengthMask = 0x1FFF;

    void AddEntry(int direction, std::uint64_t offset, std::size_t len, std::int64_t timeUs) {
        if (m_pEntryNext == m_pEntryEnd)
            NewEntryChunk();
        *m_pEntryNext++ = {m_nTotalBytes, (offset << kOffsetShift) |
                                              (static_cast<std::uint64_t>(len) << kLengthShift) |
                                              static_cast<std::uint64_t>(direction)};
        if (timeUs != 0)
            SetTime(m_nCount, timeUs);
        ++m_nCount;
        m_nTotalBytes += len;
    }
    void NewEntryChunk();
    void SetTime(std::size_t index, std::int64_t timeUs);
    std::uint64_t LastChunkBase() const {
        return static_cast<std::uint64_t>(m_payloadChunks.size() - 1) * kChunkBytes;
    }
    const Entry& EntryAt(std::size_t index) const {
        return m_entryChunks[index / kChunkEntries][index % kChunkEntries];
    }

    std::vector<std::unique_ptr<std::uint8_t[]>> m_payloadChunks;
    std::size_t m_nChunkUsed = kChunkBytes; // bytes used in the last payload chunk
    std::vector<std::unique_ptr<Entry[]>> m_entryChunks;
    // Arrival times, one array per entry chunk, made when the chunk gets its
    // first timed record.
    std::vector<std::unique_ptr<std::int64_t[]>> m_timeChunks;
    Entry* m_pEntryNext = nullptr; // next free entry of the last entry chunk
    Entry* m_pEntryEnd = nullptr;
    std::size_t m_nCount = 0;
    std::uint64_t m_nTotalBytes = 0;
    int m_nScreen = 0;
};
