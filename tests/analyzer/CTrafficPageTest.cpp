#include "analyzer/CTrafficPage.h"
#include "TestBytes.h"
#include "analyzer/ByteLabel.h"
#include "app/CTessaryDoc.h"

#include <gtest/gtest.h>

namespace {

void Add(CTessaryDoc& doc, int direction, const Bytes& bytes) {
    ASSERT_TRUE(doc.AddRecord(direction, bytes.data(), static_cast<int>(bytes.size())));
}

TEST(TrafficPage, EmptyCaptureShowsOneBlankPage) {
    CTessaryDoc doc;
    CTrafficPage page;
    EXPECT_EQ(page.PaintPage(doc, 1, RX_MODE_ASCII), 1);
    EXPECT_EQ(page.PageText(), "1/1");
    EXPECT_EQ(page.GetFilled(), 0);
    for (int i = 0; i < PAGE_CELLS; ++i) {
        EXPECT_TRUE(page.Cell(i).m_strText.empty());
        EXPECT_EQ(page.Cell(i).m_nDirection, 0);
    }
}

TEST(TrafficPage, SixHundredBytesMakeTwoPagesAndClamp) {
    CTessaryDoc doc;
    Bytes block(200);
    for (int r = 0; r < 3; ++r) {
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<std::uint8_t>(r * 200 + i);
        Add(doc, r == 1 ? TRAFFIC_TX : TRAFFIC_RX, block);
    }
    CTrafficPage page;
    page.PaintPage(doc, 1, RX_MODE_BINARY);
    EXPECT_EQ(page.PageText(), "1/2");
    EXPECT_EQ(page.GetFilled(), PAGE_CELLS);
    EXPECT_EQ(page.Cell(0).m_strText, "00");
    EXPECT_EQ(page.Cell(199).m_nDirection, TRAFFIC_RX);
    EXPECT_EQ(page.Cell(200).m_nDirection, TRAFFIC_TX);
    EXPECT_EQ(page.Cell(28, 1).m_strText, ByteHex(static_cast<std::uint8_t>(57)));

    // Page 2 holds bytes 523..600 (numbered from 1) in its first 78 cells.
    page.PaintPage(doc, 2, RX_MODE_BINARY);
    EXPECT_EQ(page.PageText(), "2/2");
    EXPECT_EQ(page.GetFilled(), 78);
    EXPECT_EQ(page.Cell(0).m_strText, ByteHex(static_cast<std::uint8_t>(522)));
    EXPECT_EQ(page.Cell(77).m_strText, ByteHex(static_cast<std::uint8_t>(599)));
    EXPECT_EQ(page.Cell(77).m_nDirection, TRAFFIC_RX);
    for (int i = 78; i < PAGE_CELLS; ++i)
        ASSERT_TRUE(page.Cell(i).m_strText.empty()) << i;

    // Past the end clamps to the last page, below 1 to the first.
    EXPECT_EQ(page.PaintPage(doc, 3, RX_MODE_BINARY), 2);
    EXPECT_EQ(page.PageText(), "2/2");
    EXPECT_EQ(page.PaintPage(doc, 0, RX_MODE_BINARY), 1);

    // A capture that shrinks (a load) clamps the page shown.
    doc.Clear();
    EXPECT_EQ(page.PaintPage(doc, 2, RX_MODE_BINARY), 1);
    EXPECT_EQ(page.PageText(), "1/1");
    EXPECT_EQ(page.GetFilled(), 0);
}

TEST(TrafficPage, LabelsAndDirectionsOfASmallExchange) {
    CTessaryDoc doc;
    Add(doc, TRAFFIC_TX, ToBytes("AB"));
    Add(doc, TRAFFIC_RX, Bytes{});
    Add(doc, TRAFFIC_RX, "02 41 0D"_hex);
    CTrafficPage page;
    page.PaintPage(doc, 1, RX_MODE_ASCII);
    const char* texts[] = {"A", "B", "stx", "A", "cr"};
    const int dirs[] = {TRAFFIC_TX, TRAFFIC_TX, TRAFFIC_RX, TRAFFIC_RX, TRAFFIC_RX};
    ASSERT_EQ(page.GetFilled(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(page.Cell(i).m_strText, texts[i]);
        EXPECT_EQ(page.Cell(i).m_nDirection, dirs[i]);
    }
    page.PaintPage(doc, 1, RX_MODE_BINARY);
    EXPECT_EQ(page.Cell(2).m_strText, "02");
    EXPECT_EQ(page.Cell(3).m_strText, "41");
    EXPECT_EQ(page.Cell(4).m_strText, "0D");
}

TEST(TrafficPage, KoreanCharactersTakeTwoCellsInAsciiMode) {
    const std::string han = "한", geul = "글", trail = kPairTrailLabel;
    const std::string latinC7 = "\xC3\x87", latinD1 = "\xC3\x91"; // Ç, Ñ
    struct Block {
        int dir;
        Bytes bytes;
    };
    struct Case {
        const char* what;
        std::vector<Block> blocks;
        std::vector<std::string> texts;
    } cases[] = {
        {"one block", {{TRAFFIC_TX, "C7 D1 B1 DB"_hex}}, {han, trail, geul, trail}},
        {"received, between letters", {{TRAFFIC_RX, "41 C7 D1 0D"_hex}}, {"A", han, trail, "cr"}},
        // A serial line hands the two bytes over in separate blocks.
        {"split over blocks",
         {{TRAFFIC_RX, "C7"_hex},
          {TRAFFIC_RX, {}},
          {TRAFFIC_RX, "D1 B1"_hex},
          {TRAFFIC_RX, "DB"_hex}},
         {han, trail, geul, trail}},
        {"direction change between the bytes",
         {{TRAFFIC_TX, "C7"_hex}, {TRAFFIC_RX, "D1"_hex}},
         {latinC7, latinD1}},
        {"lead without a trail", {{TRAFFIC_RX, "C7 0D C7"_hex}}, {latinC7, "cr", latinC7}},
        // Pairs are read from the start of the run of high bytes.
        {"odd run", {{TRAFFIC_RX, "B0 B0 B0 0D"_hex}}, {"같", trail, "\xC2\xB0", "cr"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CTessaryDoc doc;
        for (const Block& b : c.blocks)
            Add(doc, b.dir, b.bytes);
        CTrafficPage page;
        page.PaintPage(doc, 1, RX_MODE_ASCII);
        ASSERT_EQ(page.GetFilled(), static_cast<int>(c.texts.size()));
        for (std::size_t i = 0; i < c.texts.size(); ++i)
            EXPECT_EQ(page.Cell(static_cast<int>(i)).m_strText, c.texts[i]) << i;
        // Binary mode is untouched: every byte its digits.
        page.PaintPage(doc, 1, RX_MODE_BINARY);
        EXPECT_EQ(page.Cell(0).m_strText, ByteHex(c.blocks[0].bytes[0]));
    }
}

TEST(TrafficPage, APairAcrossAPageEndsTheOneAndStartsTheNext) {
    // 519 letters, then five high bytes: pairs at 519-520 and 521-522 (the
    // second across the page end), 523 alone before the CR.
    CTessaryDoc doc;
    Add(doc, TRAFFIC_RX, Bytes(519, 'a'));
    Add(doc, TRAFFIC_RX, "B0 B0 B0"_hex);
    Add(doc, TRAFFIC_RX, "B0 B0 0D"_hex);
    CTrafficPage page;
    page.PaintPage(doc, 1, RX_MODE_ASCII);
    EXPECT_EQ(page.Cell(518).m_strText, "a");
    EXPECT_EQ(page.Cell(519).m_strText, "같");
    EXPECT_EQ(page.Cell(520).m_strText, kPairTrailLabel);
    EXPECT_EQ(page.Cell(521).m_strText, "같");
    page.PaintPage(doc, 2, RX_MODE_ASCII);
    ASSERT_EQ(page.GetFilled(), 3);
    EXPECT_EQ(page.Cell(0).m_strText, kPairTrailLabel);
    EXPECT_EQ(page.Cell(1).m_strText, "\xC2\xB0");
    EXPECT_EQ(page.Cell(2).m_strText, "cr");
}

TEST(TrafficPage, ByteLabelTable) {
    const char* expected[33] = {"nul", "soh", "stx", "ext", "eot", "enq", "ack", "bel", "bs",
                                "ht",  "lf",  "vt",  "ff",  "cr",  "so",  "si",  "dle", "dc1",
                                "dc2", "dc3", "dc4", "nak", "syn", "etb", "can", "em",  "sub",
                                "esc", "fs",  "gs",  "rs",  "us",  "sp"};
    for (int b = 0; b <= 32; ++b)
        EXPECT_EQ(ByteLabel(static_cast<std::uint8_t>(b)), expected[b]) << b;
    EXPECT_EQ(ByteLabel('!'), "!");
    EXPECT_EQ(ByteLabel('~'), "~");
    EXPECT_EQ(ByteLabel(0xB0), "\xC2\xB0"); // shown as its Latin-1 character
    EXPECT_EQ(ByteLabel(0xFF), "\xC3\xBF");
    // Characters that draw nothing show their digits instead.
    for (int b : {0x7F, 0x80, 0x84, 0x9F, 0xA0, 0xAD})
        EXPECT_EQ(ByteLabel(static_cast<std::uint8_t>(b)), ByteHex(static_cast<std::uint8_t>(b)))
            << b;
    EXPECT_EQ(ByteLabel(0xA1), "\xC2\xA1");
    EXPECT_EQ(ByteHex(0x0A), "0A");
    EXPECT_EQ(ByteHex(0xFF), "FF");
}

TEST(TrafficPage, PageStartsInsideALongRecordAfterEmptyOnes) {
    // Records of 1000 bytes with empty records between them; each page's
    // first cell must be byte (page-1)*522 wherever it falls.
    CTessaryDoc doc;
    Bytes block(1000);
    std::uint32_t g = 0;
    for (int r = 0; r < 50; ++r) {
        for (auto& b : block)
            b = static_cast<std::uint8_t>(g++ % 251);
        Add(doc, TRAFFIC_RX, block);
        Add(doc, TRAFFIC_TX, Bytes{});
    }
    CTrafficPage page;
    const int pages = CTrafficPage::PageCount(doc.GetTotalBytes());
    EXPECT_EQ(pages, 50000 / 522 + 1);
    for (int p = 1; p <= pages; ++p) {
        page.PaintPage(doc, p, RX_MODE_BINARY);
        const std::uint32_t first = static_cast<std::uint32_t>(p - 1) * 522;
        ASSERT_EQ(page.Cell(0).m_strText, ByteHex(static_cast<std::uint8_t>(first % 251))) << p;
        const int expectFilled = p < pages ? PAGE_CELLS : static_cast<int>(50000 - first);
        ASSERT_EQ(page.GetFilled(), expectFilled) << p;
        ASSERT_EQ(page.Cell(expectFilled - 1).m_strText,
                  ByteHex(static_cast<std::uint8_t>(
                      (first + static_cast<std::uint32_t>(expectFilled) - 1) % 251)));
    }
}

} // namespace
