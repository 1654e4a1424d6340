#include "app/CPcapngReader.h"
#include "TestFiles.h"
#include "app/CPcapngWriter.h"
#include "app/CTessaryDoc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::string Write(const CTessaryDoc& doc, CPcapngWriter writer) {
    std::string file = writer.Header();
    for (std::size_t i = 0; i < doc.GetCount(); ++i)
        writer.AppendPacket(doc.GetRecord(i), file);
    writer.Flush(file);
    return file;
}

std::string Bytes(const TrafficRecord& r) {
    return {reinterpret_cast<const char*>(r.m_pData), static_cast<std::size_t>(r.m_nLength)};
}

// What export and capture write comes back as it went out: bytes,
// direction and time, with the exported-PDU tags taken off again.
TEST(PcapngReader, ReadsBackWhatTheWriterWrote) {
    TempDir dir;
    CTessaryDoc doc;
    const std::string a = "\x01\x03\x00\x10", big(TRAFFIC_MAX_LENGTH, 'x');
    doc.AddRecord(TRAFFIC_TX, reinterpret_cast<const std::uint8_t*>(a.data()), 4, 1765400000000001);
    doc.AddRecord(TRAFFIC_RX, reinterpret_cast<const std::uint8_t*>(a.data()), 0, 1765400000000002);
    doc.AddRecord(TRAFFIC_RX, reinterpret_cast<const std::uint8_t*>(big.data()), TRAFFIC_MAX_LENGTH,
                  1765400000000003);
    for (const bool rtu : {false, true}) {
        SCOPED_TRACE(rtu ? "modbus-rtu" : "user");
        const auto path = dir / "x.pcapng";
        WriteFile(path, Write(doc, rtu ? CPcapngWriter::ModbusRtu() : CPcapngWriter()));
        CTessaryDoc back;
        std::string error;
        ASSERT_TRUE(CPcapngReader::Load(back, path, error)) << error;
        ASSERT_EQ(back.GetCount(), doc.GetCount());
        for (std::size_t i = 0; i < doc.GetCount(); ++i) {
            EXPECT_EQ(Bytes(back.GetRecord(i)), Bytes(doc.GetRecord(i))) << i;
            EXPECT_EQ(back.GetRecord(i).m_nDirection, doc.GetRecord(i).m_nDirection) << i;
            EXPECT_EQ(back.GetRecord(i).m_nTimeUs, doc.GetRecord(i).m_nTimeUs) << i;
        }
    }
}

// A file cut inside a block or spoilt is refused with the place, never read
// past its end; what is no pcapng at all says so.
TEST(PcapngReader, RefusesDamagedFilesWithTheBlockAndOffset) {
    TempDir dir;
    CTessaryDoc doc;
    const std::uint8_t bytes[] = {1, 2, 3, 4, 5};
    doc.AddRecord(TRAFFIC_TX, bytes, 5, 7);
    doc.AddRecord(TRAFFIC_RX, bytes, 3, 8);
    const std::string whole = Write(doc, CPcapngWriter::ModbusRtu());
    // The ends of the blocks: a file cut there (a capture killed between two
    // writes) is whole as far as it goes and reads.
    std::vector<std::size_t> ends;
    for (std::size_t at = 0; at < whole.size();) {
        at += static_cast<unsigned char>(whole[at + 4]) | static_cast<unsigned char>(whole[at + 5])
                                                              << 8;
        ends.push_back(at);
    }
    ASSERT_EQ(ends.size(), 4u);
    const auto path = dir / "x.pcapng";
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        WriteFile(path, whole.substr(0, cut));
        CTessaryDoc back;
        std::string error;
        const bool atEnd = std::find(ends.begin(), ends.end(), cut) != ends.end();
        EXPECT_EQ(CPcapngReader::Load(back, path, error), atEnd) << error;
        if (atEnd)
            EXPECT_EQ(back.GetCount(), cut == ends[2] ? 1u : 0u);
        else
            EXPECT_NE(error.find("x.pcapng"), std::string::npos) << error;
    }
    std::string longer = whole;
    longer[whole.size() - 4] = 0x7F; // the last block's trailing length
    WriteFile(path, longer);
    CTessaryDoc back;
    std::string error;
    EXPECT_FALSE(CPcapngReader::Load(back, path, error));
    EXPECT_NE(error.find("블록 4"), std::string::npos) << error;
    EXPECT_EQ(back.GetCount(), 1u); // the records before it stay, as with .alr files

    EXPECT_FALSE(CPcapngReader::Load(back, dir / "missing.pcapng", error));
    EXPECT_NE(error.find("missing.pcapng"), std::string::npos) << error;
    EXPECT_FALSE(CPcapngReader::Load(back, dir.Path(), error));

    EXPECT_TRUE(CPcapngReader::IsPcapngPath("a.PcapNG"));
    EXPECT_FALSE(CPcapngReader::IsPcapngPath("a.pcap"));
    EXPECT_FALSE(CPcapngReader::IsPcapngPath("pcapng"));
}

} // namespace
