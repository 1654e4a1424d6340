#include "app/CPcapngWriter.h"
#include "TestFiles.h"
#include "app/CTessaryDoc.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

std::uint32_t Le32(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s.at(at + static_cast<std::size_t>(i)));
    return v;
}
std::uint16_t Le16(const std::string& s, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(s.at(at)) |
                                      static_cast<unsigned char>(s.at(at + 1)) << 8);
}

struct Block {
    std::uint32_t m_nType;
    std::string m_body; // between the two length fields
};

// Splits a file into blocks, checking what every reader relies on: each
// length is a multiple of 4, repeated at the block's end, and the blocks
// fill the file exactly.
std::vector<Block> Blocks(const std::string& file) {
    std::vector<Block> blocks;
    std::size_t at = 0;
    while (at < file.size()) {
        const std::uint32_t type = Le32(file, at);
        const std::uint32_t length = Le32(file, at + 4);
        EXPECT_EQ(length % 4, 0u) << "block at " << at;
        EXPECT_GE(length, 12u);
        if (length < 12 || at + length > file.size()) {
            ADD_FAILURE() << "block at " << at << " runs past the file";
            break;
        }
        EXPECT_EQ(Le32(file, at + length - 4), length) << "trailing length at " << at;
        blocks.push_back({type, file.substr(at + 8, length - 12)});
        at += length;
    }
    return blocks;
}

struct Packet {
    std::uint64_t m_nTimeUs;
    std::string m_data;
    std::uint32_t m_nFlags;
};

Packet ReadPacket(const Block& b) {
    EXPECT_EQ(b.m_nType, 6u);
    Packet p{};
    EXPECT_EQ(Le32(b.m_body, 0), 0u); // interface
    p.m_nTimeUs = static_cast<std::uint64_t>(Le32(b.m_body, 4)) << 32 | Le32(b.m_body, 8);
    const std::uint32_t captured = Le32(b.m_body, 12);
    EXPECT_EQ(Le32(b.m_body, 16), captured);
    p.m_data = b.m_body.substr(20, captured);
    std::size_t opt = 20 + (captured + 3) / 4 * 4;
    EXPECT_TRUE(std::all_of(b.m_body.begin() + 20 + captured, b.m_body.begin() + opt, [](char c) {
        return c == 0;
    })) << "padding";
    // epb_flags, then the end of options, then nothing.
    EXPECT_EQ(Le16(b.m_body, opt), 2);
    EXPECT_EQ(Le16(b.m_body, opt + 2), 4);
    p.m_nFlags = Le32(b.m_body, opt + 4);
    EXPECT_EQ(Le32(b.m_body, opt + 8), 0u);
    EXPECT_EQ(b.m_body.size(), opt + 12);
    return p;
}

std::string Write(const CTessaryDoc& doc, CPcapngWriter writer) {
    std::string file = writer.Header();
    for (std::size_t i = 0; i < doc.GetCount(); ++i)
        writer.AppendPacket(doc.GetRecord(i), file);
    writer.Flush(file);
    return file;
}

