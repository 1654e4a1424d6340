#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

// Cuts a stream of records into Modbus RTU frames, as a receiver on the
// line would: a serial link hands bytes over as they come, so one frame may
// lie across many records and one record may hold several frames.
//
// Bytes of one direction are joined until they form a frame its CRC
// confirms; the frame's length comes from the function code and byte count
// where the function is a common one, otherwise the shortest run of up to
// kMaxFrame bytes that checks. Bytes that cannot start a frame are handed
// on as they are, cut at the records they came in; nothing is dropped. A
// change of direction ends any pending frame, as it does on a line, and so
// do an empty record and Flush (a quiet line, the end of the capture). Each piece carries the
// time of the record where its first byte came.
class CRtuFramer {
public:
    static constexpr std::size_t kMaxFrame = 256;
    using Sink = std::function<void(int direction, std::int64_t timeUs, const std::uint8_t* bytes,
                                    std::size_t count)>;

    void Add(int direction, const std::uint8_t* bytes, std::size_t count, std::int64_t timeUs,
             const Sink& sink);
    void Flush(const Sink& sink);
    bool HasPending() const { return !m_pending.empty(); }
    // The time of the newest record still waiting in part.
    std::int64_t GetPendingTimeUs() const { return m_marks.empty() ? 0 : m_marks.back().second; }

    // The length of the frame at `p` that its CRC confirms, or 0. With 0,
    // `couldGrow` tells whether more bytes might still make one.
    static std::size_t FrameAt(const std::uint8_t* p, std::size_t left, bool& couldGrow);

private:
    void Take(bool final, const Sink& sink);
    void Emit(std::size_t from, std::size_t to, bool frame, const Sink& sink) const;

    std::vector<std::uint8_t> m_pending;
    // Where each record's bytes begin in m_pending, and its time.
    std::vector<std::pair<std::size_t, std::int64_t>> m_marks;
    int m_nDirection = 0;
};
