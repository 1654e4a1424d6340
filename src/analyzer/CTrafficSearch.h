#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class CTessaryDoc;

// Finds a byte sequence in the capture. The capture is searched as one
// stream of bytes in the order they were captured, the way the analyzer
// grid shows them: a match may start in one record and end in a later one,
// also where the direction changes between them, since a reply pattern is
// looked for in the traffic as it went by. Positions are running byte
// numbers (CTessaryDoc::GetRecordStart).
//
// The search runs over the document's storage where records lie back to
// back, finding the pattern's first byte with memchr, and checks the seams
// between such runs apart, so a long capture is searched at memory speed.
class CTrafficSearch {
public:
    static constexpr std::size_t kMaxPattern = 4096;

    struct Match {
        bool m_bFound = false;
        std::uint64_t m_nStart = 0;
        // The search passed the end (or, backwards, the start) of the
        // capture and went on from the other end.
        bool m_bWrapped = false;
    };

    // `pattern` holds raw bytes; empty finds nothing.
    explicit CTrafficSearch(std::string pattern);

    const std::string& GetPattern() const { return m_strPattern; }

    // The first match starting at `from` or after, else the first one from
    // the start of the capture (wrapped).
    Match FindNext(const CTessaryDoc& doc, std::uint64_t from) const;
    // The last match starting before `before`, else the last one in the
    // capture (wrapped).
    Match FindPrevious(const CTessaryDoc& doc, std::uint64_t before) const;

    // The first match starting in [from, to); a match may end past `to`.
    Match FindFirstIn(const CTessaryDoc& doc, std::uint64_t from, std::uint64_t to) const;
    // The last match starting in [from, to).
    Match FindLastIn(const CTessaryDoc& doc, std::uint64_t from, std::uint64_t to) const;

    // The bytes a typed text stands for: CP949 text as the analyzer shows
    // it, or hex pairs (blanks allowed between pairs). False with a message
    // for a text that gives no bytes, bad hex or a pattern over kMaxPattern.
    static bool PatternFromText(std::string_view utf8, bool hex, std::string& bytes,
                                std::string& error);

private:
    // Calls found(start) for each match starting in [from, to) in order
    // until it returns false.
    template <typename Found>
    void ForEachMatch(const CTessaryDoc& doc, std::uint64_t from, std::uint64_t to,
                      Found&& found) const;

    std::string m_strPattern;
};
