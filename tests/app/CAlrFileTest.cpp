#include "app/CAlrFile.h"
#include "TestBytes.h"
#include "TestFiles.h"
#include "app/CTessaryDoc.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <streambuf>
#include <vector>

namespace {

Bytes Store(const CTessaryDoc& doc) {
    std::ostringstream out;
    std::string error;
    EXPECT_TRUE(CAlrFile::Store(doc, out, error)) << error;
    return ToBytes(out.str());
}

bool Load(CTessaryDoc& doc, const Bytes& file, std::string& error) {
    std::istringstream in(ToString(file));
    return CAlrFile::Load(doc, in, error);
}

TEST(AlrFile, StoresTheDocumentedLayoutByteForByte) {
    CTessaryDoc doc;
    const Bytes tx = "41 42"_hex, rx = "06"_hex;
    doc.AddRecord(TRAFFIC_TX, tx.data(), 2);
    doc.AddRecord(TRAFFIC_RX, rx.data(), 1);
    const Bytes expected =
        "02 00 00 00 | 02 00 00 00 02 00 00 00 41 42 | 01 00 00 00 01 00 00 00 06"_hex;
    ASSERT_EQ(expected.size(), 23u);
    EXPECT_EQ(Store(doc), expected);

    CTessaryDoc loaded;
    std::string error;
    ASSERT_TRUE(Load(loaded, expected, error)) << error;
    ASSERT_EQ(loaded.GetCount(), 2u);
    EXPECT_EQ(loaded.GetRecord(0).m_nDirection, TRAFFIC_TX);
    EXPECT_EQ(loaded.GetRecord(1).m_nDirection, TRAFFIC_RX);
    EXPECT_EQ(Store(loaded), expected);
}

TEST(AlrFile, EmptyCaptureAndEmptyRecords) {
    CTessaryDoc doc;
    EXPECT_EQ(Store(doc), "00 00 00 00"_hex);

    // Loading replaces what the document held.
    const Bytes one = "AA"_hex;
    doc.AddRecord(TRAFFIC_RX, one.data(), 1);
    std::string error;
    EXPECT_FALSE(Load(doc, "00 00"_hex, error)); // too short to be a capture: nothing changes
    EXPECT_EQ(doc.GetCount(), 1u);
    ASSERT_TRUE(Load(doc, "00 00 00 00"_hex, error));
    EXPECT_EQ(doc.GetCount(), 0u);

    ASSERT_TRUE(Load(doc, "01 00 00 00 | 00 00 00 00 01 00 00 00"_hex, error));
    ASSERT_EQ(doc.GetCount(), 1u);
    EXPECT_EQ(doc.GetRecord(0).m_nLength, 0);
}

TEST(AlrFile, DamagedFilesStopWithRecordAndOffsetAndKeepEarlierRecords) {
    struct Case {
        const char* name;
        Bytes file;
        std::size_t kept;
        const char* mentions; // text the error must hold
    } cases[] = {
        {"empty file", {}, 0, "파일 위치 0"},
        {"short count", "02 00"_hex, 0, "파일 위치 0"},
        {"negative count", "FF FF FF FF"_hex, 0, "-1"},
        {"length above 4096",
         "02 00 00 00 | 01 00 00 00 01 00 00 00 41 | 01 10 00 00 01 00 00 00"_hex, 1,
         "레코드 2 (파일 위치 13)"},
        {"negative length", "01 00 00 00 | FF FF FF FF 02 00 00 00"_hex, 0,
         "레코드 1 (파일 위치 4)"},
        {"bad direction", "01 00 00 00 | 01 00 00 00 07 00 00 00 41"_hex, 0, "방향 7"},
        {"ends inside a header", "02 00 00 00 | 01 00 00 00 02 00 00 00 41 | 01 00"_hex, 1,
         "레코드 2 (파일 위치 13)"},
        {"ends inside the data", "01 00 00 00 | 04 00 00 00 02 00 00 00 41 42"_hex, 0,
         "레코드 1 (파일 위치 4)"},
        // A count of 2^31-1 with one record: nothing is sized from the count.
        {"huge count", "FF FF FF 7F | 01 00 00 00 01 00 00 00 41"_hex, 1,
         "레코드 2 (파일 위치 13)"},
    };
    for (const Case& c : cases) {
        CTessaryDoc doc;
        std::string error;
        EXPECT_FALSE(Load(doc, c.file, error)) << c.name;
        EXPECT_EQ(doc.GetCount(), c.kept) << c.name;
        EXPECT_NE(error.find(c.mentions), std::string::npos) << c.name << ": " << error;
    }
}

// Two gigabytes of garbage that exist only as they are read.
class GarbageBuf : public std::streambuf {
public:
    explicit GarbageBuf(std::uint64_t size) : m_nLeft(size) {}
    std::uint64_t m_nServed = 0;

protected:
    int_type underflow() override {
        if (m_nLeft == 0)
            return traits_type::eof();
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(sizeof m_buf, m_nLeft));
        for (std::size_t i = 0; i < n; ++i)
            m_buf[i] = static_cast<char>(0x5A ^ (i * 31));
        m_nLeft -= n;
        m_nServed += n;
        setg(m_buf, m_buf, m_buf + n);
        return traits_type::to_int_type(m_buf[0]);
    }

private:
    char m_buf[65536];
    std::uint64_t m_nLeft;
};

