#include "analyzer/CTrafficSearch.h"

#include "app/CTessaryDoc.h"
#include "link/CCp949.h"
#include "link/CHexCodec.h"

#include <algorithm>
#include <cstring>
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

    // The last bytes fed that could still start a match: each has fewer than
    // m bytes after it so far, so it is decided by the bytes still to come.
    std::vector<std::uint8_t> pending;
    pending.reserve(2 * m);
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
        // Matches wholly inside the run, starting before `to`: each place
        // of the first byte, found by memchr, is compared.
        if (n >= m && at < to) {
            const std::uint8_t* last = run + std::min<std::uint64_t>(n - m, to - at - 1);
            for (const std::uint8_t* it = run; it <= last; ++it) {
                it = static_cast<const std::uint8_t*>(
                    std::memchr(it, pat[0], static_cast<std::size_t>(last - it) + 1));
                if (it == nullptr)
                    break;
                if (std::memcmp(it + 1, pat + 1, m - 1) == 0 &&
                    !found(at + static_cast<std::uint64_t>(it - run))) {
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

    // Short runs (a loaded capture has the file's record headers between
    // its records) are gathered into one buffer first: copying a few bytes
    // costs less than a search call per record.
    constexpr std::size_t kGather = std::size_t{1} << 16;
    std::vector<std::uint8_t> gathered;
    gathered.reserve(kGather);
    std::uint64_t gatheredStart = from;
    auto flush = [&] {
        if (!gathered.empty())
            feed(gathered.data(), gathered.size(), gatheredStart);
        gathered.clear();
    };
    // Past this byte no match can start before `to`.
    doc.ForEachRun(from, to + m - 1, [&](const std::uint8_t* run, std::size_t n, std::uint64_t at) {
        if (n >= kGather / 16) {
            flush();
            if (!stopped)
                feed(run, n, at);
            return !stopped;
        }
        if (gathered.size() + n > kGather) {
            flush();
            if (stopped)
                return false;
        }
        if (gathered.empty())
            gatheredStart = at;
        gathered.insert(gathered.end(), run, run + n);
        return true;
    });
    if (!stopped)
        flush();
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
