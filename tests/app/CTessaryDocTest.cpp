#include "app/CTessaryDoc.h"
#include "TestBytes.h"

#include <gtest/gtest.h>

namespace {

TEST(TessaryDoc, KeepsRecordsInOrderWithDirectionLengthAndTime) {
    CTessaryDoc doc;
    const Bytes tx = "41 42"_hex, rx = "06"_hex;
    ASSERT_TRUE(doc.AddRecord(TRAFFIC_TX, tx.data(), 2, 1000));
    ASSERT_TRUE(doc.AddRecord(TRAFFIC_RX, rx.data(), 1, 2000));
    ASSERT_TRUE(doc.AddRecord(TRAFFIC_RX, nullptr, 0, 3000));
    ASSERT_EQ(doc.GetCount(), 3u);
    EXPECT_EQ(doc.GetTotalBytes(), 3u);

    TrafficRecord r = doc.GetRecord(0);
    EXPECT_EQ(r.m_nDirection, TRAFFIC_TX);
    EXPECT_EQ(Bytes(r.m_pData, r.m_pData + r.m_nLength), tx);
    EXPECT_EQ(r.m_nTimeUs, 1000);
    r = doc.GetRecord(1);
    EXPECT_EQ(r.m_nDirection, TRAFFIC_RX);
    EXPECT_EQ(Bytes(r.m_pData, r.m_pData + r.m_nLength), rx);
    EXPECT_EQ(doc.GetRecord(2).m_nLength, 0);
    EXPECT_EQ(doc.GetRecord(2).m_nTimeUs, 3000);

    doc.Clear();
    EXPECT_EQ(doc.GetCount(), 0u);
    EXPECT_EQ(doc.GetTotalBytes(), 0u);
}

TEST(TessaryDoc, EmptyRecordFirst) {
    CTessaryDoc doc;
    ASSERT_TRUE(doc.AddRecord(TRAFFIC_TX, nullptr, 0));
    const Bytes one = "7E"_hex;
    ASSERT_TRUE(doc.AddRecord(TRAFFIC_RX, one.data(), 1));
    EXPECT_EQ(doc.GetRecord(0).m_nLength, 0);
    EXPECT_NE(doc.GetRecord(0).m_pData, nullptr);
    EXPECT_EQ(doc.GetRecord(1).m_pData[0], 0x7E);
}

TEST(TessaryDoc, RefusesWhatARecordCannotHold) {
    CTessaryDoc doc;
    Bytes big(4097, 0x55);
    EXPECT_FALSE(doc.AddRecord(TRAFFIC_RX, big.data(), 4097));
    EXPECT_FALSE(doc.AddRecord(TRAFFIC_RX, big.data(), -1));
    EXPECT_FALSE(doc.AddRecord(3, big.data(), 1));
    EXPECT_TRUE(doc.AddRecord(TRAFFIC_RX, big.data(), 4096));
    EXPECT_EQ(doc.GetCount(), 1u);
    EXPECT_EQ(doc.GetRecord(0).m_nLength, 4096);
}

TEST(TessaryDoc, ManyRecordsAcrossStorageChunksStayIntact) {
    // Enough full blocks to fill several 1 MiB chunks and entry chunks.
    CTessaryDoc doc;
    Bytes block(4096);
    const int n = 20000;
    for (int i = 0; i < n; ++i) {
        const int len = i % 4097;
        for (int k = 0; k < 4; ++k)
            block[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(i >> (8 * k));
        // Only some records carry an arrival time, and none of the first chunk.
        const std::int64_t time = (i >= 16384 && i % 5) ? i + 1 : 0;
        ASSERT_TRUE(doc.AddRecord(i % 2 ? TRAFFIC_RX : TRAFFIC_TX, block.data(), len, time));
    }
    std::uint64_t start = 0;
    for (int i = 0; i < n; ++i) {
        TrafficRecord r = doc.GetRecord(static_cast<std::size_t>(i));
        ASSERT_EQ(r.m_nLength, i % 4097);
        ASSERT_EQ(r.m_nTimeUs, (i >= 16384 && i % 5) ? i + 1 : 0);
        ASSERT_EQ(doc.GetRecordStart(static_cast<std::size_t>(i)), start);
        for (int k = 0; k < std::min(4, r.m_nLength); ++k)
            ASSERT_EQ(r.m_pData[k], static_cast<std::uint8_t>(i >> (8 * k))) << i;
        start += static_cast<std::uint64_t>(r.m_nLength);
    }
}

TEST(TessaryDoc, FindsTheRecordHoldingAByteSkippingEmptyOnes) {
    CTessaryDoc doc;
    const Bytes three = "01 02 03"_hex;
    doc.AddRecord(TRAFFIC_RX, nullptr, 0);      // 0: empty
    doc.AddRecord(TRAFFIC_RX, three.data(), 3); // 1: bytes 0..2
    doc.AddRecord(TRAFFIC_TX, nullptr, 0);      // 2: empty
    doc.AddRecord(TRAFFIC_TX, nullptr, 0);      // 3: empty
    doc.AddRecord(TRAFFIC_TX, three.data(), 2); // 4: bytes 3..4
    EXPECT_EQ(doc.FindRecordByByte(0), 1u);
    EXPECT_EQ(doc.FindRecordByByte(2), 1u);
    EXPECT_EQ(doc.FindRecordByByte(3), 4u);
    EXPECT_EQ(doc.FindRecordByByte(4), 4u);
    EXPECT_EQ(doc.FindRecordByByte(5), doc.GetCount());
}

} // namespace
