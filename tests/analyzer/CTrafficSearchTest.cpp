#include "analyzer/CTrafficSearch.h"

#include "app/CAlrFile.h"
#include "app/CTessaryDoc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Block {
    int m_nDirection;
    std::string m_strBytes;
};

void Fill(CTessaryDoc& doc, const std::vector<Block>& blocks) {
    for (const Block& b : blocks)
        doc.AddRecord(b.m_nDirection, reinterpret_cast<const std::uint8_t*>(b.m_strBytes.data()),
                      static_cast<int>(b.m_strBytes.size()));
}

// Every byte of the capture in order, to check the search against.
std::string Stream(const CTessaryDoc& doc) {
    std::string all;
    for (std::size_t i = 0; i < doc.GetCount(); ++i) {
        const TrafficRecord r = doc.GetRecord(i);
        all.append(reinterpret_cast<const char*>(r.m_pData), static_cast<std::size_t>(r.m_nLength));
    }
    return all;
}

TEST(TrafficSearch, MatchesRunAcrossRecordsEmptyRecordsAndDirectionChanges) {
    CTessaryDoc doc;
    Fill(doc, {{TRAFFIC_TX, "AB"},
               {TRAFFIC_RX, "CD"},
               {TRAFFIC_RX, "E"},
               {TRAFFIC_RX, ""},
               {TRAFFIC_TX, "FGH"},
               {TRAFFIC_RX, "AB"}});
    struct Case {
        const char* m_pPattern;
        std::uint64_t m_nFrom;
        bool m_bFound;
        std::uint64_t m_nStart;
    };
    for (const Case& c : {
             Case{"BC", 0, true, 1},         // TX into RX
             Case{"CDEF", 0, true, 2},       // three records and an empty one
             Case{"ABCDEFGHAB", 0, true, 0}, // the whole capture
             Case{"AB", 1, true, 8},         // the second one, in the last record
             Case{"HA", 0, true, 7},
             Case{"BA", 0, false, 0}, // the end does not run on into the start
             Case{"X", 0, false, 0}, Case{"ABCDEFGHABC", 0, false, 0}, // longer than the capture
         }) {
        const CTrafficSearch search(c.m_pPattern);
        const CTrafficSearch::Match m = search.FindFirstIn(doc, c.m_nFrom, doc.GetTotalBytes());
        EXPECT_EQ(m.m_bFound, c.m_bFound) << c.m_pPattern;
        if (c.m_bFound) {
            EXPECT_EQ(m.m_nStart, c.m_nStart) << c.m_pPattern;
        }
    }
}

TEST(TrafficSearch, NextAndPreviousWrapAndSaySo) {
    CTessaryDoc doc;
    Fill(doc, {{TRAFFIC_RX, "xxAxx"}, {TRAFFIC_TX, "xAx"}});
    const CTrafficSearch a("A");
    struct Step {
        bool m_bForward;
        std::uint64_t m_nAt;
        std::uint64_t m_nStart;
        bool m_bWrapped;
    };
    for (const Step& s : {Step{true, 0, 2, false}, Step{true, 3, 6, false}, Step{true, 7, 2, true},
                          Step{true, 99, 2, true}, Step{false, 6, 2, false},
                          Step{false, 2, 6, true}, Step{false, 99, 6, false}}) {
        const CTrafficSearch::Match m =
            s.m_bForward ? a.FindNext(doc, s.m_nAt) : a.FindPrevious(doc, s.m_nAt);
        EXPECT_TRUE(m.m_bFound);
        EXPECT_EQ(m.m_nStart, s.m_nStart) << s.m_bForward << " " << s.m_nAt;
        EXPECT_EQ(m.m_bWrapped, s.m_bWrapped) << s.m_bForward << " " << s.m_nAt;
    }
    EXPECT_FALSE(CTrafficSearch("Q").FindNext(doc, 3).m_bFound);
    EXPECT_FALSE(CTrafficSearch("Q").FindPrevious(doc, 3).m_bFound);
    CTessaryDoc empty;
    EXPECT_FALSE(a.FindNext(empty, 0).m_bFound);
    EXPECT_FALSE(a.FindPrevious(empty, 0).m_bFound);
    EXPECT_FALSE(CTrafficSearch("").FindNext(doc, 0).m_bFound);
}

