#include "app/CRtuFramer.h"
#include "app/CPcapngWriter.h"
#include "app/CTessaryDoc.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals; // the frames hold NUL bytes

const std::string kRead = "\x01\x03\x00\x10\x00\x02\xC5\xCE"s;          // request
const std::string kReadReply = "\x01\x03\x04\x00\x0A\x00\x0B\x9B\xF6"s; // 2 words
const std::string kWriteReply = "\x01\x10\x00\x05\x00\x02\x51\xC9"s;    // 2 words
const std::string kDiagnostic = "\x01\x08\x00\x00\x12\x34\xED\x7C"s;    // echo, by CRC
const std::string kWriteRequest = "\x01\x10\x00\x05\x00\x02\x04\x00\x07\x12\x34\x8F\x26"s;

struct Record {
    int m_nDirection;
    std::string m_bytes;
};
struct Piece {
    int m_nDirection;
    std::int64_t m_nTimeUs;
    std::string m_bytes;
    bool operator==(const Piece&) const = default;
};
void PrintTo(const Piece& p, std::ostream* os) {
    *os << (p.m_nDirection == TRAFFIC_TX ? "T" : "R") << "@" << p.m_nTimeUs << ":";
    for (const unsigned char c : p.m_bytes)
        *os << ' ' << std::hex << static_cast<int>(c) << std::dec;
}

// Record i comes at time 10 * (i + 1); the framer is flushed at the end.
std::vector<Piece> Frame(const std::vector<Record>& records) {
    std::vector<Piece> pieces;
    const CRtuFramer::Sink sink = [&pieces](int direction, std::int64_t time,
                                            const std::uint8_t* bytes, std::size_t count) {
        pieces.push_back(
            {direction, time, std::string(reinterpret_cast<const char*>(bytes), count)});
    };
    CRtuFramer framer;
    for (std::size_t i = 0; i < records.size(); ++i)
        framer.Add(records[i].m_nDirection,
                   reinterpret_cast<const std::uint8_t*>(records[i].m_bytes.data()),
                   records[i].m_bytes.size(), static_cast<std::int64_t>(10 * (i + 1)), sink);
    framer.Flush(sink);
    EXPECT_FALSE(framer.HasPending());
    return pieces;
}

std::vector<Record> OneBytePerRecord(int direction, const std::string& bytes) {
    std::vector<Record> records;
    for (const char c : bytes)
        records.push_back({direction, std::string(1, c)});
    return records;
}

// A serial link hands a frame over in pieces; each frame must come out
// whole, with the time of the record where it began, and every byte that
// forms no frame must still come out, in order.
TEST(RtuFramer, JoinsFramesSplitAcrossRecordsAndKeepsEveryOtherByte) {
    constexpr int T = TRAFFIC_TX;
    constexpr int R = TRAFFIC_RX;
    const std::string both = kReadReply + kWriteReply;
    const struct {
        const char* m_strName;
        std::vector<Record> m_records;
        std::vector<Piece> m_pieces;
    } cases[] = {
        {"one byte per record", OneBytePerRecord(T, kRead), {{T, 10, kRead}}},
        {"split in the CRC", {{T, kRead.substr(0, 7)}, {T, kRead.substr(7)}}, {{T, 10, kRead}}},
        {"two frames in three records",
         {{R, both.substr(0, 5)}, {R, both.substr(5, 7)}, {R, both.substr(12)}},
         {{R, 10, kReadReply}, {R, 20, kWriteReply}}},
        {"a request whose length its count gives",
         {{T, kWriteRequest.substr(0, 6)}, {T, kWriteRequest.substr(6)}},
         {{T, 10, kWriteRequest}}},
        {"another function, found by its CRC",
         {{T, kDiagnostic.substr(0, 3)}, {T, kDiagnostic.substr(3)}},
         {{T, 10, kDiagnostic}}},
        {"noise before a frame",
         {{R, "\xFF\xFF"s + kReadReply.substr(0, 4)}, {R, kReadReply.substr(4)}},
         {{R, 10, "\xFF\xFF"s}, {R, 10, kReadReply}}},
        {"noise across records, cut where they were",
         {{R, "\x00\x00"s}, {R, "\x00"s + kReadReply}},
         {{R, 10, "\x00\x00"s}, {R, 20, "\x00"s}, {R, 20, kReadReply}}},
        {"a change of direction ends a cut frame",
         {{T, kRead.substr(0, 5)}, {R, kReadReply}},
         {{T, 10, kRead.substr(0, 5)}, {R, 20, kReadReply}}},
        {"a cut frame at the end",
         {{T, kRead}, {T, kRead.substr(0, 3)}},
         {{T, 10, kRead}, {T, 20, kRead.substr(0, 3)}}},
        {"a spoilt check stays as it came",
         {{R, kReadReply.substr(0, 8) + "\x00"s}, {R, kWriteReply}},
         {{R, 10, kReadReply.substr(0, 8) + "\x00"s}, {R, 20, kWriteReply}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_strName);
        EXPECT_EQ(Frame(c.m_records), c.m_pieces);
    }
}

// Bytes that never form a frame are held no longer than a frame can be,
// plus the rest of the record they lie in.
TEST(RtuFramer, HoldsNoMoreThanTheLongestFrame) {
    std::vector<Piece> pieces;
    const CRtuFramer::Sink sink = [&pieces](int direction, std::int64_t time, const std::uint8_t*,
                                            std::size_t count) {
        pieces.push_back({direction, time, std::string(count, '.')});
    };
    CRtuFramer framer;
    const std::string text(1000, 'A'); // function 0x41: only a CRC could end it
    for (std::size_t i = 0; i < text.size(); i += 10)
        framer.Add(TRAFFIC_RX, reinterpret_cast<const std::uint8_t*>(text.data()) + i, 10, 1, sink);
    std::size_t written = 0;
    for (const auto& p : pieces)
        written += p.m_bytes.size();
    EXPECT_GE(written, text.size() - CRtuFramer::kMaxFrame - 10);
    framer.Flush(sink);
    written = 0;
    for (const auto& p : pieces)
        written += p.m_bytes.size();
    EXPECT_EQ(written, text.size());
}

// The live capture writes a frame still awaiting its end once the line
// has been quiet; the whole export writes it at the end.
TEST(RtuFramer, WriterFlushesAPendingFrameWhenQuietAndAtTheEnd) {
    CTessaryDoc doc;
    doc.AddRecord(TRAFFIC_TX, reinterpret_cast<const std::uint8_t*>(kRead.data()), 5, 1000);
    CPcapngWriter writer = CPcapngWriter::ModbusRtu();
    std::string out;
    writer.AppendPacket(doc.GetRecord(0), out);
    EXPECT_TRUE(out.empty());
    writer.FlushIfQuiet(1099, 100, out);
    EXPECT_TRUE(out.empty());
    writer.FlushIfQuiet(1100, 100, out);
    EXPECT_FALSE(writer.HasPending());
    EXPECT_EQ(writer.GetPackets(), 1u);
    EXPECT_FALSE(out.empty());

    // The plain link type never waits: a packet per record.
    CPcapngWriter plain;
    out.clear();
    plain.AppendPacket(doc.GetRecord(0), out);
    EXPECT_FALSE(plain.HasPending());
    EXPECT_EQ(plain.GetPackets(), 1u);
}

} // namespace