TEST(AlrFile, GarbageIsRefusedAfterReadingLittle) {
    GarbageBuf buf(std::uint64_t{2} << 30);
    std::istream in(&buf);
    CTessaryDoc doc;
    std::string error;
    EXPECT_FALSE(CAlrFile::Load(doc, in, error));
    EXPECT_LE(buf.m_nServed, std::uint64_t{4} << 20);
    EXPECT_LE(doc.GetTotalBytes(), 4096u);
}

TEST(AlrFile, FileRoundTripAndFailures) {
    TempDir dir;
    const auto path = dir / "capture.alr";

    CTessaryDoc doc;
    Bytes block(4096);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(i * 7);
    for (int i = 0; i < 300; ++i)
        doc.AddRecord(i % 3 ? TRAFFIC_RX : TRAFFIC_TX, block.data(), (i * 37) % 4097);
    std::string error;
    ASSERT_TRUE(CAlrFile::Store(doc, path, error)) << error;

    CTessaryDoc loaded;
    ASSERT_TRUE(CAlrFile::Load(loaded, path, error)) << error;
    ASSERT_EQ(loaded.GetCount(), doc.GetCount());
    for (std::size_t i = 0; i < doc.GetCount(); ++i) {
        const TrafficRecord a = doc.GetRecord(i), b = loaded.GetRecord(i);
        ASSERT_EQ(a.m_nDirection, b.m_nDirection);
        ASSERT_EQ(Bytes(a.m_pData, a.m_pData + a.m_nLength),
                  Bytes(b.m_pData, b.m_pData + b.m_nLength));
    }

    // A save that fails half way leaves the old file as it was and says why.
    const std::string before = ReadFile(path);
    if (FileSizeLimit::kWorks) {
        {
            FileSizeLimit limit(100);
            EXPECT_FALSE(CAlrFile::Store(doc, path, error));
        }
        EXPECT_EQ(error, "캡처 파일을 쓸 수 없습니다: " + path.string() + " (File too large)");
        EXPECT_EQ(ReadFile(path), before);
    }
    EXPECT_FALSE(CAlrFile::Store(doc, dir / "no-such-folder" / "x.alr", error));
    EXPECT_EQ(error,
              "캡처 파일을 만들 수 없습니다: " + (dir / "no-such-folder" / "x.alr").string() +
                  " (No such file or directory)");
}