// Random captures over a small alphabet, so patterns recur and cross every
// kind of seam: records, empty records, chunk ends left unused by a record
// that did not fit, and (after a load) the record headers between records.
// Every first and last match in a range must be the one a plain search of
// the byte stream finds.
TEST(TrafficSearch, AgreesWithAPlainSearchOnLiveAndLoadedCaptures) {
    std::mt19937 rng(7);
    CTessaryDoc live;
    std::string bytes;
    while (live.GetTotalBytes() < 2'600'000) {
        const int kind = static_cast<int>(rng() % 10);
        const std::size_t len = kind == 0 ? 0 : kind == 1 ? 3000 + rng() % 1097 : rng() % 12;
        bytes.resize(len);
        for (char& c : bytes)
            c = static_cast<char>("ab\x00\xff"[rng() % 4]);
        live.AddRecord(rng() % 2 ? TRAFFIC_RX : TRAFFIC_TX,
                       reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<int>(len));
    }
    std::stringstream file;
    std::string error;
    ASSERT_TRUE(CAlrFile::Store(live, file, error)) << error;
    CTessaryDoc loaded;
    ASSERT_TRUE(CAlrFile::Load(loaded, file, error)) << error;

    const std::string all = Stream(live);
    ASSERT_EQ(all, Stream(loaded));
    const std::uint64_t total = all.size();
    for (int q = 0; q < 40; ++q) {
        std::string pattern;
        const std::size_t len = 1 + rng() % (q % 4 == 0 ? 40 : 6);
        if (q % 3 == 0) { // a sequence that is there, so long ones are found too
            const std::size_t at = rng() % (total - len);
            pattern = all.substr(at, len);
        } else {
            for (std::size_t i = 0; i < len; ++i)
                pattern += "ab\x00\xff"[rng() % 4];
        }
        std::uint64_t from = rng() % total;
        std::uint64_t to = from + rng() % (q % 2 ? 100 : total);
        to = std::min(to, total);
        const CTrafficSearch search(pattern);
        const std::size_t first = all.find(pattern, from);
        const std::size_t last = to == 0 ? std::string::npos : all.rfind(pattern, to - 1);
        const bool hasFirst = first != std::string::npos && first < to;
        const bool hasLast = last != std::string::npos && last >= from;
        for (const CTessaryDoc* doc : {&live, &loaded}) {
            const CTrafficSearch::Match f = search.FindFirstIn(*doc, from, to);
            ASSERT_EQ(f.m_bFound, hasFirst) << q;
            if (hasFirst) {
                ASSERT_EQ(f.m_nStart, first) << q;
            }
            const CTrafficSearch::Match l = search.FindLastIn(*doc, from, to);
            ASSERT_EQ(l.m_bFound, hasLast) << q;
            if (hasLast) {
                ASSERT_EQ(l.m_nStart, last) << q;
            }
        }
    }
}

TEST(TrafficSearch, PatternsFromTypedTextOrHex) {
    struct Case {
        const char* m_pText;
        bool m_bHex;
        bool m_bOk;
        std::string m_strBytes;
    };
    for (const Case& c : {
             Case{"AB", false, true, "AB"},
             Case{"가", false, true, "\xB0\xA1"}, // CP949, as the grid shows it
             Case{"41 42 0d", true, true, "AB\x0d"}, Case{"00", true, true, std::string(1, '\0')},
             Case{"4G", true, false, ""}, Case{"414", true, false, ""}, Case{"", false, false, ""},
             Case{"  ", true, false, ""},
             Case{"\xF0\x9F\x98\x80", false, false, ""}, // no CP949 character
         }) {
        std::string bytes, error;
        EXPECT_EQ(CTrafficSearch::PatternFromText(c.m_pText, c.m_bHex, bytes, error), c.m_bOk)
            << c.m_pText;
        EXPECT_EQ(bytes, c.m_strBytes) << c.m_pText;
        EXPECT_EQ(error.empty(), c.m_bOk) << c.m_pText;
    }
    std::string bytes, error;
    EXPECT_TRUE(CTrafficSearch::PatternFromText(std::string(4096, 'a'), false, bytes, error));
    EXPECT_FALSE(CTrafficSearch::PatternFromText(std::string(4097, 'a'), false, bytes, error));
    EXPECT_FALSE(error.empty());
}

} // namespace