TEST(PcapngWriter, WritesOnePacketPerRecordWithTimeDirectionAndPadding) {
    CTessaryDoc doc;
    const std::string bytes = "ABCDEFGH";
    // Every remainder of the length by 4, an empty record and the largest.
    const std::vector<int> lengths = {0, 1, 2, 3, 4, 5, 8};
    std::int64_t t = 1765400000123456;
    for (std::size_t i = 0; i < lengths.size(); ++i)
        doc.AddRecord(i % 2 ? TRAFFIC_TX : TRAFFIC_RX,
                      reinterpret_cast<const std::uint8_t*>(bytes.data()), lengths[i],
                      t + static_cast<std::int64_t>(i) * 1500);
    const std::string big(TRAFFIC_MAX_LENGTH, '\xAA');
    doc.AddRecord(TRAFFIC_TX, reinterpret_cast<const std::uint8_t*>(big.data()), TRAFFIC_MAX_LENGTH,
                  t + 99);

    const std::vector<Block> blocks = Blocks(Write(doc, CPcapngWriter()));
    ASSERT_EQ(blocks.size(), 2 + doc.GetCount());
    // Section header: the byte-order magic and version 1.0.
    EXPECT_EQ(blocks[0].m_nType, 0x0A0D0D0Au);
    EXPECT_EQ(Le32(blocks[0].m_body, 0), 0x1A2B3C4Du);
    EXPECT_EQ(Le16(blocks[0].m_body, 4), 1);
    EXPECT_EQ(Le16(blocks[0].m_body, 6), 0);
    // One interface, the user link type.
    EXPECT_EQ(blocks[1].m_nType, 1u);
    EXPECT_EQ(Le16(blocks[1].m_body, 0), CPcapngWriter::LINKTYPE_USER0);

    for (std::size_t i = 0; i < doc.GetCount(); ++i) {
        SCOPED_TRACE("record " + std::to_string(i));
        const TrafficRecord rec = doc.GetRecord(i);
        const Packet p = ReadPacket(blocks[2 + i]);
        EXPECT_EQ(p.m_nTimeUs, static_cast<std::uint64_t>(rec.m_nTimeUs));
        EXPECT_EQ(p.m_data, std::string(reinterpret_cast<const char*>(rec.m_pData),
                                        static_cast<std::size_t>(rec.m_nLength)));
        EXPECT_EQ(p.m_nFlags, rec.m_nDirection == TRAFFIC_TX ? 2u : 1u);
    }
}

TEST(PcapngWriter, NumbersRecordsWithoutTimeOneMillisecondAfterTheOneBefore) {
    CTessaryDoc doc;
    const std::uint8_t byte = 0x55;
    const std::int64_t t = 1765400000000000;
    // Loaded records have time 0; one timed record in the middle resets
    // the count from its own time.
    for (std::int64_t time : {std::int64_t{0}, std::int64_t{0}, t, std::int64_t{0}})
        doc.AddRecord(TRAFFIC_RX, &byte, 1, time);
    CPcapngWriter writer;
    const std::vector<Block> blocks = Blocks(Write(doc, CPcapngWriter()));
    ASSERT_EQ(blocks.size(), 6u);
    const std::vector<std::uint64_t> expected = {0, 1000, static_cast<std::uint64_t>(t),
                                                 static_cast<std::uint64_t>(t) + 1000};
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(ReadPacket(blocks[2 + i]).m_nTimeUs, expected[i]) << i;

    std::string sink;
    for (std::size_t i = 0; i < doc.GetCount(); ++i)
        writer.AppendPacket(doc.GetRecord(i), sink);
    EXPECT_EQ(writer.GetUntimed(), 3u);
    EXPECT_EQ(CPcapngWriter::UntimedNote(0, 4), "");
    EXPECT_NE(CPcapngWriter::UntimedNote(3, 4), "");
}

TEST(PcapngWriter, ModbusRtuPacketsStartWithTheExportedPduTagsNamingTheDissector) {
    CTessaryDoc doc;
    const std::uint8_t frame[] = {0x01, 0x03, 0x00, 0x10, 0x00, 0x02, 0xC5, 0xCE};
    doc.AddRecord(TRAFFIC_TX, frame, sizeof frame, 1);
    const std::vector<Block> blocks = Blocks(Write(doc, CPcapngWriter::ModbusRtu()));
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(Le16(blocks[1].m_body, 0), CPcapngWriter::LINKTYPE_UPPER_PDU);
    // Tag 12 (protocol name), big-endian, its length counting the NUL
    // padding; then the end tag; then the frame as sent.
    const std::string tags("\x00\x0C\x00\x08mbrtu\x00\x00\x00\x00\x00\x00\x00", 16);
    const std::string sent(reinterpret_cast<const char*>(frame), sizeof frame);
    EXPECT_EQ(ReadPacket(blocks[2]).m_data, tags + sent);
}

