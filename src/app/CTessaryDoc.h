#pragma once

#include "app/TrafficRecord.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// The capture: every block sent or received, oldest first.
//
// Stored compactly: the bytes of all records sit back to back in 1 MiB
// chunks and each record costs one 24-byte entry, so a 1-byte block does
// not cost 4 KiB. The entries also keep the running byte number, which
// lets a page of the analyzer be found by binary search.
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

    std::size_t GetCount() const { return m_nCount; }
    std::uint64_t GetTotalBytes() const { return m_nTotalBytes; }
    TrafficRecord GetRecord(std::size_t index) const;
    // Running byte number of the first byte of a record.
    std::uint64_t GetRecordStart(std::size_t index) const;
    // Index of the record that holds byte number g, skipping empty records;
    // GetCount() when g is past the last byte.
    std::size_t FindRecordByByte(std::uint64_t g) const;

    // Screen number chosen in the screen menu.
    int GetScreen() const { return m_nScreen; }
    void SetScreen(int screen) { m_nScreen = screen; }

private:
    struct Entry {
        std::uint64_t m_nStart;  // running byte number of the first byte
        std::uint64_t m_nPacked; // storage offset (48 bits) | length (13) | direction (2)
        std::int64_t m_nTimeUs;
    };
    static constexpr std::size_t kChunkBytes = std::size_t{1} << 20;
    static constexpr std::size_t kChunkEntries = 16384;

    const Entry& EntryAt(std::size_t index) const {
        return m_entryChunks[index / kChunkEntries][index % kChunkEntries];
    }

    std::vector<std::unique_ptr<std::uint8_t[]>> m_payloadChunks;
    std::size_t m_nChunkUsed = kChunkBytes; // bytes used in the last payload chunk
    std::vector<std::unique_ptr<Entry[]>> m_entryChunks;
    std::size_t m_nCount = 0;
    std::uint64_t m_nTotalBytes = 0;
    int m_nScreen = 0;
};
