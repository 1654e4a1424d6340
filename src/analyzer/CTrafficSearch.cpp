#include "analyzer/CTrafficSearch.h"

#include "app/CTessaryDoc.h"
#include "link/CCp949.h"
#include "link/CHexCodec.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

CTrafficSearch::CTrafficSearch(std::string pattern) : m_strPattern(std::move(pattern)) {}

template <typename Found>
void CTrafficSearch::ForEachMatch(const CTessaryDoc& doc, std::uint64_t from, std::uint64_t to,
                                  Found&& found) const {
    const std::size_t m = m_strPattern.size();
    to = std::min(to, doc.GetTotalBytes());
    if (m == 0 || from >= to)
        return;
    const auto* pat = reinterpret_cast<const std::uint8_t*>(m_strPattern.data());
    const std::boyer_moore_horspool_searcher searcher(pat, pat + m);

    // The last bytes fed that could still start a match: each has fewer than
    // m bytes after it so far, so it is decided by the bytes still to come.
    std::vector<std::uint8_t> pending;
    std::uint64_t pendingStart = from;
    bool stopped = false;

    // Takes the stream bytes [at, at + n), which follow the pending ones.
    auto feed = [&](const std::uint8_t* run, std::size_t n, std::uint64_t at) {
        std::size_t p = 0;
        for (; p < pending.size(); ++p) {
            const std::uint64_t pos = pendingStart + p;
            if (pos >= to) {
                stopped = true;
                return;
            }
            const std::size_t have = pending.size() - p;
            if (m - have > n)
                break; // neither this nor any later pending start is decided yet
            if (pending[p] == pat[0] && std::memcmp(pending.data() + p, pat, have) == 0 &&
                std::memcmp(run, pat + have, m - have) == 0 && !found(pos)) {
                stopped = true;
                return;
            }
        }
        // Matches wholly inside the run, starting before `to`.
        if (n >= m && at < to) {
            const std::uint8_t* end = run + std::min<std::uint64_t>(n, to - at + m - 1);
            for (const std::uint8_t* it = run; it + m <= end; ++it) {
                if (m == 1)
                    it = static_cast<const std::uint8_t*>(
                        std::memchr(it, pat[0], static_cast<std::size_t>(end - it)));
                else
                    it = searcher(it, end).first;
                if (it == nullptr || it == end)
                    break;
                if (!found(at + static_cast<std::uint64_t>(it - run))) {
                    stopped = true;
                    return;
                }
            }
        }
        if (p < pending.size()) { // the run is shorter than a pattern
            pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(p));
            pendingStart += p;
            pending.insert(pending.end(), run, run + n);
        } else {
            const std::size_t keep = std::min(n, m - 1);
            pending.assign(run + n - keep, run + n);
            pendingStart = at + n - keep;
        }
    };

    // Records whose bytes lie back to back in storage are searched as one
    // run; a capture made live is stored that way, chunk by chunk.
    const std::uint8_t* run = nullptr;
    std::size_t runLength = 0;
    std::uint64_t runStart = from;
    std::uint64_t next = 0;                  // running byte number of the next record
    const std::uint64_t needed = to + m - 1; // no byte from here on can matter
    for (std::size_t i = doc.FindRecordByByte(from); i < doc.GetCount(); ++i) {
        const TrafficRecord r = doc.GetRecord(i);
        if (r.m_nLength == 0)
            continue;
        const std::uint8_t* data = r.m_pData;
        auto length = static_cast<std::size_t>(r.m_nLength);
        if (run == nullptr) {
            next = doc.GetRecordStart(i);
            const std::uint64_t skip = from - next; // the record holds byte `from`
            data += skip;
            length -= static_cast<std::size_t>(skip);
            next = from;
        }
        if (run != nullptr && run + runLength == data) {
            runLength += length;
        } else {
            if (run != nullptr) {
                feed(run, runLength, runStart);
                if (stopped)
                    return;
            }
            run = data;
            runLength = length;
            runStart = next;
        }
        next += length;
        if (next >= needed)
            break;
    }
    if (run != nullptr)
        feed(run, runLength, runStart);
}

CTrafficSearch::Match CTrafficSearch::FindFirstIn(const CTessaryDoc& doc, std::uint64_t from,
                                                  std::uint64_t to) const {
    Match match;
    ForEachMatch(doc, from, to, [&](std::uint64_t start) {
        match.m_bFound = true;
        match.m_nStart = start;
        return false;
    });
    return match;
}

CTrafficSearch::Match CTrafficSearch::FindLastIn(const CTessaryDoc& doc, std::uint64_t from,
                                                 std::uint64_t to) const {
    // Backwards in blocks that grow, so a match near `to` is found at once
    // and a long search costs about what a forward one does.
    Match match;
    std::uint64_t end = std::min(to, doc.GetTotalBytes());
    std::uint64_t block = std::uint64_t{1} << 16;
    while (end > from && !match.m_bFound) {
        const std::uint64_t start = end - std::min(block, end - from);
        ForEachMatch(doc, start, end, [&](std::uint64_t at) {
            match.m_bFound = true;
            match.m_nStart = at;
            return true;
        });
        end = start;
        block = std::min<std::uint64_t>(block * 2, std::uint64_t{1} << 26);
    }
    return match;
}

CTrafficSearch::Match CTrafficSearch::FindNext(const CTessaryDoc& doc, std::uint64_t from) const {
    from = std::min(from, doc.GetTotalBytes());
    Match match = FindFirstIn(doc, from, doc.GetTotalBytes());
    if (!match.m_bFound && from > 0) {
        match = FindFirstIn(doc, 0, from);
        match.m_bWrapped = match.m_bFound;
    }
    return match;
}

CTrafficSearch::Match CTrafficSearch::FindPrevious(const CTessaryDoc& doc,
                                                   std::uint64_t before) const {
    before = std::min(before, doc.GetTotalBytes());
    Match match = FindLastIn(doc, 0, before);
    if (!match.m_bFound && before < doc.GetTotalBytes()) {
        match = FindLastIn(doc, before, doc.GetTotalBytes());
        match.m_bWrapped = match.m_bFound;
    }
    return match;
}

bool CTrafficSearch::PatternFromText(std::string_view utf8, bool hex, std::string& bytes,
                                     std::string& error) {
    bytes.clear();
    error.clear();
    if (hex) {
        std::size_t at = 0;
        const CHexCodec::HexError e = CHexCodec::ParseHexText(utf8, bytes, at);
        if (e != CHexCodec::HEX_OK) {
            error = CHexCodec::HexErrorText(utf8, e, at);
            bytes.clear();
            return false;
        }
    } else {
        bytes = CCp949::FromUtf8(utf8);
        // A character CP949 cannot hold would be looked for as '?'.
        if (CCp949::ToUtf8(bytes) != utf8) {
            error = "CP949로 나타낼 수 없는 글자가 있습니다.";
            bytes.clear();
            return false;
        }
    }
    if (bytes.empty()) {
        error = "찾을 데이터를 입력하십시오.";
        return false;
    }
    if (bytes.size() > kMaxPattern) {
        error = "찾을 데이터는 4096 바이트까지입니다.";
        bytes.clear();
        return false;
    }
    return true;
}