// A TCP segment may carry a reply and the next one together; the Modbus
// RTU dissector reads one frame per packet, so such a record is split, but
// only where every piece is a whole frame its CRC confirms.
TEST(PcapngWriter, SplitsARecordOfWholeModbusRtuFramesOnly) {
    using Frames = std::vector<std::pair<std::size_t, std::size_t>>;
    using namespace std::string_literals;                         // the frames hold NUL bytes
    const std::string read = "\x01\x03\x00\x10\x00\x02\xC5\xCE"s; // request
    const std::string readReply = "\x01\x03\x04\x00\x0A\x00\x0B\x9B\xF6"s; // 2 words
    const std::string writeReply("\x01\x10\x00\x05\x00\x02\x51\xC9", 8);
    const std::string writeRequest("\x01\x10\x00\x05\x00\x02\x04\x00\x07\x12\x34\x8F\x26", 13);
    const std::string exception = "\x01\x83\x02\xC0\xF1";
    const struct {
        const char* m_strName;
        std::string m_bytes;
        Frames m_frames;
    } cases[] = {
        {"one frame", read, {{0, 8}}},
        {"two replies", readReply + writeReply, {{0, 9}, {9, 8}}},
        {"request, exception", writeRequest + exception, {{0, 13}, {13, 5}}},
        {"a frame and a piece", read + read.substr(0, 3), {{0, 11}}},
        {"a spoilt check", readReply.substr(0, 8) + "\x00"s + writeReply, {{0, 17}}},
        {"no Modbus", "hello", {{0, 5}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_strName);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(c.m_bytes.data());
        EXPECT_EQ(CPcapngWriter::SplitRtuFrames(bytes, c.m_bytes.size()), c.m_frames);
    }

    // Both frames keep the record's time and direction.
    CTessaryDoc doc;
    const std::string both = readReply + writeReply;
    doc.AddRecord(TRAFFIC_RX, reinterpret_cast<const std::uint8_t*>(both.data()),
                  static_cast<int>(both.size()), 77);
    CPcapngWriter writer = CPcapngWriter::ModbusRtu();
    std::string file = writer.Header();
    writer.AppendPacket(doc.GetRecord(0), file);
    EXPECT_EQ(writer.GetPackets(), 2u);
    const std::vector<Block> blocks = Blocks(file);
    ASSERT_EQ(blocks.size(), 4u);
    for (std::size_t i = 0; i < 2; ++i) {
        const Packet p = ReadPacket(blocks[2 + i]);
        EXPECT_EQ(p.m_nTimeUs, 77u);
        EXPECT_EQ(p.m_nFlags, 1u);
        EXPECT_EQ(p.m_data.substr(16), i == 0 ? readReply : writeReply);
    }
}

TEST(PcapngWriter, ExportWritesTheFileOrLeavesNothingUnderItsName) {
    TempDir dir;
    CTessaryDoc doc;
    const std::uint8_t byte = 0x41;
    doc.AddRecord(TRAFFIC_TX, &byte, 1);
    std::size_t untimed = 0, packets = 0;
    std::string error;
    const auto out = dir / "out.pcapng";
    ASSERT_TRUE(CPcapngWriter::Export(doc, out, CPcapngWriter(), untimed, packets, error)) << error;
    EXPECT_EQ(untimed, 1u);
    EXPECT_EQ(Blocks(ReadFile(out)).size(), 3u);

    // A folder in the way: refused with a message, nothing written.
    const auto taken = dir / "taken.pcapng";
    std::filesystem::create_directory(taken);
    EXPECT_FALSE(CPcapngWriter::Export(doc, taken, CPcapngWriter(), untimed, packets, error));
    EXPECT_NE(error.find("taken.pcapng"), std::string::npos) << error;
    EXPECT_TRUE(std::filesystem::is_directory(taken));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              2);
}

} // namespace
