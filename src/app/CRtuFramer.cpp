#include "app/CRtuFramer.h"

#include <algorithm>
#include <iterator>

namespace {

std::uint16_t CrcStep(std::uint16_t crc, std::uint8_t byte) {
    crc = static_cast<std::uint16_t>(crc ^ byte);
    for (int bit = 0; bit < 8; ++bit)
        crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                        : static_cast<std::uint16_t>(crc >> 1);
    return crc;
}

// A frame followed by its CRC, low byte first, checks to zero.
bool Checks(const std::uint8_t* p, std::size_t n) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < n; ++i)
        crc = CrcStep(crc, p[i]);
    return crc == 0;
}

} // namespace

std::size_t CRtuFramer::FrameAt(const std::uint8_t* p, std::size_t left, bool& couldGrow) {
    couldGrow = false;
    if (left < 4) {
        couldGrow = true;
        return 0;
    }
    const std::uint8_t fn = p[1];
    if (fn == 0)
        return 0; // no function has the number 0
    std::size_t candidates[2] = {0, 0};
    bool known = true;
    if (fn & 0x80) {
        candidates[0] = 5; // exception
    } else if (fn >= 1 && fn <= 4) {
        candidates[0] = 8;         // request
        candidates[1] = 5u + p[2]; // reply: count, then the data
    } else if (fn == 5 || fn == 6) {
        candidates[0] = 8;
    } else if (fn == 15 || fn == 16) {
        candidates[0] = 8; // reply
        if (left >= 7)
            candidates[1] = 9u + p[6]; // request: its count is the seventh byte
        else
            couldGrow = true;
    } else {
        known = false;
    }
    if (known) {
        for (const std::size_t n : candidates)
            if (n >= 4 && n <= kMaxFrame && n <= left && Checks(p, n))
                return n;
        for (const std::size_t n : candidates)
            if (n >= 4 && n <= kMaxFrame && n > left)
                couldGrow = true;
        return 0;
    }
    // Another function: the shortest run that checks.
    const std::size_t limit = std::min(left, kMaxFrame);
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < limit; ++i) {
        crc = CrcStep(crc, p[i]);
        if (i + 1 >= 4 && crc == 0)
            return i + 1;
    }
    couldGrow = left < kMaxFrame;
    return 0;
}

void CRtuFramer::Add(int direction, const std::uint8_t* bytes, std::size_t count,
                     std::int64_t timeUs, const Sink& sink) {
    // An empty record holds nothing to join: it ends what waits and passes
    // on as it is.
    if (!m_pending.empty() && (direction != m_nDirection || count == 0))
        Flush(sink);
    if (count == 0) {
        sink(direction, timeUs, bytes, 0);
        return;
    }
    m_nDirection = direction;
    m_marks.emplace_back(m_pending.size(), timeUs);
    m_pending.insert(m_pending.end(), bytes, bytes + count);
    Take(false, sink);
}

void CRtuFramer::Flush(const Sink& sink) {
    Take(true, sink);
}

void CRtuFramer::Take(bool final, const Sink& sink) {
    const std::uint8_t* p = m_pending.data();
    const std::size_t size = m_pending.size();
    std::size_t done = 0; // handed on up to here
    std::size_t at = 0;   // where a frame is looked for
    while (at < size) {
        bool couldGrow = false;
        const std::size_t n = FrameAt(p + at, size - at, couldGrow);
        if (n > 0) {
            Emit(done, at, false, sink); // what came before could start no frame
            Emit(at, at + n, true, sink);
            at += n;
            done = at;
        } else if (couldGrow && !final) {
            break; // wait for more bytes
        } else {
            ++at;
        }
    }
    // Bytes before `at` can start no frame any more. They go on as they
    // are, but those of the record `at` lies in only together with the rest
    // of that record's noise, so one record's noise stays one piece.
    if (at < size) {
        auto mark = std::upper_bound(m_marks.begin(), m_marks.end(), at,
                                     [](std::size_t v, const auto& m) { return v < m.first; });
        at = std::max(done, std::prev(mark)->first);
    }
    Emit(done, at, false, sink);
    if (at == 0)
        return;
    // Keep the record marks of what remains, the first rebased to 0.
    auto keep = std::upper_bound(m_marks.begin(), m_marks.end(), at,
                                 [](std::size_t v, const auto& m) { return v < m.first; });
    if (keep != m_marks.begin())
        --keep;
    m_marks.erase(m_marks.begin(), keep);
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(at));
    if (m_pending.empty()) {
        m_marks.clear();
        return;
    }
    for (auto& m : m_marks)
        m.first = m.first > at ? m.first - at : 0;
}

void CRtuFramer::Emit(std::size_t from, std::size_t to, bool frame, const Sink& sink) const {
    while (from < to) {
        auto next = std::upper_bound(m_marks.begin(), m_marks.end(), from,
                                     [](std::size_t v, const auto& m) { return v < m.first; });
        const auto mark = std::prev(next); // the first mark is at 0
        // A frame goes whole with the time of the record where it began;
        // other bytes are cut where their records were.
        const std::size_t end = frame || next == m_marks.end() ? to : std::min(to, next->first);
        sink(m_nDirection, mark->second, m_pending.data() + from, end - from);
        from = end;
    }
}