TEST(AlrFile, WhatCannotBeReadIsRefusedAtOnceWithThePathAndTheReason) {
    TempDir dir;
    struct Case {
        std::filesystem::path path;
        std::string reason;
    };
    std::vector<Case> cases = {
        {dir / "missing.alr", "No such file or directory"},
        {dir.Path(), "Is a directory"},
    };
    if (kSpecialFiles) {
        ASSERT_TRUE(MakeFifo(dir / "fifo.alr"));
        cases.push_back({dir / "fifo.alr", "일반 파일이 아닙니다: FIFO"}); // would wait for ever
        cases.push_back({"/dev/zero", "일반 파일이 아닙니다: 장치"});      // would never end
    }
    CTessaryDoc held;
    const Bytes one = "AA"_hex;
    held.AddRecord(TRAFFIC_RX, one.data(), 1);
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(CAlrFile::Load(held, c.path, error));
        EXPECT_EQ(error, "캡처 파일을 열 수 없습니다: " + c.path.string() + " (" + c.reason + ")");
        EXPECT_EQ(held.GetCount(), 1u) << "the capture held so far stays";
    }
}

TEST(AlrFile, RecordsCutByTheLoadersStorageChunksSurvive) {
    // 700 full blocks are about 2.7 MiB: records straddle the 1 MiB chunks
    // the loader reads into.
    CTessaryDoc doc;
    Bytes block(4096);
    for (int i = 0; i < 700; ++i) {
        for (std::size_t k = 0; k < block.size(); ++k)
            block[k] = static_cast<std::uint8_t>(i + k * 3);
        doc.AddRecord(i % 2 ? TRAFFIC_RX : TRAFFIC_TX, block.data(), i % 7 == 6 ? 13 : 4096);
    }
    Bytes file = Store(doc);
    CTessaryDoc loaded;
    std::string error;
    ASSERT_TRUE(Load(loaded, file, error)) << error;
    ASSERT_EQ(loaded.GetCount(), doc.GetCount());
    EXPECT_EQ(Store(loaded), file);
    // Appending after a load does not touch the loaded bytes.
    loaded.AddRecord(TRAFFIC_RX, block.data(), 4096);
    const TrafficRecord last = loaded.GetRecord(699);
    const TrafficRecord want = doc.GetRecord(699);
    EXPECT_EQ(Bytes(last.m_pData, last.m_pData + last.m_nLength),
              Bytes(want.m_pData, want.m_pData + want.m_nLength));

    // Damage record 400, which lies in the second chunk: the error names its
    // exact offset and the 399 records before it stay.
    std::size_t offset = 4;
    for (std::size_t i = 0; i < 399; ++i)
        offset += 8 + static_cast<std::size_t>(doc.GetRecord(i).m_nLength);
    ASSERT_GT(offset, std::size_t{1} << 20);
    file[offset + 1] = 0x20; // length 0x2000 + low byte
    EXPECT_FALSE(Load(loaded, file, error));
    EXPECT_EQ(loaded.GetCount(), 399u);
    EXPECT_NE(error.find("레코드 400 (파일 위치 " + std::to_string(offset) + ")"),
              std::string::npos)
        << error;

    // Cut the file inside record 600's data.
    offset = 4;
    for (std::size_t i = 0; i < 599; ++i)
        offset += 8 + static_cast<std::size_t>(doc.GetRecord(i).m_nLength);
    file = Store(doc);
    file.resize(offset + 8 + 100);
    EXPECT_FALSE(Load(loaded, file, error));
    EXPECT_EQ(loaded.GetCount(), 599u);
    EXPECT_NE(error.find("레코드 600 (파일 위치 " + std::to_string(offset) + ")"),
              std::string::npos)
        << error;
}

TEST(AlrFile, OpenPathAddsTheExtensionOnlyWhenMissing) {
    EXPECT_EQ(CAlrFile::OpenPath("c:\\data\\log").string(), "c:\\data\\log.ALR");
    EXPECT_EQ(CAlrFile::OpenPath("c:\\data\\log.alr").string(), "c:\\data\\log.alr");
    EXPECT_EQ(CAlrFile::OpenPath("/x/a.ALR.bak").string(), "/x/a.ALR.bak");

    // Saved files carry ".alr"; when only that one exists it is taken.
    TempDir dir;
    WriteFile(dir / "log.alr", "");
#ifdef _WIN32
    // Names that differ only in case are one file there.
    EXPECT_TRUE(
        std::filesystem::equivalent(CAlrFile::OpenPath((dir / "log").string()), dir / "log.alr"));
#else
    EXPECT_EQ(CAlrFile::OpenPath((dir / "log").string()), dir / "log.alr");
#endif
}

} // namespace
